// The progress bar of vxhost and vxs: drawn on a terminal only, gone before
// any message, never seen by a pipe. The bar's delay comes from
// VX_PROGRESS_DELAY_MS, which these tests set to 0 where they need a bar
// whatever the machine's speed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "tests/platform/test_files.h"

namespace vxtest {
namespace {

// Sets VX_PROGRESS_DELAY_MS (or removes it) for the programs a test starts.
class ProgressDelay {
public:
    explicit ProgressDelay(std::optional<int> ms) {
        if (ms)
            ::setenv("VX_PROGRESS_DELAY_MS", std::to_string(*ms).c_str(), 1);
        else
            ::unsetenv("VX_PROGRESS_DELAY_MS");
    }
    ~ProgressDelay() { ::unsetenv("VX_PROGRESS_DELAY_MS"); }
    ProgressDelay(const ProgressDelay&) = delete;
    ProgressDelay& operator=(const ProgressDelay&) = delete;
};

// What a terminal shows after `bytes`: "\r" returns to the line's start,
// "\n" starts a new line (as the terminal's usual output mode does), other
// bytes overwrite. Trailing blanks are dropped; the line the cursor is on
// comes last, empty when the output left it clean.
std::vector<std::string> screen(const std::string& bytes) {
    std::vector<std::string> lines(1);
    std::size_t column = 0;
    for (char c : bytes) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (line.size() <= column) line.resize(column + 1, ' ');
            line[column++] = c;
        }
    }
    for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
    return lines;
}

// The lines of a pipe's output, with the empty line after the last "\n".
std::vector<std::string> pipeLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    lines.emplace_back();
    return lines;
}

// A grid of side x side quads with a track too long to sample, so that the
// export prints a warning while it runs; about 1 MB of text for 150.
std::string gridDocument(int side, bool badIndexAtEnd = false) {
    std::string points, polygons;
    const int row = side + 1;
    for (int z = 0; z < row; ++z)
        for (int x = 0; x < row; ++x)
            points +=
                (points.empty() ? "[" : ",[") + std::to_string(x) + ",0," + std::to_string(z) + "]";
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const int a = z * row + x;
            polygons += (polygons.empty() ? "[" : ",[") + std::to_string(a) + "," +
                        std::to_string(a + row) + "," + std::to_string(a + row + 1) + "," +
                        std::to_string(a + 1) + "]";
        }
    if (badIndexAtEnd) polygons += ",[0,1,99999999]";
    return R"({"name": "grid.c4d", "objects": [{"type": "polygon", "name": "Grid", "points": [)" +
           points + "], \"polygons\": [" + polygons +
           R"(], "tracks": [{"param": [903, 1001], "name": "Lift", "keys": [{"time": 0, "value": 0}, {"time": 500000, "value": 1}]}]}]})";
}

class ProgressOnATerminal : public ::testing::Test {
protected:
    void SetUp() override {
        document_ = dir_ / "grid.json";
        testfiles::writeFile(document_, gridDocument(150));
    }
    // Runs `args` of `program` both ways: stderr on a terminal and in a pipe.
    std::pair<ProcessResult, ProcessResult> both(const std::string& program,
                                                 const std::vector<std::string>& args) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        ProcessResult terminal = runWithTerminalStderr(argv);
        ProcessResult pipe = runProcess(argv);
        return {terminal, pipe};
    }
    // The terminal run shows what the pipe run printed, and nothing is left
    // of the bar; standard output and exit status are the same.
    static void expectSameOutcome(const ProcessResult& terminal, const ProcessResult& pipe) {
        EXPECT_EQ(terminal.exitStatus, pipe.exitStatus) << terminal.err;
        EXPECT_EQ(terminal.out, pipe.out);
        EXPECT_EQ(screen(terminal.err), pipeLines(pipe.err)) << terminal.err;
        EXPECT_EQ(pipe.err.find('\r'), std::string::npos) << pipe.err;
    }

    const testfiles::TempDir dir_;
    std::string document_;
};

TEST_F(ProgressOnATerminal, VxhostShowsLoadingAndExportingAndLeavesMessagesOnCleanLines) {
    const ProgressDelay delay(0);
    const auto [terminal, pipe] = both(VXHOST_PATH, {"export", document_, "-o", dir_ / "g.vxs"});
    ASSERT_EQ(pipe.exitStatus, 0) << pipe.err;
    EXPECT_NE(pipe.err.find("\"Grid\": animation track \"Lift\" skipped"), std::string::npos)
        << pipe.err;
    expectSameOutcome(terminal, pipe);
    const std::string& err = terminal.err;
    EXPECT_NE(err.find("\rloading grid.json ["), std::string::npos) << err;
    EXPECT_NE(err.find("\rexporting"), std::string::npos) << err;
    EXPECT_NE(err.find("%"), std::string::npos) << err;
    EXPECT_LT(err.find("\rloading"), err.find("\rexporting"));
}

