// The asset's files, read whole from inside its folder.
#include "host/assimp/asset_io.h"

#include <assimp/IOStream.hpp>
#include <cstring>
#include <filesystem>

#include "platform/regular_file.h"

namespace host::assimp::detail {

namespace {

namespace fs = std::filesystem;

// A read-only stream over bytes held in memory.
class BytesStream : public Assimp::IOStream {
public:
    explicit BytesStream(std::string bytes) : bytes_(std::move(bytes)) {}

    size_t Read(void* buffer, size_t size, size_t count) override {
        if (size == 0) return 0;
        const size_t n = std::min(count, (bytes_.size() - pos_) / size);
        std::memcpy(buffer, bytes_.data() + pos_, n * size);
        pos_ += n * size;
        return n;
    }
    size_t Write(const void*, size_t, size_t) override { return 0; }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        const size_t base = origin == aiOrigin_SET   ? 0
                            : origin == aiOrigin_CUR ? pos_
                                                     : bytes_.size();
        if (offset > bytes_.size() - base) return aiReturn_FAILURE;
        pos_ = base + offset;
        return aiReturn_SUCCESS;
    }
    size_t Tell() const override { return pos_; }
    size_t FileSize() const override { return bytes_.size(); }
    void Flush() override {}

private:
    std::string bytes_;
    size_t pos_ = 0;
};

// Whether `inner` is `outer` or lies below it, both canonical.
bool within(const fs::path& inner, const fs::path& outer) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o) return o->empty();
    return true;
}

}  // namespace

std::string fileInFolder(const std::string& folder, const std::string& name, std::string& reason) {
    reason.clear();
    if (name.empty() || name.find('\0') != std::string::npos) {
        reason = "is not a file name";
        return "";
    }
    std::string cleaned = name;
    for (char& c : cleaned)
        if (c == '\\') c = '/';  // Windows separators in files written there
    // assimp joins the names an asset gives with the asset's folder itself.
    const fs::path file = (fs::path(folder) / cleaned).lexically_normal();  // absolute stays
    std::error_code ec1, ec2;
    const fs::path realFolder = fs::weakly_canonical(folder, ec1);
    const fs::path realFile = fs::weakly_canonical(file, ec2);
    if (ec1 || ec2 || !within(realFile, realFolder)) {
        reason = "lies outside the asset's folder; only files in it are read";
        return "";
    }
    return file.string();
}

std::string FencedIO::resolve(const std::string& name, std::string& reason) const {
    return fileInFolder(folder_, name, reason);
}

bool FencedIO::Exists(const char* file) const {
    std::string reason;
    const std::string path = resolve(file ? file : "", reason);
    std::error_code ec;
    if (!path.empty() && fs::is_regular_file(path, ec)) return true;
    if (reason.empty()) {
        const std::string kind = path.empty() ? "" : platform::nonRegularKind(path);
        reason = kind.empty() ? "does not exist" : "is " + kind + ", not a regular file";
    }
    refuse(path.empty() ? std::string(file ? file : "") : path, reason);
    return false;
}

Assimp::IOStream* FencedIO::Open(const char* file, const char* mode) {
    const std::string name = file ? file : "";
    if (mode == nullptr || std::strchr(mode, 'w') || std::strchr(mode, 'a') ||
        std::strchr(mode, '+')) {
        refuse(name, "would be written; the import writes nothing");
        return nullptr;
    }
    std::string reason, bytes;
    const std::string path = resolve(name, reason);
    if (path.empty()) {
        refuse(name, reason);
        return nullptr;
    }
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        refuse(path, "does not exist");
        return nullptr;
    }
    if (platform::readRegularFile(path, bytes, reason)) return new BytesStream(std::move(bytes));
    refuse(path, reason);
    return nullptr;
}

void FencedIO::refuse(const std::string& file, const std::string& reason) const {
    for (const auto& known : refused_)
        if (known.first == file) return;
    refused_.emplace_back(file, reason);
}

void FencedIO::Close(Assimp::IOStream* stream) { delete stream; }

}  // namespace host::assimp::detail
