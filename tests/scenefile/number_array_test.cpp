// The form a text array of numbers takes in the tree: flat numbers with the
// tuples' shape, turned into the general array by an element of another kind,
// the same whether the input comes whole or in chunks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "scenefile/dump.h"
#include "scenefile/large_pages.h"
#include "scenefile/reader.h"
#include "scenefile/scene_index.h"
#include "tests/platform/test_files.h"

namespace {

using namespace scenefile;

Document readInChunks(std::string_view text, std::size_t chunk) {
    TreeBuilder tree;
    StreamReader reader(tree);
    for (std::size_t at = 0; at < text.size(); at += chunk) reader.feed(text.substr(at, chunk));
    reader.finish();
    return tree.take();
}

// The document read whole, after checking that every chunking reads the same.
Document readEveryWay(const std::string& text) {
    Document whole = readScene(text);
    const std::string expected = dumpDocument(whole);
    for (std::size_t chunk : {1, 3, 17})
        EXPECT_EQ(dumpDocument(readInChunks(text, chunk)), expected) << "chunks of " << chunk;
    return whole;
}

std::vector<double> valuesOf(const std::vector<Number>& numbers) {
    std::vector<double> out;
    for (const Number& n : numbers) out.push_back(n.value);
    return out;
}

std::string binaryInts(std::vector<std::int32_t> values) {
    std::string s = "\x01\x02\x03i";
    const auto count = static_cast<std::uint32_t>(values.size());
    for (int i = 0; i < 4; ++i) s += static_cast<char>(count >> (8 * i));
    for (std::int32_t v : values)
        for (int i = 0; i < 4; ++i)
            s += static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
    return s;
}

TEST(NumberArrays, TuplesOfOneSizeKeepTheirArity) {
    std::string matrices = "\"matrices\" [ ";
    for (int m = 0; m < 2; ++m)
        for (int i = 0; i < 16; ++i) matrices += std::to_string(m * 16 + i) + (i < 15 ? " " : ",");
    Document doc = readEveryWay("\"p\" [ 1 2 3, 4 5 6 ],\n" + matrices + " ],\n");
    const NumberArray& p = *doc.statements.at(0).value()->numberArray();
    EXPECT_EQ(p.arity, 3u);
    EXPECT_EQ(p.tuples(), 2u);
    EXPECT_TRUE(p.ends.empty());
    EXPECT_EQ(std::vector<double>(p.values.begin(), p.values.end()),
              (std::vector<double>{1, 2, 3, 4, 5, 6}));
    const NumberArray& m = *doc.statements.at(1).value()->numberArray();
    EXPECT_EQ(m.arity, 16u);
    ASSERT_EQ(m.tuples(), 2u);
    EXPECT_EQ(m.begin(1), 16u);
    EXPECT_EQ(m.tuple(1).at(15).value, 31.0);
}

TEST(NumberArrays, TuplesOfDifferentSizesKeepWhereEachEnds) {
    Document doc = readEveryWay("vertices [ 1 2 3, 4 5,\n6, 7 8 9 10 ]\n\"q\" [ 1, 2, 3 4 ],\n");
    const NumberArray& v = *doc.statements.at(0).value()->numberArray();
    EXPECT_EQ(v.arity, 0u);
    EXPECT_EQ(v.ends, (std::vector<std::size_t>{3, 5, 6, 10}));
    ASSERT_EQ(v.tuples(), 4u);
    EXPECT_EQ(valuesOf(v.tuple(1)), (std::vector<double>{4, 5}));
    EXPECT_EQ(valuesOf(v.tuple(3)), (std::vector<double>{7, 8, 9, 10}));
    // The shape changes after tuples of one size: those before keep their ends.
    const NumberArray& q = *doc.statements.at(1).value()->numberArray();
    EXPECT_EQ(q.ends, (std::vector<std::size_t>{1, 2, 4}));
}

TEST(NumberArrays, EachNumberRemembersWhetherItWasAnInteger) {
    // Past the first 64 numbers too, where the marks go on in another word.
    std::string text = "\"p\" [ ";
    for (int i = 0; i < 150; ++i) text += i % 3 == 0 ? "7," : i % 3 == 1 ? "7.0," : "-0 1e2,";
    Document doc = readEveryWay(text + " ],\n");
    const NumberArray& p = *doc.statements.at(0).value()->numberArray();
    ASSERT_EQ(p.values.size(), 200u);
    for (std::size_t i = 0, n = 0; i < 150; ++i) {
        SCOPED_TRACE(i);
        if (i % 3 == 2) {
            EXPECT_TRUE(p.integral(n));
            EXPECT_TRUE(std::signbit(p.values[n++]));
            EXPECT_FALSE(p.integral(n++));
        } else {
            EXPECT_EQ(p.integral(n++), i % 3 == 0);
        }
    }
}

TEST(NumberArrays, AnElementOfAnotherKindMakesTheGeneralArray) {
    const std::string text =
        "\"texts\" [ 1 2, 3, \"a\", 4 5 ],\n"
        "\"bool\" [ 1 2, on ],\n"
        "\"binary\" [ 1 2, " +
        binaryInts({7, 8}) +
        " ],\n"
        "\"binary first\" [ " +
        binaryInts({9}) +
        ", 1 2 ],\n"
        "\"shader\" [ 1, \"t\" {\n\"c\" [ 1 0 0 ] ,\n} ],\n"
        "\"empty\" [ ],\n";
    Document doc = readEveryWay(text);
    const auto items = [&](std::size_t i) { return doc.statements.at(i).value()->array(); };
    for (std::size_t i = 0; i < 6; ++i) ASSERT_NE(items(i), nullptr) << i;
    ASSERT_EQ(items(0)->items.size(), 4u);
    EXPECT_EQ(valuesOf(*items(0)->items[0].numbers()), (std::vector<double>{1, 2}));
    EXPECT_EQ(valuesOf(*items(0)->items[1].numbers()), (std::vector<double>{3}));
    EXPECT_EQ(items(0)->items[2].text()->bytes, "a");
    EXPECT_EQ(valuesOf(*items(0)->items[3].numbers()), (std::vector<double>{4, 5}));
    EXPECT_EQ(items(1)->items.at(1).kind(), ValueKind::Bool);
    EXPECT_EQ(items(2)->items.at(1).binary()->count(), 2u);
    EXPECT_EQ(items(3)->items.at(0).binary()->count(), 1u);
    EXPECT_EQ(items(3)->items.at(1).numbers()->size(), 2u);
    const Node* shader = items(4)->items.at(1).shader();
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->parameter("c")->value()->numberArray()->arity, 3u);
    EXPECT_TRUE(items(5)->items.empty());
}

