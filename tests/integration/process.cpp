#include "process.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/platform/test_files.h"

namespace vxtest {

namespace {

// An unnamed file in $TMPDIR for a child's output; -1 on failure.
int outputFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string pattern = dir + "/vxtest-output-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(pattern.c_str());
    return named;
}

std::string readBack(int fd) {
    if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return {};
    return testfiles::readDescriptor(fd);
}

// Forks and runs argv in the child with the given standard streams. Between
// fork and exec the child makes only async-signal-safe calls.
pid_t spawn(const std::vector<std::string>& argv, int in, int out, int err) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setpgid(0, 0);
    // Armed first, then checked: a parent that died before the call would
    // never send the signal.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
    ::execv(args[0], args.data());
    ::_exit(127);
}

bool gone(pid_t pid) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv) {
    ProcessResult result;
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = outputFile();
    const int err = outputFile();
    if (in >= 0 && out >= 0 && err >= 0) {
        const pid_t pid = spawn(argv, in, out, err);
        int status = 0;
        pid_t reaped = -1;
        if (pid > 0) {
            do {
                reaped = ::waitpid(pid, &status, 0);
            } while (reaped < 0 && errno == EINTR);
        }
        if (reaped == pid && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
        result.out = readBack(out);
        result.err = readBack(err);
    }
    for (const int fd : {in, out, err}) {
        if (fd >= 0) ::close(fd);
    }
    return result;
}

ProcessResult runWithTerminalStderr(const std::vector<std::string>& argv, int columns) {
    ProcessResult result;
    int master = -1, terminal = -1;
    termios raw{};
    ::cfmakeraw(&raw);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    if (::openpty(&master, &terminal, nullptr, &raw, &size) != 0) return result;
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = outputFile();
    const pid_t pid = in >= 0 && out >= 0 ? spawn(argv, in, out, terminal) : -1;
    ::close(terminal);  // the child's copy is the last: reading ends when it goes
    if (pid > 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                result.err.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                break;  // EIO: the terminal has no other end any more
        }
        int status = 0;
        pid_t reaped = -1;
        do {
            reaped = ::waitpid(pid, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        if (reaped == pid && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
        result.out = readBack(out);
    }
    for (const int fd : {master, in, out}) {
        if (fd >= 0) ::close(fd);
    }
    return result;
}

pid_t startProcess(const std::vector<std::string>& argv) {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) return -1;
    const pid_t pid = spawn(argv, null, null, null);
    ::close(null);
    return pid > 0 ? pid : -1;
}

void stopProcessGroup(pid_t group, int graceMs) {
    if (group <= 0) return;
    ::kill(-group, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (!gone(group) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The rest of the group, if any, goes with its leader.
    ::kill(-group, SIGKILL);
    ::waitpid(group, nullptr, 0);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace vxtest
