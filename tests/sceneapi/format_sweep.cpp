// format_sweep [values per conversion] [seed] [conversion]: compares the writer's number
// texts with snprintf on many values (default 100,000,000 per conversion; all
// conversions, or the one named, e.g. %g)
// drawn as tests/sceneapi/number_cases.h describes, and prints per
// conversion the count of values, of mismatches (the first ten in full) and
// the time taken. Exits 1 when any text differs. Not part of the test suite:
// it takes minutes; the unit test samples the same cases.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "number_cases.h"

namespace {

long long sweep(const tal::test::Conversion& conversion, long long count, std::uint64_t seed) {
    tal::test::NumberCases cases(seed);
    long long mismatches = 0;
    std::string report;
    for (long long k = 0; k < count; ++k) {
        const std::int64_t i = conversion.integer ? cases.nextInteger() : 0;
        const double d = conversion.integer ? 0.0 : cases.nextDouble();
        if (tal::test::matchesPrintf(conversion, d, i, &report)) continue;
        if (++mismatches <= 10) std::printf("  %s\n", report.c_str());
    }
    return mismatches;
}

}  // namespace

int main(int argc, char** argv) {
    const long long count = argc > 1 ? std::atoll(argv[1]) : 100'000'000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261208;
    long long total = 0;
    const std::string only = argc > 3 ? argv[3] : "";
    for (const tal::test::Conversion& conversion : tal::test::kConversions) {
        if (!only.empty() && only != conversion.name) continue;
        const auto start = std::chrono::steady_clock::now();
        const long long mismatches = sweep(conversion, count, seed);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%-8s %lld values, %lld mismatches, %.1f s\n", conversion.name, count,
                    mismatches, took.count());
        std::fflush(stdout);
        total += mismatches;
    }
    return total == 0 ? 0 : 1;
}
