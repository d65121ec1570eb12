// MemoryStream and MemoryFileFactory: the real scene file writer on a memory
// stream, so tests compare the exact bytes a scene produces.
//
// MemoryFileFactory writes no file header (its beginScene does nothing), so
// its text starts with the object layer's banner and version. closeApi()
// deletes the writer; the text stays readable until the factory goes.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "sceneapi/light_factory.h"

namespace tal {
class talScene_api_file;
}

namespace vxtest {

class MemoryStream {
public:
    MemoryStream();
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* stream() const { return stream_; }
    std::string text();  // everything written so far

private:
    std::FILE* stream_ = nullptr;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
};

class MemoryFileFactory : public tal::LightFactory {
public:
    // Without `arraysInPieces` the writer refuses piecewise arrays, so that
    // callers pass them whole.
    explicit MemoryFileFactory(bool binaryArrays = false, bool arraysInPieces = true);
    ~MemoryFileFactory() override;
    tal::talScene_api* openApi() override;
    void beginScene(tal::talSceneapi_oo& scene) override;
    void closeApi() override;
    std::string text();  // everything written so far

private:
    MemoryStream stream_;
    std::unique_ptr<tal::talScene_api_file> writer_;
};

// The text after the object layer's opening statements (banner, version).
std::string afterOpening(const std::string& text);

}  // namespace vxtest
