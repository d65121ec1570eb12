// Arrays whose numbers are written as text: the values the reader makes of
// them, bit for bit, and the located errors for numbers that are not.
#include <gtest/gtest.h>

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scenefile/reader.h"

namespace {

using namespace scenefile;

// Numbers as writers of scene files put them: "%g" and "%.9g" floats,
// "%.17g" and "%16.16f" doubles, integers of every size, and the odd forms
// the reader accepts.
std::vector<std::string> numberTexts(std::size_t count) {
    std::mt19937_64 rng(20261208);
    const char* odd[] = {"-0",
                         "+0",
                         "00012",
                         "+5",
                         ".5",
                         "5.",
                         "1e5",
                         "1E-5",
                         "nan",
                         "inf",
                         "-inf",
                         "-nan",
                         "1e+5",
                         "4.9e-324",
                         "-9007199254740993",
                         "123456789012345",
                         "1234567890123456",
                         "999999999999999",
                         "-999999999999999",
                         "18446744073709551616"};
    std::vector<std::string> out;
    char buf[64];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        float f;
        const auto fbits = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &fbits, sizeof f);
        if (!std::isfinite(d)) d = 1.5;
        if (!std::isfinite(f)) f = 2.5f;
        switch (i % 8) {
            case 0:
                std::snprintf(buf, sizeof buf, "%g", static_cast<double>(f));
                break;
            case 1:
                std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
                break;
            case 2:
                std::snprintf(buf, sizeof buf, "%.17g", d);
                break;
            case 3:
                std::snprintf(buf, sizeof buf, "%16.16f", static_cast<double>(bits % 100000) / 64);
                break;
            case 4:
                std::snprintf(buf, sizeof buf, "%" PRId32, static_cast<std::int32_t>(bits));
                break;
            case 5:
                std::snprintf(buf, sizeof buf, "%" PRId64,
                              static_cast<std::int64_t>(bits) >> (bits % 64));
                break;
            case 6:
                std::snprintf(buf, sizeof buf, "%g", static_cast<double>(f) * 1e-30);
                break;
            default:
                std::snprintf(buf, sizeof buf, "%s", odd[bits % std::size(odd)]);
        }
        out.emplace_back(buf);
    }
    return out;
}

// What a number's text means: std::from_chars's double (after a leading
// '+'), integral when written with digits and '-' only.
Number expectedNumber(std::string_view text) {
    if (text.front() == '+') text.remove_prefix(1);
    Number n;
    std::from_chars(text.data(), text.data() + text.size(), n.value);
    n.integral = text.find_first_not_of("0123456789-") == std::string_view::npos;
    return n;
}

std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(TextArrays, NumbersReadAsFromCharsReadsThem) {
    const std::vector<std::string> texts = numberTexts(30000);
    // Triples as the writer puts them, two to a line, and the same numbers one
    // by one as a plain list.
    std::string triples = "\"vertices\" [\n\t\t", list = "\"uv\" [\n\t\t";
    for (std::size_t i = 0; i + 2 < texts.size(); i += 3) {
        if (i > 0) triples += i % 6 == 0 ? ",\n\t\t" : ", ";
        triples += texts[i] + " " + texts[i + 1] + " " + texts[i + 2];
    }
    for (std::size_t i = 0; i < texts.size(); ++i) list += (i ? ", " : "") + texts[i];
    Document doc = readScene(triples + " ],\n" + list + " ],\n");
    const NumberArray& triplesRead = *doc.statements.at(0).value()->numberArray();
    const NumberArray& listRead = *doc.statements.at(1).value()->numberArray();
    ASSERT_EQ(triplesRead.tuples(), texts.size() / 3);
    ASSERT_EQ(triplesRead.arity, 3u);
    ASSERT_EQ(listRead.tuples(), texts.size());
    ASSERT_EQ(listRead.arity, 1u);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        const Number expected = expectedNumber(texts[i]);
        const Number inList = listRead.number(i);
        EXPECT_EQ(bitsOf(inList.value), bitsOf(expected.value));
        EXPECT_EQ(inList.integral, expected.integral);
        if (i / 3 >= triplesRead.tuples()) continue;
        const Number inTriple = triplesRead.tuple(i / 3).at(i % 3);
        EXPECT_EQ(bitsOf(inTriple.value), bitsOf(expected.value));
        EXPECT_EQ(inTriple.integral, expected.integral);
    }
}

