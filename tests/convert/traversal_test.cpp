// The walk over the document: which objects get a mesh (seen through the
// progress share their children receive: half of the weight when the mesh
// was exported, all of it otherwise), caches, the Update selection, names,
// and the document's time.
#include "convert/traversal.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/plugin_api.h"
#include "traversal_fixture.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;

TEST_F(TraversalTest, HiddenPolygonKeepsItsGroupButNotItsMeshAndPassesTheStateDown) {
    load(R"({"objects": [
      {"type": "polygon", "name": "hidden", "params": {"902": 1}, "position": [1, 0, 0], "children": [
        {"type": "polygon", "name": "inherits", "children": [{"type": "null", "name": "i1"}]},
        {"type": "polygon", "name": "shownAgain", "params": {"902": 0},
         "children": [{"type": "null", "name": "s1"}]}]}]})");
    run();
    const auto calls = api.filtered({"beginGroup", "flags", "transform"});
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[2], "beginGroup hidden");
    EXPECT_EQ(calls[3], "flags 1");
    EXPECT_EQ(calls[4], "transform 1 0 0 0 0 1 0 0 0 0 1 0 1 0 0 1");
    // hidden: no mesh, its children share all of its weight.
    EXPECT_DOUBLE_EQ(weightOf("i1"), 0.5);   // inherits hidden: no mesh
    EXPECT_DOUBLE_EQ(weightOf("s1"), 0.25);  // render visibility on again: mesh
}

TEST_F(TraversalTest, MeshNeedsBothVisibilitiesOn) {
    load(R"({"objects": [
      {"type": "polygon", "name": "editorHidden", "params": {"901": 1},
       "children": [{"type": "null", "name": "e1"}]},
      {"type": "polygon", "name": "visible", "params": {"901": 2, "902": 2},
       "children": [{"type": "null", "name": "v1"}]}]})");
    run();
    EXPECT_DOUBLE_EQ(weightOf("e1"), 0.5);
    EXPECT_DOUBLE_EQ(weightOf("v1"), 0.25);
}

TEST_F(TraversalTest, ControlObjectsGetNoMeshAndLightsAndHairDoNotHalveTheShare) {
    load(R"({"objects": [
      {"type": "polygon", "name": "control", "bits": 512, "children": [{"type": "null", "name": "c1"}]},
      {"type": "light", "name": "lamp", "params": {"902": 1}, "children": [{"type": "null", "name": "l1"}]},
      {"type": "hair", "name": "fur", "children": [{"type": "null", "name": "h1"}]},
      {"type": "polygon", "name": "plain", "bits": 1, "children": [{"type": "null", "name": "p1"}]}]})");
    run();
    EXPECT_DOUBLE_EQ(weightOf("c1"), 0.25);
    EXPECT_DOUBLE_EQ(weightOf("l1"), 0.25);
    EXPECT_DOUBLE_EQ(weightOf("h1"), 0.25);
    EXPECT_DOUBLE_EQ(weightOf("p1"), 0.125);
}

TEST_F(TraversalTest, GeneratorsAreWalkedThroughTheirCachesDeformCacheFirst) {
    load(R"({"objects": [
      {"type": 5159, "name": "Cube", "cache": {"type": "polygon", "name": "Cube.poly", "position": [0, 2, 0]},
       "children": [{"type": "null", "name": "below"}]},
      {"type": "polygon", "name": "Bent",
       "deformCache": {"type": "polygon", "name": "Bent.deformed"},
       "cache": {"type": "polygon", "name": "Bent.cache"}}]})");
    run();
    EXPECT_THAT(api.filtered({"beginGroup", "endGroup", "progress"}),
                ElementsAre("beginGroup untitled",                                          //
                            "progress Cube 0.000000", "beginGroup Cube",                    //
                            "progress Cube.poly 0.000000", "beginGroup Cube.poly",          //
                            "endGroup", "progress Cube.poly 0.250000",                      //
                            "progress below 0.250000", "beginGroup below",                  //
                            "endGroup", "progress below 0.500000",                          //
                            "endGroup",                                                     //
                            "progress Bent 0.500000", "beginGroup Bent",                    //
                            "progress Bent.deformed 0.500000", "beginGroup Bent.deformed",  //
                            "endGroup", "progress Bent.deformed 0.750000",                  //
                            "endGroup", "progress Bent 1.000000",                           //
                            "endGroup"));
    EXPECT_NE(
        std::find(api.calls.begin(), api.calls.end(), "transform 1 0 0 0 0 1 0 0 0 0 1 0 0 2 0 1"),
        api.calls.end());
}

