// Where vxhost's documents come from: a document file (JSON), a glTF file
// (imported through host/gltf), any other asset the installed assimp reads
// (through host/assimp), or the built-in demo document. The file's content,
// not its name, chooses the importer.
//
// An import's warnings go to stderr as "vxhost: <file>: warning: <line>".
// Its embedded images are written into `imageFolder`; an empty one means
// vxhost's image cache ($XDG_CACHE_HOME/vxhost/images/<stem>-<hash>, else
// ~/.cache/..., else the temporary folder), kept so that a renderer can read
// them after vxhost ends. Failures raise std::exception with the problem;
// the caller prefixes the file name.
//
// `options.animation` picks one glTF animation alone (by name, else by
// index); for a file that is not glTF it is an error, as it would be ignored.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/document.h"

namespace vxhost {

// What the command line asks of an import.
struct LoadOptions {
    std::optional<std::string> animation;  // none: every animation
};

std::unique_ptr<host::BaseDocument> loadDocument(const std::string& path,
                                                 const std::string& imageFolder,
                                                 const std::string& documentDirectory = {},
                                                 const LoadOptions& load = {});

// The folder that holds `file` (absolute), for images beside an output file.
std::string folderOf(const std::string& file);

}  // namespace vxhost
