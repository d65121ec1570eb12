// The line feed counter against a plain count: every length and alignment
// around its 8- and 16-byte steps, and runs of line feeds long enough to
// fill its per-byte counters.
#include "scenefile/line_feeds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using scenefile::detail::countLineFeeds;

std::uint64_t plainCount(const char* p, std::size_t n) {
    return static_cast<std::uint64_t>(std::count(p, p + n, '\n'));
}

TEST(LineFeeds, EveryLengthAndAlignment) {
    std::string bytes(300, 'a');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (i % 3 == 0 || i % 7 == 1) bytes[i] = '\n';
    bytes[150] = '\x0b';  // next to a line feed, not one
    bytes[151] = '\x8a';  // a line feed with the high bit set, not one
    for (std::size_t from = 0; from < 17; ++from)
        for (std::size_t n = 0; from + n <= bytes.size(); ++n)
            ASSERT_EQ(countLineFeeds(bytes.data() + from, n), plainCount(bytes.data() + from, n))
                << from << " " << n;
}

TEST(LineFeeds, LongRunsOfLineFeedsDoNotOverflowTheCounters) {
    const std::string lineFeeds(3 * 32 * 255 + 45, '\n');
    for (std::size_t from : {0, 1, 5, 31})
        EXPECT_EQ(countLineFeeds(lineFeeds.data() + from, lineFeeds.size() - from),
                  lineFeeds.size() - from);
}

}  // namespace
