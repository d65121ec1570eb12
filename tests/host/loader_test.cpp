// The document file loader: strict errors naming their JSON path, host
// defaults and their removal, aliases, keys, links, and the shipped documents.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/demo_document.h"
#include "host/document_loader.h"
#include "tests/host/test_util.h"
#include "tests/platform/test_files.h"

namespace {

using namespace host;

using hosttest::loadError;

struct ErrorCase {
    const char* json;
    const char* message;
};

TEST(Loader, StrictErrorsNameThePathAndTheProblem) {
    const ErrorCase cases[] = {
        {R"({"objects": [{"type": "null", "colour": 1}]})",
         "objects[0].colour: unknown key (expected one of: type, id, name, key, position, "
         "rotation, scale, "
         "rotationOrder, matrix, params, bits, layer, selected, points, polygons, normals, tags, "
         "tracks, "
         "children, cache, "
         "deformCache, hair)"},
        {R"({"objects": [{"type": "null", "children": [{"type": "null"}, {"type": "null"}, {"type": "polygon",
            "tags": [{"type": "phong"}, {"type": "texture", "material": "wood"}]}]}]})",
         R"(objects[0].children[2].tags[1].material: no material with id "wood")"},
        {R"({"objects": [{"name": "x"}]})", "objects[0]: missing \"type\""},
        {R"({"objects": [{"type": "cube"}]})",
         "objects[0].type: unknown object type \"cube\" (expected a type id or one of: null, "
         "polygon, light, camera, hair)"},
        {R"({"objects": [{"type": "null", "position": [1, 2]}]})",
         "objects[0].position: expected [x, y, z] (three numbers)"},
        {R"({"objects": [{"type": "null", "position": [1, "2", 3]}]})",
         "objects[0].position[1]: expected a number, found a string"},
        {R"({"objects": {"type": "null"}})", "objects: expected an array, found an object"},
        {R"({"objects": [{"type": "null", "rotationOrder": 7}]})",
         "objects[0].rotationOrder: integer out of range 0..6"},
        {R"({"objects": [{"type": "null", "params": {"abc": 1}}]})",
         "objects[0].params.abc: a parameter id must be a non-negative 32-bit integer"},
        {R"({"objects": [{"type": "null", "params": {"1": {"colour": 1}}}]})",
         "objects[0].params.1.colour: unknown value form (expected one of: file, link, time, "
         "gradient)"},
        {R"({"objects": [{"type": "null", "params": {"5": {"link": "nowhere"}}}]})",
         R"(objects[0].params.5.link: no material, shader, object or layer with id "nowhere")"},
        {R"({"objects": [{"type": "null", "layer": "red"}], "materials": [{"id": "red"}]})",
         R"(objects[0].layer: no layer with id "red")"},
        {R"({"objects": [{"type": "null", "id": "a"}, {"type": "null", "id": "a"}]})",
         R"(objects[1].id: duplicate id "a" (first used at objects[0].id))"},
        {R"({"objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0, 1, 3]]}]})",
         "objects[0].polygons[0][2]: point index 3 outside the 3 points"},
        {R"({"objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0, 1]]}]})",
         "objects[0].polygons[0]: expected [a, b, c] or [a, b, c, d] (point indices)"},
        {R"({"objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0, 1, 2]],
            "tags": [{"type": "uvw", "uvw": [[[0,0,0],[1,0,0],[0,1,0]], [[0,0,0],[1,0,0],[0,1,0]]]}]}]})",
         "objects[0].tags[0].uvw[1]: UVW entry outside the 1 polygons"},
        {R"({"objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0, 1, 2]],
            "tags": [{"type": "polygonSelection", "polygons": [0, 1]}]}]})",
         "objects[0].tags[0].polygons[1]: polygon index 1 outside the 1 polygons"},
        {R"({"objects": [{"type": "null", "points": []}]})",
         "objects[0].points: only polygon objects (5100) have this key"},
        {R"({"objects": [{"type": "null", "tags": [{"type": "phong", "material": "m"}]}]})",
         "objects[0].tags[0].material: only texture and hair material tags have this key"},
        {R"({"objects": [{"type": "null", "matrix": {}, "position": [0, 0, 0]}]})",
         "objects[0].position: an object with \"matrix\" takes no position, rotation or scale"},
        {R"({"objects": [{"type": "null", "tracks": [{"param": [903, 1000], "keys": [{"time": 0, "value": 1,
            "interpolation": "bezier"}]}]}]})",
         "objects[0].tracks[0].keys[0].interpolation: unknown interpolation \"bezier\" (expected "
         "linear, step or spline)"},
        {R"({"objects": [{"type": "hair", "hair": {"segments": 2, "guides": [[[0,0,0],[0,1,0]]]}}]})",
         "objects[0].hair.guides[0]: a guide of 2 segments has 3 points, found 2"},
        {R"({"materials": [{"channels": {"x": true}}]})",
         "materials[0].channels.x: a channel id must be a non-negative integer"},
        {R"({"materials": [{"shaders": [{"type": "color", "params": {"900": "n"}}]}]})",
         "materials[0].shaders[0].params.900: parameter 900 is the name: use \"name\""},
        {R"({"fps": 0})", "fps: integer out of range 1..100000"},
        {R"({"time": {"now": 1}})", "time.now: unknown key (expected one of: current, start)"},
        {R"([1, 2])", "expected an object, found an array"},
        {R"({"objects": [{"type": "null", "key": -1}]})",
         "objects[0].key: expected an unsigned 64-bit integer, found -1"},
        {R"({"objects": [{"type": "null", "selected": 1}]})",
         "objects[0].selected: expected true or false, found a number"},
        {R"({"objects": [{"type": "null", "name": "a", "name": "b"}]})",
         "objects[0].name: duplicate key"},
    };
    for (const ErrorCase& c : cases) EXPECT_EQ(loadError(c.json), c.message) << c.json;
}

