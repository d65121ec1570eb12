// Finding and stopping the processes a test run started, by a variable in
// their environment.
//
// Contract. Every program a test starts inherits the test process's
// environment, so a variable with a value unique to one run (a private
// folder's path) marks everything it started, also programs that detached
// themselves into a session of their own, which no process group or
// parent-death signal reaches. markedProcesses() reads the environment each
// process started with (/proc/PID/environ), so a variable a process set for
// itself after it started does not mark it; that is why the test process
// and its plain forks are never found. Processes whose environment cannot
// be read (other users', exiting ones) are not found either.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vxtest {

// Processes other than this one whose initial environment holds exactly
// `name`=`value`, by ascending process id.
std::vector<pid_t> markedProcesses(const std::string& name, const std::string& value);

// True while `pid` runs: it exists and is not a zombie waiting to be reaped.
bool processRunning(pid_t pid);

// The program name of a process ("vxrenderer"), empty when it is gone.
std::string processName(pid_t pid);

// Sends SIGTERM to each, waits up to `graceMs` for them to go, then sends
// SIGKILL to the rest. Children of this process are reaped.
void stopProcesses(const std::vector<pid_t>& pids, int graceMs);

}  // namespace vxtest
