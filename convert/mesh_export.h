// Polygon mesh export: a host polygon object becomes one scene object per
// texture-tag part, each holding a triangle geometry (shared vertices,
// per-corner normals and texture coordinates) followed by its material.
//
// Contract. Called by the traversal inside the object's group, after the
// group's transform, so every coordinate written is local to the object.
// The traversal decides whether the object is exported at all (visibility,
// control objects, the Update selection). `weight` is the object's share of
// the progress; the mesh export writes no progress itself.
#pragma once

#include "convert/convert_types.h"

namespace host {
class PolygonObject;
}
namespace plugin {
class ExportController;
}

namespace convert {

void exportPolygonObject(plugin::ExportController& controller, host::PolygonObject& object,
                         const TextureTagList& textureTags, float weight);

}  // namespace convert