TEST(Loader, SyntaxErrorsGiveLineColumnAndByte) {
    const std::string message = loadError("{\n  \"objects\": [\n    {\"type\": \"null\",}\n  ]\n}");
    EXPECT_EQ(message.rfind("JSON syntax error at line 3, column 21 (byte 37): ", 0), 0u)
        << message;
    EXPECT_NE(loadError("").find("line 1, column 1 (byte 0)"), std::string::npos);
}

TEST(Loader, ObjectsGetHostDefaultsThatParamsOverrideOrRemove) {
    auto doc = LoadDocumentText(R"({"objects": [
        {"type": "camera"},
        {"type": "light", "params": {"90001": 0.5, "90002": null, "902": null}},
        {"type": "null", "params": {"901": 1, "7": [1, 2, 3], "8": "text", "9": {"time": 1.5}, "10": true}}]})",
                                "");
    BaseObject* camera = doc->GetFirstObject();
    BaseObject* light = camera->GetNext();
    BaseObject* null = light->GetNext();
    GeData v;
    ASSERT_TRUE(camera->GetParameter(DescID(1008), v));
    EXPECT_DOUBLE_EQ(v.GetFloat(), 0.9272952180016122);
    ASSERT_TRUE(camera->GetParameter(DescID(ID_BASEOBJECT_VISIBILITY_RENDER), v));
    EXPECT_EQ(v.GetInt32(), MODE_UNDEF);
    EXPECT_FALSE(camera->GetParameter(DescID(90000), v));  // lights only

    ASSERT_TRUE(light->GetParameter(DescID(90000), v));
    EXPECT_EQ(v.GetVector(), Vector(1, 1, 1));
    ASSERT_TRUE(light->GetParameter(DescID(90001), v));
    EXPECT_EQ(v.GetFloat(), 0.5);
    ASSERT_TRUE(light->GetParameter(DescID(100010), v));
    EXPECT_EQ(v.GetFloat(), 200);
    EXPECT_FALSE(light->GetParameter(DescID(90002), v));  // null removes the default
    EXPECT_FALSE(light->GetParameter(DescID(902), v));
    EXPECT_TRUE(light->GetParameter(DescID(901), v));

    ASSERT_TRUE(null->GetParameter(DescID(901), v));
    EXPECT_EQ(v.GetInt32(), 1);
    ASSERT_TRUE(null->GetParameter(DescID(7), v));
    EXPECT_EQ(v.GetVector(), Vector(1, 2, 3));
    ASSERT_TRUE(null->GetParameter(DescID(8), v));
    EXPECT_EQ(v.GetString(), String("text"));
    ASSERT_TRUE(null->GetParameter(DescID(9), v));
    EXPECT_EQ(v.GetTime().Get(), 1.5);
    ASSERT_TRUE(null->GetParameter(DescID(10), v));
    EXPECT_EQ(v.GetInt32(), 1);
    EXPECT_FALSE(null->GetParameter(DescID(11), v));
    ASSERT_TRUE(null->GetParameter(DescID(ID_BASELIST_NAME), v));
    EXPECT_EQ(v.GetString(), String());
}

