// The reader on hand-written and writer-made scene text: the tree it builds,
// how ambiguous lines are read, and the located errors for bad input.
#include "scenefile/reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

#include "scene_samples.h"
#include "tests/platform/test_files.h"

namespace {

using namespace scenefile;

Document read(const std::string& text) { return readScene(text); }

// The ParseError for `text`, or a failure.
ParseError errorOf(const std::string& text) {
    try {
        readScene(text);
    } catch (const ParseError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << text;
    return ParseError({}, "none");
}

const Node* find(const std::vector<Node>& nodes, NodeKind kind, std::string_view word) {
    for (const Node& n : nodes) {
        if (n.kind == kind && n.word == word) return &n;
        if (const Node* inner = find(n.children, kind, word)) return inner;
    }
    return nullptr;
}

std::string binaryArray(char kind, std::uint32_t count, const void* values, std::size_t valueSize) {
    std::string out = {'\x01', '\x02', '\x03', kind};
    for (int i = 0; i < 4; ++i) out += static_cast<char>((count >> (8 * i)) & 0xff);
    out.append(static_cast<const char*>(values), count * valueSize);
    return out;
}

TEST(Reader, ExportLikeSceneHasItsStructureAndValues) {
    for (bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary arrays" : "text arrays");
        Document doc = read(vxtest::exportLikeScene(binary));
        ASSERT_GE(doc.statements.size(), 8u);
        EXPECT_EQ(doc.statements[0].kind, NodeKind::Header);
        EXPECT_EQ(doc.statements[0].word, "talvik:dal:7");
        EXPECT_EQ(doc.statements[3].kind, NodeKind::Comment);
        EXPECT_EQ(doc.statements[4].kind, NodeKind::Print);
        EXPECT_EQ(doc.statements[4].word,
                  "Vantrix SceneApi oo 9.0.45  (built Wed Feb 20 10:46:13 2019)");
        EXPECT_EQ(doc.statements[5].kind, NodeKind::Version);

        const Node* load = find(doc.statements, NodeKind::Block, "load");
        ASSERT_NE(load, nullptr);
        EXPECT_EQ(load->name(), "talrtopt.so");
        ASSERT_NE(load->parameter("import_mode"), nullptr);
        EXPECT_EQ(load->parameter("import_mode")->style, ParamStyle::Comma);
        EXPECT_EQ(std::get<bool>(load->parameter("import_mode")->value()->v), true);

        // The camera's statement-style parameters; its environment binds as a role.
        const Node* camera = find(doc.statements, NodeKind::Block, "camera");
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(camera->parameter("projection")->style, ParamStyle::Statement);
        EXPECT_EQ(camera->parameter("projection")->value()->text()->bytes, "perspective");
        const Node* env = find(camera->children, NodeKind::UseShader, "reflection map");
        ASSERT_NE(env, nullptr);
        const Node* envShader = env->value()->shader();
        ASSERT_NE(envShader, nullptr);
        EXPECT_EQ(envShader->name(), "tal_envmap");
        EXPECT_EQ(envShader->parameter("texture")->value()->text()->bytes, "startup.hdr");

        const Node* geometry = find(doc.statements, NodeKind::Block, "geometry");
        ASSERT_NE(geometry, nullptr);
        std::vector<float> vertices;
        ASSERT_TRUE(flattenFloats(*geometry->parameter("vertices")->value(), vertices));
        ASSERT_EQ(vertices.size(), 24u);
        EXPECT_EQ(vertices[3], 1.0f);
        std::vector<std::int64_t> triangles;
        ASSERT_TRUE(flattenInts(*geometry->parameter("triangles")->value(), triangles));
        EXPECT_EQ(triangles.size(), 36u);
        const Value& tri = *geometry->parameter("triangles")->value();
        if (binary) {
            ASSERT_NE(tri.array(), nullptr);
            ASSERT_EQ(tri.array()->items.size(), 1u);
            EXPECT_EQ(tri.array()->items[0].binary()->kind, 'i');
        } else {
            ASSERT_NE(tri.numberArray(), nullptr);
            EXPECT_EQ(tri.numberArray()->tuples(), 36u);
            EXPECT_EQ(tri.numberArray()->arity, 1u);
        }

        // The material's surface links the texture shader inline after "!".
        const Node* wood = find(doc.statements, NodeKind::Block, "material");
        ASSERT_NE(wood, nullptr);
        EXPECT_EQ(wood->name(), "Wood");
        const Node* surface = wood->children.at(0).value()->shader();
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->name(), "tal_advanced");
        const Node* link = nullptr;
        for (const Node& c : surface->children)
            if (c.word == "diffuse" && c.value()->linked) link = &c;
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->value()->shader()->parameter("texture")->value()->text()->bytes,
                  "tex/wood.png");

        // Matrices of an animation: two elements of 16 numbers each.
        const Node* anim = find(doc.statements, NodeKind::Block, "animation");
        ASSERT_NE(anim, nullptr);
        const NumberArray* matrices = anim->parameter("matrices")->value()->numberArray();
        ASSERT_NE(matrices, nullptr);
        ASSERT_EQ(matrices->tuples(), 2u);
        EXPECT_EQ(matrices->tuple(1).size(), 16u);
        EXPECT_EQ(matrices->tuple(1).at(12).value, 5.0);
    }
}

