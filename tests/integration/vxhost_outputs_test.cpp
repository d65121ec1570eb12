// The files vxhost writes: whole or not at all. An export that fails or is
// interrupted keeps the earlier file and leaves nothing beside it; devices
// and FIFOs are written in place under their own names; the document
// commands say truly whether they wrote.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "process.h"
#include "tests/platform/test_files.h"

extern char** environ;

namespace vxtest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A document of one side x side grid of quads: an export of megabytes.
std::string gridDocument(int side) {
    std::string points, polygons;
    const int row = side + 1;
    for (int z = 0; z < row; ++z)
        for (int x = 0; x < row; ++x)
            points += (points.empty() ? "" : ",") +
                      ("[" + std::to_string(x) + ",0," + std::to_string(z) + "]");
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const int a = z * row + x;
            polygons += (polygons.empty() ? "" : ",") +
                        ("[" + std::to_string(a) + "," + std::to_string(a + row) + "," +
                         std::to_string(a + row + 1) + "," + std::to_string(a + 1) + "]");
        }
    return R"({"name": "grid.c4d", "objects": [{"type": "polygon", "name": "Grid", "points": [)" +
           points + "], \"polygons\": [" + polygons + "]}]}";
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Starts `argv` with its output discarded; its process id.
pid_t spawn(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// True once `pid` holds a file open in `folder` that has no name there: the
// scene file being written.
bool writingUnnamedFile(pid_t pid, const std::string& folder) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent* e = ::readdir(dir)) {
        char target[4096];
        const ssize_t n = ::readlink((fds + "/" + e->d_name).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string link(target, static_cast<std::size_t>(n));
        if (link.rfind(folder + "/", 0) == 0 && link.find("(deleted)") != std::string::npos)
            found = true;
    }
    ::closedir(dir);
    return found;
}

class VxhostOutputs : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir / name; }
    testfiles::TempDir dir;
};

TEST_F(VxhostOutputs, AFullDiskKeepsTheEarlierSceneAndLeavesNothingBeside) {
    const std::string out = path("scene.vxs");
    testfiles::writeFile(out, "earlier scene");
    // Past 1 KiB every write fails, as on a full disk (the signal is ignored).
    const ProcessResult r = runProcess(
        {"/bin/sh", "-c", "ulimit -f 1; exec \"$0\" export -o \"$1\"", VXHOST_PATH, out});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("could not close file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("done"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(out), "earlier scene");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"scene.vxs"});
}

// Caught while the scene is being written, by each signal that can end it:
// the earlier file stays, and not even SIGKILL leaves a partial file behind.
TEST_F(VxhostOutputs, AnExportKilledWhileWritingKeepsTheEarlierScene) {
    const std::string doc = path("grid.json");
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers make the export slow enough to be caught writing a smaller grid.
    testfiles::writeFile(doc, gridDocument(150));
#else
    testfiles::writeFile(doc, gridDocument(400));
#endif
    const std::string out = path("grid.vxs");
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", doc, "-o", out}).exitStatus, 0);
    const std::string whole = readFile(out);
    int caught = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        testfiles::writeFile(out, "earlier scene");
        const pid_t pid = spawn({VXHOST_PATH, "export", doc, "-o", out});
        ASSERT_GT(pid, 0);
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            if (writingUnnamedFile(pid, dir.path())) {
                ::kill(pid, signal);
                ++caught;
                break;
            }
        }
        int status = 0;
        ::kill(pid, SIGKILL);  // a no-op when the signal already ended it
        ::waitpid(pid, &status, 0);
        // Caught as the file takes its name, an interrupt waits until it has
        // it: the new file is then whole.
        const std::string now = readFile(out);
        EXPECT_TRUE(now == "earlier scene" || (signal != SIGKILL && now == whole))
            << now.size() << " bytes";
        if (signal == SIGKILL && entries(dir.path()).size() == 3) {
            // Killed in the instant between the file's link and its rename:
            // the next export of the same target clears what it left.
            EXPECT_EQ(runProcess({VXHOST_PATH, "export", doc, "-o", out}).exitStatus, 0);
        }
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"grid.json", "grid.vxs"}));
    }
    if (caught == 0) GTEST_SKIP() << "the export was never seen writing";
}