TEST(Loader, AliasesNameTheirTypeIds) {
    auto doc = LoadDocumentText(R"({
      "materials": [{"type": "standard", "shaders": [{"type": "color"}, {"type": "bitmap"}, {"type": "gradient"}]},
                    {"type": "hairMaterialNode"}, {}],
      "objects": [{"type": "null"}, {"type": "polygon"}, {"type": "light"}, {"type": "camera"},
                  {"type": "hair", "tags": [{"type": "texture"}, {"type": "uvw"}, {"type": "normal"},
                    {"type": "polygonSelection"}, {"type": "phong"}, {"type": "hairMaterial"}, {"type": 4242}]}]})",
                                "");
    std::vector<Int32> objects, tags, materials, shaders;
    for (BaseObject* o = doc->GetFirstObject(); o; o = o->GetNext())
        objects.push_back(o->GetType());
    for (BaseTag* t =
             doc->GetFirstObject()->GetNext()->GetNext()->GetNext()->GetNext()->GetFirstTag();
         t; t = t->GetNext())
        tags.push_back(t->GetType());
    for (BaseMaterial* m = doc->GetFirstMaterial(); m; m = m->GetNext())
        materials.push_back(m->GetType());
    for (BaseShader* s = doc->GetFirstMaterial()->GetFirstShader(); s; s = s->GetNext())
        shaders.push_back(s->GetType());
    EXPECT_EQ(objects, (std::vector<Int32>{5140, 5100, 5102, 5103, 1017305}));
    EXPECT_EQ(tags, (std::vector<Int32>{5616, 5671, 5711, 5673, 5612, 1017729, 4242}));
    EXPECT_EQ(materials,
              (std::vector<Int32>{5703, 1017730, 5703}));  // the type defaults to standard
    EXPECT_EQ(shaders, (std::vector<Int32>{5832, 5833, 1011100}));
    EXPECT_NE(dynamic_cast<PolygonObject*>(doc->GetFirstObject()->GetNext()), nullptr);
}

TEST(Loader, KeysAreAssignedInDocumentOrderAvoidingGivenOnes) {
    auto doc = LoadDocumentText(R"({"objects": [
        {"type": "null", "cache": {"type": "null"}, "children": [{"type": "null", "key": 2}, {"type": "null"}]},
        {"type": "null", "key": 18446744073709551615}]})",
                                "");
    BaseObject* a = doc->GetFirstObject();
    EXPECT_EQ(a->GetGUID(), 1u);
    EXPECT_EQ(a->GetCache()->GetGUID(), 3u);
    EXPECT_EQ(a->GetDown()->GetGUID(), 2u);
    EXPECT_EQ(a->GetDown()->GetNext()->GetGUID(), 4u);
    EXPECT_EQ(a->GetNext()->GetGUID(), 18446744073709551615u);
}

