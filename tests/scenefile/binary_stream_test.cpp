// Binary arrays in a stream, decoded as their bytes arrive: whatever the
// chunking, the reader reports the same statements at the same offsets and
// lines as a whole reading, every 0x0a byte counting for the line (in a
// header's count and among the values too); an array cut short or followed
// by something else fails at the same place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenefile/dump.h"
#include "scenefile/reader.h"

namespace {

using namespace scenefile;

std::string binaryArray(char kind, std::uint32_t count, const std::vector<std::uint32_t>& words) {
    std::string out = {'\x01', '\x02', '\x03', kind};
    for (int i = 0; i < 4; ++i) out += static_cast<char>((count >> (8 * i)) & 0xff);
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) out += static_cast<char>((w >> (8 * i)) & 0xff);
    return out;
}

// Line feed bytes among the values and in the count (10 = 0x0a) of the ids.
const std::string kScene =
    "group \"g\" {\n"
    "\"pts\" [ " +
    binaryArray('c', 3, {0x3f0a0a0a, 0x0a0a0a0a, 0x410a0000}) + "] ,\n" + "\"ids\" [ " +
    binaryArray('i', 10, {1, 0x0a, 0x0a0a, 4, 5, 6, 7, 8, 9, 0x0a000000}) + "] ,\n" +
    "\"two\" [\n" + binaryArray('r', 1, {0x0a0a0a0a, 0x3ff00000}) + "\n" +
    binaryArray('f', 1, {0x0a}) + "] ,\n" + "\"mixed\" [\n0.5" + binaryArray('f', 1, {0x3fc00000}) +
    " ],\n" + "\"empty\" [ " + binaryArray('f', 0, {}) + "] ,\n" +
    "surface \"tal_diffuse\" {\n\"w\" [ " + binaryArray('f', 2, {0x0a0a0a0a, 0}) + "] ,\n}\n" +
    "id 7\n"
    "}\n";

// The line of the byte at `offset`: one more than the line feed bytes before it.
std::size_t lineOf(const std::string& bytes, std::size_t offset) {
    return 1 + static_cast<std::size_t>(
                   std::count(bytes.begin(), bytes.begin() + static_cast<long>(offset), '\n'));
}

std::string located(const std::string& bytes, std::size_t offset, const std::string& problem) {
    return "line " + std::to_string(lineOf(bytes, offset)) + ", byte " + std::to_string(offset) +
           ": " + problem;
}

// Every report with its position: "offset:line what".
class PositionLog : public SceneSink {
public:
    std::vector<std::string> events;
    void beginBlock(const Node& header) override {
        events.push_back(at(header.pos) + "begin " + header.word);
    }
    void statement(Node&& node) override {
        std::string text;
        dumpNode(node, 0, text);
        events.push_back(at(node.pos) + text);
    }
    void endBlock(const Node&, SourcePos closingBrace) override {
        events.push_back(at(closingBrace) + "end");
    }

private:
    static std::string at(SourcePos p) {
        return std::to_string(p.offset) + ":" + std::to_string(p.line) + " ";
    }
};

std::vector<std::string> readWhole(const std::string& bytes) {
    PositionLog log;
    StreamReader(log).readAll(bytes);
    return log.events;
}

std::vector<std::string> readInPieces(const std::string& bytes,
                                      const std::vector<std::size_t>& cuts,
                                      ReaderOptions options = {}) {
    PositionLog log;
    StreamReader reader(log, options);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        reader.feed(std::string_view(bytes).substr(from, cut - from));
        EXPECT_EQ(reader.bytesRead(), cut);
        from = cut;
    }
    reader.feed(std::string_view(bytes).substr(from));
    reader.finish();
    return log.events;
}

// The error of reading `bytes` cut into pieces at `cuts`; the reader must be spent after it.
std::string errorInPieces(const std::string& bytes, const std::vector<std::size_t>& cuts,
                          ReaderOptions options = {}) {
    PositionLog log;
    StreamReader reader(log, options);
    try {
        std::size_t from = 0;
        for (std::size_t cut : cuts) {
            reader.feed(std::string_view(bytes).substr(from, cut - from));
            from = cut;
        }
        reader.feed(std::string_view(bytes).substr(from));
        reader.finish();
    } catch (const ParseError& e) {
        EXPECT_THROW(reader.feed("}\n"), std::logic_error);
        EXPECT_THROW(reader.finish(), std::logic_error);
        return e.what();
    }
    return "no error";
}

TEST(BinaryStream, PositionsCountEveryLineFeedByte) {
    const std::vector<std::string> events = readWhole(kScene);
    ASSERT_EQ(events.size(), 9u);
    for (const std::string& e : events) {
        const std::size_t offset = std::stoull(e);
        EXPECT_EQ(std::stoull(e.substr(e.find(':') + 1)), lineOf(kScene, offset)) << e;
    }
    EXPECT_NE(events[2].find("binary i 10 values"), std::string::npos) << events[2];
    EXPECT_NE(events[7].find("id 7"), std::string::npos) << events[7];
}

