// Polygon meshes: winding and split, vertex sharing, parts by texture tag
// (priority, claiming, selections, inheritance), normals and uvs, layers,
// and host data that points outside its arrays.
#include <gmock/gmock.h>

#include <string>

#include "export_fixture.h"
#include "host/document.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// A material "<id>" named "<name>" with the colour channel on.
std::string material(const std::string& id, const std::string& name, const std::string& rgb) {
    return R"({"id": ")" + id + R"(", "name": ")" + name +
           R"(", "channels": {"0": true}, "params": {"2100": [)" + rgb + "]}}";
}

// Four quads in a row (x 0..4), points 0..9: bottom row 0..4, top row 5..9.
constexpr const char* kStrip = R"("points": [[0,0,0],[1,0,0],[2,0,0],[3,0,0],[4,0,0],
                                            [0,1,0],[1,1,0],[2,1,0],[3,1,0],[4,1,0]],
    "polygons": [[0,5,6,1],[1,6,7,2],[2,7,8,3],[3,8,9,4]])";

TEST_F(ExportTest, QuadSplitsAlongBdAndTrianglesAreWrittenReversed) {
    load(R"({"objects": [
      {"type": "polygon", "name": "quad", "points": [[0,0,0],[0,1,0],[1,1,0],[1,0,0]], "polygons": [[0,1,2,3]],
       "tags": [{"type": "uvw", "uvw": [[[0,0,9],[0,1,9],[1,1,9],[1,0,9]]]}, {"type": "normal"}]},
      {"type": "polygon", "name": "tri", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
       "tags": [{"type": "uvw", "uvw": [[[0,0,0],[0,1,0],[1,0,0]]]}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(2));
    const MeshPart& quad = parts[0];
    EXPECT_EQ(quad.name, "quad");
    EXPECT_THAT(quad.order, ElementsAre("vertices", "normals", "triangles_norm", "uv_tex",
                                        "triangles_uv", "triangles"));
    EXPECT_EQ(quad.values.at("vertices"), "0 0 0 0 1 0 1 1 0 1 0 0");
    EXPECT_EQ(quad.values.at("triangles"), "0 3 1 2 1 3");
    EXPECT_EQ(quad.values.at("triangles_uv"), "0 3 1 2 1 3");
    EXPECT_EQ(quad.values.at("triangles_norm"), "0 3 1 2 1 3");
    EXPECT_EQ(quad.values.at("uv_tex"), "0 0 0 1 1 1 1 0");           // w dropped, v not flipped
    EXPECT_EQ(quad.values.at("normals"), "0 0 0 0 0 0 0 0 0 0 0 0");  // a normal tag: zeros

    const MeshPart& tri = parts[1];
    EXPECT_THAT(tri.order,
                ElementsAre("vertices", "uv_tex", "triangles_uv", "triangles"));  // no phong tag
    EXPECT_EQ(tri.values.at("triangles"), "0 2 1");
    EXPECT_EQ(tri.values.at("triangles_uv"), "0 2 1");
}

TEST_F(ExportTest, VerticesAreSharedInFirstUseOrderWhileCornersAreNot) {
    load(
        R"({"objects": [{"type": "polygon", "name": "strip", "points": [[0,0,0],[1,0,0],[2,0,0],[0,1,0],[1,1,0],[2,1,0]],
      "polygons": [[1,4,5,2],[0,3,4,1]], "tags": [{"type": "uvw"}, {"type": "phong"}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    // Points 1, 4, 5, 2 first, then 0 and 3: six vertices for eight corners.
    EXPECT_EQ(parts[0].values.at("vertices"), "1 0 0 1 1 0 2 1 0 2 0 0 0 0 0 0 1 0");
    EXPECT_EQ(parts[0].values.at("triangles"), "0 3 1 2 1 3 4 0 5 1 5 0");
    EXPECT_EQ(parts[0].values.at("triangles_norm"), "0 3 1 2 1 3 4 7 5 6 5 7");
    EXPECT_EQ(parts[0].values.at("triangles_uv"), "0 3 1 2 1 3 4 7 5 6 5 7");
    EXPECT_EQ(parts[0].values.at("uv_tex"),
              "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");  // an empty UVW tag reads zeros
    // A flat strip: every phong normal is the face normal (0, 0, -1).
    EXPECT_EQ(parts[0].values.at("normals"),
              "0 0 -1 0 0 -1 0 0 -1 0 0 -1 0 0 -1 0 0 -1 0 0 -1 0 0 -1");
}

TEST_F(ExportTest, LaterTagsClaimFirstAndTheWalkStopsWhenAllAreClaimed) {
    load(std::string(R"({"materials": [)") + material("a", "A", "1,0,0") + "," +
         material("b", "B", "0,1,0") + R"(], "objects": [{"type": "polygon", "name": "two", )" +
         kStrip + R"(,
      "tags": [{"type": "texture", "material": "a"}, {"type": "texture", "material": "b"}]}]})");
    auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));  // B takes everything; A and the default get nothing
    EXPECT_EQ(parts[0].materialName(), "B");
    EXPECT_EQ(parts[0].values.at("triangles"), "0 3 1 2 1 3 3 5 2 4 2 5 5 7 4 6 4 7 7 9 6 8 6 9");

    // A restricted later tag claims its selection first; the earlier one
    // takes the rest, and the default material gets nothing.
    load(std::string(R"({"materials": [)") + material("a", "A", "1,0,0") + "," +
         material("b", "B", "0,1,0") + R"(], "objects": [{"type": "polygon", "name": "two", )" +
         kStrip + R"(,
      "tags": [{"type": "texture", "material": "a"},
               {"type": "texture", "material": "b", "params": {"1006": "sel"}},
               {"type": "polygonSelection", "name": "sel", "polygons": [3, 1]}]}]})");
    parts = run();
    ASSERT_THAT(parts, SizeIs(2));
    EXPECT_EQ(parts[0].materialName(), "B");
    EXPECT_EQ(parts[1].materialName(), "A");
    EXPECT_EQ(parts[0].name, "two");
    EXPECT_EQ(parts[1].name, "two");
    // Polygons 1 and 3 in ascending order; each part has its own vertices,
    // so points on a border between parts are written once per part.
    EXPECT_EQ(parts[0].values.at("vertices"), "1 0 0 1 1 0 2 1 0 2 0 0 3 0 0 3 1 0 4 1 0 4 0 0");
    EXPECT_EQ(parts[1].values.at("vertices"), "0 0 0 0 1 0 1 1 0 1 0 0 2 0 0 2 1 0 3 1 0 3 0 0");
}

