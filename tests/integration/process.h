// Runs programs from tests and captures what they print.
//
// Contract. Every program started here runs in a process group of its own
// and gets SIGKILL when the thread that started it ends (a parent-death
// signal, armed before the program runs, so not even a test that aborts at
// once leaves it behind). A program that detaches itself escapes both; the
// test world (tests/support/test_world.h) stops those. Output goes to
// unnamed temporary files, so nothing is left on disk either.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vxtest {

struct ProcessResult {
    int exitStatus = -1;  // -1: did not exit normally (signal, spawn failure)
    std::string out;
    std::string err;
};

// Runs `argv` (argv[0] is the program path) with standard input empty and
// waits for it.
ProcessResult runProcess(const std::vector<std::string>& argv);

// Runs `argv` as runProcess does, but with standard error on a
// pseudo-terminal of `columns` columns in raw mode (no line-feed
// translation), whose bytes are `err`: the program sees a terminal there.
ProcessResult runWithTerminalStderr(const std::vector<std::string>& argv, int columns = 100);

// Starts `argv` with standard input empty and both output streams to
// /dev/null, without waiting. Its process id, which is also its process
// group's; -1 when it could not be started.
pid_t startProcess(const std::vector<std::string>& argv);

// Stops the process group `group` (SIGTERM, then SIGKILL after `graceMs`)
// and reaps its leader when it is a child of this process.
void stopProcessGroup(pid_t group, int graceMs = 3000);

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace vxtest
