// The stream reader: any chunking reads like the whole input; statements are
// reported as soon as they are complete; errors keep stream positions; a
// failed reader stays failed.
#include <gtest/gtest.h>

#include <stdexcept>

#include "canonical.h"
#include "scene_samples.h"
#include "scenefile/reader.h"

namespace {

using namespace scenefile;

// Records sink events as lines.
class EventLog : public SceneSink {
public:
    std::vector<std::string> events;
    void beginBlock(const Node& header) override { events.push_back("begin " + header.word); }
    void statement(Node&& node) override {
        events.push_back(std::string(nodeKindName(node.kind)) + " " + node.word);
    }
    void endBlock(const Node& header, SourcePos) override {
        events.push_back("end " + header.word);
    }
};

std::vector<std::string> chunked(std::string_view bytes, std::size_t split) {
    TreeBuilder tree;
    StreamReader reader(tree);
    reader.feed(bytes.substr(0, split));
    reader.feed(bytes.substr(split));
    reader.finish();
    return vxtest::canonicalLines(tree.take().statements);
}

TEST(StreamReader, EverySplitPointReadsLikeTheWhole) {
    for (bool binary : {true, false}) {
        std::string bytes = vxtest::exportLikeScene(binary);
        auto whole = vxtest::canonicalLines(readScene(bytes).statements);
        for (std::size_t split = 0; split <= bytes.size(); ++split)
            ASSERT_EQ(chunked(bytes, split), whole)
                << "split at " << split << (binary ? " binary" : " text");
    }
}

TEST(StreamReader, ByteByByteReadsLikeTheWhole) {
    std::string bytes = vxtest::exportLikeScene(true);
    TreeBuilder tree;
    StreamReader reader(tree);
    for (char c : bytes) reader.feed(std::string_view(&c, 1));
    reader.finish();
    EXPECT_EQ(vxtest::canonicalLines(tree.take().statements),
              vxtest::canonicalLines(readScene(bytes).statements));
    EXPECT_EQ(reader.bytesRead(), bytes.size());
}

TEST(StreamReader, ReportsStatementsAsTheyComplete) {
    EventLog log;
    StreamReader reader(log);
    reader.feed("group \"g\" {\n\"a\" 1");
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin group"}))
        << "header at once, parameter not yet";
    reader.feed(",\n\"big\" [ 1, 2,\n3");
    EXPECT_EQ(log.events.size(), 2u) << "the parameter once its comma came";
    reader.feed(" ],\n}\n");
    reader.finish();
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin group", "parameter a", "parameter big",
                                                    "end group"}));
}

TEST(StreamReader, LargeBinaryArrayInSmallChunks) {
    std::string bytes = vxtest::gridScene(200, 200, true);  // 80,000 triangles
    TreeBuilder tree;
    StreamReader reader(tree);
    for (std::size_t at = 0; at < bytes.size(); at += 1000)
        reader.feed(std::string_view(bytes).substr(at, 1000));
    reader.finish();
    Document doc = tree.take();
    const Node& object = doc.statements.back().children.at(0);
    std::vector<std::int64_t> tris;
    ASSERT_TRUE(flattenInts(*object.children.at(0).parameter("triangles")->value(), tris));
    EXPECT_EQ(tris.size(), 3u * 80000u);
    EXPECT_EQ(tris.back(), 199 * 201 + 199 + 201);  // the last cell's d corner
}

TEST(StreamReader, ErrorsCarryStreamPositions) {
    TreeBuilder tree;
    StreamReader reader(tree);
    reader.feed("version 8\n");
    reader.feed("group \"g\" {\n");
    try {
        reader.feed("object 5 {\n");
        FAIL() << "no error";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.pos().offset, 29u);
        EXPECT_EQ(e.pos().line, 3u);
        EXPECT_NE(e.problem().find("expected a quoted object name, found number 5"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(reader.feed("}\n"), std::logic_error);
    EXPECT_THROW(reader.finish(), std::logic_error);
}

TEST(StreamReader, EndOfInputInsideAStatementIsAnError) {
    TreeBuilder tree;
    StreamReader reader(tree);
    reader.feed("group \"g\" {\n\"name\" [ 1, 2");
    try {
        reader.finish();
        FAIL() << "no error";
    } catch (const ParseError& e) {
        EXPECT_NE(e.problem().find("expected ',' or ']' in the array, found end of input"),
                  std::string::npos)
            << e.what();
        EXPECT_EQ(e.pos().line, 2u);
    }
}

TEST(StreamReader, BlocksLeftOpenAtTheEndAreNamed) {
    TreeBuilder tree;
    StreamReader reader(tree);
    reader.feed("group \"outer\" {\nobject \"inner\" {\n");
    try {
        reader.finish();
        FAIL() << "no error";
    } catch (const ParseError& e) {
        EXPECT_NE(
            e.problem().find("object block \"inner\" that began on line 2 (2 block(s) left open)"),
            std::string::npos)
            << e.what();
    }
}

}  // namespace
