#include "renderer/output_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/regular_file.h"

namespace vxrenderer {

namespace {

bool processEnded(long pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The process id a leftover's name carries, or 0 when it is not one of ours.
long leftoverProcess(const std::string& name) {
    const char* digits = nullptr;
    const std::size_t part = name.rfind(".part-");
    if (part != std::string::npos &&
        (name.rfind(".incoming-", 0) == 0 || name.rfind("..incoming-", 0) == 0 ||
         name.rfind(".scene-", 0) == 0)) {
        digits = name.c_str() + part + 6;  // AtomicFile's fallback temporaries
    } else if (name.rfind(".incoming-", 0) == 0) {
        digits = name.c_str() + 10;  // the named partial scenes of earlier renderers
    } else {
        return 0;
    }
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    return end != digits && *end == '-' ? pid : 0;
}

}  // namespace

bool prepareOutputFolder(const std::string& folder, std::string& error) {
    const std::filesystem::path path(folder);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "not a folder";
        return false;
    }
    return true;
}

std::FILE* openLog(const std::string& path, std::string& error) {
    // Appended to for ever: a renderer's log is not cut by size.
    return platform::openRegularLog(path, UINT64_MAX, error, /*ownerOnly=*/true);
}

int removeStaleIncoming(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        // Another renderer may share the folder: only ended processes' files go.
        if (!processEnded(leftoverProcess(name))) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            continue;
        }
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool diskSpace(const std::string& folder, DiskSpace& space, std::string& error) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    space.available = static_cast<std::uint64_t>(info.f_bavail) * unit;
    space.total = static_cast<std::uint64_t>(info.f_blocks) * unit;
    return true;
}

std::uint64_t diskReserve(std::int64_t configured, const DiskSpace& space) {
    if (configured >= 0) return static_cast<std::uint64_t>(configured);
    return std::min(kMaxDiskReserve, space.total / 100);
}

}  // namespace vxrenderer