TEST(Reader, ValuesReadAsWritten) {
    Document doc = read(
        "\"i\" 4294967295,\n"
        "\"d\" 0.5000000000000000,\n"
        "\"g\" 1e+10 -2.5 nan,\n"
        "\"inf\" -inf,\n"
        "\"hex\" xX61620a,\n"
        "\"empty\" \"\",\n"
        "\"blob\" bX00ff,\n"
        "\"b\" off,\n"
        "\"none\" ,\n"
        "\"ref\" ! 7,\n"
        "\"texts\" [ \"a\",\n\"b\" \n] ,\n"
        "\"bools\" [ 1,0 ] ,\n");
    const auto& s = doc.statements;
    ASSERT_EQ(s.size(), 12u);
    const Number& big = s[0].value()->numbers()->at(0);
    EXPECT_TRUE(big.integral);
    EXPECT_EQ(big.value, 4294967295.0);
    EXPECT_FALSE(s[1].value()->numbers()->at(0).integral);
    EXPECT_EQ(s[1].value()->numbers()->at(0).value, 0.5);
    ASSERT_EQ(s[2].value()->numbers()->size(), 3u);
    EXPECT_EQ(s[2].value()->numbers()->at(0).value, 1e10);
    EXPECT_TRUE(std::isnan(s[2].value()->numbers()->at(2).value));
    EXPECT_TRUE(std::isinf(s[3].value()->numbers()->at(0).value));
    EXPECT_EQ(s[4].value()->text()->bytes, "ab\n");
    EXPECT_TRUE(s[4].value()->text()->hexForm);
    EXPECT_EQ(s[5].value()->text()->bytes, "");
    EXPECT_EQ(std::get<Blob>(s[6].value()->v).bytes, std::string("\0\xff", 2));
    EXPECT_EQ(std::get<bool>(s[7].value()->v), false);
    EXPECT_EQ(s[8].value()->kind(), ValueKind::None);
    EXPECT_TRUE(s[9].value()->linked);
    EXPECT_EQ(std::get<ShaderRef>(s[9].value()->v).id, 7);
    ASSERT_EQ(s[10].value()->array()->items.size(), 2u);
    EXPECT_EQ(s[10].value()->array()->items[1].text()->bytes, "b");
    std::vector<std::int64_t> bools;
    EXPECT_TRUE(flattenInts(*s[11].value(), bools));
    EXPECT_EQ(bools, (std::vector<std::int64_t>{1, 0}));
}