TEST_F(ExportTest, RestrictionsToMissingOrEmptySelections) {
    const std::string materials = std::string(R"("materials": [)") + material("a", "A", "1,0,0") +
                                  "," + material("b", "B", "0,1,0") + "]";
    // A restriction naming no selection tag applies to every polygon.
    load("{" + materials + R"(, "objects": [{"type": "polygon", "name": "o", )" + kStrip + R"(,
      "tags": [{"type": "texture", "material": "a"},
               {"type": "texture", "material": "b", "params": {"1006": "nowhere"}}]}]})");
    auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].materialName(), "B");

    // A selection without polygons: the tag claims nothing.
    load("{" + materials + R"(, "objects": [{"type": "polygon", "name": "o", )" + kStrip + R"(,
      "tags": [{"type": "texture", "material": "a"},
               {"type": "texture", "material": "b", "params": {"1006": "none"}},
               {"type": "polygonSelection", "name": "none", "polygons": []}]}]})");
    parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].materialName(), "A");

    // Two restricted tags that leave polygons over: the display colour
    // material takes the rest, last.
    load("{" + materials + R"(, "objects": [{"type": "polygon", "name": "o", )" + kStrip + R"(,
      "tags": [{"type": "texture", "material": "a", "params": {"1006": "left"}},
               {"type": "texture", "material": "b", "params": {"1006": "right"}},
               {"type": "polygonSelection", "name": "left", "polygons": [0, 1]},
               {"type": "polygonSelection", "name": "right", "polygons": [1, 3]}]}]})");
    parts = run();
    ASSERT_THAT(parts, SizeIs(3));
    EXPECT_EQ(parts[0].materialName(), "B");
    EXPECT_EQ(parts[0].values.at("triangles"), "0 3 1 2 1 3 4 7 5 6 5 7");  // 1 and 3
    EXPECT_EQ(parts[1].materialName(), "A");
    EXPECT_EQ(parts[1].values.at("triangles"), "0 3 1 2 1 3");  // 0 only
    EXPECT_EQ(parts[2].materialName(), "Display color");
    EXPECT_EQ(parts[2].values.at("vertices"), "2 0 0 2 1 0 3 1 0 3 0 0");  // 2
}

