// vxhost end to end, with the test plug-in (test_plugin.cpp).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Vxhost : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("vxhost");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs vxhost with the test plug-in; `args` is shell text. No terminal on stdin.
    Result run(const std::string& args, const std::string& env = "") {
        const std::string cmd = env + " '" VXHOST_EXE "' --plugin '" VXHOST_TEST_PLUGIN "' " +
                                args + " >'" + (dir_ / "out").string() + "' 2>'" +
                                (dir_ / "err").string() + "' </dev/null";
        const int raw = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        r.out = slurp(dir_ / "out");
        r.err = slurp(dir_ / "err");
        return r;
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return (dir_ / name).string();
    }
    fs::path dir_;
};

TEST_F(Vxhost, ListsTheRegisteredCommands) {
    const Result r = run("commands");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string icon =
        (fs::path(VXHOST_TEST_PLUGIN).parent_path() / "res" / "render.png").string();
    EXPECT_EQ(r.out, "1033591\tRender in Vantrix\tRender\t" + icon +
                         "\n1034393\tUpdate Vantrix scene\tUpdate\t(no icon)\n"
                         "1034420\tExport to .vxs\tExport\t(no icon)\n2000001\tShow "
                         "message\tMessage\t(no icon)\n");
}

TEST_F(Vxhost, RunsACommandByNameOrIdOnTheDemoOrAFile) {
    Result r = run("run 'Render in Vantrix'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "render demo.c4d with 4 top-level objects\n"
              "vxhost: Render in Vantrix (1033591) on the demo document: done\n");
    const std::string doc =
        write("doc.json", R"({"name": "mine.c4d", "objects": [{"type": "null"}]})");
    r = run("render '" + doc + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("render mine.c4d with 1 top-level objects\n"), std::string::npos) << r.err;
    EXPECT_EQ(run("run 1033591").status, 0);
}

TEST_F(Vxhost, ExportWritesToTheSavePathOrStdoutAndCancelsWithoutOne) {
    const std::string target = (dir_ / "scene").string();
    Result r = run("export -o '" + target + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(target + ".vxs"), "scene demo.c4d\n");  // the dialog forces the suffix
    EXPECT_EQ(r.err, "vxhost: Export to .vxs (1034420) on the demo document: wrote " + target +
                         ".vxs (15 bytes)\n");

    r = run("run 'Export to .vxs' --save-path -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "scene demo.c4d\n");
    EXPECT_NE(r.err.find("wrote the scene to the standard output"), std::string::npos) << r.err;

    r = run("export");  // no terminal, no path: the dialog is cancelled
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("save dialog cancelled, nothing written"), std::string::npos) << r.err;
}

TEST_F(Vxhost, FailuresAreMessagesWithExitStatusOne) {
    Result r = run("run 'No such command'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vxhost: no command \"No such command\" (vxhost commands lists them)\n");

    const std::string bad = write("bad.json", R"({"objects": [{"type": "null", "colour": 1}]})");
    r = run("render '" + bad + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("vxhost: " + bad + ": objects[0].colour: unknown key", 0), 0u) << r.err;

    r = run("update");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vxhost: update exploded\n");

    r = run("run 2000001");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vxhost: something went wrong\n");

    r = run("export -o '" + (dir_ / "no" / "such" / "dir.vxs").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vxhost: could not open file: "), std::string::npos) << r.err;
}

TEST_F(Vxhost, ABadDocumentFileIsRefusedWithItsPathAndNothingIsWritten) {
    const std::string scene = (dir_ / "scene.vxs").string();
    const std::string index = write("index.json", R"({"objects": [{"type": "polygon",
        "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]], "polygons": [[0, 1, 5]]}]})");
    Result r = run("export '" + index + "' -o '" + scene + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vxhost: " + index +
                         ": objects[0].polygons[0][2]: point index 5 outside the 3 points\n");
    EXPECT_FALSE(fs::exists(scene));

    const std::string syntax = write("syntax.json", R"({"objects": [{"type": "polygon",
        "points": [[0, 0, 0], [1, 0, 0] [1, 1, 0]]}]})");
    r = run("export '" + syntax + "' -o '" + scene + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(
                  "vxhost: " + syntax + ": JSON syntax error at line 2, column 41 (byte 73): ", 0),
              0u)
        << r.err;
    EXPECT_FALSE(fs::exists(scene));
}

TEST_F(Vxhost, PluginProblemsAreReportedNotCrashes) {
    Result r = run("commands", "VXHOST_TEST_START=throw");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("failed to start: start exploded"), std::string::npos) << r.err;

    const std::string cmd = "'" VXHOST_EXE "' --plugin '" + (dir_ / "missing.so").string() +
                            "' commands 2>'" + (dir_ / "err").string() + "'";
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_NE(slurp(dir_ / "err").find("vxhost: cannot load the plug-in"), std::string::npos);

    EXPECT_EQ(run("").status, 2);  // no subcommand: usage
}

TEST_F(Vxhost, DemoDocumentRoundTripsThroughAFile) {
    const std::string file = (dir_ / "demo.json").string();
    ASSERT_EQ(run("demo-document -o '" + file + "'").status, 0);
    const Result r = run("render '" + file + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("render demo.c4d with 4 top-level objects"), std::string::npos);
}

}  // namespace