TEST(Reader, BinaryArraysOfEveryKindDecodeLittleEndian) {
    float f[3] = {1.5f, -2.0f, 3.25f};
    std::int32_t i[2] = {-1, 70000};
    double d[1] = {0.125};
    std::string text =
        "\"c\" [ " + binaryArray('c', 3, f, 4) + "] ,\n" + "\"i\" [ " + binaryArray('i', 2, i, 4) +
        "] ,\n" + "\"r\" [ " + binaryArray('r', 1, d, 8) + "] ,\n" + "\"empty\" [ " +
        binaryArray('f', 0, f, 4) + "] ,\n" +
        // A text element followed directly by a binary array (a mixed array statement).
        "\"mixed\" [\n0.5000000000000000" + binaryArray('f', 1, f, 4) + " ],\n";
    Document doc = read(text);
    ASSERT_EQ(doc.statements.size(), 5u);
    const BinaryArray* c = doc.statements[0].value()->array()->items[0].binary();
    EXPECT_EQ(c->kind, 'c');
    EXPECT_EQ(std::get<std::vector<float>>(c->values), (std::vector<float>{1.5f, -2.0f, 3.25f}));
    EXPECT_EQ(std::get<std::vector<std::int32_t>>(
                  doc.statements[1].value()->array()->items[0].binary()->values),
              (std::vector<std::int32_t>{-1, 70000}));
    EXPECT_EQ(std::get<std::vector<double>>(
                  doc.statements[2].value()->array()->items[0].binary()->values)[0],
              0.125);
    EXPECT_EQ(doc.statements[3].value()->array()->items[0].binary()->count(), 0u);
    std::vector<double> mixed;
    EXPECT_TRUE(flattenNumbers(*doc.statements[4].value(), mixed));
    EXPECT_EQ(mixed, (std::vector<double>{0.5, 1.5}));
}

TEST(Reader, KeywordsWinUnlessTheirStatementDoesNotFit) {
    Document doc = read(
        "id 5\n"
        "scale 2\n"
        "scale 1 2 3\n"
        "reflection map 3\n"
        "reflection 0.5\n"
        "lumen on\n"
        "turn on on\n"
        "visible to the eye off\n"
        "material \"m\"\n"
        "material \"m\" {\n}\n"
        "set 4\n"
        "surface \"plain text\"\n");
    const auto& s = doc.statements;
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(s[0].kind, NodeKind::Id);
    EXPECT_EQ(s[1].kind, NodeKind::Parameter);
    EXPECT_EQ(s[1].word, "scale");
    EXPECT_EQ(s[2].kind, NodeKind::Scale);
    EXPECT_EQ(s[3].kind, NodeKind::UseShader);
    EXPECT_EQ(s[3].word, "reflection map");
    EXPECT_EQ(s[4].kind, NodeKind::Parameter);
    EXPECT_EQ(s[4].word, "reflection");
    EXPECT_EQ(s[5].word, "lumen");
    EXPECT_EQ(std::get<bool>(s[5].value()->v), true);
    EXPECT_EQ(s[6].word, "turn on");
    EXPECT_EQ(s[7].word, "visible to the eye");
    EXPECT_EQ(s[8].kind, NodeKind::UseMaterial);
    EXPECT_EQ(s[9].kind, NodeKind::Block);
    EXPECT_EQ(s[10].kind, NodeKind::Parameter);
    EXPECT_EQ(s[11].kind, NodeKind::Parameter);
    EXPECT_EQ(s[11].word, "surface");
}

TEST(Reader, MessagesAndShaderHeaders) {
    Document doc = read(
        "#print \"say \"hi\"\n%d\"\n"  // a quote and a line feed inside the text
        "#error \"a \"quoted\" word\"\n"
        "#define shader 12 tal_diffuse {\n\"diffuse\" 1 1 1,\n}\n"
        "#define shader xX0a \"t\" {\n}\n"
        "#modify \ncamera \"cam\" {\n}\n");
    const auto& s = doc.statements;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].word, "say \"hi\"\n%d");
    EXPECT_EQ(s[1].word, "a \"quoted\" word");
    EXPECT_EQ(s[2].args.at(0).numbers()->at(0).value, 12.0);
    EXPECT_EQ(s[2].args.at(1).text()->bytes, "tal_diffuse");
    EXPECT_TRUE(s[2].define);
    EXPECT_EQ(s[3].name(), "\n");
    EXPECT_TRUE(s[4].modify);
    EXPECT_EQ(s[4].word, "camera");
}

TEST(Reader, PositionsCountBytesAndLines) {
    Document doc = read("version 8\n\ngroup \"g\" {\n  id 1\n}\n");
    ASSERT_EQ(doc.statements.size(), 2u);
    EXPECT_EQ(doc.statements[1].pos.offset, 11u);
    EXPECT_EQ(doc.statements[1].pos.line, 3u);
    EXPECT_EQ(doc.statements[1].children[0].pos.line, 4u);
    EXPECT_EQ(doc.statements[1].children[0].pos.offset, 25u);

    // Line feed bytes inside binary data count as lines too; other bytes
    // with the line feed's low bits (0x8a, 0x0b) do not.
    std::vector<std::int32_t> values(5000);
    std::size_t lineFeeds = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t v = i % 3 == 0 ? 0x0a0a0a0au : i % 3 == 1 ? 0x8a0b0a8au : 0x01020304u;
        std::memcpy(&values[i], &v, 4);
        lineFeeds += i % 3 == 0 ? 4 : i % 3 == 1 ? 1 : 0;
    }
    Document after = read("\"a\" [ " + binaryArray('i', 5000, values.data(), 4) + "] ,\nid 1\n");
    EXPECT_EQ(after.statements.at(1).pos.line, 2 + lineFeeds);
}

