#include "sceneapi/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tal {

namespace {

// The powers of ten a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;

// Scaled products lie below 2^20, where a double's unit in the last place is
// 2^-33 (1.2e-10) and a correctly rounded product is within half of it of
// the exact one. A fraction this close to one half might be a tie, or lie
// on the other side of it, in the exact product.
constexpr double kTieMargin = 1e-9;

// The exact conversion. The standard defines to_chars with a format and a
// precision as printf's conversion in the "C" locale, infinities and NaNs
// included; the comparison tests hold it to that.
char* exactGeneral(char* out, double value) {
    return std::to_chars(out, out + kMaxGeneralText, value, std::chars_format::general, 6).ptr;
}

// a × 10^k as one correctly rounded operation; false when 10^|k| is not exact.
bool scaleByPowerOfTen(double a, int k, double& scaled) {
    if (k > kMaxExactPower || k < -kMaxExactPower) return false;
    scaled = k >= 0 ? a * kPow10[k] : a / kPow10[-k];
    return true;
}

// Rounds a positive normal `a` to six significant digits: a ≈ n × 10^(x − 5)
// with n in [100000, 999999]. False when one rounded operation cannot decide
// the digits: the caller takes the exact conversion then.
bool sixDigits(double a, std::uint32_t& n, int& x) {
    const int biased = static_cast<int>(std::bit_cast<std::uint64_t>(a) >> 52) & 0x7FF;
    if (biased == 0 || biased == 0x7FF) return false;
    // floor(e × log10 2) for the binary exponent e: the decimal exponent of
    // `a` or one less.
    int k = 5 - (((biased - 1023) * 1233) >> 12);
    double s = 0;
    if (!scaleByPowerOfTen(a, k, s)) return false;
    if (s < 1e5 && !scaleByPowerOfTen(a, ++k, s)) return false;
    if (s >= 1e6 && !scaleByPowerOfTen(a, --k, s)) return false;
    if (!(s >= 1e5 && s < 1e6)) return false;
    const auto whole = static_cast<std::uint32_t>(s);
    const double fraction = s - static_cast<double>(whole);  // exact
    if (std::fabs(fraction - 0.5) < kTieMargin) return false;
    n = whole + (fraction > 0.5 ? 1 : 0);
    x = 5 - k;
    if (n == 1000000) {
        n = 100000;
        ++x;
    }
    return true;
}

char* putTwoDigits(char* out, unsigned v) {
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
    return out + 2;
}

char* putDigits(char* out, const char* digits, int count) {
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
}

// printf's %g text of ±n × 10^(x − 5): the e style when x < -4 or x >= 6,
// else the f style, trailing zeros of the fraction and a bare point removed.
char* putGeneral(char* out, bool negative, std::uint32_t n, int x) {
    char d[6];
    for (int i = 5; i >= 0; --i) {
        d[i] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    int last = 5;  // the last digit kept; d[0] is never '0'
    while (d[last] == '0') --last;
    if (negative) *out++ = '-';
    if (x < -4 || x >= 6) {
        *out++ = d[0];
        if (last > 0) {
            *out++ = '.';
            out = putDigits(out, d + 1, last);
        }
        *out++ = 'e';
        *out++ = x < 0 ? '-' : '+';
        unsigned e = static_cast<unsigned>(x < 0 ? -x : x);
        if (e >= 100) {
            *out++ = static_cast<char>('0' + e / 100);
            e %= 100;
        }
        return putTwoDigits(out, e);
    }
    if (x >= 0) {
        out = putDigits(out, d, x + 1);
        if (last > x) {
            *out++ = '.';
            out = putDigits(out, d + x + 1, last - x);
        }
        return out;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = -1; i > x; --i) *out++ = '0';
    return putDigits(out, d, last + 1);
}

// 128-bit products (a GCC and Clang extension on 64-bit targets).
__extension__ typedef unsigned __int128 Wide;

// printf's "%.16f" text of `value` by exact integer arithmetic: value =
// m × 2^e, its whole part m >> -e, and its 16 decimals the fraction bits
// times 10^16, shifted back and rounded half to even as printf rounds an
// exact decimal tie. False for what this does not cover (subnormals,
// infinities, NaNs, magnitudes from 2^63 up or below 2^-21): the caller
// takes the exact conversion then.
bool fixed16Integers(double value, char*& out) {
    constexpr std::uint64_t kTen16 = 10'000'000'000'000'000;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52) & 0x7FF;
    const std::uint64_t fractionBits = bits & ((std::uint64_t{1} << 52) - 1);
    std::uint64_t whole = 0;
    std::uint64_t decimals = 0;
    if (biased != 0) {
        const std::uint64_t m = fractionBits | (std::uint64_t{1} << 52);
        const int e = biased - 1075;
        if (e > 10 || e < -74) return false;
        if (e >= 0) {
            whole = m << e;
        } else {
            const int s = -e;
            whole = s < 53 ? m >> s : 0;
            const std::uint64_t fraction = s < 53 ? m & ((std::uint64_t{1} << s) - 1) : m;
            const Wide scaled = static_cast<Wide>(fraction) * kTen16;
            const Wide half = static_cast<Wide>(1) << (s - 1);
            const Wide rest = scaled & ((half << 1) - 1);
            decimals = static_cast<std::uint64_t>(scaled >> s);
            if (rest > half || (rest == half && (decimals & 1) != 0)) ++decimals;
            if (decimals == kTen16) {
                decimals = 0;
                ++whole;
            }
        }
    } else if (fractionBits != 0) {
        return false;  // subnormal
    }
    if ((bits >> 63) != 0) *out++ = '-';
    out = std::to_chars(out, out + 20, whole).ptr;
    *out++ = '.';
    for (int i = 15; i >= 0; --i) {
        out[i] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    out += 16;
    return true;
}

// printf pads a text narrower than the field width with blanks on the left.
char* padLeft(char* start, char* end, std::size_t width) {
    const auto length = static_cast<std::size_t>(end - start);
    if (length >= width) return end;
    std::memmove(start + (width - length), start, length);
    std::memset(start, ' ', width - length);
    return start + width;
}

}  // namespace

char* writeGeneral(char* out, double value) {
    const bool negative = std::signbit(value);
    const double a = std::fabs(value);
    // Whole numbers below 10^6 are written in full, as they are.
    if (a < 1e6) {
        const auto whole = static_cast<std::uint32_t>(a);
        if (static_cast<double>(whole) == a) {
            if (negative) *out++ = '-';
            return std::to_chars(out, out + 6, whole).ptr;
        }
    }
    std::uint32_t n = 0;
    int x = 0;
    if (sixDigits(a, n, x)) return putGeneral(out, negative, n, x);
    return exactGeneral(out, value);
}

char* writeFixed16(char* out, double value) {
    if (fixed16Integers(value, out)) return out;
    // "%16.16f" is "%.16f" in a field of 16: only a text shorter than 16 is
    // padded, and a finite value's text never is (a digit, the point and 16
    // decimals). So it is to_chars' fixed form with precision 16, padded for
    // infinities and NaNs.
    char* end = std::to_chars(out, out + kMaxFixed16Text, value, std::chars_format::fixed, 16).ptr;
    return std::isfinite(value) ? end : padLeft(out, end, 16);
}

char* writeFixed3(char* out, double value) {
    return std::to_chars(out, out + kMaxFixed3Text, value, std::chars_format::fixed, 3).ptr;
}

char* writeInt(char* out, std::int32_t value) {
    return std::to_chars(out, out + kMaxIntText, value).ptr;
}

char* writeUnsigned(char* out, std::uint32_t value) {
    return std::to_chars(out, out + kMaxIntText, value).ptr;
}

}  // namespace tal
