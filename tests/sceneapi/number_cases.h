// Values on which the number texts are compared with snprintf, shared by the
// sampled unit test and the full sweep (format_sweep).
//
// NumberCases draws, in turn: random bit patterns of doubles; random bit
// patterns of floats (as the writer widens them); doubles of every magnitude
// a scene holds (a random 53-bit mantissa times a power of ten from 1e-20 to
// 1e30); short binary fractions and 7-digit decimal integers, where the
// exact value often ends in a tie ("...5") at the rounding digit; and the
// fixed edge values below, in order. Integer cases are random 32-bit
// patterns and the integer edges.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sceneapi/number_text.h"
#include "sceneapi/value_format.h"

namespace tal::test {

// ±0, infinities, NaNs of both signs, every power of ten a double reaches and
// its neighbours, subnormals, the float and double limits, the values around
// the float limit that the writer substitutes with -1, and the boundaries of
// the %g styles (1e-4, 1e6 and what rounds to them).
inline std::vector<double> edgeDoubles() {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> v = {0.0,
                             inf,
                             nan,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max(),
                             FLT_MAX,
                             FLT_MIN,
                             static_cast<double>(std::numeric_limits<float>::denorm_min()),
                             kFloatLimit,
                             std::nextafter(kFloatLimit, 0.0),
                             std::nextafter(kFloatLimit, inf),
                             999999.5,
                             999999.49999999994,
                             99999.95,
                             0.000099999949999999,
                             0.00009999995,
                             0.5,
                             2.5,
                             0.0625,
                             0.0005,
                             0.0015,
                             4294967295.0,
                             2147483648.0};
    for (int e = -330; e <= 308; ++e) {
        const double p = std::pow(10.0, e);
        v.insert(v.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, inf), 5 * p, 9.999995 * p,
                           9.9999949999 * p});
    }
    for (int e = -1074; e <= 1023; ++e) v.push_back(std::ldexp(1.0, e));
    const std::size_t positive = v.size();
    for (std::size_t i = 0; i < positive; ++i) v.push_back(-v[i]);
    v.push_back(substituteOutOfRange(inf));
    v.push_back(substituteOutOfRange(nan));
    return v;
}

inline std::vector<std::int64_t> edgeIntegers() {
    std::vector<std::int64_t> v = {0, 1, -1, INT32_MIN, INT32_MIN + 1, INT32_MAX, UINT32_MAX};
    for (std::int64_t p = 1; p <= 1'000'000'000; p *= 10) v.insert(v.end(), {p - 1, p, -p, 1 - p});
    return v;
}

class NumberCases {
public:
    explicit NumberCases(std::uint64_t seed) : random_(seed) {}

    double nextDouble() {
        switch (turn_++ % 5) {
            case 0:
                return fromBits<double>(random_());
            case 1:
                return static_cast<double>(fromBits<float>(static_cast<std::uint32_t>(random_())));
            case 2:
                return sceneMagnitude();
            case 3:
                return nearTie();
            default:
                if (edges_.empty()) edges_ = edgeDoubles();
                return edges_[edge_++ % edges_.size()];
        }
    }

    std::int64_t nextInteger() {
        if (turn_++ % 8 != 0) return static_cast<std::int32_t>(random_());
        if (integerEdges_.empty()) integerEdges_ = edgeIntegers();
        return integerEdges_[edge_++ % integerEdges_.size()];
    }

private:
    template <class T, class Bits>
    static T fromBits(Bits bits) {
        T value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    double sceneMagnitude() {
        const double mantissa = std::ldexp(static_cast<double>(random_() >> 11), -53);
        const int exponent = static_cast<int>(random_() % 51) - 20;
        const double value = mantissa * std::pow(10.0, exponent);
        return (random_() & 1) ? -value : value;
    }

    double nearTie() {
        const std::uint64_t r = random_();
        if (r & 1) {
            // A 7-digit integer ending in 5, scaled by an exact power of ten.
            const auto digits = static_cast<double>((r >> 8) % 900'000 + 100'000) * 10 + 5;
            return digits * std::pow(10.0, static_cast<int>((r >> 40) % 10));
        }
        // A short binary fraction: a terminating decimal that often ends in 5.
        return std::ldexp(static_cast<double>((r >> 8) % (1u << 24)), -static_cast<int>(r >> 58));
    }

    std::mt19937_64 random_;
    std::uint64_t turn_ = 0;
    std::size_t edge_ = 0;
    std::vector<double> edges_;
    std::vector<std::int64_t> integerEdges_;
};

// One conversion: its printf text and ours, of a double or of an integer.
struct Conversion {
    const char* name;
    bool integer;
    int (*printed)(char* buffer, std::size_t size, double d, std::int64_t i);
    char* (*ours)(char* out, double d, std::int64_t i);
};

inline constexpr Conversion kConversions[] = {
    {"%g", false,
     [](char* b, std::size_t n, double d, std::int64_t) { return std::snprintf(b, n, "%g", d); },
     [](char* o, double d, std::int64_t) { return writeGeneral(o, d); }},
    {"%16.16f", false,
     [](char* b, std::size_t n, double d, std::int64_t) {
         return std::snprintf(b, n, "%16.16f", d);
     },
     [](char* o, double d, std::int64_t) { return writeFixed16(o, d); }},
    {"%.3f", false,
     [](char* b, std::size_t n, double d, std::int64_t) { return std::snprintf(b, n, "%.3f", d); },
     [](char* o, double d, std::int64_t) { return writeFixed3(o, d); }},
    {"%d", true,
     [](char* b, std::size_t n, double, std::int64_t i) {
         return std::snprintf(b, n, "%d", static_cast<std::int32_t>(i));
     },
     [](char* o, double, std::int64_t i) { return writeInt(o, static_cast<std::int32_t>(i)); }},
    {"%u", true,
     [](char* b, std::size_t n, double, std::int64_t i) {
         return std::snprintf(b, n, "%u", static_cast<std::uint32_t>(i));
     },
     [](char* o, double, std::int64_t i) {
         return writeUnsigned(o, static_cast<std::uint32_t>(i));
     }},
};

// Compares our text of one value with printf's; on a difference, `report`
// names the value (its bits) and both texts.
inline bool matchesPrintf(const Conversion& c, double d, std::int64_t i, std::string* report) {
    char expected[kMaxFixed16Text + 8];
    char ours[kMaxFixed16Text + 8];
    const int n = c.printed(expected, sizeof expected, d, i);
    const std::string_view mine(ours, static_cast<std::size_t>(c.ours(ours, d, i) - ours));
    if (n >= 0 && mine == std::string_view(expected, static_cast<std::size_t>(n))) return true;
    if (report != nullptr) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        char head[96];
        if (c.integer) {
            std::snprintf(head, sizeof head, "%s of %lld: ", c.name, static_cast<long long>(i));
        } else {
            std::snprintf(head, sizeof head, "%s of bits 0x%016llx: ", c.name,
                          static_cast<unsigned long long>(bits));
        }
        *report =
            std::string(head) + "printf \"" + expected + "\", ours \"" + std::string(mine) + "\"";
    }
    return false;
}

}  // namespace tal::test