TEST(NumberArrays, ConsumersSeeTheNumbersOfEitherForm) {
    Document doc = readScene(
        "geometry \"triangles\" {\n\"vertices\" [ 0 0 0, 1 0 0, 0 1.5 0 ],\n"
        "\"triangles\" [ 0, 1, 2 ],\n\"uv\" [ 0.5, 1e300 ],\n}\n");
    const Node& g = doc.statements.at(0);
    std::vector<double> d;
    ASSERT_TRUE(flattenNumbers(*g.parameter("vertices")->value(), d));
    EXPECT_EQ(d, (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 1.5, 0}));
    std::vector<float> f;
    ASSERT_TRUE(flattenFloats(*g.parameter("vertices")->value(), f));
    EXPECT_EQ(f.at(7), 1.5f);
    std::vector<std::int64_t> i;
    ASSERT_TRUE(flattenInts(*g.parameter("triangles")->value(), i));
    EXPECT_EQ(i, (std::vector<std::int64_t>{0, 1, 2}));
    EXPECT_FALSE(flattenInts(*g.parameter("vertices")->value(), i));
    EXPECT_TRUE(i.empty());
    EXPECT_EQ(scalarCount(g, "vertices"), 9u);
    EXPECT_EQ(scalarCount(g, "uv"), 2u);
    // Dumped as the general array of the same tuples would be.
    EXPECT_TRUE(dumpDocument(doc).starts_with(
        "geometry \"triangles\" {\n  \"vertices\" [\n    0 0 0\n    1 0 0\n    0 1.5 0\n  ]\n"))
        << dumpDocument(doc);
}