TEST_F(ExportTest, TagsAreInheritedAndTheInnermostLastTagWins) {
    load(
        std::string(R"({"materials": [)") + material("a", "A", "1,0,0") + "," +
        material("b", "B", "0,1,0") +
        R"(], "objects": [{"type": "null", "name": "parent", "tags": [{"type": "texture", "material": "a"}],
      "children": [
        {"type": "polygon", "name": "plain", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]},
        {"type": "polygon", "name": "own", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
         "tags": [{"type": "texture", "material": "b"}]},
        {"type": "polygon", "name": "hairTagOnly", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
         "tags": [{"type": "hairMaterial"}]}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(3));
    EXPECT_EQ(parts[0].materialName(), "A");
    EXPECT_EQ(parts[1].materialName(), "B");
    EXPECT_EQ(parts[2].materialName(), "A");  // hair material tags are passed over
}

TEST_F(ExportTest, NoMeshWithoutPolygonsOrWhenTheLayerIsOff) {
    load(R"({"layers": [{"id": "off", "params": {"1001": 1, "1002": 0}},
                       {"id": "on", "params": {"1001": 1, "1002": 1}},
                       {"id": "unset"}],
      "objects": [
        {"type": "polygon", "name": "empty"},
        {"type": "polygon", "name": "renderOff", "layer": "off", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]},
        {"type": "polygon", "name": "unsetLayer", "layer": "unset", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]},
        {"type": "polygon", "layer": "on", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].name, "object");  // unnamed
    // The suppressed objects keep their groups.
    EXPECT_THAT(api.filtered({"beginGroup renderOff", "beginGroup unsetLayer"}), SizeIs(2));
}

