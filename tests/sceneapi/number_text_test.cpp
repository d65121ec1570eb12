// The writer's number texts are printf's, byte for byte: on samples of the
// cases format_sweep runs in full, on every edge value, and in the writer's
// text arrays.
#include "sceneapi/number_text.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "number_cases.h"
#include "sceneapi/scene_api.h"
#include "test_support.h"

namespace tal::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSamples = 20'000;
#else
constexpr int kSamples = 300'000;
#endif

// Runs `count` cases of each conversion; reports the first few differences.
void expectSampledCasesMatch(const Conversion& conversion, int count, std::uint64_t seed) {
    NumberCases cases(seed);
    int mismatches = 0;
    std::string report;
    for (int k = 0; k < count; ++k) {
        const std::int64_t i = conversion.integer ? cases.nextInteger() : 0;
        const double d = conversion.integer ? 0.0 : cases.nextDouble();
        if (matchesPrintf(conversion, d, i, &report)) continue;
        if (++mismatches <= 5) ADD_FAILURE() << report;
    }
    EXPECT_EQ(mismatches, 0) << conversion.name;
}

TEST(NumberText, SampledValuesMatchPrintfInEveryConversion) {
    for (const Conversion& conversion : kConversions) {
        expectSampledCasesMatch(conversion, kSamples, 7);
    }
}

TEST(NumberText, EveryEdgeValueMatchesPrintf) {
    std::string report;
    for (const Conversion& conversion : kConversions) {
        if (conversion.integer) {
            for (std::int64_t i : edgeIntegers()) {
                EXPECT_TRUE(matchesPrintf(conversion, 0, i, &report)) << report;
            }
        } else {
            for (double d : edgeDoubles()) {
                EXPECT_TRUE(matchesPrintf(conversion, d, 0, &report)) << report;
            }
        }
    }
}

std::string general(double v) {
    char text[kMaxGeneralText];
    return std::string(text, writeGeneral(text, v));
}

std::string fixed16(double v) {
    char text[kMaxFixed16Text];
    return std::string(text, writeFixed16(text, v));
}

TEST(NumberText, GeneralPicksTheStyleByTheRoundedExponent) {
    EXPECT_EQ(general(999999.4), "999999");
    EXPECT_EQ(general(999999.5), "1e+06");  // rounds up into the e style
    EXPECT_EQ(general(0.0001), "0.0001");
    EXPECT_EQ(general(0.00009999995), "0.0001");
    EXPECT_EQ(general(0.00001), "1e-05");
    EXPECT_EQ(general(1.5e-300), "1.5e-300");
    EXPECT_EQ(general(-0.0), "-0");
    EXPECT_EQ(general(123456.5), "123456");  // an exact tie goes to the even digit
    EXPECT_EQ(general(123457.5), "123458");
}

TEST(NumberText, InfinitiesAndNaNsAreSpeltAsPrintfSpellsThem) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(general(inf), "inf");
    EXPECT_EQ(general(-inf), "-inf");
    EXPECT_EQ(general(std::copysign(nan, 1.0)), "nan");
    EXPECT_EQ(general(std::copysign(nan, -1.0)), "-nan");
    EXPECT_EQ(fixed16(inf), "             inf");  // padded to the field width
    EXPECT_EQ(fixed16(std::copysign(nan, -1.0)), "            -nan");
}

TEST(NumberText, TextsKeepThePointUnderAnyProcessLocale) {
    const char* previous = setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    }
    const std::string texts = general(0.5) + " " + fixed16(0.25);
    setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(texts, "0.5 0.2500000000000000");
}

// The value text of one setParameter in the quoted style: "v" <value>,\n
std::string valueText(int code, const void* value) {
    MemoryScene scene;
    scene.api.setParameter("v", code, value);
    const std::string text = scene.text();
    return text.substr(4, text.size() - 6);
}

std::string printed(const char* format, double v) {
    char text[kMaxFixed16Text + 1];
    const int n = std::snprintf(text, sizeof text, format, v);
    return std::string(text, static_cast<std::size_t>(n));
}

TEST(NumberText, TextArraysOfTheWriterHoldPrintfTexts) {
    NumberCases cases(11);
    std::vector<double> matrices(3 * 16);
    std::vector<float> floats(20);
    for (double& v : matrices) v = cases.nextDouble();
    for (float& v : floats) v = static_cast<float>(cases.nextDouble());
    matrices[5] = std::numeric_limits<double>::quiet_NaN();  // written as it is
    floats[3] = std::numeric_limits<float>::infinity();      // written as -1

    std::string expected = "[ ";
    for (std::size_t k = 0; k < 3; ++k) {
        for (std::size_t j = 0; j < 16; ++j) expected += printed("%g ", matrices[16 * k + j]);
        expected += k < 2 ? ",\n" : "\n";
    }
    const ArrayValue matrixArray{matrices.data(), 3};
    EXPECT_EQ(valueText(kMatrix | kArrayBit, &matrixArray), expected + "] ");

    expected = "[ ";
    for (std::size_t k = 0; k < floats.size(); ++k) {
        expected += printed("%g", substituteOutOfRange(double{floats[k]}));
        expected += k + 1 < floats.size() ? "," : " ";
        if (k >= 1 && k % 8 == 0) expected += "\n";
    }
    const ArrayValue floatArray{floats.data(), static_cast<std::int32_t>(floats.size())};
    EXPECT_EQ(valueText(kFloat | kArrayBit, &floatArray), expected + "] ");
}

}  // namespace
}  // namespace tal::test
