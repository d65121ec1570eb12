// Typed values, float substitution and the quoted and hex forms of texts.
#include <locale.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>

#include "sceneapi/numeric_locale.h"
#include "sceneapi/shader_text.h"
#include "test_support.h"

namespace tal::test {
namespace {

// The value text of one setParameter in the quoted style: "v" <value>,\n
std::string valueOf(int code, const void* value) {
    MemoryScene scene;
    scene.api.setParameter("v", code, value);
    std::string text = scene.text();
    const std::string head = "\"v\" ";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - 2), ",\n");
    return text.substr(head.size(), text.size() - head.size() - 2);
}

template <class T>
requires(!std::is_pointer_v<T> && !std::is_null_pointer_v<T>) std::string
    valueOf(int code, T value) {
    return valueOf(code, static_cast<const void*>(&value));
}

TEST(TypedValues, EachCodeHasItsText) {
    const float f4[4] = {1.5f, -2, 0.25f, 1e20f};
    const double d3[3] = {0.1, 2, -1e-5};
    const int i4[4] = {1, -2, 3, 2147483647};
    const double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.1, 2, 3, 1};
    const char* text = "hi";
    EXPECT_EQ(valueOf(kFloat3, f4), "1.5 -2 0.25");
    EXPECT_EQ(valueOf(kFloat4, f4), "1.5 -2 0.25 1e+20");
    EXPECT_EQ(valueOf(kFloat4b, f4), "1.5 -2 0.25 1e+20");
    EXPECT_EQ(valueOf(kFloat2, f4), "1.5 -2");
    EXPECT_EQ(valueOf(kDouble3, d3), "0.1 2 -1e-05");
    EXPECT_EQ(valueOf(kInt, i4), "1");
    EXPECT_EQ(valueOf(kInt23, i4 + 1), "-2");
    EXPECT_EQ(valueOf(kInt2, i4), "1 -2");
    EXPECT_EQ(valueOf(kInt3, i4), "1 -2 3");
    EXPECT_EQ(valueOf(kInt4, i4), "1 -2 3 2147483647");
    EXPECT_EQ(valueOf(kBool, 5), "on");
    EXPECT_EQ(valueOf(kBool, 0), "off");
    EXPECT_EQ(valueOf(kMatrix, m), "1 0 0 0 0 1 0 0 0 0 1 0 0.1 2 3 1");
    EXPECT_EQ(valueOf(kString, "a b"), "\"a b\"");
    EXPECT_EQ(valueOf(kStringRef, &text), "\"hi\"");
    EXPECT_EQ(valueOf(8, i4), "");                    // not a type code: the name alone
    EXPECT_EQ(valueOf(kFloat2 | kArrayBit, i4), "");  // no array form
    EXPECT_EQ(valueOf(kInt, nullptr), "");
}

TEST(TypedValues, FloatsOutsideTheOpenSingleRangeBecomeMinusOne) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(valueOf(kFloat, nan), "-1");
    EXPECT_EQ(valueOf(kFloat, FLT_MAX), "-1");
    EXPECT_EQ(valueOf(kFloat, -FLT_MAX), "-1");
    EXPECT_EQ(valueOf(kFloat, std::numeric_limits<float>::infinity()), "-1");
    EXPECT_EQ(valueOf(kFloat, 3.4e38f), "3.4e+38");
    EXPECT_EQ(valueOf(kFloat, 0.125f), "0.125");
}

TEST(TypedValues, DoublesHaveSixteenDecimalsAndNoSubstitution) {
    EXPECT_EQ(valueOf(kDouble, 0.5), "0.5000000000000000");
    EXPECT_EQ(valueOf(kDouble, -2.0), "-2.0000000000000000");
    EXPECT_EQ(valueOf(kDouble, 1e39), "999999999999999939709166371603178586112.0000000000000000");
}

TEST(QuotedTexts, PlainQuotedOrHexWithoutQuotes) {
    EXPECT_EQ(valueOf(kString, ""), "\"\"");
    EXPECT_EQ(valueOf(kString, "ab\n"), "xX61620a");
    EXPECT_EQ(valueOf(kString, "say \"x\""), "xX73617920227822");
    EXPECT_EQ(valueOf(kString, "\r"), "xX0d");
    EXPECT_EQ(valueOf(kString, "\xc3\xa9"), "xXc3a9");  // UTF-8 e-acute
    EXPECT_EQ(valueOf(kString, "tab\there"), "\"tab\there\"");
}

TEST(QuotedTexts, NamesAreQuotedToo) {
    MemoryScene scene;
    const int v = 1;
    scene.api.setParameter("a\"b", kInt, &v);
    scene.api.linkShader("", 4);
    EXPECT_EQ(scene.text(), "xX612262 1,\n\"\" ! 4,\n");
}

TEST(NumericLocale, DecimalPointEvenUnderACommaLocale) {
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma = name;
            break;
        }
    }
    if (comma == nullptr) {
        // tools/install-deps.sh makes de_DE.UTF-8; tools/run-tests.sh sets
        // VX_REQUIRE_COMMA_LOCALE=1 so that a missing locale fails there.
        const char* required = std::getenv("VX_REQUIRE_COMMA_LOCALE");
        if (required != nullptr && std::string(required) == "1") {
            FAIL() << "no locale with a decimal comma (de_DE.UTF-8, fr_FR.UTF-8) installed; "
                      "run tools/install-deps.sh";
        }
        GTEST_SKIP() << "no locale with a decimal comma installed; tools/install-deps.sh makes "
                        "de_DE.UTF-8";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 0.5);
    EXPECT_STREQ(probe, "0,5");
    {
        MemoryScene scene;
        const float f = 0.5f;
        scene.api.setParameter("f", kFloat, &f);
        scene.api.progress("p", 0.25f);
        EXPECT_EQ(scene.text(), "\"f\" 0.5,\nprogress \"p\" 0.250\n\n");
    }
    std::snprintf(probe, sizeof probe, "%g", 0.5);
    EXPECT_STREQ(probe, "0,5");  // restored when the writer went
    std::setlocale(LC_NUMERIC, "C");
}

// Writers on one thread share the switch, whatever order they go in.
TEST(NumericLocale, LastScopeRestoresTheThreadLocale) {
    const locale_t before = uselocale(locale_t{});
    auto first = std::make_unique<NeutralNumericLocale>();
    auto second = std::make_unique<NeutralNumericLocale>();
    EXPECT_TRUE(first->active());
    first.reset();
    EXPECT_TRUE(second->active());
    EXPECT_NE(uselocale(locale_t{}), before);
    second.reset();
    EXPECT_EQ(uselocale(locale_t{}), before);
}

}  // namespace
}  // namespace tal::test
