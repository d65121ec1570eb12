// The document writer reads back as the same document, and the "normals"
// extension of the document file: loaded strictly, answered as phong normals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "host/demo_document.h"
#include "host/document_loader.h"
#include "host/document_writer.h"

namespace {

namespace fs = std::filesystem;
using host::GeData;
using host::Vector;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string loadError(const std::string& json) {
    try {
        host::LoadDocumentText(json, "");
    } catch (const host::DocumentError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(DocumentWriter, EveryExampleAndTheDemoReadBackToTheSameText) {
    std::vector<std::pair<std::string, std::string>> docs;  // name, text
    for (const auto& entry : fs::directory_iterator(VX_EXAMPLES_DIR))
        if (entry.path().extension() == ".json")
            docs.emplace_back(entry.path().filename().string(), slurp(entry.path()));
    docs.emplace_back("demo", host::DemoDocumentJson());
    ASSERT_GE(docs.size(), 6u);
    for (const auto& [name, json] : docs) {
        const auto first = host::LoadDocumentText(json, VX_EXAMPLES_DIR);
        const std::string written = host::WriteDocumentText(*first, VX_EXAMPLES_DIR);
        const auto second = host::LoadDocumentText(written, VX_EXAMPLES_DIR);
        EXPECT_EQ(host::WriteDocumentText(*second, VX_EXAMPLES_DIR), written) << name;
    }
}

// Every value form, removed defaults, ids and links, and the object's own
// data, built in code and read back.
TEST(DocumentWriter, ValuesLinksAndDefaultsSurviveTheRoundTrip) {
    const std::string json = R"({
      "name": "all.c4d", "directory": "/somewhere", "fps": 25, "time": {"current": 1.5, "start": 0.5},
      "layers": [{"id": "L", "name": "Layer", "params": {"1001": 1}}],
      "materials": [{"id": "m", "name": "M", "channels": {"0": true, "7": false},
                     "params": {"2100": [1, 0.5, 0.25], "2101": 2.0, "8000": {"link": "s"}},
                     "container": {"65": [0.1, 0.2, 0.3]},
                     "shaders": [{"id": "s", "type": "bitmap", "params": {"1000": {"file": "a b.png"}}},
                                 {"type": "gradient", "params": {"1007": {"gradient": [
                                   {"position": 0, "color": [1, 0, 0]}, {"position": 1, "color": [0, 0, 1], "brightness": 0.5}]}}}]}],
      "objects": [
        {"type": "camera", "id": "cam", "name": "Cam", "key": 77, "rotationOrder": 2, "rotation": [0.1, 0.2, 0.3],
         "params": {"1008": null, "901": 0, "5": "text", "6": {"time": 2.25}, "7": {"link": "cam"}}, "selected": true},
        {"type": "polygon", "name": "P", "layer": "L", "bits": 512,
         "matrix": {"off": [1, 2, 3], "v1": [1, 0.5, 0], "v2": [0, 2, 0], "v3": [0, 0, -1]},
         "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], "polygons": [[0, 1, 2, 3], [0, 2, 3]],
         "normals": [[[0, 0, 1], [0, 0, 1], [0, 1, 0], [1, 0, 0]], [[0, 0, -1], [0, 0, -1], [0, 0, -1]]],
         "tags": [{"type": "texture", "material": "m", "textureMatrix": {"off": [1, 0, 0]}, "selected": true},
                  {"type": "uvw", "uvw": [[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]]},
                  {"type": "polygonSelection", "name": "S", "polygons": [1, 0]}, {"type": "phong"}],
         "tracks": [{"param": [903, 1000], "params": {"904": 0},
                     "keys": [{"time": 0, "value": 1}, {"time": 1, "value": 2, "interpolation": "spline"}]}],
         "cache": {"type": "null", "name": "cached"},
         "children": [{"type": "hair", "hair": {"segments": 1, "guides": [[[0, 0, 0], [0, 1, 0]]], "rootUV": [[0.5, 0.25]]}}]}
      ]})";
    const auto doc = host::LoadDocumentText(json, "/elsewhere");
    const std::string written = host::WriteDocumentText(*doc, "/elsewhere");
    const auto back = host::LoadDocumentText(written, "/elsewhere");
    EXPECT_EQ(host::WriteDocumentText(*back, "/elsewhere"), written);

    GeData d;
    ASSERT_TRUE(back->GetParameter(host::DescID(host::DOCUMENT_PATH), d));
    EXPECT_EQ(d.GetFilename().GetString().utf8(), "/somewhere");
    EXPECT_EQ(back->GetFps(), 25);
    EXPECT_EQ(back->GetTime().Get(), 1.5);
    host::BaseObject* cam = back->GetFirstObject();
    EXPECT_EQ(cam->GetGUID(), 77u);
    EXPECT_EQ(cam->GetRotationOrder(), 2);
    EXPECT_FALSE(cam->GetParameter(host::DescID(1008), d)) << "a removed default stays removed";
    ASSERT_TRUE(cam->GetParameter(host::DescID(7), d));
    EXPECT_EQ(d.GetLink(), cam);
    ASSERT_TRUE(cam->GetParameter(host::DescID(6), d));
    EXPECT_EQ(d.GetTime().Get(), 2.25);
    EXPECT_TRUE(back->IsSelected(cam));

    auto* p = dynamic_cast<host::PolygonObject*>(cam->GetNext());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetMl(), doc->GetFirstObject()->GetNext()->GetMl());
    EXPECT_TRUE(p->explicitMl().has_value());
    EXPECT_EQ(p->GetAllBits(), 512);
    EXPECT_NE(p->GetLayerObject(back.get()), nullptr);
    EXPECT_EQ(p->givenNormals().size(), 8u);
    EXPECT_EQ(p->givenNormals()[7], (host::Vector32{0, 0, -1}));
    const auto* tag = static_cast<const host::TextureTag*>(p->GetFirstTag());
    EXPECT_EQ(tag->GetMaterial(), back->GetFirstMaterial());
    EXPECT_TRUE(back->IsSelected(tag));
    const auto* select = static_cast<const host::SelectionTag*>(p->GetTag(host::Tpolygonselection));
    EXPECT_EQ(select->GetBaseSelect()->GetCount(), 2);
    const host::CTrack* track = p->GetFirstCTrack();
    ASSERT_TRUE(track->GetParameter(host::DescID(904), d));
    EXPECT_EQ(d.GetInt32(), 0);
    EXPECT_EQ(track->GetCurve()->GetKey(1)->GetInterpolation(), host::Interpolation::Spline);
    ASSERT_NE(p->GetCache(), nullptr);
    ASSERT_NE(p->GetDown(), nullptr);
    EXPECT_EQ(p->GetDown()->hairGuides()->rootUV[0], (std::pair<double, double>{0.5, 0.25}));

