#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string refusal(mode_t mode) {
    const std::string kind = kindOf(mode);
    return kind == "not a regular file" ? kind : "is " + kind + ", not a regular file";
}

// The descriptor made blocking again once it is known to be a regular file;
// -1 (closed) with the reason otherwise.
int keepIfRegular(int fd, std::string& error) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = refusal(info.st_mode);
    } else {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return fd;
        error = std::strerror(errno);
    }
    ::close(fd);
    return -1;
}

}  // namespace

int openRegularFile(const std::string& path, std::string& error) {
    error.clear();
    if (path.empty()) {
        error = "no file name";
        return -1;
    }
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    return keepIfRegular(fd, error);
}

std::FILE* openRegularLog(const std::string& path, std::uint64_t replaceAtBytes, std::string& error,
                          bool ownerOnly) {
    error.clear();
    // Said before trying: opening a FIFO or folder for writing fails with
    // reasons that do not say what is in the way.
    if (struct stat info{}; ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = refusal(info.st_mode);
        return nullptr;
    }
    // O_NONBLOCK: should a FIFO appear meanwhile, its open must not wait.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY,
                    ownerOnly ? 0600 : 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    fd = keepIfRegular(fd, error);
    if (fd < 0) return nullptr;
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && ownerOnly && (info.st_mode & 0077) != 0 && info.st_uid == ::geteuid()) {
        ::fchmod(fd, 0600);
    }
    if (known && static_cast<std::uint64_t>(info.st_size) >= replaceAtBytes &&
        ::ftruncate(fd, 0) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "a");
    if (stream == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
    }
    return stream;
}

std::FILE* openRegularStream(const std::string& path, std::string& error) {
    const int fd = openRegularFile(path, error);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
    }
    return stream;
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string& error,
                     std::uint64_t maxBytes) {
    bytes.clear();
    const int fd = openRegularFile(path, error);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        error = "larger than " + std::to_string(maxBytes) + " bytes";
        ::close(fd);
        return false;
    }
    // The size is a hint only: the file may change while it is read.
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            break;
        }
        if (n == 0) {
            ::close(fd);
            return true;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            error = "larger than " + std::to_string(maxBytes) + " bytes";
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes.clear();
    return false;
}

std::string nonRegularKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return kindOf(info.st_mode);
}

}  // namespace platform
