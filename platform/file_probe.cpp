#include "platform/file_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class PosixFileProbe final : public FileProbe {
public:
    bool opensForReading(const std::string& path) const override {
        if (path.empty()) return false;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return false;
        struct stat info {};
        const bool ok = ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
        ::close(fd);
        return ok;
    }
};

}  // namespace

const FileProbe& systemFileProbe() {
    static const PosixFileProbe probe;
    return probe;
}

}  // namespace platform
