// ProcessLauncher: starts a program and does not wait for it.
//
// Contract. startDetached runs the executable at `path` with no arguments
// (its argument zero is the path), the caller's environment and current
// folder, and none of the caller's files: its input is empty, and its output
// and error streams are the caller's only where those are a terminal (else
// they are discarded), so a pipe reading the host's output is never held open
// by a renderer that outlives the host.
// True when the program was started (it was found and could be executed);
// what it does afterwards is not observed.
//
// POSIX: the program is started by a short-lived intermediate child that
// spawns it and exits at once. The caller reaps only that intermediate, which
// takes microseconds; the program itself is adopted by init (or the nearest
// subreaper), so it never becomes a zombie of the host, however long it runs,
// and the host's SIGCHLD handling is left alone.
#pragma once

#include <string>

namespace platform {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual bool startDetached(const std::string& path) = 0;
};

ProcessLauncher& systemProcessLauncher();

}  // namespace platform
