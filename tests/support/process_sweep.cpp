#include "tests/support/process_sweep.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/platform/test_files.h"

namespace vxtest {

namespace {

// The whole of a small /proc file; empty when it cannot be read.
std::string readProcFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text = testfiles::readDescriptor(fd);
    ::close(fd);
    return text;
}

bool environmentHolds(pid_t pid, const std::string& entry) {
    const std::string environment = readProcFile("/proc/" + std::to_string(pid) + "/environ");
    std::size_t start = 0;
    while (start < environment.size()) {
        std::size_t end = environment.find('\0', start);
        if (end == std::string::npos) end = environment.size();
        if (environment.compare(start, end - start, entry) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Gone, or a zombie that only waits for its parent: nothing to stop. Reaps
// it when it is a child of this process.
bool finished(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid || !processRunning(pid); }

}  // namespace

std::vector<pid_t> markedProcesses(const std::string& name, const std::string& value) {
    std::vector<pid_t> found;
    const std::string entry = name + "=" + value;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return found;
    while (const dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || pid <= 0 || pid == ::getpid()) continue;
        if (environmentHolds(static_cast<pid_t>(pid), entry))
            found.push_back(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
    std::sort(found.begin(), found.end());
    return found;
}

bool processRunning(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
    const std::string stat = readProcFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z' &&
           stat[paren + 2] != 'X';
}

std::string processName(pid_t pid) {
    std::string name = readProcFile("/proc/" + std::to_string(pid) + "/comm");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

void stopProcesses(const std::vector<pid_t>& pids, int graceMs) {
    for (const pid_t pid : pids) ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    std::vector<pid_t> left = pids;
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        left.erase(std::remove_if(left.begin(), left.end(), finished), left.end());
        if (!left.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (const pid_t pid : left) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);  // returns at once for others' children
    }
}

}  // namespace vxtest
