// Evaluation of documents (tracks drive components, matrices follow through
// hierarchy and caches) and the selection.
#include <numbers>

#include "host/document_loader.h"
#include "tests/host/test_util.h"

namespace {

using namespace host;
using hosttest::near;

const char* const kAnimated = R"({
  "time": {"current": 1, "start": 0},
  "objects": [
    {"type": "null", "name": "Parent", "position": [10, 0, 0], "tracks": [
       {"param": [904, 1000], "keys": [{"time": 0, "value": 0}, {"time": 2, "value": 3.141592653589793}]}],
     "children": [
       {"type": "null", "name": "Child", "position": [0, 0, 5], "scale": [2, 2, 2], "tracks": [
          {"param": [903, 1001], "keys": [{"time": 0, "value": 0}, {"time": 2, "value": 40}]},
          {"param": [905, 1002], "keys": [{"time": 0, "value": 1}, {"time": 2, "value": 5}], "params": {"904": 0}},
          {"param": [903, 1002], "keys": []},
          {"param": [906, 1000], "keys": [{"time": 0, "value": 7}]}]}]},
    {"type": 5159, "name": "Generator", "position": [0, 100, 0],
     "cache": {"type": "polygon", "name": "Cached", "position": [1, 0, 0],
       "tracks": [{"param": [903, 1000], "keys": [{"time": 0, "value": 1}, {"time": 2, "value": 3}]}]},
     "deformCache": {"type": "null", "name": "Deformed", "matrix": {"off": [0, 0, 1]}}}
  ]
})";

TEST(ExecutePasses, TracksDriveTheirComponentsAtTheCurrentTime) {
    auto doc = LoadDocumentText(kAnimated, "");
    BaseObject* parent = doc->GetFirstObject();
    BaseObject* child = parent->GetDown();
    EXPECT_EQ(parent->GetRelRot(), Vector());  // nothing moves before evaluation
    ASSERT_TRUE(doc->ExecutePasses(nullptr, true, true, true, 0));
    EXPECT_EQ(doc->evaluationCount(), 1);
    EXPECT_NEAR(parent->GetRelRot().x, std::numbers::pi / 2, 1e-12);
    // y is driven; the switched-off scale track, the keyless track and the
    // unknown parameter drive nothing.
    EXPECT_TRUE(near(child->GetRelPos(), Vector(0, 20, 5)));
    EXPECT_TRUE(near(child->GetRelScale(), Vector(2, 2, 2)));

    doc->SetTime(BaseTime(2.0));
    doc->ExecutePasses(nullptr, true, true, true, 0);
    EXPECT_NEAR(child->GetRelPos().y, 40, 1e-12);
    doc->SetTime(BaseTime(0.5));
    doc->ExecutePasses(nullptr, false, true, true, 0);  // animation off
    EXPECT_NEAR(child->GetRelPos().y, 40, 1e-12);
}

TEST(ExecutePasses, GlobalMatricesComposeThroughHierarchyAndCaches) {
    auto doc = LoadDocumentText(kAnimated, "");
    doc->ExecutePasses(nullptr, true, true, true, 0);
    BaseObject* parent = doc->GetFirstObject();
    BaseObject* child = parent->GetDown();
    // Parent turned by heading 90 degrees: its z axis points along +x... of
    // the child at local (0, 20, 5) lands at parent + Ry(90)(0, 20, 5).
    EXPECT_TRUE(near(child->GetMg().off, Vector(10 + 5, 20, 0), 1e-9));
    EXPECT_TRUE(near(child->GetMg(), parent->GetMg() * child->GetMl()));
    EXPECT_TRUE(near(child->GetMl(), MatrixMove(child->GetRelPos()) * MatrixScale({2, 2, 2})));

    BaseObject* generator = parent->GetNext();
    BaseObject* cached = generator->GetCache();
    EXPECT_EQ(cached->GetUp(), generator);
    EXPECT_EQ(cached->GetNext(), nullptr);
    EXPECT_TRUE(near(cached->GetMg().off, Vector(2, 100, 0)));  // cache track at t = 1
    EXPECT_TRUE(near(generator->GetDeformCache()->GetMg().off, Vector(0, 100, 1)));
    EXPECT_EQ(generator->GetUp(), nullptr);
    EXPECT_EQ(generator->GetPred(), parent);
}

TEST(ExecutePasses, AnimatingAnExplicitMatrixKeepsItsOtherComponents) {
    auto doc = LoadDocumentText(R"({"objects": [{"type": "null",
        "matrix": {"off": [1, 2, 3], "v1": [0, 0, -2], "v2": [0, 2, 0], "v3": [2, 0, 0]},
        "tracks": [{"param": [903, 1000], "keys": [{"time": 0, "value": 9}]}]}]})",
                                "");
    BaseObject* o = doc->GetFirstObject();
    const Matrix before = o->GetMl();
    EXPECT_TRUE(near(o->GetRelScale(), Vector(2, 2, 2)));
    EXPECT_TRUE(near(o->GetRelPos(), Vector(1, 2, 3)));
    doc->ExecutePasses(nullptr, true, false, false, 0);
    Matrix expected = before;
    expected.off.x = 9;
    EXPECT_TRUE(near(o->GetMl(), expected, 1e-12));
}

TEST(Selection, ObjectsDepthFirstWithTheirTagsAfterThem) {
    auto doc = LoadDocumentText(R"({"objects": [
        {"type": "null", "name": "A", "tags": [{"type": "phong", "selected": true}], "children": [
          {"type": "null", "name": "B", "selected": true,
           "cache": {"type": "null", "name": "B cache", "selected": true}}]},
        {"type": "null", "name": "C", "selected": true, "tags": [
          {"type": "texture", "name": "T1"}, {"type": "texture", "name": "T2", "selected": true}]}]})",
                                "");
    AtomArray selection;
    doc->GetSelection(selection);
    std::vector<std::string> names;
    for (Int32 i = 0; i < selection.GetCount(); ++i) {
        BaseList2D* node = selection.GetIndex(i);
        names.push_back(node->GetName().IsEmpty() ? "tag " + std::to_string(node->GetType())
                                                  : node->GetName().utf8());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"tag 5612", "B", "B cache", "C", "T2"}));
    EXPECT_EQ(selection.GetIndex(selection.GetCount()), nullptr);

    doc->SetSelected(doc->GetFirstObject()->GetNext(), false);
    AtomArray after;
    doc->GetSelection(after);
    EXPECT_EQ(after.GetCount(), 4);
}

}  // namespace
