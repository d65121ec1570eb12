// Loads a document file (JSON) into a BaseDocument.
//
// Loading is strict: an unknown key, a value of the wrong shape, a link to an
// id that does not exist, a polygon index outside the point array, a UVW or
// selection entry outside the polygon array, malformed JSON: the load raises
// DocumentError whose message names the JSON path and the problem, e.g.
// `objects[0].children[2].tags[1].material: no material with id "wood"`, and
// no document is made. The document's directory defaults to the folder that
// holds the file.
//
// Bounds. Work is bounded by the size of the file, never by a number in it:
// every time (keys, the current time, the start of the range, time
// parameters) is finite and within kMaxDocumentSeconds of 0, and objects nest
// at most kMaxObjectDepth levels. Only a regular file is read: a folder, a
// FIFO or a device is refused at once.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "host/document.h"

namespace host {

// Largest time, in seconds either side of 0, that a document may hold (about
// 11.6 days). Importers apply the same bound to the times they bring in.
constexpr double kMaxDocumentSeconds = 1e6;

// Deepest nesting of objects (children and caches, a top-level object being
// level 1) that a document may have; deeper hierarchies are refused rather
// than risking the stack. Importers refuse the same. The scene reader's block
// limit (scenefile::kMaxBlockDepth) must leave room for what an export of
// this many levels writes.
constexpr int kMaxObjectDepth = 1000;

class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The load shows "loading <file name>" on the host's status bar
// (BeginProgress, plugin_api.h) and takes it away when it ends.
std::unique_ptr<BaseDocument> LoadDocumentFile(const std::string& path);
// `text` is the JSON; `directory` is the document's default directory.
std::unique_ptr<BaseDocument> LoadDocumentText(const std::string& text,
                                               const std::string& directory);

// The parameters every object of its kind has (visibility 901/902 on every
// object; field of view 1008 on cameras; colour, brightness, type,
// photometric switch and area size on lights), as a load sets them before an
// object's "params". Code that builds documents itself (importers) calls it
// so that its objects read like loaded ones.
void ApplyHostDefaults(BaseObject& object);

}  // namespace host
