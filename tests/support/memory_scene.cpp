#include "tests/support/memory_scene.h"

#include <stdexcept>

#include "sceneapi/scene_api_file.h"

namespace vxtest {

MemoryStream::MemoryStream() : stream_(open_memstream(&buffer_, &size_)) {
    if (!stream_) throw std::runtime_error("open_memstream failed");
}

MemoryStream::~MemoryStream() {
    std::fclose(stream_);
    std::free(buffer_);
}

std::string MemoryStream::text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
}

namespace {

// The file writer without its piecewise array call, like a back end that
// only takes whole arrays.
class WholeArraysWriter final : public tal::talScene_api_file {
public:
    using talScene_api_file::talScene_api_file;
    bool setArrayParameter(const char*, int, std::size_t, tal::ArraySource&) override {
        return false;
    }
};

}  // namespace

MemoryFileFactory::MemoryFileFactory(bool binaryArrays, bool arraysInPieces)
    : writer_(arraysInPieces
                  ? std::make_unique<tal::talScene_api_file>(stream_.stream(), binaryArrays)
                  : std::make_unique<WholeArraysWriter>(stream_.stream(), binaryArrays)) {}

MemoryFileFactory::~MemoryFileFactory() = default;

tal::talScene_api* MemoryFileFactory::openApi() { return writer_.get(); }

void MemoryFileFactory::beginScene(tal::talSceneapi_oo& /*scene*/) {}

void MemoryFileFactory::closeApi() { writer_.reset(); }

std::string MemoryFileFactory::text() {
    if (writer_) writer_->flushOutput();
    return stream_.text();
}

std::string afterOpening(const std::string& text) {
    const std::string marker = "version 8\n\n";
    const std::size_t at = text.find(marker);
    return at == std::string::npos ? text : text.substr(at + marker.size());
}

}  // namespace vxtest
