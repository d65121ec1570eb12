// Helpers of the scene API tests: a file writer over a memory stream, a
// factory over one for the object layer, and golden-file comparison.
//
// Golden files live in tests/sceneapi/golden. With VX_KEEP_GOLDEN_OUTPUT=1 a
// mismatching output is kept in $TMPDIR/vx_golden/ (default /tmp) for a diff.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sceneapi/light_factory.h"
#include "sceneapi/scene_api_file.h"

namespace tal::test {

class MemoryStream {
public:
    MemoryStream() : stream_(open_memstream(&buffer_, &size_)) {}
    ~MemoryStream() {
        std::fclose(stream_);
        std::free(buffer_);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* stream() { return stream_; }
    std::string text() {
        std::fflush(stream_);
        return std::string(buffer_, size_);
    }

private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

// A file writer on a memory stream; the writer goes before the stream.
struct MemoryScene {
    explicit MemoryScene(bool binaryArrays = false) : api(memory.stream(), binaryArrays) {}
    std::string text() {
        api.flushOutput();
        return memory.text();
    }
    MemoryStream memory;
    talScene_api_file api;
};

// The file back end on a memory stream, behind the factory interface.
class MemoryFactory : public LightFactory {
public:
    explicit MemoryFactory(bool giveApi = true) : giveApi_(giveApi) {}
    talScene_api* openApi() override { return giveApi_ ? &scene_.api : nullptr; }
    void beginScene(talSceneapi_oo&) override { scene_.api.rawText("%s", "// begin\n"); }
    void closeApi() override {}
    std::string text() { return scene_.text(); }

private:
    MemoryScene scene_;
    bool giveApi_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Outside the test's private world, which goes when the test ends: kept
// output is for a person to read afterwards.
inline std::filesystem::path tempDir() {
    const char* dir = std::getenv("VX_TEST_OUTER_TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

inline void expectGolden(const std::string& name, const std::string& actual) {
    const std::string expected = readFile(std::filesystem::path(VX_GOLDEN_DIR) / name);
    ASSERT_FALSE(expected.empty()) << "missing golden file " << name;
    if (actual == expected) return;
    std::string kept;
    const char* keep = std::getenv("VX_KEEP_GOLDEN_OUTPUT");
    if (keep != nullptr && std::string(keep) == "1") {
        const auto dir = tempDir() / "vx_golden";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << actual;
        kept = " (output kept in " + (dir / name).string() + ")";
    }
    ADD_FAILURE() << "output differs from golden " << name << kept;
}

}  // namespace tal::test
