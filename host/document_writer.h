// Writes a BaseDocument as a document file (JSON) that the loader reads back
// into the same document: the same objects, tags, tracks, materials,
// shaders, layers, parameters, keys, selection, time and name.
//
// What is written: every node of the document; parameters by id in their
// file forms ({"file"}, {"link"}, {"time"}, {"gradient"}); a host default the
// node still holds unchanged is left out, one it no longer holds is written
// as null. Links need ids: a node keeps the id it was loaded with, the others
// that are linked get a fresh one ("material-1", "object-3", ...). Object
// keys are always written. "directory" is left out when it equals the folder
// the file is written to (`fileFolder`), so the file keeps the loader's
// default. A link to nothing and a parameter without a value (NaN or an
// infinity included) cannot be written and are left out.
//
// Layout: nested objects are indented; an array without objects and with at
// most 16 numbers stays on one line, so a point, a polygon or a UVW entry is
// one line of the file.
#pragma once

#include <string>

#include "host/document.h"

namespace host {

// `fileFolder`: the absolute folder of the file the text is meant for, or ""
// (then "directory" is always written).
std::string WriteDocumentText(const BaseDocument& doc, const std::string& fileFolder);

// Writes the file whole or not at all (platform::AtomicFile: beside it, then
// renamed over it; a device or FIFO in place); DocumentError("cannot write
// the file: <reason>") on failure, the earlier file then untouched.
void WriteDocumentFile(const BaseDocument& doc, const std::string& path);

}  // namespace host