TEST(Loader, LinksResolveForwardAndMaterialsCarryTheirData) {
    auto doc = LoadDocumentText(R"({
      "layers": [{"id": "L", "name": "Layer", "params": {"1001": 1}}],
      "objects": [{"type": "null", "params": {"5": {"link": "target"}}, "layer": "L",
                   "tags": [{"type": "texture", "material": "m", "textureMatrix": {"off": [1, 2, 3]}}]},
                  {"type": "null", "id": "target", "name": "Target"}],
      "materials": [{"id": "m", "name": "M", "channels": {"0": true, "7": false},
                     "container": {"65": [0.1, 0.2, 0.3]},
                     "params": {"8000": {"link": "s"}},
                     "shaders": [{"id": "s", "type": 1012158, "params": {"10001": {"gradient": [
                        {"position": 0, "color": [1, 0, 0]}, {"position": 1, "color": [0, 0, 1], "brightness": 0.5}]}}}]}]})",
                                "");
    BaseObject* o = doc->GetFirstObject();
    GeData v;
    ASSERT_TRUE(o->GetParameter(DescID(5), v));
    EXPECT_EQ(v.GetLink(doc.get()), o->GetNext());
    ASSERT_NE(o->GetLayerObject(doc.get()), nullptr);
    EXPECT_EQ(o->GetLayerObject(doc.get())->GetName(), String("Layer"));
    auto* tag = dynamic_cast<TextureTag*>(o->GetFirstTag());
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->GetObject(), o);
    EXPECT_EQ(tag->GetMl().off, Vector(1, 2, 3));
    EXPECT_EQ(tag->GetMl().v1, Vector(1, 0, 0));
    BaseMaterial* m = tag->GetMaterial();
    ASSERT_EQ(m, doc->GetFirstMaterial());
    EXPECT_TRUE(m->GetChannelState(0));
    EXPECT_FALSE(m->GetChannelState(7));
    EXPECT_FALSE(m->GetChannelState(1));
    EXPECT_EQ(m->GetDataInstance()->Find(65)->GetVector(), Vector(0.1, 0.2, 0.3));
    ASSERT_TRUE(m->GetParameter(DescID(8000), v));
    BaseShader* shader = static_cast<BaseShader*>(v.GetLink());
    ASSERT_EQ(shader, m->GetFirstShader());
    ASSERT_TRUE(shader->GetParameter(DescID(10001), v));
    const Gradient* g = v.GetCustomDataType(CUSTOMDATATYPE_GRADIENT);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->GetKnotCount(), 2);
    EXPECT_EQ(g->GetKnot(0)->color, Vector(1, 0, 0));
    EXPECT_EQ(g->GetKnot(1)->brightness, 0.5);
    EXPECT_EQ(g->GetKnot(0)->brightness, 1.0);
}

