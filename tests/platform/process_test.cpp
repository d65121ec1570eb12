#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/file_probe.h"
#include "tests/platform/test_files.h"
#include "tests/support/process_sweep.h"

using testfiles::TempDir;

namespace {

// Waits up to five seconds for `path` to appear; the started program writes it.
bool waitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(ProcessLauncher, StartsTheProgramAloneAndLeavesNoChildBehind) {
    TempDir dir;
    // A descriptor the host might hold open without close-on-exec.
    const int held = ::open((dir / "held").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(held, 3);
    const std::string program = dir / "renderer.sh";
    testfiles::writeFile(program,
                         "#!/bin/sh\n"
                         "if [ -e /proc/$$/fd/" +
                             std::to_string(held) +
                             " ]; then f=inherited; "
                             "else f=closed; fi\n"
                             "echo \"$# $0 $f $(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1)\""
                             " > \"" +
                             dir.path() +
                             "/report.tmp\"\n"
                             "echo $$ > \"" +
                             dir.path() +
                             "/pid\"\n"
                             "mv \"" +
                             dir.path() + "/report.tmp\" \"" + dir.path() +
                             "/report\"\n"
                             "exec sleep 30\n");
    testfiles::makeExecutable(program);

    ASSERT_TRUE(platform::systemProcessLauncher().startDetached(program));
    // The running program is not a child of this process: nothing to reap,
    // now or when it ends.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    ASSERT_TRUE(waitForFile(dir / "report"));
    // Output reaches a terminal only; pipes (as under a test runner) are not shared.
    std::string output = "/dev/null";
    if (::isatty(1) == 1) output = std::filesystem::read_symlink("/proc/self/fd/1").string();
    EXPECT_EQ(testfiles::readFile(dir / "report"),
              "0 " + program + " closed /dev/null " + output + "\n");
    ::close(held);
    vxtest::stopProcesses({static_cast<pid_t>(std::stoi(testfiles::readFile(dir / "pid")))}, 1000);
}

TEST(ProcessLauncher, ReportsProgramsThatCannotStart) {
    TempDir dir;
    testfiles::writeFile(dir / "plain.txt", "not a program\n");
    auto& launcher = platform::systemProcessLauncher();
    EXPECT_FALSE(launcher.startDetached(dir / "plain.txt"));  // not executable
    EXPECT_FALSE(launcher.startDetached(dir / "missing"));
    EXPECT_FALSE(launcher.startDetached(dir.path()));  // a folder
    EXPECT_FALSE(launcher.startDetached(""));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(FileProbe, OpensFilesButNotFoldersOrMissingPaths) {
    TempDir dir;
    testfiles::writeFile(dir / "file", "x");
    const auto& probe = platform::systemFileProbe();
    EXPECT_TRUE(probe.opensForReading(dir / "file"));
    EXPECT_FALSE(probe.opensForReading(dir / "missing"));
    EXPECT_FALSE(probe.opensForReading(dir.path()));
    EXPECT_FALSE(probe.opensForReading(""));
}

}  // namespace
