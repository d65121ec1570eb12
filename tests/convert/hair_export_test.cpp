// Hair as curves: guides moved into the object's frame, radii stepping from
// root to tip, root coordinates, the hair material tag that decides, the
// display-colour material, and the lock held only while exporting.
#include "convert/hair_export.h"

#include <gmock/gmock.h>

#include <string>

#include "host/document.h"
#include "host/hair_library.h"
#include "scene_tree.h"

namespace vxtest {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pointwise;

class HairExportTest : public SceneTreeTest {
protected:
    // The curve objects of an export of `json`.
    std::vector<const scenefile::Node*> curves(const std::string& json) {
        load(json);
        scene = exportScene();
        std::vector<const scenefile::Node*> out;
        for (const scenefile::Node* object : blocksOf(scene.statements, "object")) {
            const auto geometry = blocksOf(object->children, "geometry");
            if (!geometry.empty() && geometry[0]->name() == "tal_bezier_curves")
                out.push_back(object);
        }
        return out;
    }
    static const scenefile::Node& geometry(const scenefile::Node& object) {
        return *blocksOf(object.children, "geometry").at(0);
    }
    static const scenefile::Node& surface(const scenefile::Node& object) {
        return *blocksOf(object.children, "material").at(0)->children.at(0).value()->shader();
    }
    static std::string materialName(const scenefile::Node& object) {
        return std::string(blocksOf(object.children, "material").at(0)->name());
    }

    scenefile::Document scene;
};

const char* const kTwoGuides = R"({"objects": [{"type": "hair", "name": "Fur",
  "params": {"907": 1, "908": [0.2, 0.4, 0.6]},
  "hair": {"segments": 3,
           "guides": [[[0, 0, 0], [0, 1, 0], [0, 2, 0], [0, 3, 0]], [[1, 0, 0], [1, 1, 0], [1, 2, 0], [1, 3, 0]]],
           "rootUV": [[0.25, 0.5], [0.75, 1]]}}]})";

TEST_F(HairExportTest, TwoGuidesOfThreeSegmentsWithTheDisplayColourMaterial) {
    const auto found = curves(kTwoGuides);
    ASSERT_EQ(found.size(), 1u);
    const scenefile::Node& object = *found[0];
    EXPECT_EQ(object.name(), "Fur");
    const scenefile::Node& g = geometry(object);
    EXPECT_THAT(wordsOf(g), ElementsAre("radius", "order", "p", "pr", "curve_uv", "nvertices"));
    EXPECT_THAT(numbersOf(g, "radius"), ElementsAre(0.5));
    EXPECT_THAT(numbersOf(g, "order"), ElementsAre(2));
    EXPECT_THAT(numbersOf(g, "p"), ElementsAre(0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0,  //
                                               1, 0, 0, 1, 1, 0, 1, 2, 0, 1, 3, 0));
    const std::vector<double> radii = {0.5, 0.366667, 0.233333, 0.1, 0.5, 0.366667, 0.233333, 0.1};
    EXPECT_THAT(numbersOf(g, "pr"), Pointwise(DoubleNear(1e-6), radii));
    EXPECT_THAT(numbersOf(g, "curve_uv"), ElementsAre(0.25, 0.5, 0.75, 1));
    EXPECT_THAT(numbersOf(g, "nvertices"), ElementsAre(4, 4));
    EXPECT_EQ(materialName(object), "Display color");
    EXPECT_EQ(surface(object).name(), "tal_diffuse");
    EXPECT_THAT(numbersOf(surface(object), "diffuse"),
                Pointwise(DoubleNear(1e-6), {0.2, 0.4, 0.6}));
    // The curves follow the geometry inside the object, the material after it.
    EXPECT_THAT(wordsOf(object), ElementsAre("geometry", "material"));
}

TEST_F(HairExportTest, GuidesAreWrittenInTheObjectsOwnFrame) {
    // Translated by (10, 0, 0): the points move back by 10.
    auto found =
        curves(R"({"objects": [{"type": "hair", "position": [10, 0, 0], "hair": {"segments": 1,
        "guides": [[[10, 0, 0], [10, 1, 0]]]}}]})");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(numbersOf(geometry(*found[0]), "p"), ElementsAre(0, 0, 0, 0, 1, 0));
    EXPECT_EQ(found[0]->name(), "");  // unnamed: an empty object name

    // Moved, turned a quarter about y and scaled by 2, below a moved parent:
    // world points of the object's origin and unit axes come back as such.
    found = curves(R"({"objects": [{"type": "null", "position": [0, 5, 0], "children": [
        {"type": "hair", "position": [1, 2, 3], "rotation": [1.5707963267948966, 0, 0], "scale": [2, 2, 2],
         "hair": {"segments": 3, "guides": [[[1, 7, 3], [1, 7, 1], [1, 9, 3], [3, 7, 3]]]}}]}]})");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(numbersOf(geometry(*found[0]), "p"),
                Pointwise(DoubleNear(1e-6), {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}));

    // A flat object (zero scale) has no inverse: the points stay as they are.
    found = curves(R"({"objects": [{"type": "hair", "scale": [1, 0, 1], "hair": {"segments": 1,
        "guides": [[[1, 2, 3], [4, 5, 6]]]}}]})");
    EXPECT_THAT(numbersOf(geometry(*found.at(0)), "p"), ElementsAre(1, 2, 3, 4, 5, 6));
}