TEST(Loader, GeometryTagsAndTracks) {
    auto doc = LoadDocumentText(
        R"({"objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]],
        "polygons": [[0, 1, 2], [0, 1, 2, 3], [3, 2, 1]],
        "tags": [{"type": "uvw", "uvw": [[[0,0,0],[1,0,0],[1,1,0]], [[0,0,0],[1,0,0],[1,1,0],[0,1,0]]]},
                 {"type": "polygonSelection", "name": "S", "polygons": [2, 0]}],
        "tracks": [{"param": [905, 1001], "name": "Scale . Y", "keys": [{"time": 1, "value": 2, "interpolation": "step"}]}]}]})",
        "");
    auto* poly = dynamic_cast<PolygonObject*>(doc->GetFirstObject());
    ASSERT_NE(poly, nullptr);
    ASSERT_EQ(poly->GetPolygonCount(), 3);
    EXPECT_TRUE(poly->GetPolygonR()[0].IsTriangle());
    EXPECT_EQ(poly->GetPolygonR()[0].d, 2);
    EXPECT_FALSE(poly->GetPolygonR()[1].IsTriangle());
    auto* uvw = dynamic_cast<UVWTag*>(poly->GetTag(Tuvw));
    ASSERT_NE(uvw, nullptr);
    ASSERT_EQ(uvw->GetDataCount(), 3);  // padded to the polygon count
    EXPECT_EQ(uvw->GetSlow(0).d, Vector(1, 1, 0));
    EXPECT_EQ(uvw->GetSlow(1).d, Vector(0, 1, 0));
    EXPECT_EQ(uvw->GetSlow(2).a, Vector());
    auto* sel = dynamic_cast<SelectionTag*>(poly->GetTag(Tpolygonselection));
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->GetBaseSelect()->ranges(),
              (std::vector<std::pair<Int32, Int32>>{{0, 0}, {2, 2}}));
    EXPECT_EQ(sel->GetName(), String("S"));
    CTrack* track = poly->GetFirstCTrack();
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->GetDescriptionID(), DescID(905, 1001));
    EXPECT_EQ(track->GetName(), String("Scale . Y"));
    GeData on;
    ASSERT_TRUE(track->GetParameter(DescID(904), on));
    EXPECT_EQ(on.GetInt32(), 1);
    EXPECT_EQ(track->GetCurve()->GetKey(0)->GetInterpolation(), Interpolation::Step);
}

TEST(Loader, DocumentParametersAndDirectory) {
    const testfiles::TempDir temp("vx-loader");
    const std::filesystem::path dir = temp.path();
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "doc.json";
    std::ofstream(file)
        << R"({"name": "model.final.c4d", "fps": 25, "time": {"current": 2, "start": 0.5}})";
    auto doc = LoadDocumentFile(file.string());
    GeData v;
    ASSERT_TRUE(doc->GetParameter(DescID(DOCUMENT_PATH), v));
    EXPECT_EQ(v.GetFilename().GetString(), String(dir.lexically_normal().string()));
    ASSERT_TRUE(doc->GetParameter(DescID(DOCUMENT_FILENAME), v));
    EXPECT_EQ(v.GetString(), String("model.final.c4d"));
    EXPECT_EQ(doc->GetName(), String("model.final.c4d"));
    ASSERT_TRUE(doc->GetParameter(DescID(DOCUMENT_MINTIME), v));
    EXPECT_EQ(v.GetTime().Get(), 0.5);
    EXPECT_EQ(doc->GetTime().Get(), 2.0);
    EXPECT_EQ(doc->GetFps(), 25);

    std::ofstream(file) << R"({"directory": ""})";
    ASSERT_TRUE(LoadDocumentFile(file.string())->GetParameter(DescID(DOCUMENT_PATH), v));
    EXPECT_TRUE(v.GetFilename().GetString().IsEmpty());
    std::filesystem::remove_all(dir);

    try {
        LoadDocumentFile((dir / "missing.json").string());
        FAIL() << "loaded a missing file";
    } catch (const DocumentError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot read the file: No such file or directory");
    }
}

TEST(Loader, DemoAndExampleDocumentsLoad) {
    auto demo = LoadDemoDocument();
    int objects = 0;
    for (BaseObject* o = demo->GetFirstObject(); o; o = o->GetNext()) ++objects;
    EXPECT_EQ(objects, 4);
    EXPECT_EQ(demo->GetName(), String("demo.c4d"));
    AtomArray selection;
    demo->GetSelection(selection);
    EXPECT_EQ(selection.GetCount(), 1);
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VX_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") continue;
        ++examples;
        EXPECT_NO_THROW(LoadDocumentFile(entry.path().string())) << entry.path();
    }
    EXPECT_GE(examples, 3);
}

}  // namespace
