// Cameras: one block per camera before the document group, its field of
// view in degrees, its global matrix mirrored in z, the statement order, and
// the environment written into every camera block.
#include <gmock/gmock.h>

#include <string>

#include "convert/light_camera.h"
#include "scene_tree.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class CameraExportTest : public SceneTreeTest {
protected:
    std::vector<const scenefile::Node*> cameras(const std::string& objects) {
        load(R"({"objects": )" + objects + "}");
        scene = exportScene();
        return blocksOf(scene.statements, "camera");
    }
    static std::vector<double> transformOf(const scenefile::Node& block) {
        for (const scenefile::Node& c : block.children) {
            std::vector<double> out;
            if (c.kind == scenefile::NodeKind::Transform &&
                scenefile::flattenNumbers(c.args.at(0), out))
                return out;
        }
        return {};
    }
    static void expectEnvironment(const scenefile::Node& camera) {
        const scenefile::Node* use = nullptr;
        for (const scenefile::Node& c : camera.children)
            if (c.kind == scenefile::NodeKind::UseShader && c.word == "reflection map") use = &c;
        ASSERT_NE(use, nullptr);
        const scenefile::Node* shader = use->value()->shader();
        ASSERT_NE(shader, nullptr);
        EXPECT_EQ(shader->name(), "tal_envmap");
        EXPECT_THAT(wordsOf(*shader), ElementsAre("texture", "format", "radius"));
        EXPECT_EQ(textOf(*shader, "texture"), "startup.hdr");
        EXPECT_THAT(numbersOf(*shader, "format"), ElementsAre(3));
        EXPECT_THAT(numbersOf(*shader, "radius"), ElementsAre(25));
    }

    scenefile::Document scene;
};

TEST_F(CameraExportTest, BlockHoldsProjectionFovEnvironmentFrameThenTheMirroredTransform) {
    const auto found = cameras(R"([{"type": "camera", "name": "Cam", "position": [1, 2, 3],
                                    "params": {"1008": 1.5707963267948966}}])");
    ASSERT_EQ(found.size(), 1u);
    const scenefile::Node& camera = *found[0];
    EXPECT_EQ(camera.name(), "Cam");
    EXPECT_THAT(wordsOf(camera), ElementsAre("projection", "fov", "reflection map", "position",
                                             "direction", "up", "transform"));
    EXPECT_EQ(textOf(camera, "projection"), "perspective");
    EXPECT_THAT(numbersOf(camera, "fov"), ElementsAre(90));
    EXPECT_THAT(numbersOf(camera, "position"), ElementsAre(0, 0, 0));
    EXPECT_THAT(numbersOf(camera, "direction"), ElementsAre(0, 0, 1));
    EXPECT_THAT(numbersOf(camera, "up"), ElementsAre(0, 1, 0));
    EXPECT_THAT(transformOf(camera), ElementsAre(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 1, 2, -3, 1));
    expectEnvironment(camera);
}

TEST_F(CameraExportTest, TransformIsTheGlobalMatrixWithEveryRowsZNegated) {
    // Parent at (5, 0, 0) turned 90 degrees about y: the camera's x axis
    // points along -z in the world, its offset (1, 2, 3) lands at (8, 2, -1).
    const auto found =
        cameras(R"([{"type": "null", "position": [5, 0, 0], "rotation": [1.5707963267948966, 0, 0],
                                    "children": [{"type": "camera", "name": "Cam", "position": [1, 2, 3]}]}])");
    ASSERT_EQ(found.size(), 1u);
    const std::vector<double> m = transformOf(*found[0]);
    const std::vector<double> expected = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 8, 2, 1, 1};
    ASSERT_EQ(m.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-6) << i;
}

TEST_F(CameraExportTest, EveryCameraIsWrittenBeforeTheDocumentGroupParentFirst) {
    load(R"({"objects": [
      {"type": "null", "name": "Rig", "children": [
        {"type": "camera", "name": "Outer", "children": [{"type": "camera", "name": "Inner"}]},
        {"type": "camera", "name": ""}]},
      {"type": "camera", "name": "Last"}]})");
    scene = exportScene();
    std::vector<std::string> order;
    for (const scenefile::Node& s : scene.statements) {
        if (s.kind == scenefile::NodeKind::Block)
            order.push_back(s.word + " " + std::string(s.name()));
    }
    EXPECT_THAT(order, ElementsAre("camera Outer", "camera Inner", "camera Camera", "camera Last",
                                   "group untitled"));
    for (const scenefile::Node* camera : blocksOf(scene.statements, "camera"))
        expectEnvironment(*camera);
}

TEST_F(CameraExportTest, FieldOfViewDefaultsAndUnreadableValue) {
    EXPECT_NEAR(numbersOf(*cameras(R"([{"type": "camera"}])").at(0), "fov").at(0), 53.1301, 1e-4);
    EXPECT_THAT(
        numbersOf(*cameras(R"([{"type": "camera", "params": {"1008": null}}])").at(0), "fov"),
        ElementsAre(0));
}

TEST_F(CameraExportTest, NoCameraNoBlockAndAnEmptyDocumentStillGetsTheEnvironment) {
    EXPECT_TRUE(cameras("[]").empty());
    const auto found = cameras(R"([{"type": "camera"}])");
    ASSERT_EQ(found.size(), 1u);
    expectEnvironment(*found[0]);
}

TEST_F(CameraExportTest, NodeWritesItsOptionalPartsOnlyWhenSet) {
    convert::LightCamera node("Node");
    node.projection = 1;
    node.hasLookAt = true;
    node.lookAt = {1, 2, 3};
    node.clipNear = 0.5f;
    node.clipFar = 100.0f;
    context.scene->add(node);
    convert::LightCamera four("Four");
    four.fovMode = 1;
    four.fov4 = {10, 20, 30, 40};
    four.clipNear = 5.0f;
    four.clipFar = 1.0f;  // not a range: no clipping
    context.scene->add(four);
    scene = readBack();
    const auto found = blocksOf(scene.statements, "camera");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_THAT(wordsOf(*found[0]), ElementsAre("projection", "reflection map", "position",
                                                "direction", "look_at", "up", "clipping"));
    EXPECT_EQ(textOf(*found[0], "projection"), "orthographic");
    EXPECT_THAT(numbersOf(*found[0], "look_at"), ElementsAre(1, 2, 3));
    EXPECT_THAT(numbersOf(*found[0], "clipping"), ElementsAre(0.5, 100));
    EXPECT_THAT(wordsOf(*found[1]),
                ElementsAre("projection", "fov4", "reflection map", "position", "direction", "up"));
    EXPECT_THAT(numbersOf(*found[1], "fov4"), ElementsAre(10, 20, 30, 40));
    EXPECT_THAT(numbersOf(*found[1], "direction"), ElementsAre(0, 0, -1));
}

}  // namespace
}  // namespace vxtest
