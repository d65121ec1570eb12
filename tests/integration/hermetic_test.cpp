// The test suite keeps to itself: every test program lives in a private
// world, the programs tests start end with them even when a test process is
// killed, and renderers listen on ports the kernel picks.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "live_world.h"
#include "platform/registry_store.h"
#include "tests/support/test_world.h"

namespace vxtest {
namespace {

// Polls `done` for up to `ms` milliseconds.
template <class Predicate>
bool eventually(Predicate done, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool isMarked(pid_t pid, const std::string& world) {
    for (const pid_t p : markedProcesses(kWorldVariable, world)) {
        if (p == pid) return true;
    }
    return false;
}

bool within(const std::string& path, const std::string& folder) {
    return path.rfind(folder + "/", 0) == 0;
}

TEST(TestWorld, PointsTheUsersFilesIntoAFreshPrivateFolder) {
    const std::string& world = testWorldFolder();
    ASSERT_FALSE(world.empty());
    struct stat st {};
    ASSERT_EQ(::stat(world.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "TALVIK_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_TRUE(within(value, world)) << name << "=" << value;
    }
    for (const platform::RegistryRoot root :
         {platform::RegistryRoot::user, platform::RegistryRoot::machine}) {
        const std::string path = platform::defaultRegistryPath(root);
        EXPECT_TRUE(within(path, world)) << path;
        EXPECT_FALSE(std::filesystem::exists(path)) << "the registry starts empty";
    }
}

TEST(TestWorld, ProgramsStartedByATestCarryItsMark) {
    const pid_t pid = startProcess({"/bin/sleep", "30"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(eventually([&] { return isMarked(pid, testWorldFolder()); }));
    stopProcessGroup(pid);
    EXPECT_FALSE(processRunning(pid));
}

// Reads one value of type T that a forked child wrote to the pipe.
template <class T>
bool readFromChild(int fd, T& value) {
    return ::read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

TEST(TestProcesses, AProgramEndsWithTheTestProcessKilledUnderIt) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t test = ::fork();
    if (test == 0) {
        const pid_t sleeper = startProcess({"/bin/sleep", "30"});
        (void)!::write(ends[1], &sleeper, sizeof sleeper);
        ::raise(SIGKILL);
    }
    ::close(ends[1]);
    pid_t sleeper = 0;
    const bool read = readFromChild(ends[0], sleeper);
    ::close(ends[0]);
    ::waitpid(test, nullptr, 0);
    ASSERT_TRUE(read && sleeper > 0);
    EXPECT_TRUE(eventually([&] { return !processRunning(sleeper); }))
        << "the program outlived the test process that started it";
    ::kill(sleeper, SIGKILL);
}

TEST(TestWorld, ItsGuardianStopsDetachedProgramsWhenTheTestProcessIsKilled) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t test = ::fork();
    if (test == 0) {
        // A test program in a world of its own, as the test runner starts one.
        ::unsetenv(kWorldVariable);
        std::string error;
        if (!enterTestWorld(error)) ::_exit(1);
        char folder[512] = {};
        testWorldFolder().copy(folder, sizeof folder - 1);
        // A program in a session of its own, as the platform's launcher starts renderers.
        const pid_t detached = ::fork();
        if (detached == 0) {
            ::setsid();
            ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        (void)!::write(ends[1], &detached, sizeof detached);
        (void)!::write(ends[1], folder, sizeof folder);
        for (int i = 0; i < 5000 && !isMarked(detached, folder); ++i) ::usleep(1000);
        ::raise(SIGKILL);
    }
    ::close(ends[1]);
    pid_t detached = 0;
    char folder[512] = {};
    const bool read = readFromChild(ends[0], detached) && readFromChild(ends[0], folder);
    ::close(ends[0]);
    ::waitpid(test, nullptr, 0);
    ASSERT_TRUE(read && detached > 0 && folder[0] == '/');
    EXPECT_TRUE(eventually([&] { return !processRunning(detached); }, 10000))
        << "the detached program outlived its test process";
    EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(folder); }))
        << folder << " was left behind";
    ::kill(detached, SIGKILL);
}

using KernelPorts = LiveWorld;

void expectListening(int port) {
    std::string error;
    const int fd = vxrenderer::connectLoopback("127.0.0.1", port, 2000, error);
    EXPECT_GE(fd, 0) << "port " << port << ": " << error;
    if (fd >= 0) ::close(fd);
}

TEST_F(KernelPorts, ARegistryPortOfZeroGivesEachRendererAFreePortItAdvertises) {
    startRenderer();
    startRenderer();
    const std::vector<vxrenderer::InstanceRecord> records = renderers();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].liveLinkPort, records[1].liveLinkPort);
    for (const vxrenderer::InstanceRecord& r : records) {
        EXPECT_GT(r.liveLinkPort, 0);
        expectListening(r.liveLinkPort);
    }
}

TEST_F(KernelPorts, PortZeroOnTheCommandLineListensOnAFreePort) {
    const pid_t pid = startRenderer({"--port", "0"});
    const std::vector<vxrenderer::InstanceRecord> records = renderers();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].processId, pid);
    EXPECT_GT(records[0].liveLinkPort, 0);
    expectListening(records[0].liveLinkPort);
}

TEST_F(KernelPorts, PortZeroWithAMaximumIsAUsageError) {
    const ProcessResult r = runProcess({VXRENDERER_PATH, "--port", "0", "--max-port", "5"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--port 0"), std::string::npos) << r.err;
    EXPECT_TRUE(renderers().empty());
}

}  // namespace
}  // namespace vxtest