// A selected null with a polygon child and a generator child, and an
// unselected polygon beside it.
const char* const kSelectionDocument = R"({
  "materials": [{"id": "m", "type": "standard", "name": "Wood"}],
  "objects": [
    {"type": "null", "name": "Sel", "selected": %SEL%, "children": [
      {"type": "polygon", "name": "P1", "children": [{"type": "null", "name": "p1"}]},
      {"type": 5159, "name": "Gen", "cache": {"type": "polygon", "name": "GenPoly",
        "children": [{"type": "null", "name": "g1"}]}}]},
    {"type": "polygon", "name": "P2", "key": 77, "children": [{"type": "null", "name": "p2"}],
     "tags": [{"type": "texture", "material": "m", "selected": %TEX%},
              {"type": "phong", "selected": %PHONG%}]}]})";

std::string selectionDocument(bool sel, bool texture, bool phong) {
    std::string json = kSelectionDocument;
    auto put = [&json](const std::string& key, bool value) {
        json.replace(json.find(key), key.size(), value ? "true" : "false");
    };
    put("%SEL%", sel);
    put("%TEX%", texture);
    put("%PHONG%", phong);
    return json;
}

TEST_F(TraversalTest, UpdateExportsTheMeshesOfTheSelectedBranchesOnly) {
    context.updateOnly = true;
    load(selectionDocument(true, false, false));
    run();
    EXPECT_EQ(context.selectionKeys.size(), 1u);
    EXPECT_DOUBLE_EQ(weightOf("p1"), 0.125);                // below the selected null: mesh
    EXPECT_DOUBLE_EQ(weightOf("g1"), 0.0625);               // in a cache below it: mesh
    EXPECT_DOUBLE_EQ(weightOf("p2"), 0.5);                  // not selected: no mesh
    EXPECT_EQ(api.filtered({"beginGroup P2"}).size(), 1u);  // but its group all the same
}

TEST_F(TraversalTest, UpdateWithoutSelectionOrWithATextureTagOnlyExportsEveryMesh) {
    context.updateOnly = true;
    for (const bool textureSelected : {false, true}) {
        SCOPED_TRACE(textureSelected);
        load(selectionDocument(false, textureSelected, false));
        run();
        EXPECT_TRUE(context.selectionKeys.empty());
        EXPECT_DOUBLE_EQ(weightOf("p1"), 0.125);
        EXPECT_DOUBLE_EQ(weightOf("p2"), 0.25);
    }
}

TEST_F(TraversalTest, ASelectedTagSelectsItsObject) {
    context.updateOnly = true;
    load(selectionDocument(false, false, true));
    run();
    EXPECT_THAT(context.selectionKeys, ElementsAre(77u));
    EXPECT_DOUBLE_EQ(weightOf("p1"), 0.25);
    EXPECT_DOUBLE_EQ(weightOf("p2"), 0.25);

    context.updateOnly = false;  // outside Update the selection is not kept
    run();
    EXPECT_TRUE(context.selectionKeys.empty());
    EXPECT_DOUBLE_EQ(weightOf("p1"), 0.125);
}

TEST_F(TraversalTest, ObjectNamesAreKeptWholeAndUnnamedObjectsAreCalledObject) {
    const std::string longName(3000, 'n');
    load(R"({"objects": [{"type": "null", "name": ")" + longName +
         R"("}, {"type": "null"}, {"type": "null", "name": "Würfel \"1\""}]})");
    run();
    EXPECT_THAT(api.filtered({"beginGroup"}),
                ElementsAre("beginGroup untitled", "beginGroup " + longName, "beginGroup object",
                            "beginGroup Würfel \"1\""));
}

