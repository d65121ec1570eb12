// Reading a document file into fresh anonymous pages.
#include "host/document_text.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"

namespace host::loader {

DocumentText::~DocumentText() { release(); }

void DocumentText::release() {
    if (map_) ::munmap(map_, mapBytes_);
    map_ = nullptr;
    mapBytes_ = size_ = 0;
    grown_.clear();
}

bool DocumentText::read(const std::string& path, std::string& error) {
    release();
    const int fd = platform::openRegularFile(path, error);
    if (fd < 0) return false;
    struct stat info {};
    const std::size_t expected =
        ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t bytes = (expected + 1 + page - 1) / page * page;  // room for the NUL
    void* map = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) {
        ::close(fd);
        return platform::readRegularFile(path, grown_, error);
    }
    ::madvise(map, bytes, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
    map_ = static_cast<char*>(map);
    mapBytes_ = bytes;
    bool grew = false;
    for (;;) {
        const bool probing = size_ == expected;  // one more byte means the file grew
        char probe = 0;
        const ssize_t n =
            probing ? ::read(fd, &probe, 1) : ::read(fd, map_ + size_, expected - size_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            release();
            return false;
        }
        if (n == 0) break;
        if (probing) {
            grew = true;
            break;
        }
        size_ += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!grew) return true;
    release();
    return platform::readRegularFile(path, grown_, error);
}

}  // namespace host::loader