TEST_F(ExportTest, PhongNormalsFollowTheGeometryAndANormalTagWins) {
    // A cube's front and right faces meet at 90 degrees; the limit of 40
    // degrees keeps each corner on its own face, none smooths them together.
    const std::string cube =
        R"("points": [[-1,-1,-1],[-1,1,-1],[1,-1,-1],[1,1,-1],[1,-1,1],[1,1,1]],
      "polygons": [[0,1,3,2],[2,3,5,4]])";
    load(R"({"objects": [
      {"type": "polygon", "name": "limited", )" +
         cube + R"(, "tags": [{"type": "phong", "params": {"1000": 1, "1001": 0.7}}]},
      {"type": "polygon", "name": "smooth", )" +
         cube + R"(, "tags": [{"type": "phong"}]},
      {"type": "polygon", "name": "tagged", )" +
         cube + R"(, "tags": [{"type": "phong"}, {"type": "normal"}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(3));
    EXPECT_EQ(parts[0].values.at("normals"), "0 0 -1 0 0 -1 0 0 -1 0 0 -1 1 0 0 1 0 0 1 0 0 1 0 0");
    // Without the limit the shared edge (points 2, 3) is smoothed.
    EXPECT_EQ(parts[1].values.at("normals"),
              "0 0 -1 0 0 -1 0.707107 0 -0.707107 0.707107 0 -0.707107 "
              "0.707107 0 -0.707107 0.707107 0 -0.707107 1 0 0 1 0 0");
    EXPECT_EQ(parts[2].values.at("normals"), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
}

// Documents built through the host interface, which does not guard its
// arrays as the loader does.
TEST_F(ExportTest, PolygonsOutsideThePointsAreLeftOutAndReported) {
    load(
        R"({"objects": [{"type": "polygon", "name": "broken", "points": [[0,0,0],[0,1,0],[1,0,0],[1,1,0]],
      "polygons": [[0,1,2],[0,1,3,2]], "tags": [{"type": "uvw", "uvw": []}, {"type": "phong"}]}]})");
    auto* mesh = static_cast<host::PolygonObject*>(document->GetFirstObject());
    mesh->polygons().push_back({0, 1, 7, 2});    // c outside
    mesh->polygons().push_back({-1, 0, 1, 1});   // negative
    mesh->polygons().push_back({0, 1, 2, 400});  // a quad whose d is outside
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].values.at("triangles"), "0 2 1 0 2 1 3 1 2");
    EXPECT_EQ(parts[0].values.at("uv_tex"),
              "0 0 0 0 0 0 0 0 0 0 0 0 0 0");  // the UVW tag covers 2 of 5
    ASSERT_THAT(console, SizeIs(2));
    EXPECT_THAT(console[0], HasSubstr("\"broken\": the UVW tag covers 2 of 5 polygons"));
    EXPECT_THAT(console[1],
                HasSubstr("\"broken\": 3 of 5 polygons refer to points outside the 4 points"));

    // A tag whose selection holds only such polygons writes nothing; the
    // others still go to the object's own material, once.
    document = host::LoadDocumentText(
        std::string(R"({"materials": [)") + material("b", "B", "0,1,0") + R"(],
      "objects": [{"type": "polygon", "name": "broken", "points": [[0,0,0],[0,1,0],[1,0,0]],
      "polygons": [[0,1,2],[0,2,1]],
      "tags": [{"type": "texture", "material": "b", "params": {"1006": "sel"}},
               {"type": "polygonSelection", "name": "sel", "polygons": [1]}]}]})",
        "");
    mesh = static_cast<host::PolygonObject*>(document->GetFirstObject());
    mesh->polygons()[1] = {0, 1, 5, 5};
    console.clear();
    const auto restricted = run();
    ASSERT_THAT(restricted, SizeIs(1));
    EXPECT_EQ(restricted[0].materialName(), "Display color");
    EXPECT_EQ(restricted[0].values.at("triangles"), "0 2 1");
    EXPECT_THAT(console, ElementsAre(HasSubstr("1 of 2 polygons refer to points outside")));

    // All polygons invalid: nothing at all.
    mesh->polygons() = {{5, 6, 7, 7}, {0, 1, 2, 2}};
    mesh->polygons()[1].a = 9;
    console.clear();
    EXPECT_THAT(run(), IsEmpty());
    EXPECT_THAT(console, SizeIs(1));
}

TEST_F(ExportTest, SelectionRangesBeyondThePolygonsAreClippedAndReported) {
    load(std::string(R"({"materials": [)") + material("b", "B", "0,1,0") + R"(],
      "objects": [{"type": "polygon", "name": "o", )" +
         kStrip + R"(,
      "tags": [{"type": "texture", "material": "b", "params": {"1006": "sel"}},
               {"type": "polygonSelection", "name": "sel", "polygons": [2]}]}]})");
    auto* selection =
        static_cast<host::SelectionTag*>(document->GetFirstObject()->GetFirstTag()->GetNext());
    selection->GetBaseSelect()->Select(3);
    selection->GetBaseSelect()->Select(9);
    selection->GetBaseSelect()->Select(1000000);
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(2));
    EXPECT_EQ(parts[0].materialName(), "B");
    EXPECT_EQ(parts[0].values.at("triangles"), "0 3 1 2 1 3 3 5 2 4 2 5");  // 2 and 3
    EXPECT_EQ(parts[1].materialName(), "Display color");
    ASSERT_THAT(console, SizeIs(1));
    EXPECT_THAT(console[0], HasSubstr("polygon selection \"sel\" reaches beyond the 4 polygons"));
}

