#include "scenefile/line_feeds.h"

#include <cstring>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace scenefile::detail {

namespace {

// Per-byte counters stay below 256 when summed this often (in steps).
constexpr std::size_t kStepsPerSum = 255;

// Eight bytes a step: the word is compared with line feeds in all its bytes
// at once.
std::uint64_t countInWords(const char* p, std::size_t n, std::size_t& i) {
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    constexpr std::uint64_t kLineFeeds = 0x0a0a0a0a0a0a0a0aULL;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kEvenBytes = 0x00ff00ff00ff00ffULL;
    std::uint64_t count = 0;
    while (i + 8 <= n) {
        std::uint64_t lanes = 0;
        for (std::size_t k = 0; k < kStepsPerSum && i + 8 <= n; ++k, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, sizeof word);
            const std::uint64_t x = word ^ kLineFeeds;  // zero bytes where the line feeds are
            // The high bit of each byte of `t` is clear exactly where `x` has a zero byte.
            const std::uint64_t t = ((x & kLow7) + kLow7) | x | kLow7;
            lanes += (~t >> 7) & kOnes;
        }
        const std::uint64_t pairs = (lanes & kEvenBytes) + ((lanes >> 8) & kEvenBytes);
        count += (pairs * 0x0001000100010001ULL) >> 48;
    }
    return count;
}

#if defined(__SSE2__) && defined(__x86_64__)
// Sixteen bytes a step, in two independent counters so that the loads of
// one step do not wait for the sums of the last.
std::uint64_t countInVectors(const char* p, std::size_t n, std::size_t& i) {
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t count = 0;
    while (i + 32 <= n) {
        __m128i a = zero, b = zero;  // per-byte counts, negated (a match compares as -1)
        for (std::size_t k = 0; k < kStepsPerSum && i + 32 <= n; ++k, i += 32) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
            a = _mm_sub_epi8(a, _mm_cmpeq_epi8(x, lineFeeds));
            b = _mm_sub_epi8(b, _mm_cmpeq_epi8(y, lineFeeds));
        }
        const __m128i sums = _mm_add_epi64(_mm_sad_epu8(a, zero), _mm_sad_epu8(b, zero));
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
    return count;
}
#endif

}  // namespace

std::uint64_t countLineFeeds(const char* p, std::size_t n) {
    std::size_t i = 0;
    std::uint64_t count = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    count += countInVectors(p, n, i);
#endif
    count += countInWords(p, n, i);
    for (; i < n; ++i) count += p[i] == '\n';
    return count;
}

}  // namespace scenefile::detail