TEST_F(ProgressOnATerminal, VxhostFailuresStartOnACleanLine) {
    const ProgressDelay delay(0);
    testfiles::writeFile(document_, gridDocument(150, true));
    const auto [terminal, pipe] = both(VXHOST_PATH, {"export", document_, "-o", dir_ / "g.vxs"});
    EXPECT_EQ(pipe.exitStatus, 1);
    EXPECT_NE(terminal.err.find("\rloading grid.json"), std::string::npos) << terminal.err;
    expectSameOutcome(terminal, pipe);
    const auto [convertTerminal, convertPipe] =
        both(VXHOST_PATH, {"convert-document", document_, "-o", dir_ / "copy.json"});
    EXPECT_EQ(convertPipe.exitStatus, 1);
    expectSameOutcome(convertTerminal, convertPipe);
}

TEST_F(ProgressOnATerminal, QuickWorkShowsNoBarEvenOnATerminal) {
    const ProgressDelay delay(std::nullopt);  // the real second
    const auto [terminal, pipe] = both(VXHOST_PATH, {"export", "-o", dir_ / "demo.vxs"});
    ASSERT_EQ(pipe.exitStatus, 0) << pipe.err;
    EXPECT_EQ(terminal.err, pipe.err);
    const auto [vxsTerminal, vxsPipe] = both(VXS_PATH, {"info", dir_ / "demo.vxs"});
    ASSERT_EQ(vxsPipe.exitStatus, 0) << vxsPipe.err;
    EXPECT_EQ(vxsTerminal.err, "");
    EXPECT_EQ(vxsTerminal.out, vxsPipe.out);
}

TEST_F(ProgressOnATerminal, PipesNeverSeeABarHoweverSlow) {
    const ProgressDelay delay(0);
    const ProcessResult r = runProcess({VXHOST_PATH, "export", document_, "-o", dir_ / "g.vxs"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err,
              "\"Grid\": animation track \"Lift\" skipped: its keys span 500000 s, more than the "
              "10,000,000 samples (about 92 hours) a track may have\n"
              "vxhost: Export to .vxs (1034420) on " +
                  document_ + ": wrote " + (dir_ / "g.vxs") + " (" +
                  std::to_string(testfiles::readFile(dir_ / "g.vxs").size()) + " bytes)\n");
    const ProcessResult check = runProcess({VXS_PATH, "check", dir_ / "g.vxs"});
    EXPECT_EQ(check.exitStatus, 0);
    EXPECT_EQ(check.err, "");
}

TEST_F(ProgressOnATerminal, VxsShowsReadingAndWritingWithTheSameOutput) {
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", document_, "-o", dir_ / "g.vxs"}).exitStatus, 0);
    const ProgressDelay delay(0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", dir_ / "g.vxs"},
                                                 {"check", dir_ / "g.vxs"},
                                                 {"dump", dir_ / "g.vxs", "-o", dir_ / "g.txt"}}) {
        const auto [terminal, pipe] = both(VXS_PATH, args);
        ASSERT_EQ(pipe.exitStatus, 0) << args[0] << ": " << pipe.err;
        EXPECT_NE(terminal.err.find("\rreading g.vxs ["), std::string::npos)
            << args[0] << ": " << terminal.err;
        expectSameOutcome(terminal, pipe);
    }
    const auto [terminal, pipe] =
        both(VXS_PATH, {"convert", dir_ / "g.vxs", "-o", dir_ / "g.gltf"});
    ASSERT_EQ(pipe.exitStatus, 0) << pipe.err;
    EXPECT_NE(terminal.err.find("\rwriting " + (dir_ / "g.gltf")), std::string::npos)
        << terminal.err;
    expectSameOutcome(terminal, pipe);
}

TEST_F(ProgressOnATerminal, VxsReadErrorsAreTheSameMessagesOnACleanLine) {
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", document_, "-o", dir_ / "g.vxs"}).exitStatus, 0);
    const std::string scene = testfiles::readFile(dir_ / "g.vxs");
    testfiles::writeFile(dir_ / "cut.vxs", scene.substr(0, scene.size() * 2 / 3));
    const ProgressDelay delay(0);
    for (const char* command : {"info", "check", "dump"}) {
        const auto [terminal, pipe] = both(VXS_PATH, {command, dir_ / "cut.vxs"});
        EXPECT_EQ(pipe.exitStatus, 1) << command;
        expectSameOutcome(terminal, pipe);
    }
    const auto [terminal, pipe] = both(VXS_PATH, {"check", dir_ / "missing.vxs"});
    EXPECT_EQ(pipe.exitStatus, 1);
    expectSameOutcome(terminal, pipe);
}

}  // namespace
}  // namespace vxtest
