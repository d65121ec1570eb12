#include "sceneapi/light_file_factory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <utility>

#include "sceneapi/scene_api_file.h"

namespace tal {

namespace {

// The scene goes to a duplicate of the standard output's descriptor, and the
// descriptor itself is pointed at the standard error stream, so that nothing
// else the process prints can mix into the scene. POSIX streams have no text
// mode, so the stream is binary as it is.
std::FILE* openStandardOutput(std::string& error) {
    std::fflush(stdout);
    const int fd = ::dup(STDOUT_FILENO);
    std::FILE* stream = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (stream == nullptr) {
        error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    return stream;
}

}  // namespace

LightFileFactory::LightFileFactory(const std::string& path)
    : toStdout_(path == "-"), unwinding_(std::uncaught_exceptions()) {
    std::string error;
    if (toStdout_) {
        stream_ = openStandardOutput(error);
    } else if (file_.open(path, error)) {
        stream_ = file_.stream();
        if (stream_ == nullptr) error = std::strerror(errno != 0 ? errno : ENOMEM);
    }
    if (stream_ == nullptr) {
        file_.discard();
        std::fprintf(stderr, "opening file: %s\n", error.c_str());
        throw std::runtime_error("could not open file: \"" + path + "\"");
    }
    // The writer hands over whole 256 KiB blocks; stdio's own buffer would
    // only split them at other offsets.
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    try {
        writer_ = std::make_unique<talScene_api_file>(stream_, true);
    } catch (...) {
        if (toStdout_) std::fclose(stream_);
        stream_ = nullptr;
        file_.discard();
        throw;
    }
}

LightFileFactory::~LightFileFactory() {
    if (std::uncaught_exceptions() > unwinding_) {
        // The scene stopped part way: what was written is not a scene file.
        writer_.reset();
        if (toStdout_ && stream_ != nullptr) std::fclose(stream_);
        stream_ = nullptr;
        file_.discard();
        return;
    }
    try {
        closeApi();
    } catch (...) {
        // Reported on stderr and the new file dropped by closeApi; a
        // destructor must not raise.
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
    int reason = finishWriter();
    if (stream_ == nullptr) return;
    std::string error;
    if (toStdout_) {
        reason = closeStandardOutput(reason);
        if (reason == 0) return;
        error = std::strerror(reason);
    } else if (completeFile(reason, error)) {
        return;
    }
    std::fprintf(stderr, "closing file: %s\n", error.c_str());
    throw std::runtime_error("could not close file");
}

// Deletes the writer, so that its last output reaches the stream; answers the
// first write error it met (errno), 0 for none.
int LightFileFactory::finishWriter() {
    if (writer_ == nullptr) return 0;
    writer_->flushOutput();
    const int reason = writer_->writeError();
    writer_.reset();
    return reason;
}

int LightFileFactory::closeStandardOutput(int reason) {
    std::FILE* stream = std::exchange(stream_, nullptr);
    const bool damaged = reason != 0 || std::ferror(stream) != 0;
    if (std::fflush(stream) != 0 && reason == 0) reason = errno;
    if (std::fclose(stream) != 0 && reason == 0) reason = errno;
    return reason == 0 && damaged ? EIO : reason;
}

// Puts the new file under its name, or drops it when any byte was lost.
bool LightFileFactory::completeFile(int reason, std::string& error) {
    std::FILE* stream = std::exchange(stream_, nullptr);
    if (reason != 0 || std::ferror(stream) != 0) {
        file_.discard();
        error = std::strerror(reason != 0 ? reason : EIO);
        return false;
    }
    return file_.commit(error);
}

}  // namespace tal
