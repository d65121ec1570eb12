#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace platform {

namespace {

// Named temporaries that a signal handler removes. Slots hold heap copies of
// the paths; the handler only reads them and calls unlink(2), both safe in a
// handler.
constexpr std::size_t kTemporarySlots = 64;
std::array<std::atomic<char*>, kTemporarySlots> g_temporaries{};

void registerTemporary(const std::string& path) {
    char* copy = ::strdup(path.c_str());
    if (copy == nullptr) return;
    for (auto& slot : g_temporaries) {
        char* expected = nullptr;
        if (slot.compare_exchange_strong(expected, copy)) return;
    }
    std::free(copy);  // more than 64 at once: the next run clears leftovers
}

void unregisterTemporary(const std::string& path) {
    for (auto& slot : g_temporaries) {
        char* held = slot.load();
        if (held != nullptr && path == held && slot.compare_exchange_strong(held, nullptr)) {
            std::free(held);
            return;
        }
    }
}

void removeTemporariesAndReraise(int signal) {
    for (auto& slot : g_temporaries) {
        if (char* path = slot.load(); path != nullptr) ::unlink(path);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

std::string reasonText(int error) { return std::strerror(error); }

// Blocks SIGINT, SIGTERM and SIGHUP for the calling thread while it lives;
// what arrived meanwhile is delivered when it goes.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
        held_ = ::pthread_sigmask(SIG_BLOCK, &interrupts, &previous_) == 0;
    }
    ~InterruptsHeld() {
        if (held_) ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_{};
    bool held_ = false;
};

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, 35);
    std::string text(6, 'a');
    for (char& c : text) c = kLetters[pick(engine)];
    return text;
}

std::string temporaryPrefix(const std::string& base) { return "." + base + ".part-"; }

// `.BASE.part-PID-XXXXXX`: hidden, tied to its target and to the process that
// wrote it, so that a later run can tell a leftover from a write in progress.
std::string temporaryName(const std::string& folder, const std::string& base) {
    return folder + "/" + temporaryPrefix(base) + std::to_string(::getpid()) + "-" + randomSuffix();
}

// Removes `.BASE.part-PID-*` files in `folder` whose process has ended: what a
// SIGKILL between link and rename, or on a filesystem without unnamed files,
// leaves behind.
void removeStaleTemporaries(const std::string& folder, const std::string& base) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const std::string prefix = temporaryPrefix(base);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (end == nullptr || *end != '-' || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(dir);
}

// Resolves the output path: the file a link finally names, or the path itself.
bool resolveTarget(const std::string& path, std::string& target, struct stat& info, bool& exists,
                   std::string& error) {
    target = path;
    exists = false;
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;
        error = reasonText(errno);
        return false;
    }
    exists = true;
    if (!S_ISLNK(info.st_mode)) return true;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        error = "is a symbolic link to a missing file";
        return false;
    }
    target = resolved;
    std::free(resolved);
    if (::stat(target.c_str(), &info) != 0) {
        error = reasonText(errno);
        return false;
    }
    return true;
}

}  // namespace

AtomicFile::AtomicFile(AtomicFile&& other) noexcept { *this = std::move(other); }

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        discard();
        fd_ = std::exchange(other.fd_, -1);
        stream_ = std::exchange(other.stream_, nullptr);
        inPlace_ = std::exchange(other.inPlace_, false);
        unnamed_ = std::exchange(other.unnamed_, false);
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.target_.clear();
        other.temporary_.clear();
    }
    return *this;
}

bool AtomicFile::open(const std::string& path, std::string& error,
                      const AtomicFileOptions& options) {
    discard();
    error.clear();
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    struct stat info {};
    bool exists = false;
    if (!resolveTarget(path, target_, info, exists, error)) return false;
    if (exists && S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            error = reasonText(errno);
            return false;
        }
        inPlace_ = true;
        return true;
    }
    mode_t mode = options.newMode;
    if (!options.exactMode) {
        if (exists) {
            mode = info.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode &= ~mask;
        }
    }
    return openReplacement(splitPath(target_).first, error, mode);
}