// Signals at several moments, from loading to the end: every outcome is
// the earlier file or the whole new scene, with nothing beside it.
TEST_F(VxhostOutputs, AnExportInterruptedAtAnyMomentLeavesAWholeFile) {
    const std::string doc = path("grid.json");
    testfiles::writeFile(doc, gridDocument(300));
    const std::string out = path("grid.vxs");
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", doc, "-o", out}).exitStatus, 0);
    const std::string whole = readFile(out);
    int interrupted = 0;
    for (const int ms : {5, 30, 60, 90, 120, 150, 180, 240}) {
        for (const int signal : {SIGINT, SIGTERM}) {
            testfiles::writeFile(out, "earlier scene");
            const pid_t pid = spawn({VXHOST_PATH, "export", doc, "-o", out});
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            ::kill(pid, signal);
            int status = 0;
            ::waitpid(pid, &status, 0);
            const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == signal;
            interrupted += killed ? 1 : 0;
            const std::string now = readFile(out);
            // An interrupt that arrives as the file takes its name ends the
            // export just after, with the new file whole.
            EXPECT_TRUE(now == "earlier scene" || now == whole)
                << ms << " ms, signal " << signal << ": " << now.size() << " bytes";
            EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"grid.json", "grid.vxs"}));
        }
    }
    EXPECT_GT(interrupted, 0);
}

TEST_F(VxhostOutputs, AFifoReceivesTheWholeSceneUnderItsOwnName) {
    const std::string file = path("scene.vxs");
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", "-o", file}).exitStatus, 0);
    const std::string fifo = path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    const ProcessResult r = runProcess({VXHOST_PATH, "export", "-o", fifo});
    reader.join();
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("wrote the scene to " + fifo + "\n"), std::string::npos) << r.err;
    EXPECT_TRUE(received == readFile(file)) << received.size() << " bytes received";
    EXPECT_FALSE(fileExists(fifo + ".vxs"));
}

TEST_F(VxhostOutputs, ADeviceIsWrittenInPlaceWithoutTheSuffix) {
    // A link to /dev/null in a private folder: the old behaviour would have
    // made "sink.vxs" here, never in /dev.
    const std::string sink = path("sink");
    ASSERT_EQ(::symlink("/dev/null", sink.c_str()), 0);
    const ProcessResult r = runProcess({VXHOST_PATH, "export", "-o", sink});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("wrote the scene to " + sink + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"sink"});
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// A file-size limit stands for a full disk; vxhost itself ignores the signal
// the limit raises, so the write fails with "File too large".
TEST_F(VxhostOutputs, DocumentCommandsKeepTheEarlierFileAndSayTheyFailed) {
    const std::string demo = path("demo.json");
    ASSERT_EQ(runProcess({VXHOST_PATH, "demo-document", "-o", demo}).exitStatus, 0);
    ASSERT_GT(readFile(demo).size(), 1024u);
    const std::string earlier = path("earlier.json");
    testfiles::writeFile(earlier, "earlier document");
    const std::vector<std::vector<std::string>> commands = {{"demo-document", "-o"},
                                                            {"convert-document", demo, "-o"}};
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0]);
        std::vector<std::string> full = {"/bin/sh", "-c", "ulimit -f 1; exec \"$@\"", "sh",
                                         VXHOST_PATH};
        full.insert(full.end(), command.begin(), command.end());
        full.push_back(earlier);
        const ProcessResult r = runProcess(full);
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(earlier), "earlier document");

        std::vector<std::string> nowhere = {VXHOST_PATH};
        nowhere.insert(nowhere.end(), command.begin(), command.end());
        nowhere.push_back(path("no/such/folder.json"));
        const ProcessResult missing = runProcess(nowhere);
        EXPECT_EQ(missing.exitStatus, 1) << missing.err;
        EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    }
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"demo.json", "earlier.json"}));
}

}  // namespace
}  // namespace vxtest