TEST_F(ExportTest, BuffersAreReusedButHoldOnlyTheLastPart) {
    load(std::string(R"({"objects": [{"type": "polygon", "name": "big", )") + kStrip + R"(},
      {"type": "polygon", "name": "small", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(2));
    EXPECT_EQ(parts[1].values.at("vertices"), "0 0 0 0 1 0 1 0 0");
    EXPECT_EQ(context.meshBuffers.whole.size(), 3u);       // the small part's "triangles"
    EXPECT_GE(context.meshBuffers.whole.capacity(), 24u);  // kept from the larger part

    // The point lookup is kept too, every point unused between objects, so
    // a second export writes the same.
    EXPECT_GE(context.meshBuffers.vertexOfPoint.size(), 10u);
    for (const std::int32_t vertex : context.meshBuffers.vertexOfPoint) EXPECT_EQ(vertex, -1);
    const auto again = run();
    ASSERT_THAT(again, SizeIs(2));
    for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(again[i].values, parts[i].values) << i;
}

TEST_F(ExportTest, PhongNormalsOfTrianglesAndQuadsInOnePartKeepTheirCorners) {
    // A triangle facing -z and a quad facing +x, apart: a triangle's fourth
    // phong corner is left out, in one run as in several.
    const std::string points =
        R"("points": [[0,0,0],[0,1,0],[1,0,0],[5,0,0],[5,1,0],[5,1,1],[5,0,1]])";
    const std::string phong = R"({"type": "phong", "params": {"1000": 1, "1001": 0.7}})";
    load(std::string(R"({"materials": [)") + material("a", "A", "1,0,0") + R"(], "objects": [
      {"type": "polygon", "name": "triangleFirst", )" +
         points + R"(,
       "polygons": [[0,1,2],[3,4,5,6]], "tags": [)" +
         phong + R"(]},
      {"type": "polygon", "name": "quadFirst", )" +
         points + R"(,
       "polygons": [[3,4,5,6],[0,1,2]], "tags": [)" +
         phong + R"(]},
      {"type": "polygon", "name": "twoRuns", )" +
         points + R"(,
       "polygons": [[0,1,2],[3,4,5,6],[0,2,1]],
       "tags": [{"type": "texture", "material": "a", "params": {"1006": "ends"}},
                {"type": "polygonSelection", "name": "ends", "polygons": [0, 2]}, )" +
         phong + R"(]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(4));
    EXPECT_EQ(parts[0].values.at("normals"), "0 0 -1 0 0 -1 0 0 -1 1 0 0 1 0 0 1 0 0 1 0 0");
    EXPECT_EQ(parts[0].values.at("triangles_norm"), "0 2 1 3 6 4 5 4 6");
    EXPECT_EQ(parts[1].values.at("normals"), "1 0 0 1 0 0 1 0 0 1 0 0 0 0 -1 0 0 -1 0 0 -1");
    // The selection's part: the triangle and its reverse, too far apart to smooth.
    EXPECT_EQ(parts[2].values.at("normals"), "0 0 -1 0 0 -1 0 0 -1 0 0 1 0 0 1 0 0 1");
    EXPECT_EQ(parts[3].values.at("normals"), "1 0 0 1 0 0 1 0 0 1 0 0");
}

}  // namespace
}  // namespace vxtest
