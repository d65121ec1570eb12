#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace platform {

namespace {

class PosixProcessLauncher final : public ProcessLauncher {
public:
    bool startDetached(const std::string& path) override {
        if (path.empty()) return false;
        std::vector<char> argument0(path.begin(), path.end());
        argument0.push_back('\0');
        char* argv[] = {argument0.data(), nullptr};

        // Everything the intermediate child needs is prepared here, so that
        // between fork and _exit it only calls posix_spawn.
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        if (posix_spawn_file_actions_init(&actions) != 0) return false;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return false;
        }
        // No inherited files: nothing beyond the standard streams, no input,
        // and output only to a terminal. A pipe or file the host writes to is
        // not shared, so that whoever reads the host's output is not kept
        // waiting by a renderer that runs on after the host has finished.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        for (const int stream : {1, 2}) {
            if (::isatty(stream) != 1) {
                posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_WRONLY, 0);
            }
        }
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
        // The renderer starts with default signal handling and nothing
        // blocked, whatever the host has set up for itself.
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        bool started = false;
        const pid_t intermediate = ::fork();
        if (intermediate == 0) {
            pid_t program = 0;
            const int rc =
                posix_spawn(&program, path.c_str(), &actions, &attributes, argv, environ);
            ::_exit(rc == 0 ? 0 : 1);
        }
        if (intermediate > 0) {
            int status = 0;
            pid_t reaped = 0;
            do {
                reaped = ::waitpid(intermediate, &status, 0);
            } while (reaped < 0 && errno == EINTR);
            started = reaped == intermediate && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return started;
    }
};

}  // namespace

ProcessLauncher& systemProcessLauncher() {
    static PosixProcessLauncher launcher;
    return launcher;
}

}  // namespace platform