TEST(Reader, BadInputIsALocatedError) {
    std::vector<float> f(3000, 1.0f);
    std::string header = "group \"g\" {\n";
    struct Case {
        std::string text;
        std::uint64_t line, offset;
        const char* says;
    } cases[] = {
        {header + "\"v\" [ " + binaryArray('c', 1000, f.data(), 4).substr(0, 20), 2, 18,
         "needs 4000 bytes, but only 12 remain"},
        {header + "\"v\" [ " + binaryArray('q', 1, f.data(), 4) + " ] ,\n", 2, 21,
         "unknown binary array kind 0x71"},
        {header + "\"v\" [ \x01\x02\x03", 2, 18, "header cut short"},
        {header + "\"name\" 1,\n", 3, 22,
         "end of input inside the group block \"g\" that began on line 1"},
        {"}\n", 1, 0, "'}' without an open block"},
        {header + "\"unterminated 1,\n}\n", 2, 28, "line feed inside a quoted text"},
        {"\"unterminated", 1, 0, "without its closing quote"},
        {"group g {\n}\n", 1, 6, "expected a quoted group name, found 'g'"},
        {"group \"g\"\n{\n}\n", 1, 9, "expected '{' after the group header, found end of line"},
        {"12 \"x\"\n", 1, 0, "expected a statement, found number 12"},
        {"\"a\" xX616\n", 1, 4, "odd number of hex digits"},
        {"transform 1 2 3\n\"x\" 1 2 \"y\",\n", 2, 24,
         "expected ',' or end of line after the value of 'x'"},
        {"\"a\" [ 1, 2\n", 2, 11, "expected ',' or ']' in the array, found end of input"},
        {"\"a\" ! \"type\",\n", 1, 6,
         "expected a shader id or an inline shader after '!', found text \"type\""},
        {"\"s\" \"type\" {\n\"p\" 1,\n", 3, 20,
         "end of input inside the shader block that began on line 1"},
        {"\x05", 1, 0, "unexpected byte 0x05"},
        {"\"x\" " + binaryArray('f', 0, f.data(), 4) + ",\n", 1, 4,
         "expected a value, found binary array 'f' of 0 values"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ParseError e = errorOf(c.text);
        EXPECT_EQ(e.pos().line, c.line);
        EXPECT_EQ(e.pos().offset, c.offset);
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.line) + ", byte "),
                  std::string::npos);
    }
}

TEST(Reader, NestingIsBounded) {
    std::string deepBlocks, deepShaders = "\"p\" ";
    for (std::size_t i = 0; i <= scenefile::kMaxBlockDepth; ++i) deepBlocks += "group \"g\" {\n";
    for (std::size_t i = 0; i <= scenefile::kMaxInlineShaderDepth; ++i)
        deepShaders += "\"t\" {\n\"p\" ";
    EXPECT_NE(errorOf(deepBlocks).problem().find("blocks nested deeper than 1024"),
              std::string::npos);
    EXPECT_NE(errorOf(deepShaders).problem().find("inline shaders nested deeper than 64"),
              std::string::npos);
    // At the limit, deep nesting reads.
    std::string fine;
    for (std::size_t i = 0; i < scenefile::kMaxBlockDepth; ++i) fine += "group \"g\" {\n";
    for (std::size_t i = 0; i < scenefile::kMaxBlockDepth; ++i) fine += "}\n";
    EXPECT_NO_THROW(read(fine));
}

}  // namespace

namespace {

TEST(ReaderFiles, AFifoOrAFolderIsRefusedWithoutWaiting) {
    testfiles::TempDir dir;
    const std::string fifo = dir / "scene.vxs";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : {fifo, dir.path()}) {
        try {
            scenefile::readSceneFile(path);
            ADD_FAILURE() << path << " was read";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(", not a regular file"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
}

}  // namespace
