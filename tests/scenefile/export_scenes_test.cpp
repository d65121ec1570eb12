// What vxhost exports for the example documents (and the demo document)
// passes `vxs check`, and `vxs info` counts what the document holds.
//
// The expected counts come from the document file itself, by the export's
// rules: one group for the document and one per object (caches included);
// cameras among the objects and their children; lights and hair guides
// wherever the walk meets them; the triangles of every polygon object that
// is shown (visibility 901/902, inherited when 2), not a generator's control
// object (bit 0x200), on no layer or a layer with 1001 and 1002 on, and not
// replaced by a cache (a triangle counts 1, a quad 2), and the 8 triangles
// of every light's octahedron.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/integration/process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using vxtest::readFile;
using vxtest::runProcess;

struct Counts {
    std::uint64_t groups = 1, cameras = 0, lights = 0, triangles = 0, hairCurves = 0;
};

bool isType(const json& o, const char* alias, int id) {
    const json& t = o.at("type");
    return t.is_string() ? t.get<std::string>() == alias : t.get<int>() == id;
}

int param(const json& o, const char* id, int fallback) {
    if (!o.contains("params") || !o["params"].contains(id)) return fallback;
    const json& v = o["params"][id];
    return v.is_boolean() ? (v.get<bool>() ? 1 : 0) : v.get<int>();
}

class Expectation {
public:
    explicit Expectation(const json& doc) : doc_(doc) {
        for (const json& o : doc.value("objects", json::array())) {
            cameras(o);
            walk(o, true, true);
        }
    }
    Counts counts;

private:
    void cameras(const json& o) {
        if (isType(o, "camera", 5103)) ++counts.cameras;
        for (const json& c : o.value("children", json::array())) cameras(c);
    }

    bool layerOn(const json& o) const {
        if (!o.contains("layer")) return true;
        for (const json& l : doc_.value("layers", json::array()))
            if (l.value("id", "") == o["layer"].get<std::string>())
                return param(l, "1001", 0) && param(l, "1002", 0);
        return false;
    }

    void walk(const json& o, bool editor, bool render) {
        ++counts.groups;
        int e = param(o, "901", 2), r = param(o, "902", 2);
        if (e != 2) editor = e == 0;
        if (r != 2) render = r == 0;
        if (o.contains("deformCache")) {
            walk(o["deformCache"], editor, render);
        } else if (o.contains("cache")) {
            walk(o["cache"], editor, render);
        } else if (isType(o, "polygon", 5100)) {
            bool control = (o.value("bits", 0) & 0x200) != 0;
            if (editor && render && !control && layerOn(o))
                for (const json& p : o.value("polygons", json::array()))
                    counts.triangles += p.size() == 3 || p[2] == p[3] ? 1 : 2;
        } else if (isType(o, "light", 5102)) {
            ++counts.lights;
            counts.triangles += 8;  // a light is an emissive octahedron
        } else if (isType(o, "hair", 1017305)) {
            counts.hairCurves += o["hair"].value("guides", json::array()).size();
        }
        for (const json& c : o.value("children", json::array())) walk(c, editor, render);
    }

    const json& doc_;
};

class ExportedScenes : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("vxs-export");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The example documents and the demo document, as files.
    std::vector<std::string> documents() {
        std::vector<std::string> docs;
        for (const auto& e : fs::directory_iterator(VX_EXAMPLES_DIR))
            if (e.path().extension() == ".json") docs.push_back(e.path().string());
        std::sort(docs.begin(), docs.end());
        std::string demo = (dir_ / "demo.json").string();
        auto r = runProcess({VXHOST_PATH, "demo-document", "-o", demo});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        docs.push_back(demo);
        return docs;
    }
    // Exports `doc` into the test's folder; the scene file's path.
    std::string exportScene(const std::string& doc) {
        std::string scene = (dir_ / (fs::path(doc).stem().string() + ".vxs")).string();
        auto exported = runProcess({VXHOST_PATH, "export", doc, "-o", scene});
        EXPECT_EQ(exported.exitStatus, 0) << exported.err;
        return scene;
    }
    fs::path dir_;
};

TEST_F(ExportedScenes, PassCheck) {
    for (const std::string& doc : documents()) {
        SCOPED_TRACE(doc);
        std::string scene = exportScene(doc);
        auto check = runProcess({VXS_PATH, "check", scene});
        EXPECT_EQ(check.exitStatus, 0) << check.out << check.err;
        EXPECT_EQ(check.out, scene + ": ok\n");
    }
}

TEST_F(ExportedScenes, CountWhatTheDocumentHolds) {
    for (const std::string& doc : documents()) {
        SCOPED_TRACE(doc);
        std::string scene = exportScene(doc);
        auto info = runProcess({VXS_PATH, "info", "--json", scene});
        ASSERT_EQ(info.exitStatus, 0) << info.err;
        json got = json::parse(info.out);
        Counts want = Expectation(json::parse(readFile(doc))).counts;
        EXPECT_EQ(got["groups"], want.groups);
        EXPECT_EQ(got["cameras"], want.cameras);
        EXPECT_EQ(got["lights"], want.lights);
        EXPECT_EQ(got["triangles"], want.triangles);
        EXPECT_EQ(got["hair_curves"], want.hairCurves);
        EXPECT_EQ(got["file_size"], fs::file_size(scene));
    }
}

}  // namespace
