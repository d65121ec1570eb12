// The files a glTF asset names: the .gltf or .glb itself, its buffers and its
// images, read through tinygltf with callbacks that keep every file access
// inside the asset's folder.
#include "host/gltf/asset_files.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "host/gltf/import_context.h"
#include "platform/regular_file.h"

namespace host::gltf::detail {

namespace {

namespace fs = std::filesystem;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isDataUri(const std::string& uri) { return uri.rfind("data:", 0) == 0; }

// Whether `inner` is `outer` or lies below it, both canonical.
bool within(const fs::path& inner, const fs::path& outer) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o) return o->empty();  // a trailing "/" of outer
    return true;
}

// "is a FIFO, not a regular file" for what exists and is no regular file.
std::string notRegular(const std::string& file) {
    const std::string kind = platform::nonRegularKind(file);
    return kind.empty() ? "" : "is " + kind + ", not a regular file";
}

// The folder tinygltf's file callbacks may touch; tinygltf joins it with the
// decoded URI (and then tries the working folder, which is refused).
struct Fence {
    std::string folder;
};

// The file inside the fence that tinygltf's `path` names, or "".
std::string fenced(const Fence& fence, const std::string& path) {
    std::string prefix = fence.folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (path.rfind(prefix, 0) != 0) return "";
    std::string error;
    return fileInFolder(fence.folder, path.substr(prefix.size()), error);
}

bool fileExists(const std::string& path, void* user) {
    const std::string file = fenced(*static_cast<Fence*>(user), path);
    std::error_code ec;
    return !file.empty() && fs::exists(file, ec);
}

std::string unexpanded(const std::string& path, void*) { return path; }

// Buffers are read; an image is only looked for, since the renderer reads it
// where it is: a one-byte stand-in saves reading (and tinygltf's copying)
// megabytes of texture per import.
bool readWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                   void* user) {
    static const std::set<std::string> images = {".png",  ".jpg", ".jpeg", ".webp",
                                                 ".ktx2", ".ktx", ".dds",  ".basis",
                                                 ".bmp",  ".gif", ".tga"};
    const std::string file = fenced(*static_cast<Fence*>(user), path);
    if (file.empty()) {
        if (err) *err = "outside the glTF's folder";
        return false;
    }
    std::string ext = fs::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (images.count(ext)) {
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) return false;
        out->assign(1, 0);
        return true;
    }
    std::string bytes, error;
    if (!platform::readRegularFile(file, bytes, error)) {
        if (err) *err = error;
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

// Keeps embedded image bytes as they are (no decoding: the renderer reads the
// file); images named by URI are used where they are, so nothing is kept.
bool keepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
    if (!image->uri.empty()) return true;
    image->image.assign(bytes, bytes + size);
    image->as_is = true;
    return true;
}

// tinygltf's messages end in newlines and may hold several lines.
std::string oneLine(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        if (!line.empty()) out += (out.empty() ? "" : "; ") + line;
        start = end + 1;
    }
    return out;
}

// The JSON text of a .glb (its first chunk), or "" when the file is too
// short to have one; tinygltf reports a malformed file itself.
std::string glbJson(const std::string& bytes) {
    const auto u32 = [&bytes](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    if (bytes.size() < 20) return "";
    const std::uint64_t length = u32(12);
    if (length > bytes.size() - 20) return "";
    return bytes.substr(20, static_cast<std::size_t>(length));
}

// Every buffer and image URI of the asset, before tinygltf reads any.
void checkUris(const std::string& json, const std::string& folder) {
    const nlohmann::json asset = nlohmann::json::parse(json, nullptr, false);
    if (!asset.is_object()) return;  // tinygltf names the syntax error
    for (const char* array : {"buffers", "images"}) {
        const auto list = asset.find(array);
        if (list == asset.end() || !list->is_array()) continue;
        for (std::size_t i = 0; i < list->size(); ++i) {
            const nlohmann::json& item = (*list)[i];
            if (!item.is_object() || !item.contains("uri") || !item["uri"].is_string()) continue;
            const std::string uri = item["uri"].get<std::string>();
            if (isDataUri(uri)) continue;
            std::string error;
            std::string file = fileInFolder(folder, uri, error);
            if (!file.empty() && std::string(array) == "buffers") error = notRegular(file);
            if (!error.empty())
                throw GltfError(indexPath(array, i) + ".uri: \"" + uri + "\" " + error);
        }
    }
}

}  // namespace

std::string percentDecoded(const std::string& uri) {
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hexDigit(uri[i + 1]) >= 0 &&
            hexDigit(uri[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(uri[i + 1]) * 16 + hexDigit(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

std::string fileInFolder(const std::string& folder, const std::string& uri, std::string& error) {
    error.clear();
    const std::string decoded = percentDecoded(uri);
    const fs::path relative(decoded);
    if (decoded.find('\0') != std::string::npos)
        error = "holds a NUL byte";
    else if (decoded.empty())
        error = "names no file";
    else if (relative.is_absolute() || decoded.front() == '/')
        error = "is an absolute path; only files in the glTF's folder are read";
    else if (std::any_of(relative.begin(), relative.end(),
                         [](const fs::path& part) { return part == ".."; }))
        error = "leads out of the glTF's folder";
    if (!error.empty()) return "";
    const fs::path file = (fs::path(folder) / relative).lexically_normal();
    // Symbolic links may still lead out: compare where both really are.
    std::error_code ec1, ec2;
    const fs::path realFolder = fs::weakly_canonical(folder, ec1);
    const fs::path realFile = fs::weakly_canonical(file, ec2);
    if (ec1 || ec2 || !within(realFile, realFolder)) {
        error = "leads out of the glTF's folder";
        return "";
    }
    return file.string();
}

tinygltf::Model readAssetFiles(const std::string& path, const std::string& folder, bool binary) {
    std::string bytes, error;
    // tinygltf takes the size as 32 bits.
    if (!platform::readRegularFile(path, bytes, error, UINT32_MAX))
        throw GltfError(std::string("cannot read the file: ") +
                        (error.rfind("is ", 0) == 0 ? "it " : "") + error);
    checkUris(binary ? glbJson(bytes) : bytes, folder);
    Fence fence{folder};
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepImageBytes, nullptr);
    loader.SetFsCallbacks(
        {fileExists, unexpanded, readWholeFile, tinygltf::WriteWholeFile, &fence});
    tinygltf::Model model;
    std::string warning;
    error.clear();
    bool ok = false;
    try {
        ok = binary
                 ? loader.LoadBinaryFromMemory(&model, &error, &warning,
                                               reinterpret_cast<const unsigned char*>(bytes.data()),
                                               static_cast<unsigned int>(bytes.size()), folder)
                 : loader.LoadASCIIFromString(&model, &error, &warning, bytes.data(),
                                              static_cast<unsigned int>(bytes.size()), folder);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!ok) {
        const std::string reason = oneLine(error);
        throw GltfError("not a readable glTF 2.0 file: " +
                        (reason.empty() ? "unknown reason" : reason));
    }
    return model;
}

}  // namespace host::gltf::detail
