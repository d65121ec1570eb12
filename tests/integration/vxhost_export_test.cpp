// vxhost running the built plug-in: what users see of "Export to .vxs".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "process.h"
#include "tests/platform/test_files.h"

namespace fs = std::filesystem;
using vxtest::fileExists;
using vxtest::readFile;
using vxtest::runProcess;

namespace {

const std::string kHeader =
    "//---talvik:dal:7---\n"
    "//---import:dal:1---\n"
    "//---id:1---\n"
    "// This is a Vantrix scene file\n\n"
    "#print \"Vantrix SceneApi oo 9.0.45  (built Wed Feb 20 10:46:13 2019)\"\n"
    "version 8\n\n"
    "load \"talrtopt.so\" {\n"
    "\"import_mode\" on,\n"
    "\"import_merge_groups\" off,\n"
    "\"import_merge_objects\" off,\n"
    "\"import_up_vector\" 1,\n"
    "\"meter_scale\" 100,\n"
    "\"import_keep_original\" on,\n"
    "\"import_center_geometry\" off,\n"
    "\"import_snap_to_ground\" off,\n"
    "\"import_adjust_camera\" on,\n"
    "\"import_adjust_environment\" on,\n"
    "\"ext\" off,\n"
    "}\n";

const std::string kMirror =
    "transform 1 0 0 0 0 1 0 0 0 0 -1 0 0 0 0 1\n"
    "attribute \"source file\" \"source file\"\n";

class VxhostExport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("vxhost-it");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string writeDoc(const std::string& name, const std::string& json) const {
        std::string p = path(name);
        FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(json.data(), 1, json.size(), f);
        std::fclose(f);
        return p;
    }
    fs::path dir_;
};

std::vector<std::string> topLevelNames(const std::string& documentPath) {
    auto doc = nlohmann::json::parse(readFile(documentPath));
    std::vector<std::string> names;
    for (const auto& o : doc.value("objects", nlohmann::json::array())) {
        std::string n = o.value("name", "");
        names.push_back(n.empty() ? "object" : n);
    }
    return names;
}

}  // namespace

TEST_F(VxhostExport, DemoDocumentWritesHeaderOptionsAndDocumentGroup) {
    auto out = path("demo.vxs");
    auto r = runProcess({VXHOST_PATH, "export", "-o", out});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    std::string scene = readFile(out);
    ASSERT_EQ(scene.substr(0, kHeader.size()), kHeader);
    EXPECT_NE(scene.find("\ngroup \"demo\" {\n" + kMirror), std::string::npos);
    // Binary arrays (meshes) may hold any byte; the text before them may not.
    EXPECT_EQ(scene.substr(0, scene.find("\ngroup \"demo\"")).find('\r'), std::string::npos)
        << "line ends are line feeds only";

    // The same document gives the same bytes.
    auto again = path("demo2.vxs");
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", "-o", again}).exitStatus, 0);
    EXPECT_EQ(readFile(again), scene);
}

TEST_F(VxhostExport, EveryExampleExportsItsTopLevelGroupsInOrder) {
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(VX_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".json") continue;
        ++seen;
        SCOPED_TRACE(entry.path().string());
        auto out = path(entry.path().stem().string() + ".vxs");
        auto r = runProcess({VXHOST_PATH, "export", entry.path().string(), "-o", out});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        std::string scene = readFile(out);
        ASSERT_EQ(scene.substr(0, kHeader.size()), kHeader);
        EXPECT_NE(scene.find(kMirror), std::string::npos);
        size_t at = scene.find(kMirror);
        for (const auto& name : topLevelNames(entry.path().string())) {
            size_t next = scene.find("\ngroup \"" + name + "\" {\nflags 1\n", at);
            EXPECT_NE(next, std::string::npos) << name;
            if (next != std::string::npos) at = next;
        }
    }
    EXPECT_GT(seen, 0);
}

TEST_F(VxhostExport, FaultyDocumentIsRefusedWithItsPathAndNothingIsWritten) {
    struct Case {
        const char* json;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"objects": [{"type": "null", "colour": 1}]})", "objects[0]"},
        {R"({"objects": [{"type": "polygon", "points": [[0,0,0]], "polygons": [[0,0,5]]}]})",
         "objects[0].polygons[0]"},
        {R"({"objects": [{"type": "polygon", "tags": [{"type": "texture", "material": "wood"}]}]})",
         "objects[0].tags[0].material"},
        {R"({"objects": [ {"type": "null"} )", "line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        auto doc = writeDoc("bad.json", c.json);
        auto out = path("bad.vxs");
        auto r = runProcess({VXHOST_PATH, "export", doc, "-o", out});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_FALSE(fileExists(out));
    }
}

TEST_F(VxhostExport, UnwritableTargetsAreReportedNotCrashedOn) {
    auto r = runProcess({VXHOST_PATH, "export", "-o", path("no/such/dir/out.vxs")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("could not open file: \"" + path("no/such/dir/out.vxs") + "\""),
              std::string::npos)
        << r.err;

    // A disk that fills up mid-export: the file size limit makes writes past
    // 1 KiB fail (the signal it raises is ignored, as a full disk raises none).
    auto out = path("full.vxs");
    auto full =
        runProcess({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" export -o \"$1\"",
                    VXHOST_PATH, out});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_NE(full.err.find("could not close file"), std::string::npos) << full.err;
    EXPECT_FALSE(fileExists(out)) << "an incomplete scene file must not be left behind";
}

TEST_F(VxhostExport, DashWritesTheSceneToStandardOutputAlone) {
    auto r = runProcess({VXHOST_PATH, "export", "-o", "-"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    ASSERT_EQ(r.out.substr(0, kHeader.size()), kHeader);
    auto file = path("demo.vxs");
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", "-o", file}).exitStatus, 0);
    EXPECT_EQ(r.out, readFile(file)) << "nothing but the scene may reach stdout";
}

TEST_F(VxhostExport, CommandsListsTheThreeCommands) {
    auto r = runProcess({VXHOST_PATH, "commands"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const char* s : {"1033591", "Render in Vantrix", "1034393", "Update Vantrix scene",
                          "1034420", "Export to .vxs", "render.png", "update.png", "export.png"}) {
        EXPECT_NE(r.out.find(s), std::string::npos) << s;
    }
}

TEST_F(VxhostExport, RunByMenuNameAnswersTheSaveDialogWithSavePath) {
    auto out = path("run.vxs");
    auto r = runProcess({VXHOST_PATH, "run", "Export to .vxs", "--save-path", out});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readFile(out).substr(0, kHeader.size()), kHeader);

    // No save path and no terminal: the dialog is cancelled and nothing is written.
    auto cancelled = runProcess({VXHOST_PATH, "run", "1034420"});
    EXPECT_EQ(cancelled.exitStatus, 0) << cancelled.err;
}