TEST_F(HairExportTest, HairMaterialSetsRadiiColourAndName) {
    const auto found = curves(R"({
      "materials": [{"id": "fur", "type": "hairMaterialNode", "name": "Fur",
        "params": {"3009": 2.0, "3010": 1.0, "3139": {"gradient": [{"position": 0, "color": [0.9, 0.5, 0.1]},
                                                                {"position": 1, "color": [0, 0, 0]}]}}}],
      "objects": [{"type": "hair", "tags": [{"type": "hairMaterial", "name": "Fur tag", "material": "fur"}],
        "hair": {"segments": 1, "guides": [[[0, 0, 0], [0, 1, 0]]]}}]})");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(numbersOf(geometry(*found[0]), "pr"), ElementsAre(2, 1));
    EXPECT_EQ(materialName(*found[0]), "Fur tag");
    EXPECT_THAT(numbersOf(surface(*found[0]), "diffuse"),
                Pointwise(DoubleNear(1e-6), {0.9, 0.5, 0.1}));
}

TEST_F(HairExportTest, OutermostHairMaterialTagDecides) {
    const auto found = curves(R"({
      "materials": [
        {"id": "thick", "type": "hairMaterialNode", "params": {"3009": 4.0, "3010": 2.0, "3000": {"link": "red"}},
         "shaders": [{"id": "red", "type": "color", "params": {"1000": [1, 0, 0]}}]},
        {"id": "thin", "type": "hairMaterialNode", "params": {"3009": 0.2, "3010": 0.1}},
        {"id": "plain", "type": "standard", "channels": {"0": true}}],
      "objects": [{"type": "null", "tags": [{"type": "hairMaterial", "name": "Parent tag", "material": "thick"}],
        "children": [{"type": "hair", "tags": [
            {"type": "hairMaterial", "name": "Own tag", "material": "thin"},
            {"type": "hairMaterial", "name": "", "material": "plain"}],
          "hair": {"segments": 2, "guides": [[[0, 0, 0], [0, 1, 0], [0, 2, 0]]]}}]}]})");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(numbersOf(geometry(*found[0]), "pr"), ElementsAre(4, 3, 2));
    EXPECT_EQ(materialName(*found[0]), "Parent tag");
    EXPECT_THAT(numbersOf(surface(*found[0]), "diffuse"), ElementsAre(1, 0, 0));
}

TEST_F(HairExportTest, NoGuidesNoObjectAndTheLockIsReleased) {
    EXPECT_TRUE(curves(R"({"objects": [{"type": "hair", "hair": {"segments": 3, "guides": []}},
                                        {"type": "hair"}]})")
                    .empty());
    host::HairLibrary library;
    for (host::BaseObject* o = document->GetFirstObject(); o; o = o->GetNext()) {
        EXPECT_EQ(library.GetLockCount(o), 0);
    }
    // A guide of no segments gives a curve of no points.
    const auto found = curves(
        R"({"objects": [{"type": "hair", "hair": {"segments": 0, "guides": [[[1, 1, 1]]]}}]})");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(numbersOf(geometry(*found[0]), "p").empty());
    EXPECT_THAT(numbersOf(geometry(*found[0]), "nvertices"), ElementsAre(0));
}

TEST_F(HairExportTest, AHairHeldForWritingIsNotReadAndKeepsItsLock) {
    load(kTwoGuides);
    host::BaseObject* hair = document->GetFirstObject();
    host::HairLibrary library;
    ASSERT_TRUE(library.Lock(hair, document.get(), nullptr, true, host::HAIR_LOCK_FLAGS_NONE));
    scene = exportScene();
    EXPECT_TRUE(blocksOf(scene.statements, "geometry").empty());
    EXPECT_EQ(library.GetLockCount(hair), -1);
    library.Unlock(hair);

    scene = exportScene();
    EXPECT_EQ(library.GetLockCount(hair), 0);
    EXPECT_EQ(blocksOf(scene.statements, "geometry").size(), 1u);
}

}  // namespace
}  // namespace vxtest
