// Exact bytes of every statement of the scene file, the refusal rules of the
// top-level blocks, and the parameter style each block selects.
#include "test_support.h"

namespace tal::test {
namespace {

const double kMatrix[16] = {1, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 2, 0, 0.1, -3, 1e10, 1};

// Every statement once, in a group, then the top-level blocks.
TEST(Statements, BytesMatchTheGoldenFile) {
    MemoryScene scene;
    auto& api = scene.api;
    const double x = 1, y = 2.5, z = -3;
    const unsigned char blob[] = {0x00, 0xff, 0x1a};
    api.beginGroup("g", true);
    api.beginGroup("def", false);
    api.endGroup();
    api.beginObject("o", true);
    api.endObject();
    api.beginObject("proto", false);
    api.endObject();
    api.beginGeometry("triangles");
    api.endGeometry();
    api.beginAnimation("walk", "fbx");
    api.endAnimation();
    api.beginLoad("m.so");
    api.endLoad();
    api.beginLight("l");
    api.endLight();
    api.beginAccel("bvh");
    api.endAccel();
    api.beginMatrix("m");
    api.endMatrix();
    api.beginMaterial("red", true);
    api.endMaterial();
    api.beginMaterial("blue", false);
    api.endMaterial();
    api.useMaterial("red");
    api.beginOutput("a", "b", "");
    api.endOutput();
    api.transform(kMatrix);  // single precision, "%g"
    api.setTransform(kMatrix);
    api.scale(&x, &y, &z);
    api.rotate(&x, &y, &z);
    api.translate(&x, &y, &z);
    api.attribute("source file", "a.c4d");
    api.rawText("x=%d %s\n", 5, "y");
    api.version(-1);
    api.version(7);
    api.progress("half", 0.5f);
    api.icon(blob, 3);
    api.binaryParameter("data", blob, 2);
    api.id(7);
    api.flags(4294967295u);
    EXPECT_TRUE(api.render());
    api.print("say \"hi\"\n%d");  // neither quoted nor escaped
    api.error("bad");
    api.endGroup();
    EXPECT_TRUE(api.beginOptions());
    api.endOptions();
    EXPECT_TRUE(api.beginCamera("cam"));
    api.endCamera();
    EXPECT_TRUE(api.beginCamera(nullptr));
    api.endCamera();
    EXPECT_TRUE(api.modifyCamera("cam"));
    api.endCamera();
    EXPECT_TRUE(api.beginImage());
    api.endImage();
    expectGolden("statements.vxs", scene.text());
}

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
