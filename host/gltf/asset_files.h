// Internal to the glTF importer: the files a glTF asset names, kept inside
// the asset's folder.
//
// Contract. A URI other than a data URI is percent-decoded (%XX) and must
// name a path relative to the folder that holds the glTF: an absolute path,
// a ".." component (also written %2e%2e, or with %2F separators), a NUL byte
// or anything that resolves outside the folder once symbolic links are
// followed is refused with a reason. Only regular files are read, and a
// FIFO, a device or a folder is refused without waiting on it.
#pragma once

#include <tiny_gltf.h>

#include <string>

namespace host::gltf::detail {

// %XX decoded; anything else (a lone '%', '+') is kept as it is.
std::string percentDecoded(const std::string& uri);

// The absolute, normalised path that `uri` names inside `folder` (absolute),
// or "" with the reason in `error`. The file need not exist.
std::string fileInFolder(const std::string& folder, const std::string& uri, std::string& error);

// Reads a .gltf or .glb file into a model; every buffer and image URI is
// checked first, so a refused one names itself and its index. Throws
// GltfError.
tinygltf::Model readAssetFiles(const std::string& path, const std::string& folder, bool binary);

}  // namespace host::gltf::detail