TEST(TextArrays, TuplesEndAtCommasAndContinueAcrossLines) {
    Document doc = readScene("\"m\" [ 1 2\n3, 4,\n\t5 6 ],\n\"e\" [ ],\n");
    const NumberArray& m = *doc.statements.at(0).value()->numberArray();
    ASSERT_EQ(m.tuples(), 3u);
    EXPECT_EQ(m.tuple(0).size(), 3u);
    EXPECT_EQ(m.tuple(1).size(), 1u);
    EXPECT_EQ(m.tuple(2).at(1).value, 6.0);
    EXPECT_TRUE(doc.statements.at(1).value()->array()->items.empty());
}

TEST(TextArrays, MalformedNumbersAreLocatedErrors) {
    struct Case {
        const char* text;
        std::uint64_t line, offset;
        const char* problem;
    } cases[] = {
        {"\"p\" [ 1 2 3, 4 5 x ],\n", 1, 17, "expected ',' or ']' in the array, found 'x'"},
        {"\"p\" [ 1, 2.5.3, 3 ],\n", 1, 9, "expected an array element, found '2.5.3'"},
        {"\"p\" [\n\t1, 1e999 ],\n", 2, 10, "number out of range: 1e999"},
        {"\"p\" [ 1, -1e999 ],\n", 1, 9, "number out of range: -1e999"},
        {"\"p\" [ 1, 1e-400 ],\n", 1, 9, "number out of range: 1e-400"},
        {"\"p\" [ 1, -, 2 ],\n", 1, 9, "expected an array element, found '-'"},
        {"\"p\" [ 1, +, 2 ],\n", 1, 9, "expected an array element, found '+'"},
        {"\"p\" [ 1,, 2 ],\n", 1, 8, "expected an array element, found ','"},
        {"\"p\" [ 0x10 ],\n", 1, 6, "expected an array element, found '0x10'"},
        {"\"p\" [ 1, infinity ],\n", 1, 9, "expected an array element, found 'infinity'"},
        {"\"p\" [ 1 2,\n\t3 1f ],\n", 2, 14, "expected ',' or ']' in the array, found '1f'"},
        {"\"p\" [ 1 2 3 \"a\" ],\n", 1, 12, "expected ',' or ']' in the array, found text \"a\""},
        {"\"p\" [ 1, 2\n", 2, 11, "expected ',' or ']' in the array, found end of input"},
        {"group \"g\" {\n\"p\" [\n\t0 0 0, 1 0 0,\n\t1 1 1e99999 ],\n}\n", 4, 38,
         "number out of range: 1e99999"},
        {"\"p\" [ 1, 2 ] 3,\n", 1, 13,
         "expected ',' or end of line after the value of 'p', found number 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // Whole, and as a stream in chunks of one byte and of a few.
        for (std::size_t chunk : {std::size_t{0}, std::size_t{1}, std::size_t{5}}) {
            try {
                TreeBuilder tree;
                StreamReader reader(tree);
                const std::string_view text = c.text;
                if (chunk == 0) reader.readAll(text);
                for (std::size_t at = 0; chunk && at < text.size(); at += chunk)
                    reader.feed(text.substr(at, chunk));
                if (chunk) reader.finish();
                ADD_FAILURE() << "no error";
            } catch (const ParseError& e) {
                EXPECT_EQ(e.problem(), c.problem);
                EXPECT_EQ(e.pos().line, c.line);
                EXPECT_EQ(e.pos().offset, c.offset);
            }
        }
    }
}

TEST(TextArrays, ALongRunOfCommasIsAnErrorAtItsSecondComma) {
    // Room for an array's items is estimated from the bytes ahead; a run of
    // commas is still the error it was, found as soon.
    const std::string text = "\"p\" [ 1" + std::string(1 << 20, ',') + " ],\n";
    try {
        readScene(text);
        ADD_FAILURE() << "no error";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.pos().offset, 8u);
        EXPECT_EQ(e.problem(), "expected an array element, found ','");
    }
}

}  // namespace
