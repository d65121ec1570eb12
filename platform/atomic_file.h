// AtomicFile: an output file that appears under its name whole or not at all.
//
// Contract.
// - A path that names a regular file, or nothing yet, is written beside the
//   target and renamed over it by commit(), after every byte has been handed
//   to the system and the file closed without error. Until then the earlier
//   file at the path stays as it was. Without commit() (an error, an
//   exception, the object destroyed) the new bytes are dropped and nothing is
//   left behind.
// - Where the system allows it (Linux, every local filesystem of note) the
//   file being written has no name at all until commit(): a process that is
//   killed, even by SIGKILL, leaves nothing. Elsewhere it is a hidden
//   `.NAME.part-PID-XXXXXX` beside the target; SIGINT, SIGTERM and SIGHUP
//   remove it when the program called installOutputSignalCleanup(), and the
//   next AtomicFile for the same target removes those of processes that no
//   longer run. commit() itself names the file so for the instant between
//   its link and its rename; the committing thread holds SIGINT, SIGTERM and
//   SIGHUP over that instant (they end the process just after, with the file
//   complete), so only a SIGKILL or a signal taken by another thread can
//   leave it, for the next run to clear.
// - A path that names something that is not a regular file and not a folder
//   (a device such as /dev/null, a FIFO, a terminal) is opened and written in
//   place: it cannot be replaced, and the reader at its other end expects the
//   bytes there. A FIFO's open waits for its reader, as any writer's would.
// - A symbolic link is followed: the file it finally names is replaced and
//   the link stays. A link that names nothing is refused rather than made to
//   create a file somewhere the user did not name.
// - A folder is refused.
// - A replaced file keeps its permission bits; a new file gets `newMode`
//   (less the umask), or exactly `newMode` when `exactMode` is set (owner-only
//   outputs).
// No fsync: the rename makes the replacement atomic against process faults,
// not against a power cut.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace platform {

struct AtomicFileOptions {
    mode_t newMode = 0666;
    bool exactMode = false;  // newMode as it is, regardless of umask and an earlier file
};

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { discard(); }
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Opens the output for `path`. False with a reason in `error` (what and
    // why, without the path) when it cannot be opened.
    bool open(const std::string& path, std::string& error,
              const AtomicFileOptions& options = AtomicFileOptions{});

    bool isOpen() const { return fd_ >= 0; }
    // The descriptor to write. Owned: never close it.
    int fd() const { return fd_; }
    // A stdio stream on the descriptor, made on first use and owned here.
    // Null when it cannot be made.
    std::FILE* stream();
    // True when the path is written in place (a device or FIFO).
    bool inPlace() const { return inPlace_; }
    // The file that commit() replaces: the path with its links resolved.
    const std::string& target() const { return target_; }

    // Flushes the stream, closes the file and puts it under its name. False
    // with a reason when any of that failed; the earlier file then stays and
    // nothing new is left. Either way the object is closed afterwards.
    bool commit(std::string& error);
    // commit(), but under `path` instead of the path opened: for a file whose
    // name depends on what it holds. `path` must be a file name in the same
    // folder as the file replaced. Refused for an output written in place.
    bool commitAs(const std::string& path, std::string& error);
    // Drops what was written (nothing for an in-place output). Idempotent.
    void discard();

private:
    bool openReplacement(const std::string& folder, std::string& error, mode_t mode);
    // Gives the unnamed file its temporary name; false with errno in `reason`.
    bool linkUnnamed(int& reason);
    void clear();

    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool inPlace_ = false;
    bool unnamed_ = false;   // an O_TMPFILE file: no name until commit
    std::string target_;     // the file replaced on commit
    std::string temporary_;  // the named temporary, when not unnamed
};

// Writes `bytes` to `path` through an AtomicFile. False with a reason.
bool writeFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                         std::string& error,
                         const AtomicFileOptions& options = AtomicFileOptions{});

// For programs (never a plug-in inside a host): SIGINT, SIGTERM and SIGHUP
// first remove the named temporaries of open AtomicFiles, then end the process
// as they would have; SIGXFSZ is ignored so that a file-size limit shows as a
// write error that the writer reports. Signals whose disposition is not the
// default are left alone. Idempotent.
void installOutputSignalCleanup();

}  // namespace platform
