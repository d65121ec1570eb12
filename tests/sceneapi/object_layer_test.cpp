// The object layer: opening statements, numbering of shaders and ids, the
// typed parameter operations, modules, and a factory that gives no API.
#include <stdexcept>

#include "sceneapi/default_rt_module.h"
#include "sceneapi/sceneapi_oo.h"
#include "test_support.h"

namespace tal::test {
namespace {

const std::string kOpening =
    "// begin\n#print \"Vantrix SceneApi oo 9.0.45  (built Wed Feb 20 10:46:13 2019)\"\n"
    "version 8\n\n";

TEST(ObjectLayer, OpensEverySceneWithBannerAndVersion) {
    MemoryFactory factory;
    talSceneapi_oo scene(&factory);
    EXPECT_NE(scene.api(), nullptr);
    EXPECT_EQ(factory.text(), kOpening);
}

TEST(ObjectLayer, NumbersShadersAndIdsPerScene) {
    MemoryFactory factory;
    {
        talSceneapi_oo scene(&factory);
        EXPECT_EQ(scene.beginShader("diffuse"), 1);
        scene.endShader();
        EXPECT_EQ(scene.beginShader("glossy"), 2);
        scene.endShader();
        EXPECT_EQ(scene.newId(), 1);
        EXPECT_EQ(scene.newId(), 2);
    }
    talSceneapi_oo second(&factory);  // a new scene starts again at 1
    EXPECT_EQ(second.beginShader("diffuse"), 1);
    EXPECT_EQ(second.newId(), 1);
    EXPECT_EQ(factory.text(), kOpening +
                                  "#define shader 1 diffuse {\n}\n#define shader 2 glossy {\n}\n"
                                  "id 1\nid 2\n" +
                                  kOpening + "#define shader 1 diffuse {\nid 1\n");
}

TEST(ObjectLayer, TypedParametersPickTheirCodes) {
    MemoryFactory factory;
    talSceneapi_oo scene(&factory);
    const std::size_t start = factory.text().size();
    scene.setParameter("s", std::string("x"));
    scene.setParameter("f3", std::array<float, 3>{1, 2, 3});
    scene.setParameter("d3", std::array<double, 3>{0.5, 2, 3});
    scene.setParameter("d", 0.5);
    scene.setParameter("f", 0.5f);
    scene.setParameter("i", std::int32_t{-4});
    scene.setParameter("b", false);
    Matrix16 identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    scene.setParameter("m", std::vector<Matrix16>{identity});
    scene.setParameter("iv", std::vector<std::int32_t>{1, 2});
    scene.setParameter("fv", std::vector<float>{0.5f});
    scene.setParameter("dv", std::vector<double>{0.5});
    const std::vector<float> points = {1, 2, 3, 4, 5, 6, 7};  // the 7th is no whole triple
    scene.setParameter("P", FloatTriples{points});
    scene.transform(identity);
    scene.transform(identity, true);
    scene.flags(3);
    scene.beginGroup("g");
    scene.progress("p", 1);
    scene.endGroup();
    EXPECT_EQ(factory.text().substr(start),
              "\"s\" \"x\",\n\"f3\" 1 2 3,\n\"d3\" 0.5 2 3,\n\"d\" 0.5000000000000000,\n"
              "\"f\" 0.5,\n\"i\" -4,\n\"b\" off,\n"
              "\"m\" [ 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n] ,\n\"iv\" [ 1,2 ] ,\n"
              "\"fv\" [ 0.5 ] ,\n\"dv\" [ 0.5000000000000000 ] ,\n\"P\" [ 1 2 3,4 5 6 ] ,\n"
              "transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
              "set transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\nflags 3\n"
              "\ngroup \"g\" {\nprogress \"p\" 1.000\n\n}\n");
}

TEST(ObjectLayer, TextPointerParametersAreRefused) {
    MemoryFactory factory;
    talSceneapi_oo scene(&factory);
    const std::string before = factory.text();
    try {
        scene.setParameter("s", "text");
        FAIL() << "no error raised";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "const char * are deprecated");
    }
    EXPECT_EQ(factory.text(), before);
}

TEST(ObjectLayer, WithoutAnApiEverythingIsSkipped) {
    MemoryFactory factory(false);
    talSceneapi_oo scene(&factory);
    EXPECT_EQ(scene.api(), nullptr);
    DefaultRTModule module;
    scene.add(module);
    scene.beginGroup("g");
    scene.setParameter("i", std::int32_t{1});
    EXPECT_EQ(scene.beginShader("s"), 1);
    EXPECT_EQ(factory.text(), "");
}

TEST(DefaultRTModule, SettersChangeTheWrittenOptions) {
    MemoryFactory factory;
    talSceneapi_oo scene(&factory);
    DefaultRTModule module;
    module.setUpVector(1);
    module.setMeterScale(100);
    module.setAdjustCamera(false);
    scene.add(module);
    const std::string text = factory.text();
    EXPECT_NE(text.find("\"import_up_vector\" 1,\n\"meter_scale\" 100,\n"), std::string::npos);
    EXPECT_NE(text.find("\"import_adjust_camera\" off,\n"), std::string::npos);
}

}  // namespace
}  // namespace tal::test
