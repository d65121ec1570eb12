// ExportContext: the state one conversion reads and writes. Its owner (the
// plug-in's command object, or a test) opens the object layer in `scene`
// before it hands the context to exportDocument and closes it afterwards; the
// rest outlives a command, so that buffers are reused and progress keeps
// counting from export to export.
//
// Contract. exportDocument sets `document`, `documentDirectory` and
// `selectionKeys` afresh on every traversal and adds 1.0 to `progressTotal`
// (from `progressStart`, which it sets);
// `updateOnly` is the owner's to set before the traversal. Nothing here is
// thread-safe: one conversion runs at a time, on the host's main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "convert/material_name_table.h"
#include "convert/mesh_buffers.h"
#include "sceneapi/sceneapi_oo.h"

namespace host {
class BaseDocument;
}

namespace convert {

struct ExportContext {
    MeshBuffers meshBuffers;
    std::string documentDirectory;  // 8-bit; set by every traversal
    MaterialNameTable materialNameTable;
    std::unique_ptr<tal::talSceneapi_oo> scene;  // object layer; present only while a command runs
    float progressTotal = 0.0f;                  // grows by 1.0 per traversal
    float progressStart = 0.0f;                  // progressTotal when this traversal began
    host::BaseDocument* document = nullptr;      // not owned; set by the traversal
    bool updateOnly = false;                     // only the selection's meshes are wanted
    std::set<std::uint64_t> selectionKeys;       // keys of the selection (updateOnly)
};

}  // namespace convert
