// Arrays whose numbers are written as text: the values the reader makes of
// them, bit for bit, and the located errors for numbers that are not.
#include <gtest/gtest.h>

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
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

TEST(TextArrays, DecimalsOfEveryLengthReadAsFromCharsReadsThem) {
    // Decimals of up to 15 digits take a short way, longer ones the general
    // one; both give std::from_chars's double, bit for bit.
    std::vector<std::string> texts = {"0.0",
                                      "-0.0",
                                      "5.",
                                      "-5.",
                                      "-.5",
                                      "999999999999999.",
                                      "9999999999999999.",
                                      "0.000000000000001",
                                      "0.0000000000000001",
                                      "-9.99999999999999",
                                      "123456789012345.6",
                                      "0.1",
                                      "0.3",
                                      "1.7976931348623157"};
    std::mt19937_64 rng(20261209);
    for (int i = 0; i < 20000; ++i) {
        const auto digits = static_cast<int>(1 + rng() % 17);
        const auto point = static_cast<int>(rng() % static_cast<std::uint64_t>(digits + 1));
        std::string s = rng() % 2 ? "-" : "";
        for (int d = 0; d <= digits; ++d) {
            if (d == point) s += '.';
            if (d < digits) s += static_cast<char>('0' + rng() % 10);
        }
        texts.push_back(s);
    }
    std::string text = "\"p\" [ ";
    for (const std::string& t : texts) text += t + ",";
    Document doc = readScene(text + " ],\n");
    const NumberArray& read = *doc.statements.at(0).value()->numberArray();
    ASSERT_EQ(read.values.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        EXPECT_EQ(bitsOf(read.values[i]), bitsOf(expectedNumber(texts[i]).value));
        EXPECT_FALSE(read.integral(i));
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

// Reads `text` whole, then as a stream in chunks of each size given, and
// expects the same error every time: `problem` at `line` and `offset`.
void expectErrorInEveryChunking(std::string_view text, std::initializer_list<std::size_t> chunks,
                                std::uint64_t line, std::uint64_t offset, const char* problem) {
    std::vector<std::size_t> sizes{0};  // 0: whole
    sizes.insert(sizes.end(), chunks);
    for (std::size_t chunk : sizes) {
        SCOPED_TRACE(chunk);
        try {
            TreeBuilder tree;
            StreamReader reader(tree);
            if (chunk == 0) reader.readAll(text);
            for (std::size_t at = 0; chunk && at < text.size(); at += chunk)
                reader.feed(text.substr(at, chunk));
            if (chunk) reader.finish();
            ADD_FAILURE() << "no error";
        } catch (const ParseError& e) {
            EXPECT_EQ(e.problem(), problem);
            EXPECT_EQ(e.pos().line, line);
            EXPECT_EQ(e.pos().offset, offset);
        }
    }
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
        expectErrorInEveryChunking(c.text, {1, 5}, c.line, c.offset, c.problem);
    }
}

// A binary array's marker, kind and count, without its values.
std::string binaryHeader(char kind, std::uint32_t count) {
    std::string s = "\x01\x02\x03";
    s += kind;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(count >> (8 * i));
    return s;
}

TEST(TextArrays, ArraysCutShortOrMixedFailAtTheSamePlaceInEveryChunking) {
    // Numbers before texts, binary arrays and inline shaders; arrays that the
    // input's end cuts anywhere; a long array whose last tuple is wrong.
    const std::string words12("\x01\0\0\0\x02\0\0\0", 8);
    std::string many = "\"p\" [\n";
    for (int i = 0; i < 300; ++i) many += std::to_string(i) + " 0.5 -1,\n";
    struct Case {
        std::string text;
        std::uint64_t line, offset;
        const char* problem;
    } cases[] = {
        {"\"p\" [ 1 2, 3 4, \"a\", 5x ],\n", 1, 21, "expected an array element, found '5x'"},
        {"\"p\" [ 1 2, 3 4, \"a\" 5 ],\n", 1, 20,
         "expected ',' or ']' in the array, found number 5"},
        {"\"p\" [ 1 2, 3 4", 1, 14, "expected ',' or ']' in the array, found end of input"},
        {"\"p\" [ 1 2, 3 4,", 1, 15, "expected ']' to close the array, found end of input"},
        {"\"p\" [ 1 2, 3 4,\n", 2, 16, "expected ']' to close the array, found end of input"},
        {"\"p\" [ 1 2, \"a\"", 1, 14, "expected ',' or ']' in the array, found end of input"},
        {"\"p\" [ 1 2, " + binaryHeader('i', 3) + words12, 1, 11,
         "binary array of 3 values needs 12 bytes, but only 8 remain"},
        {"\"p\" [ 1 2, " + binaryHeader('i', 2) + words12 + " 3 ],\n", 1, 28,
         "expected ',' or ']' in the array, found number 3"},
        {"\"p\" [ 1 2, " + binaryHeader('i', 2) + words12 + ", 3 4 5x ],\n", 1, 33,
         "expected ',' or ']' in the array, found '5x'"},
        {"\"s\" [ \"t\" {\n\"c\" [ 1 2x ] ,\n} ],\n", 2, 20,
         "expected ',' or ']' in the array, found '2x'"},
        {"\"s\" [ 1 2, \"t\" {\n\"c\" [ 1 2 3, 4 5 1e999 ] ,\n} ],\n", 2, 34,
         "number out of range: 1e999"},
        {"shader \"t\" {\n\"c\" [ 1 2 3, 4 5 .. ] ,\n}\n", 2, 30,
         "expected ',' or ']' in the array, found '..'"},
        {"vertices [ 1 2 3,\n4 5 1.2.3 ]\n", 2, 22,
         "expected ',' or ']' in the array, found '1.2.3'"},
        {"vertices [ 1 2 3,\n4 5 6\n", 3, 24,
         "expected ',' or ']' in the array, found end of input"},
        {many + "1 2 3e ],\n", 302, 3500, "expected ',' or ']' in the array, found '3e'"},
        {many + "1 2 3", 302, 3501, "expected ',' or ']' in the array, found end of input"},
        {many, 302, 3496, "expected ']' to close the array, found end of input"},
        {"\"p\" [", 1, 5, "expected ']' to close the array, found end of input"},
        {"\"p\" [ 1 2 3, 4" + std::string("\x01"), 1, 14,
         "binary array header cut short by the end of input"},
        {"\"p\" [ 1 2 3, 4 \x01\x02", 1, 15, "binary array header cut short by the end of input"},
        {"\"p\" [ 1 2 3, 4 } ],\n", 1, 15, "expected ',' or ']' in the array, found '}'"},
        {"\"p\" [ 1 2 3, 1e400 2 ],\n", 1, 13, "number out of range: 1e400"},
        {"\"p\" [ 99999999999999999999999 1e-500 ],\n", 1, 30, "number out of range: 1e-500"},
        {"\"p\" [ 1 2 3,\n// comment\n4 ],\n", 2, 13, "expected an array element, found comment"},
        {"\"p\" [ 1 2 3 ,, ],\n", 1, 13, "expected an array element, found ','"},
        {"options {\n\"p\" [ 1 2 3, 4 5 ]\n", 3, 29,
         "end of input inside the options block \"\" that began on line 1 (1 block(s) left open)"},
        {"options {\n\"p\" [ 1 2 3, \"a\" ", 2, 27,
         "expected ',' or ']' in the array, found end of input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        expectErrorInEveryChunking(c.text, {1, 3, 17}, c.line, c.offset, c.problem);
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
