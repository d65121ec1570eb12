// Lights as emissive octahedra: the mesh, the shader type by light type,
// and the power rules (brightness in percent or photometric intensity).
#include <gmock/gmock.h>

#include <climits>
#include <string>

#include "scene_tree.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class LightExportTest : public SceneTreeTest {
protected:
    // The object block of the one light in `params`, exported whole.
    const scenefile::Node& lightObject(const std::string& params) {
        load(R"({"objects": [{"type": "light", "name": "Lamp", "params": {)" + params + "}}]}");
        scene = exportScene();
        const auto objects = blocksOf(scene.statements, "object");
        EXPECT_EQ(objects.size(), 1u);
        return *objects.at(0);
    }
    static const scenefile::Node& surface(const scenefile::Node& object) {
        const auto materials = blocksOf(object.children, "material");
        EXPECT_EQ(materials.size(), 1u);
        return *materials.at(0)->children.at(0).value()->shader();
    }
    double power(const std::string& params) {
        return numbersOf(surface(lightObject(params)), "power").at(0);
    }

    scenefile::Document scene;
};

TEST_F(LightExportTest, OmniLightIsAUnitOctahedronWithAPointLightMaterial) {
    const scenefile::Node& object = lightObject(R"("90001": 1.0)");
    EXPECT_EQ(object.name(), "Lamp");
    const scenefile::Node& geometry = *blocksOf(object.children, "geometry").at(0);
    EXPECT_EQ(geometry.name(), "triangles");
    EXPECT_THAT(wordsOf(geometry), ElementsAre("vertices", "normals", "triangles"));
    const std::vector<double> vertices = {0, -1, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, -1, 0, 1, 0};
    EXPECT_THAT(numbersOf(geometry, "vertices"), ElementsAreArray(vertices));
    EXPECT_THAT(numbersOf(geometry, "normals"), ElementsAreArray(vertices));
    EXPECT_THAT(numbersOf(geometry, "triangles"), ElementsAre(2, 1, 0, 1, 2, 5, 3, 2, 0, 2, 3, 5, 4,
                                                              3, 0, 3, 4, 5, 1, 4, 0, 4, 1, 5));

    const scenefile::Node& material = *blocksOf(object.children, "material").at(0);
    EXPECT_EQ(material.name(), "Lamp");
    EXPECT_EQ(material.children.at(0).word, "surface");
    const scenefile::Node& shader = surface(object);
    EXPECT_EQ(shader.name(), "tal_point_light");
    EXPECT_THAT(wordsOf(shader), ElementsAre("power", "color", "lumen", "radius"));
    EXPECT_THAT(numbersOf(shader, "power"), ElementsAre(100));
    EXPECT_THAT(numbersOf(shader, "color"), ElementsAre(1, 1, 1));  // the host's default white
    EXPECT_EQ(std::get<bool>(shader.parameter("lumen")->value()->v), false);
    EXPECT_THAT(numbersOf(shader, "radius"), ElementsAre(0));
}

TEST_F(LightExportTest, AreaLightIsAnOctahedronOfHalfItsSizeAndAnInvisibleMeshLight) {
    const scenefile::Node& object = lightObject(
        R"("90002": 8, "100010": 200, "100011": 100, "100012": 0, "90000": [1, 0.5, 0.25])");
    EXPECT_THAT(numbersOf(*blocksOf(object.children, "geometry").at(0), "vertices"),
                ElementsAre(0, -50, 0, 100, 0, 0, 0, 0, 0, -100, 0, 0, 0, 0, -0, 0, 50, 0));
    const scenefile::Node& shader = surface(object);
    EXPECT_EQ(shader.name(), "tal_mesh_light");
    EXPECT_THAT(wordsOf(shader), ElementsAre("power", "color", "lumen", "visible to the eye",
                                             "visible in reflections", "visible in shadows"));
    EXPECT_THAT(numbersOf(shader, "color"), ElementsAre(1, 0.5, 0.25));
    for (const char* flag :
         {"visible to the eye", "visible in reflections", "visible in shadows"}) {
        EXPECT_EQ(std::get<bool>(shader.parameter(flag)->value()->v), false) << flag;
    }
}

TEST_F(LightExportTest, PowerIsBrightnessInPercentOrThePhotometricIntensityTruncated) {
    EXPECT_EQ(power(R"("90001": 0.755)"), 75);
    EXPECT_EQ(power(R"("90001": -0.255)"), -25);  // toward zero
    EXPECT_EQ(power(R"("90046": 1, "90037": 1, "90043": 100)"), 1256);
    EXPECT_EQ(power(R"("90046": 1, "90037": 0, "90043": 100.9)"), 100);
    EXPECT_EQ(power(R"("90046": 1, "90043": 100, "90001": 3.0)"), 100);  // brightness ignored
    EXPECT_EQ(std::get<bool>(
                  surface(lightObject(R"("90046": 1, "90043": 5)")).parameter("lumen")->value()->v),
              true);
    // Values the host cannot supply count as 0; values beyond the integer
    // range clamp instead of wrapping.
    EXPECT_EQ(power(R"("90001": null)"), 0);
    EXPECT_EQ(power(R"("90001": 1e12)"), INT_MAX);
    EXPECT_EQ(power(R"("90046": 1, "90043": -1e20)"), INT_MIN);
}

TEST_F(LightExportTest, SpotAndUnreadableTypesAreUnitPointLights) {
    for (const char* type : {R"("90002": 1)", R"("90002": 3)", R"("90002": null)"}) {
        SCOPED_TRACE(type);
        const scenefile::Node& object = lightObject(type);
        EXPECT_EQ(surface(object).name(), "tal_point_light");
        EXPECT_THAT(numbersOf(*blocksOf(object.children, "geometry").at(0), "vertices")[1], -1);
    }
}

TEST_F(LightExportTest, HiddenLightIsWrittenInsideItsGroupAfterTheTransform) {
    load(
        R"({"objects": [{"type": "light", "name": "Off", "position": [1, 2, 3], "params": {"902": 1}}]})");
    scene = exportScene();
    const scenefile::Node& group = *blocksOf(scene.statements, "group").at(1);
    EXPECT_EQ(group.name(), "Off");
    EXPECT_THAT(wordsOf(group), ElementsAre("flags", "transform", "object"));
}

}  // namespace
}  // namespace vxtest
