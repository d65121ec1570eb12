#include "sceneapi/light_file_factory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "sceneapi/scene_api_file.h"

namespace tal {

namespace {

// The scene goes to a duplicate of the standard output's descriptor, and the
// descriptor itself is pointed at the standard error stream, so that nothing
// else the process prints can mix into the scene. POSIX streams have no text
// mode, so the stream is binary as it is.
std::FILE* openStandardOutput() {
    std::fflush(stdout);
    const int fd = ::dup(STDOUT_FILENO);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int reason = errno;
        ::close(fd);
        errno = reason;
        return nullptr;
    }
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return stream;
}

}  // namespace

LightFileFactory::LightFileFactory(const std::string& path) : path_(path), toStdout_(path == "-") {
    // "wb+": created or emptied, and binary, so line ends stay single line feeds.
    stream_ = toStdout_ ? openStandardOutput() : std::fopen(path.c_str(), "wb+");
    if (stream_ == nullptr) {
        std::perror("opening file");
        throw std::runtime_error("could not open file: \"" + path + "\"");
    }
    // The writer hands over whole 256 KiB blocks; stdio's own buffer would
    // only split them at other offsets.
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    if (!toStdout_) rememberFileIdentity();
    try {
        writer_ = std::make_unique<talScene_api_file>(stream_, true);
    } catch (...) {
        std::fclose(stream_);
        removeIncompleteFile();
        throw;
    }
}

LightFileFactory::~LightFileFactory() {
    try {
        closeApi();
    } catch (...) {
        // Reported on stderr and the file removed by closeApi; a destructor
        // must not raise.
    }
}

talScene_api* LightFileFactory::openApi() { return writer_.get(); }

void LightFileFactory::beginScene(talSceneapi_oo& /*scene*/) {
    static constexpr const char* kHeader[] = {"//---talvik:dal:7---\n", "//---import:dal:1---\n",
                                              "//---id:1---\n",
                                              "// This is a Vantrix scene file\n\n"};
    if (writer_ == nullptr) return;
    char line[4096];
    for (const char* text : kHeader) {
        std::snprintf(line, sizeof line, "%s", text);
        writer_->rawText("%s", line);
    }
}

void LightFileFactory::closeApi() {
    int reason = 0;
    if (writer_ != nullptr) {
        writer_->flushOutput();
        reason = writer_->writeError();
        writer_.reset();  // its last output reaches the stream before the close
    }
    if (stream_ == nullptr) return;
    std::FILE* stream = std::exchange(stream_, nullptr);
    bool failed = reason != 0 || std::ferror(stream) != 0;
    if (std::fflush(stream) != 0) {
        failed = true;
        if (reason == 0) reason = errno;
    }
    failed = failed || std::ferror(stream) != 0;
    if (std::fclose(stream) != 0) {
        failed = true;
        if (reason == 0) reason = errno;
    }
    if (!failed) return;
    std::fprintf(stderr, "closing file: %s\n", std::strerror(reason != 0 ? reason : EIO));
    removeIncompleteFile();
    throw std::runtime_error("could not close file");
}

void LightFileFactory::rememberFileIdentity() {
    struct stat info {};
    if (::fstat(::fileno(stream_), &info) != 0 || !S_ISREG(info.st_mode)) return;
    removable_ = true;
    device_ = static_cast<std::uint64_t>(info.st_dev);
    inode_ = static_cast<std::uint64_t>(info.st_ino);
}

void LightFileFactory::removeIncompleteFile() const {
    if (toStdout_ || !removable_) return;
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    if (static_cast<std::uint64_t>(info.st_dev) != device_ ||
        static_cast<std::uint64_t>(info.st_ino) != inode_) {
        return;  // someone else's file is at the path now
    }
    std::remove(path_.c_str());
}

}  // namespace tal