TEST(NumberArrays, RoomIsCloseToTheNumbersHeld) {
    // A mesh as the writer puts it: tuples of three, ten to a line.
    std::string text = "\"vertices\" [ ";
    for (int i = 0; i < 30000; ++i)
        text +=
            std::to_string(i) + " 0.25 -" + std::to_string(i % 100) + (i % 10 == 9 ? ",\n" : ",");
    text += " ],\n";
    Document doc = readScene(text);
    const NumberArray& v = *doc.statements.at(0).value()->numberArray();
    ASSERT_EQ(v.tuples(), 30000u);
    const std::size_t bytes = v.values.capacity() * sizeof(double) +
                              v.integralBits.capacity() * sizeof(std::uint64_t) +
                              v.ends.capacity() * sizeof(std::size_t);
    EXPECT_LE(bytes, 90000 * sizeof(double) * 9 / 8 + 2048);
}

TEST(NumberArrays, AFileReadsAsItsBytesDo) {
    // Read in pieces: arrays across their ends, and statements longer than a piece.
    std::string text = "group \"g\" {\n\"long\" \"" + std::string(3 << 20, 'a') + "\",\n";
    text += "\"p\" [ ";
    for (int i = 0; i < 120000; ++i) text += std::to_string(i) + " 0.5 -2.25,\n";
    text += "\"a\" ],\n\"q\" [ ";
    for (int i = 0; i < 700000; ++i) text += "1 ";
    text += "],\n}\n";
    testfiles::TempDir dir;
    testfiles::writeFile(dir / "scene.vxs", text);
    EXPECT_EQ(dumpDocument(readSceneFile(dir / "scene.vxs")), dumpDocument(readScene(text)));
    // Cut inside the array: the same error as the bytes give.
    testfiles::writeFile(dir / "cut.vxs", text.substr(0, text.size() / 2));
    std::string fromFile, fromBytes;
    try {
        readSceneFile(dir / "cut.vxs");
    } catch (const ParseError& e) {
        fromFile = e.what();
    }
    try {
        readScene(text.substr(0, text.size() / 2));
    } catch (const ParseError& e) {
        fromBytes = e.what();
    }
    EXPECT_FALSE(fromFile.empty());
    EXPECT_EQ(fromFile, fromBytes);
}

// The big numbers of a tree live in blocks mapped on their own: what is
// stored survives the moves from block to block as an array grows, a copy is
// whole, and every block is given back.
TEST(NumberArrays, BlocksMappedOnTheirOwnHoldTheNumbersAndAreGivenBack) {
    const std::size_t before = largePageBytesInUse.load();
    {
        NumberArray flat;
        const std::size_t count = 3 * kLargePageThreshold / sizeof(double);
        for (std::size_t i = 0; i < count; ++i) {
            const Number n{static_cast<double>(i) * 0.5, i % 2 == 0};
            flat.append(&n, 1);
        }
        EXPECT_GT(largePageBytesInUse.load(), before);
        const NumberArray copy = flat;
        ASSERT_EQ(copy.values.size(), count);
        for (std::size_t i = 0; i < count; i += 4099) {
            EXPECT_EQ(copy.values[i], static_cast<double>(i) * 0.5);
            EXPECT_EQ(copy.integral(i), i % 2 == 0);
        }
    }
    EXPECT_EQ(largePageBytesInUse.load(), before);
}

}  // namespace