TEST(BinaryStream, EveryChunkingReadsLikeTheWhole) {
    const std::vector<std::string> whole = readWhole(kScene);
    for (std::size_t cut = 0; cut <= kScene.size(); ++cut)
        ASSERT_EQ(readInPieces(kScene, {cut}), whole) << cut;
    for (std::size_t size = 1; size <= 13; ++size) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = size; at < kScene.size(); at += size) cuts.push_back(at);
        ASSERT_EQ(readInPieces(kScene, cuts), whole) << "pieces of " << size;
    }
    // Two cuts anywhere in and around the first arrays.
    const std::size_t end = kScene.find("\"mixed\"");
    for (std::size_t a = 10; a < end; ++a)
        for (std::size_t b = a; b < end; b += 3)
            ASSERT_EQ(readInPieces(kScene, {a, b}), whole) << a << " " << b;
}

TEST(BinaryStream, AnArrayCutShortFailsAtItsStartWhateverTheChunking) {
    const std::size_t start = kScene.find("\x01\x02\x03i");
    const std::string expected =
        located(kScene, start, "binary array of 10 values needs 40 bytes, but only 17 remain");
    const std::string cut = kScene.substr(0, start + 8 + 17);
    for (std::size_t at = 0; at <= cut.size(); ++at)
        ASSERT_EQ(errorInPieces(cut, {at}), expected) << at;
    try {
        readScene(cut);
        FAIL() << "no error";
    } catch (const ParseError& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }

    // A count far beyond what arrives takes no memory for it.
    const std::string huge = "\"a\" [ " + binaryArray('r', 0xffffffffu, {1, 2, 3});
    EXPECT_EQ(errorInPieces(huge, {9}),
              "line 1, byte 6: binary array of 4294967295 values needs 34359738360 bytes, but only "
              "12 remain");
}

TEST(BinaryStream, WhatFollowsAnArrayIsCheckedWhereItIs) {
    const std::string bytes =
        "group \"g\" {\n\"a\" [ " + binaryArray('f', 2, {0x0a0a0a0a, 0x0a}) + "\nx ] ,\n}\n";
    const std::string expected =
        located(bytes, bytes.find('x'), "expected ',' or ']' in the array, found 'x'");
    for (std::size_t at = 0; at <= bytes.size(); ++at)
        ASSERT_EQ(errorInPieces(bytes, {at}), expected) << at;

    // A bad marker or kind after an array is reported as it was before values were decoded on
    // arrival.
    const std::string badKind = "\"a\" [ " + binaryArray('f', 1, {0}) + "\x01\x02\x03z" + "] ,\n";
    for (std::size_t at = 0; at <= badKind.size(); ++at)
        ASSERT_EQ(errorInPieces(badKind, {at}),
                  located(badKind, badKind.find('z'),
                          "unknown binary array kind 0x7a (expected c, f, r or i)"))
            << at;
}

// Count-only reading keeps every statement and position, each binary
// array's kind and count, and no value; errors fall where they fall when
// the values are kept.
TEST(BinaryStream, CountOnlyReadingKeepsCountsAndPositionsButNoValues) {
    const ReaderOptions countOnly{.keepBinaryValues = false};
    const Document kept = readScene(kScene);
    const Document counted = readScene(kScene, countOnly);
    const std::vector<std::string> whole = readWhole(kScene);
    // The dump shows counts, so the logs agree; values are gone.
    for (std::size_t cut = 0; cut <= kScene.size(); cut += 5)
        ASSERT_EQ(readInPieces(kScene, {cut}, countOnly).size(), whole.size()) << cut;
    std::vector<const BinaryArray*> keptArrays, countedArrays;
    const auto collect = [](const Document& d, std::vector<const BinaryArray*>& out) {
        const auto walk = [&out](const std::vector<Node>& nodes, const auto& self) -> void {
            for (const Node& n : nodes) {
                for (const Value& v : n.args) {
                    if (v.binary()) out.push_back(v.binary());
                    if (const Array* a = v.array())
                        for (const Value& item : a->items)
                            if (item.binary()) out.push_back(item.binary());
                }
                self(n.children, self);
            }
        };
        walk(d.statements, walk);
    };
    collect(kept, keptArrays);
    collect(counted, countedArrays);
    ASSERT_EQ(countedArrays.size(), keptArrays.size());
    ASSERT_GE(keptArrays.size(), 6u);
    for (std::size_t i = 0; i < keptArrays.size(); ++i) {
        EXPECT_EQ(countedArrays[i]->kind, keptArrays[i]->kind) << i;
        EXPECT_EQ(countedArrays[i]->count(), keptArrays[i]->count()) << i;
        EXPECT_EQ(countedArrays[i]->values.index(), keptArrays[i]->values.index()) << i;
        EXPECT_EQ(std::visit([](const auto& v) { return v.size(); }, countedArrays[i]->values), 0u)
            << i;
    }

    const std::size_t start = kScene.find("\x01\x02\x03i");
    const std::string cut = kScene.substr(0, start + 8 + 17);
    for (std::size_t at = 0; at <= cut.size(); at += 3)
        ASSERT_EQ(errorInPieces(cut, {at}, countOnly), errorInPieces(cut, {at})) << at;
}

}  // namespace