TEST_F(TraversalTest, DocumentGroupIsNamedAfterTheFileUpToItsLastDot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"("name": "model.final.c4d",)", "model.final"},
        {R"("name": "scene",)", "scene"},
        {"", "untitled"}};
    for (const auto& [name, group] : cases) {
        SCOPED_TRACE(group);
        load("{" + name + R"("directory": "/projects/chair", "objects": []})");
        context.documentDirectory = "stale";
        run();
        EXPECT_THAT(outline(),
                    ElementsAre("beginGroup " + group, "transform 1 0 0 0 0 1 0 0 0 0 -1 0 0 0 0 1",
                                "attribute source file source file", "endGroup"));
        EXPECT_EQ(context.documentDirectory, "/projects/chair");
        EXPECT_EQ(context.document, document.get());
    }
}

TEST_F(TraversalTest, NoDocumentOnlyClearsTheDirectory) {
    context.documentDirectory = "stale";
    document.reset();
    run();
    EXPECT_TRUE(context.documentDirectory.empty());
    EXPECT_TRUE(api.calls.empty());
}

TEST_F(TraversalTest, ConvertsAtTheStartTimeAndRestoresTheCurrentTime) {
    host::BaseDocument& doc = load(R"({"time": {"current": 2.0, "start": 0.5}, "objects": [
      {"type": "null", "name": "Mover", "tracks": [{"param": [903, 1000], "keys": [
        {"time": 0.5, "value": 1.0, "interpolation": "linear"},
        {"time": 2.0, "value": 5.0, "interpolation": "linear"}]}]}]})");
    const host::Int32 evaluations = doc.evaluationCount();
    run();
    EXPECT_EQ(doc.evaluationCount(), evaluations + 2);
    EXPECT_DOUBLE_EQ(doc.GetTime().Get(), 2.0);
    EXPECT_DOUBLE_EQ(doc.GetFirstObject()->GetRelPos().x, 5.0);
    EXPECT_THAT(api.filtered({"transform 1 0 0 0 0 1 0 0 0 0 1 0"}),
                ElementsAre("transform 1 0 0 0 0 1 0 0 0 0 1 0 1 0 0 1"));
}

TEST_F(TraversalTest, ProgressTotalGrowsByOnePerTraversal) {
    load(R"({"objects": [{"type": "null", "name": "A"}, {"type": "null", "name": "B"},
                         {"type": "null", "name": "C"}]})");
    run();
    EXPECT_FLOAT_EQ(context.progressTotal, 1.0f);
    run();
    EXPECT_FLOAT_EQ(context.progressTotal, 2.0f);
    EXPECT_EQ(api.filtered({"progress"}).front(), "progress A 1.000000");
}

// The host's status bar hears the fraction of the traversal under way.
class FractionDisplay : public host::ProgressDisplay {
public:
    FractionDisplay() { host::SetProgressDisplay(this); }
    ~FractionDisplay() override { host::SetProgressDisplay(nullptr); }
    void begin(const std::string&) override {}
    void update(double fraction) override { fractions.push_back(fraction); }
    void end() override {}
    std::vector<double> fractions;
};

TEST_F(TraversalTest, TheHostHearsEachTraversalGoFromNoneToAll) {
    load(R"({"objects": [{"type": "null", "name": "A", "children": [{"type": "null", "name": "a"}]},
                         {"type": "null", "name": "B"}, {"type": "null", "name": "C"}]})");
    run();
    FractionDisplay display;
    run();  // the second traversal starts from none again
    // Each object at its start and its end: A, its child a, B, C.
    const auto near = [](double x) { return ::testing::DoubleNear(x, 1e-6); };
    EXPECT_THAT(display.fractions,
                ElementsAre(near(0), near(0), near(1.0 / 3), near(1.0 / 3), near(1.0 / 3),
                            near(2.0 / 3), near(2.0 / 3), near(1)));
}

}  // namespace
}  // namespace vxtest