bool AtomicFile::openReplacement(const std::string& folder, std::string& error, mode_t mode) {
    const std::string base = splitPath(target_).second;
    removeStaleTemporaries(folder, base);
#ifdef O_TMPFILE
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0) {
        unnamed_ = true;
        if (::fchmod(fd_, mode) == 0) return true;
        error = reasonText(errno);
        discard();
        return false;
    }
    // Filesystems without unnamed files answer one of these; anything else
    // (no such folder, no permission) is the answer for a named file too.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS) {
        error = reasonText(errno);
        return false;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(folder, base);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            temporary_ = name;
            registerTemporary(temporary_);
            if (::fchmod(fd_, mode) == 0) return true;
            error = reasonText(errno);
            discard();
            return false;
        }
        if (errno != EEXIST) break;
    }
    error = reasonText(errno);
    return false;
}

std::FILE* AtomicFile::stream() {
    if (stream_ == nullptr && fd_ >= 0) {
        const int copy = ::dup(fd_);
        if (copy < 0) return nullptr;
        stream_ = ::fdopen(copy, "wb");
        if (stream_ == nullptr) ::close(copy);
    }
    return stream_;
}

bool AtomicFile::commit(std::string& error) {
    error.clear();
    if (fd_ < 0) {
        error = "the file is not open";
        return false;
    }
    int reason = 0;
    if (stream_ != nullptr) {
        if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) reason = errno ? errno : EIO;
        if (std::fclose(std::exchange(stream_, nullptr)) != 0 && reason == 0) reason = errno;
    }
    if (inPlace_) {
        if (::close(std::exchange(fd_, -1)) != 0 && reason == 0) reason = errno;
        clear();
        if (reason != 0) error = reasonText(reason);
        return reason == 0;
    }
    if (reason != 0) {
        discard();
        error = reasonText(reason);
        return false;
    }
    // From the link to the rename the file has a name that is not its own;
    // SIGINT, SIGTERM and SIGHUP wait until it has its own, so that an
    // interrupt then leaves the complete file rather than a stray one.
    const InterruptsHeld held;
    if (unnamed_ && !linkUnnamed(reason)) {
        discard();
        error = reasonText(reason);
        return false;
    }
    if (::close(std::exchange(fd_, -1)) != 0) reason = errno;
    if (reason == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) reason = errno;
    if (reason != 0) {
        discard();
        error = reasonText(reason);
        return false;
    }
    unregisterTemporary(temporary_);
    clear();
    return true;
}

bool AtomicFile::commitAs(const std::string& path, std::string& error) {
    if (fd_ >= 0 && inPlace_) {
        discard();
        error = "written in place, it cannot take another name";
        return false;
    }
    if (fd_ >= 0) target_ = path;
    return commit(error);
}

bool AtomicFile::linkUnnamed(int& reason) {
    const auto [folder, base] = splitPath(target_);
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    reason = EEXIST;
    for (int attempt = 0; attempt < 100 && reason == EEXIST; ++attempt) {
        const std::string name = temporaryName(folder, base);
        registerTemporary(name);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
            reason = 0;
            return true;
        }
        reason = errno;
        unregisterTemporary(name);
    }
    return false;
}

void AtomicFile::discard() {
    if (stream_ != nullptr) std::fclose(std::exchange(stream_, nullptr));
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        unregisterTemporary(temporary_);
    }
    clear();
}

void AtomicFile::clear() {
    inPlace_ = false;
    unnamed_ = false;
    target_.clear();
    temporary_.clear();
}

bool writeFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                         std::string& error, const AtomicFileOptions& options) {
    AtomicFile file;
    if (!file.open(path, error, options)) return false;
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(file.fd(), next, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = reasonText(n < 0 ? errno : EIO);
            return false;
        }
        next += n;
        length -= static_cast<std::size_t>(n);
    }
    return file.commit(error);
}

void installOutputSignalCleanup() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = &removeTemporariesAndReraise;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        ::signal(SIGXFSZ, SIG_IGN);
    }
}

}  // namespace platform