    const host::BaseMaterial* m = back->GetFirstMaterial();
    EXPECT_TRUE(m->GetChannelState(0));
    EXPECT_EQ(m->channels().size(), 2u);
    ASSERT_TRUE(m->GetParameter(host::DescID(2101), d));
    EXPECT_FALSE(d.IsInteger()) << "2.0 stays a floating value";
    ASSERT_TRUE(m->GetParameter(host::DescID(8000), d));
    EXPECT_EQ(d.GetLink(), m->GetFirstShader());
    const host::BaseShader* gradient = m->GetFirstShader()->GetNext();
    ASSERT_TRUE(gradient->GetParameter(host::DescID(1007), d));
    EXPECT_EQ(d.GetCustomDataType(host::CUSTOMDATATYPE_GRADIENT)->GetKnot(1)->brightness, 0.5);
}

TEST(DocumentWriter, DirectoryIsLeftOutOnlyWhenItIsTheFilesFolder) {
    const auto doc = host::LoadDocumentText(R"({"objects": [{"type": "null"}]})", "/data/docs");
    EXPECT_EQ(host::WriteDocumentText(*doc, "/data/docs").find("directory"), std::string::npos);
    EXPECT_NE(host::WriteDocumentText(*doc, "/other").find("\"directory\": \"/data/docs\""),
              std::string::npos);
}

TEST(DocumentNormals, GivenNormalsAreAnsweredWhileThePhongTagSaysSo) {
    const std::string object = R"({"objects": [{"type": "polygon",
        "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2]],
        "normals": [[[0.6, 0, 0.8], [0, 0, 1], [0, 0, 1]]]TAGS}]})";
    const auto without =
        host::LoadDocumentText(std::regex_replace(object, std::regex("TAGS"), ""), "");
    EXPECT_TRUE(
        static_cast<host::PolygonObject*>(without->GetFirstObject())->CreatePhongNormals().empty());
    const auto with = host::LoadDocumentText(
        std::regex_replace(object, std::regex("TAGS"), R"(, "tags": [{"type": "phong"}])"), "");
    const auto normals =
        static_cast<host::PolygonObject*>(with->GetFirstObject())->CreatePhongNormals();
    ASSERT_EQ(normals.size(), 4u);
    EXPECT_EQ(normals[0], (host::Vector32{0.6f, 0, 0.8f}));
    EXPECT_EQ(normals[3], normals[2]);
}

TEST(DocumentNormals, LoadingStaysStrict) {
    const std::string quad =
        R"("points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], "polygons": [[0, 1, 2, 3]])";
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", )" + quad + R"(, "normals": []}]})"),
              "objects[0].normals: expected one entry per polygon (1), found 0");
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", )" + quad +
                        R"(, "normals": [[[0, 0, 1], [0, 0, 1], [0, 0, 1]]]}]})"),
              "objects[0].normals[0]: polygon 0 is a quad: four corners expected");
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", )" + quad +
                        R"(, "normals": [[[0, 0, 1], [0, 0, 1], [0, 0], [0, 0, 1]]]}]})"),
              "objects[0].normals[0][2]: expected [x, y, z] (three numbers)");
    EXPECT_EQ(loadError(R"({"objects": [{"type": "null", "normals": []}]})"),
              "objects[0].normals: only polygon objects (5100) have this key");
}

}  // namespace
