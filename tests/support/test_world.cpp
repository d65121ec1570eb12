#include "tests/support/test_world.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/support/process_sweep.h"

namespace vxtest {

namespace {

constexpr int kStopGraceMs = 3000;

std::string g_folder;
bool g_owner = false;
int g_guardianPipe = -1;

std::vector<std::string> stopMarked(const std::string& folder) {
    const std::vector<pid_t> pids = markedProcesses(kWorldVariable, folder);
    std::vector<std::string> names;
    for (const pid_t pid : pids)
        names.push_back(processName(pid) + " (pid " + std::to_string(pid) + ")");
    stopProcesses(pids, kStopGraceMs);
    return names;
}

// The guardian: waits until every holder of the pipe's write end (the test
// process and its plain forks) has ended, then clears up after them.
[[noreturn]] void guard(int readEnd, const std::string& folder) {
    ::setsid();
    // Nothing inherited stays open but the pipe, so that whoever reads the
    // test's output is not kept waiting by the guardian.
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(readEnd, 3);
    for (const int stream : {0, 1, 2}) ::dup2(null, stream);
    ::close_range(4, ~0U, 0);
    char byte = 0;
    for (;;) {
        const ssize_t n = ::read(3, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    stopMarked(folder);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    ::_exit(0);
}

// Starts the guardian twice forked, so that it is nobody's child here and
// whatever stops the test's process tree does not stop it too.
void startGuardian(const std::string& folder) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    const pid_t intermediate = ::fork();
    if (intermediate == 0) {
        ::close(ends[1]);
        if (::fork() == 0) guard(ends[0], folder);
        ::_exit(0);
    }
    ::close(ends[0]);
    if (intermediate > 0) {
        while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
        }
        g_guardianPipe = ends[1];
    } else {
        ::close(ends[1]);
    }
}

bool makeFolder(const std::string& path, mode_t mode, std::string& error) {
    if (::mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return true;
    error = "cannot make " + path + ": " + std::strerror(errno);
    return false;
}

bool pointEnvironmentAt(const std::string& root, std::string& error) {
    for (const char* folder : {"/home", "/home/.config", "/home/.cache", "/home/.local",
                               "/home/.local/share", "/tmp", "/registry"}) {
        if (!makeFolder(root + folder, 0700, error)) return false;
    }
    if (!makeFolder(root + "/xdg-runtime", 0700, error)) return false;
    const std::pair<const char*, std::string> paths[] = {
        {"HOME", root + "/home"},
        {"XDG_CONFIG_HOME", root + "/home/.config"},
        {"XDG_CACHE_HOME", root + "/home/.cache"},
        {"XDG_DATA_HOME", root + "/home/.local/share"},
        {"XDG_RUNTIME_DIR", root + "/xdg-runtime"},
        {"TALVIK_REGISTRY_USER", root + "/registry/user.json"},
        {"TALVIK_REGISTRY_MACHINE", root + "/registry/machine.json"},
        {"TALVIK_RUNTIME_DIR", root + "/run"},
        {"TMPDIR", root + "/tmp"},
        {"TEST_TMPDIR", root + "/tmp"},
        {kWorldVariable, root},
    };
    for (const auto& [name, value] : paths) ::setenv(name, value.c_str(), 1);
    ::setenv("VXRENDERER_EXIT_WHEN_IDLE", "60", 0);
#if defined(__SANITIZE_ADDRESS__)
    // The programs the tests start (vxhost, vxrenderer, vxs) run without the
    // leak checker: its at-exit tracer has crashed in them with "Tracer caught
    // signal 11" after a whole, successful run, failing sound tests. The code
    // they run is leak-checked in process by the unit tests; this process's
    // own checking, set up before this line, is unchanged.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "";
    ::setenv("ASAN_OPTIONS", (options + "detect_leaks=0").c_str(), 1);
#endif
    return true;
}

}  // namespace

bool enterTestWorld(std::string& error) {
    if (const char* inherited = std::getenv(kWorldVariable);
        inherited != nullptr && *inherited != '\0') {
        g_folder = inherited;
        return true;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vxtest-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "mkdtemp " + pattern + ": " + std::strerror(errno);
        return false;
    }
    ::setenv("VX_TEST_OUTER_TMPDIR", tmp != nullptr && *tmp != '\0' ? tmp : "/tmp", 1);
    g_folder = pattern;
    g_owner = true;
    if (!pointEnvironmentAt(g_folder, error)) return false;
    startGuardian(g_folder);
    return true;
}

const std::string& testWorldFolder() { return g_folder; }

std::vector<std::string> leaveTestWorld() {
    if (!g_owner) return {};
    std::vector<std::string> stopped = stopMarked(g_folder);
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
    if (g_guardianPipe >= 0) ::close(g_guardianPipe);
    g_guardianPipe = -1;
    g_owner = false;
    return stopped;
}

}  // namespace vxtest
