// Loading documents by kind: glTF through the importer, everything else
// through the document file loader.
#include "host/vxhost/document_source.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "host/document_loader.h"
#include "host/gltf/gltf_import.h"

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
    if (!host::gltf::IsGltfPath(path)) {
        if (load.animation)
            throw std::runtime_error(
                "--animation picks an animation of a glTF file (.gltf, "
                ".glb); this is a document file");
        return host::LoadDocumentFile(path);
    }
    host::gltf::ImportOptions options;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    options.imageDirectory =
        imageFolder.empty() ? cacheFolder(absolute.lexically_normal()).string() : imageFolder;
    options.documentDirectory = documentDirectory;
    options.animation = load.animation;
    host::gltf::ImportResult result = host::gltf::ImportGltfFile(path, options);
    for (const std::string& line : result.warnings)
        std::cerr << "vxhost: " << path << ": warning: " << line << '\n';
    if (!result.writtenImages.empty())
        std::cerr << "vxhost: " << path << ": wrote " << result.writtenImages.size()
                  << " embedded image" << (result.writtenImages.size() == 1 ? "" : "s") << " to "
                  << options.imageDirectory << '\n';
    return std::move(result.document);
}

}  // namespace vxhost
