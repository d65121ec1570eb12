// Cameras and the sky of a read scene.
//
// Contract. A camera block's "position", "direction" (or "look_at", which
// wins), "up" are in the camera's own frame and its transform statements,
// composed as a group's and followed by the enclosing blocks' matrix, place
// that frame in the world (points move, directions turn; scale is dropped).
// "fov" is the horizontal angle in degrees, edge to edge; "fov4" four angles
// in degrees from the view direction to the left, right, bottom and top
// edges. "clipping" near and far bound what the camera sees, along the view
// direction. A value that cannot be used keeps its default (fov 60, direction
// 0 0 -1, up 0 1 0) with a warning. The sky is the camera's "reflection map"
// shader: its "color" as a constant sky, or its "texture" as a
// latitude-longitude map; a map that cannot be read is a neutral grey, with
// a warning.
#pragma once

#include <string>
#include <vector>

#include "preview/render_model.h"
#include "scenefile/scene_index.h"

namespace preview {

Camera cameraFromBlock(const scenefile::Node& block, const Matrix& parent,
                       std::vector<std::string>& warnings);

// A camera that sees the box from the front (from +z, looking down -z, y up),
// whole in a picture whose height is `aspect` times its width.
Camera framingCamera(Vec3 lo, Vec3 hi, float aspect);

Sky skyOf(const scenefile::Node& cameraBlock, const scenefile::SceneIndex& index,
          const std::string& sceneFolder, std::vector<std::string>& warnings);

// The matrix a block's transform statements make, before its parent's.
Matrix localMatrix(const scenefile::Node& block);

}  // namespace preview
