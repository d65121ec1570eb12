// Polygon mesh export: a host polygon object becomes one scene object per
// texture-tag part, each holding a triangle geometry (shared vertices,
// per-corner normals and texture coordinates) followed by its material.
//
// Contract. Called by the traversal inside the object's group, after the
// group's transform, so every coordinate written is local to the object.
// The traversal decides whether the object is exported at all (visibility,
// control objects, the Update selection); here an object on a layer that is
// off (view or render switch) writes nothing. `weight` is the object's share
// of the progress; the mesh export writes no progress itself.
//
// Parts. The texture tags apply from the last one of the innermost object
// to the first one of the outermost ancestor, then the object's own default
// material; each tag claims its polygons (all, or those of the polygon
// selection its restriction names) that no earlier tag claimed. Within a
// part polygons are written in ascending index order, vertices in the order
// of first use; triangles are written with the reverse winding (a, c, b) and
// quads split along b-d into (a, d, b) and (c, b, d).
//
// Bad host data. A polygon whose point indices lie outside the point array
// is left out of every part, and selection ranges are clipped to the
// polygon count; either is reported on the host console, naming the object.
// Missing UVW entries read as zero; phong normals that do not cover every
// polygon are not used. Nothing is read or written out of bounds.
#pragma once

#include "convert/convert_types.h"

namespace host {
class PolygonObject;
}
namespace convert {

struct ExportContext;

void exportPolygonObject(ExportContext& context, host::PolygonObject& object,
                         const TextureTagList& textureTags, float weight);

}  // namespace convert
