// Exact bytes of every statement of the scene file, the refusal rules of the
// top-level blocks, and the parameter style each block selects.
#include <cctype>
#include <functional>

#include "test_support.h"

namespace tal::test {
namespace {

struct Statement {
    const char* what;
    std::function<void(talScene_api_file&)> call;
    std::string bytes;
};

const double kMatrix[16] = {1, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 2, 0, 0.1, -3, 1e10, 1};

class StatementBytes : public testing::TestWithParam<Statement> {};

TEST_P(StatementBytes, AreExact) {
    MemoryScene scene;
    GetParam().call(scene.api);
    EXPECT_EQ(scene.text(), GetParam().bytes);
}

const double one = 1, two = 2.5, three = -3;
const unsigned char blob[] = {0x00, 0xff, 0x1a};

INSTANTIATE_TEST_SUITE_P(
    Scene, StatementBytes,
    testing::Values(
        Statement{"group", [](auto& a) { a.beginGroup("g", true); }, "\ngroup \"g\" {\n"},
        Statement{"group definition",
                  [](auto& a) {
                      a.beginGroup("g", false);
                      a.endGroup();
                  },
                  "\n#define group \"g\" {\n}\n"},
        Statement{"object",
                  [](auto& a) {
                      a.beginObject("o", true);
                      a.endObject();
                  },
                  "object \"o\" {\n}\n"},
        Statement{"object definition", [](auto& a) { a.beginObject("o", false); },
                  "#define object \"o\" {\n"},
        Statement{"geometry",
                  [](auto& a) {
                      a.beginGeometry("triangles");
                      a.endGeometry();
                  },
                  "geometry \"triangles\" {\n}\n"},
        Statement{"animation",
                  [](auto& a) {
                      a.beginAnimation("walk", "fbx");
                      a.endAnimation();
                  },
                  "animation \"walk\" \"fbx\" {\n}\n"},
        Statement{"load",
                  [](auto& a) {
                      a.beginLoad("m.so");
                      a.endLoad();
                  },
                  "load \"m.so\" {\n}\n"},
        Statement{"options",
                  [](auto& a) {
                      a.beginOptions();
                      a.endOptions();
                  },
                  "\noptions {\n}\n"},
        Statement{"camera",
                  [](auto& a) {
                      a.beginCamera("cam");
                      a.endCamera();
                  },
                  "\ncamera \"cam\" {\n}\n"},
        Statement{"camera without name", [](auto& a) { a.beginCamera(nullptr); }, "\ncamera {\n"},
        Statement{"modify camera", [](auto& a) { a.modifyCamera("cam"); },
                  "#modify \ncamera \"cam\" {\n"},
        Statement{"image",
                  [](auto& a) {
                      a.beginImage();
                      a.endImage();
                  },
                  "\nimage {\n}\n"},
        Statement{"output",
                  [](auto& a) {
                      a.beginOutput("a", "b", "");
                      a.endOutput();
                  },
                  "output \"a\" \"b\" \"\" {\n}\n"},
        Statement{"light",
                  [](auto& a) {
                      a.beginLight("l");
                      a.endLight();
                  },
                  "\nlight \"l\" {\n}\n"},
        Statement{"accel",
                  [](auto& a) {
                      a.beginAccel("bvh");
                      a.endAccel();
                  },
                  "\naccel \"bvh\" {\n}\n"},
        Statement{"matrix",
                  [](auto& a) {
                      a.beginMatrix("m");
                      a.endMatrix();
                  },
                  "#define matrix \"m\" {\n}\n"},
        Statement{"material",
                  [](auto& a) {
                      a.beginMaterial("red", true);
                      a.endMaterial();
                  },
                  "material \"red\" {\n}\n"},
        Statement{"material definition", [](auto& a) { a.beginMaterial("red", false); },
                  "\n#define material \"red\" {\n"},
        Statement{"use material", [](auto& a) { a.useMaterial("red"); }, "material \"red\"\n"},
        Statement{"transform", [](auto& a) { a.transform(kMatrix); },
                  "transform 1 0 0 0 0 0.5 0 0 0 0 2 0 0.1 -3 1e+10 1\n"},
        Statement{"set transform", [](auto& a) { a.setTransform(kMatrix); },
                  "set transform 1 0 0 0 0 0.5 0 0 0 0 2 0 0.1 -3 1e+10 1\n"},
        Statement{"scale rotate translate",
                  [](auto& a) {
                      a.scale(&one, &two, &three);
                      a.rotate(&one, &two, &three);
                      a.translate(&one, &two, &three);
                  },
                  "scale 1 2.5 -3\nrotate 1 2.5 -3\ntranslate 1 2.5 -3\n"},
        Statement{"attribute", [](auto& a) { a.attribute("source file", "a.c4d"); },
                  "attribute \"source file\" \"a.c4d\"\n"},
        Statement{"raw text", [](auto& a) { a.rawText("x=%d %s\n", 5, "y"); }, "x=5 y\n"},
        Statement{"version",
                  [](auto& a) {
                      a.version(-1);
                      a.version(7);
                  },
                  "version 8\n\nversion 7\n\n"},
        Statement{"progress", [](auto& a) { a.progress("half", 0.5f); },
                  "progress \"half\" 0.500\n\n"},
        Statement{"icon", [](auto& a) { a.icon(blob, 3); }, "icon bX00ff1a\n"},
        Statement{"binary parameter", [](auto& a) { a.binaryParameter("data", blob, 2); },
                  "data bX00ff\n"},
        Statement{"id and flags",
                  [](auto& a) {
                      a.id(7);
                      a.flags(4294967295u);
                  },
                  "id 7\nflags 4294967295\n"},
        Statement{"render", [](auto& a) { a.render(); }, "\nrender\n"},
        // print and error texts are neither quoted nor escaped.
        Statement{"print", [](auto& a) { a.print("say \"hi\"\n%d"); },
                  "#print \"say \"hi\"\n%d\"\n"},
        Statement{"error", [](auto& a) { a.error("bad"); }, "#error \"bad\"\n"}),
    [](const testing::TestParamInfo<Statement>& param) {
        std::string name = param.param.what;
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(UnusedSlots, AnswerAtOnceAndWriteNothing) {
    MemoryScene scene;
    talScene_api& api = scene.api;
    api.reservedHook1();
    api.reservedHook58();
    EXPECT_FALSE(api.connect("localhost", 5000, 0));
    EXPECT_FALSE(api.disconnect());
    EXPECT_FALSE(api.reservedQuery4());
    EXPECT_FALSE(api.reservedQuery64());
    EXPECT_EQ(api.reservedCount51(), 10);
    EXPECT_EQ(api.reservedCount52(), 10);
    EXPECT_EQ(api.reservedQuery53(), 0);
    api.setFormatFlags(0x400001);
    EXPECT_EQ(scene.text(), "");
}

TEST(TopLevelBlocks, OneAtATimeAndNoneInsideAnObject) {
    MemoryScene scene;
    auto& api = scene.api;
    ASSERT_TRUE(api.beginObject("o", true));
    const std::string before = scene.text();
    EXPECT_FALSE(api.beginCamera("cam"));
    EXPECT_FALSE(api.beginOptions());
    EXPECT_FALSE(api.beginImage());
    EXPECT_EQ(scene.text(), before);
    EXPECT_TRUE(api.beginObject("nested", true));  // objects themselves are not refused
    api.endObject();
    EXPECT_TRUE(api.beginOptions());  // endObject ended the top-level block
    EXPECT_FALSE(api.beginCamera("cam"));
    EXPECT_FALSE(api.modifyCamera("cam"));  // still writes its "#modify "
    EXPECT_EQ(scene.text(), before + "object \"nested\" {\n}\n\noptions {\n#modify ");
}

TEST(TopLevelBlocks, MismatchedEndWritesNothingButEndsTheBlock) {
    MemoryScene scene;
    auto& api = scene.api;
    api.beginOptions();
    const std::string opened = scene.text();
    api.endImage();  // options stay unclosed in the file
    EXPECT_EQ(scene.text(), opened);
    EXPECT_TRUE(api.beginCamera(nullptr));
    const int v = 1;
    api.endCamera();
    api.endCamera();  // nothing open: writes nothing, parameters leave statement style
    api.setParameter("n", kInt, &v);
    EXPECT_EQ(scene.text(), opened + "\ncamera {\n}\n\"n\" 1,\n");
}

TEST(ParameterStyle, FollowsTheInnermostBlock) {
    MemoryScene scene;
    auto& api = scene.api;
    const int v = 3;
    api.setParameter("top", kInt, &v);
    api.beginGroup("g", true);
    api.setParameter("inGroup", kInt, &v);
    api.beginGeometry("triangles");
    api.setParameter("inGeometry", kInt, &v);
    api.endGeometry();
    api.setParameter("again", kInt, &v);
    api.beginOutput("a", "b", "c");
    api.setParameter("inOutput", kInt, &v);
    api.endOutput();
    api.setParameter("after", kInt, &v);
    api.endGroup();
    api.setParameter("outside", kInt, &v);
    EXPECT_EQ(scene.text(),
              "\"top\" 3,\n\ngroup \"g\" {\ninGroup 3\ngeometry \"triangles\" {\n"
              "\"inGeometry\" 3,\n}\nagain 3\noutput \"a\" \"b\" \"c\" {\n\"inOutput\" 3,\n}\n"
              "after 3\n}\n\"outside\" 3,\n");
}

TEST(Indentation, DepthBlanksBeforeEachLineOnlyWhenAsked) {
    MemoryScene scene;
    auto& api = scene.api;
    api.setFormatFlags(0);  // indentation on, binary arrays off
    const int v = 1;
    api.beginGroup("g", true);
    api.beginObject("o", true);
    api.setParameter("n", kInt, &v);
    api.rawText("a\nb\n");
    api.endObject();
    api.endGroup();
    api.beginImage();
    api.endImage();
    EXPECT_EQ(scene.text(),
              "\ngroup \"g\" {\n object \"o\" {\n  n 1\n  a\n  b\n }\n}\n\nimage {\n}\n");
}

}  // namespace
}  // namespace tal::test
