// From a read scene to the render model.
//
// Contract. Placed group and object blocks nest: a block's transform
// statements ("transform" composes, applied before those already read;
// "set transform" replaces; "scale" and "translate" compose likewise) place
// its content, and the parent's matrix follows the child's. Every triangles
// geometry of a placed block becomes a mesh in world space with the material
// of its nearest object; a mesh whose arrays do not fit together is left out
// with a warning that names its object and line. "tal_point_light" objects
// become point lights at their mesh's centre, "tal_mesh_light" objects
// emitting triangles. The camera is the named (else the first) camera block,
// its environment the sky; see camera.h. Without it, a framing camera sees
// every mesh in a picture of height `aspect` times its width. Nothing here
// throws for content.
#pragma once

#include <string>

#include "preview/render_model.h"
#include "scenefile/tree.h"

namespace preview {

RenderModel buildModel(const scenefile::Document& scene, const std::string& sceneFolder,
                       const std::string& cameraName, float aspect);

}  // namespace preview
