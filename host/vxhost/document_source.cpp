// Loading documents by kind, told by the file's content: glTF (binary, or
// JSON with an "asset" member) through the glTF importer, other JSON through
// the document file loader, anything else through the asset importer.
#include "host/vxhost/document_source.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "host/assimp/assimp_import.h"
#include "host/document_loader.h"
#include "host/gltf/gltf_import.h"
#include "host/plugin_api.h"
#include "platform/regular_file.h"

namespace vxhost {

namespace {

namespace fs = std::filesystem;

fs::path cacheFolder(const fs::path& gltf) {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".cache";
    else
        base = fs::temp_directory_path();
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(gltf.string()));
    return base / "vxhost" / "images" / (gltf.stem().string() + "-" + hash);
}

enum class Kind { Document, Gltf, Asset };

// The first bytes decide: "glTF" is a binary glTF; JSON is a glTF when it
// has an "asset" member near its start (or the file says .gltf), otherwise a
// document file; anything else goes to the asset importer. A file that
// cannot be read goes to the loader its name suggests, which says why.
Kind kindOf(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    std::string error;
    std::FILE* file = platform::openRegularStream(path, error);
    if (!file) return host::gltf::IsGltfPath(path) ? Kind::Gltf : Kind::Document;
    std::string head(4096, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    if (head.rfind("glTF", 0) == 0) return Kind::Gltf;
    std::size_t first = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    first = head.find_first_not_of(" \t\r\n", first);
    if (first == std::string::npos || head[first] != '{')
        return ext == ".json" ? Kind::Document : Kind::Asset;
    if (host::gltf::IsGltfPath(path) || head.find("\"asset\"") != std::string::npos)
        return Kind::Gltf;
    return Kind::Document;
}

void report(const std::string& path, const std::vector<std::string>& warnings,
            const std::vector<std::string>& images, const std::string& folder) {
    for (const std::string& line : warnings)
        std::cerr << "vxhost: " << path << ": warning: " << line << '\n';
    if (!images.empty())
        std::cerr << "vxhost: " << path << ": wrote " << images.size() << " embedded image"
                  << (images.size() == 1 ? "" : "s") << " to " << folder << '\n';
}

// The status bar's label while an importer, which says nothing of how far it
// got, reads `path`; it goes before the import's warnings are printed.
class ImportProgress {
public:
    explicit ImportProgress(const std::string& path) {
        const std::string name = fs::path(path).filename().string();
        host::BeginProgress(("importing " + (name.empty() ? path : name)).c_str());
    }
    ~ImportProgress() { host::EndProgress(); }
    ImportProgress(const ImportProgress&) = delete;
    ImportProgress& operator=(const ImportProgress&) = delete;
};

}  // namespace

std::string folderOf(const std::string& file) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    if (ec) absolute = file;
    return absolute.lexically_normal().parent_path().string();
}

std::unique_ptr<host::BaseDocument> loadDocument(const std::string& path,
                                                 const std::string& imageFolder,
                                                 const std::string& documentDirectory,
                                                 const LoadOptions& load) {
    const Kind kind = kindOf(path);
    if (kind != Kind::Gltf && load.animation)
        throw std::runtime_error(
            std::string("--animation picks an animation of a glTF file (.gltf, .glb); ") +
            (kind == Kind::Document ? "this is a document file"
                                    : "this file is read by the asset importer"));
    if (kind == Kind::Document) return host::LoadDocumentFile(path);
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    const std::string images =
        imageFolder.empty() ? cacheFolder(absolute.lexically_normal()).string() : imageFolder;
    if (kind == Kind::Asset) {
        host::assimp::ImportResult result;
        {
            const ImportProgress progress(path);
            result = host::assimp::ImportAssetFile(path, {images, documentDirectory});
        }
        report(path, result.warnings, result.writtenImages, images);
        return std::move(result.document);
    }
    host::gltf::ImportOptions options;
    options.imageDirectory = images;
    options.documentDirectory = documentDirectory;
    options.animation = load.animation;
    host::gltf::ImportResult result;
    {
        const ImportProgress progress(path);
        result = host::gltf::ImportGltfFile(path, options);
    }
    report(path, result.warnings, result.writtenImages, images);
    return std::move(result.document);
}

}  // namespace vxhost
