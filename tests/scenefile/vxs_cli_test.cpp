// The vxs program: its commands, output and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "scene_samples.h"
#include "tests/integration/process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using vxtest::runProcess;

class VxsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("vxs-cli");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& bytes) {
        std::string p = (dir_ / name).string();
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return p;
    }
    fs::path dir_;
};

TEST_F(VxsProgram, InfoCheckDumpConvert) {
    std::string scene = write("scene.vxs", vxtest::exportLikeScene(true));
    auto info = runProcess({VXS_PATH, "info", scene});
    EXPECT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_NE(info.out.find("triangles: 22\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  tal_advanced: 1\n"), std::string::npos) << info.out;
    auto json = runProcess({VXS_PATH, "info", "--json", scene});
    EXPECT_NE(json.out.find("\"hair_curves\": 2"), std::string::npos) << json.out;

    auto check = runProcess({VXS_PATH, "check", scene});
    EXPECT_EQ(check.exitStatus, 0);
    EXPECT_EQ(check.out, scene + ": ok\n");

    auto dump = runProcess({VXS_PATH, "dump", scene});
    EXPECT_EQ(dump.exitStatus, 0) << dump.err;
    EXPECT_NE(dump.out.find("    \"triangles\" binary i 36 values [\n"), std::string::npos);

    std::string glb = (dir_ / "scene.glb").string();
    auto convert = runProcess({VXS_PATH, "convert", scene, "-o", glb});
    EXPECT_EQ(convert.exitStatus, 0) << convert.err;
    EXPECT_NE(convert.out.find("22 triangles"), std::string::npos) << convert.out;
    EXPECT_TRUE(fs::exists(glb));
}

TEST_F(VxsProgram, CheckListsProblemsAndFails) {
    std::string broken =
        write("broken.vxs",
              "object \"o\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0 ] ,\n"
              "\"triangles\" [ 0,0,4 ] ,\n}\nmaterial \"m\"\n}\n");
    auto r = runProcess({VXS_PATH, "check", broken});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(
        r.out.find(broken +
                   ": line 4, byte 59: object \"o\": geometry \"triangles\": triangles[2] = 4"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("material \"m\" is used but not defined"), std::string::npos) << r.out;

    // Cut inside a binary array: a located reading error, not a crash.
    std::string whole = vxtest::exportLikeScene(true);
    std::string cut = write("cut.vxs", whole.substr(0, whole.find("\x01\x02\x03"
                                                                  "c") +
                                                           20));
    auto c = runProcess({VXS_PATH, "check", cut});
    EXPECT_EQ(c.exitStatus, 1);
    EXPECT_NE(c.out.find("binary array of 24 values needs 96 bytes, but only 12 remain"),
              std::string::npos)
        << c.out;
}

TEST_F(VxsProgram, UnreadableInputIsAMessage) {
    auto missing = runProcess({VXS_PATH, "info", (dir_ / "none.vxs").string()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("vxs: cannot open"), std::string::npos) << missing.err;
    std::string bad = write("bad.vxs", "group \"g\" {\n");
    auto r = runProcess({VXS_PATH, "dump", bad});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("end of input inside the group block \"g\""), std::string::npos) << r.err;
    EXPECT_NE(runProcess({VXS_PATH, "frobnicate"}).exitStatus, 0);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A file-size limit stands for a full disk (vxs ignores the signal it raises).
// The earlier outputs stay as they were, and nothing new is left.
TEST(VxsConvertOutput, AFailedWriteExitsOneAndKeepsTheEarlierFiles) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(20, 10, true));
    testfiles::writeFile(dir / "grid.glb", "earlier glb");
    testfiles::writeFile(dir / "grid.gltf", "earlier gltf");
    testfiles::writeFile(dir / "grid.bin", "earlier bin");
    for (const char* name : {"grid.glb", "grid.gltf"}) {
        SCOPED_TRACE(name);
        const auto r = runProcess({"/bin/sh", "-c", "ulimit -f 1; exec \"$@\"", "sh", VXS_PATH,
                                   "convert", scene, "-o", dir / name});
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_EQ(r.err.rfind("vxs: cannot write \"" + dir.path() + "/grid.", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\": File too large"), std::string::npos) << r.err;
    }
    EXPECT_EQ(testfiles::readFile(dir / "grid.glb"), "earlier glb");
    EXPECT_EQ(testfiles::readFile(dir / "grid.gltf"), "earlier gltf");
    EXPECT_EQ(testfiles::readFile(dir / "grid.bin"), "earlier bin");
    EXPECT_EQ(folderEntries(dir.path()),
              (std::vector<std::string>{"grid.bin", "grid.glb", "grid.gltf", "grid.vxs"}));

    const auto missing =
        runProcess({VXS_PATH, "convert", scene, "-o", dir / "no/such/folder.gltf"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
}

TEST(VxsConvertOutput, AGltfAndItsBufferReplaceTheEarlierPair) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(2, 2, true));
    testfiles::writeFile(dir / "grid.bin", "earlier bin");
    const auto r = runProcess({VXS_PATH, "convert", scene, "-o", dir / "grid.gltf"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(testfiles::readFile(dir / "grid.bin"), "earlier bin");
    EXPECT_NE(testfiles::readFile(dir / "grid.gltf").find("\"uri\": \"grid.bin\""),
              std::string::npos);
    EXPECT_EQ(folderEntries(dir.path()),
              (std::vector<std::string>{"grid.bin", "grid.gltf", "grid.vxs"}));
}

TEST(VxsConvertOutput, NonUtf8NamesConvertWithOneWarningAndNoStrayFiles) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "names.vxs";
    testfiles::writeFile(scene, "group \"\xff\" {\n}\ngroup \"\xfe\" {\n}\n");
    const auto r = runProcess({VXS_PATH, "convert", scene, "-o", dir / "names.gltf"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err,
              "vxs: warning: names that are not UTF-8: 2 invalid bytes replaced with U+FFFD\n");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"names.gltf", "names.vxs"}));
}

}  // namespace
