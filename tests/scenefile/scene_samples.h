// Scenes written through the real file writer, shaped like the plug-in's
// exports, for the reader and vxs tests.
//
// exportLikeScene holds: the header, banner, version and load block; one
// camera ("Camera") with its inline environment shader and a position
// animation; the document group "scene" with four object groups: "Cube" (8
// vertices, 12 triangles, per-corner normals and uvs, material "Wood": a
// tal_advanced surface whose diffuse links a texture2_rgb shader on
// "tex/wood.png"), "Plane" (4 vertices, 2 triangles, no normals or uvs,
// material "Display color": tal_diffuse), "Light" (the 6-vertex, 8-triangle
// octahedron, tal_point_light) and "Hair" (2 curves of 4 points,
// "Display color #1": tal_diffuse), and an animation of the cube. Its counts
// are in kExportLike.
#pragma once

#include <string>

namespace vxtest {

struct SampleCounts {
    int objects, groups, triangles, vertices, materials, textures, cameras, lights, hairCurves,
        animations;
};
inline constexpr SampleCounts kExportLike{4, 5, 22, 18, 4, 1, 1, 1, 2, 2};

std::string exportLikeScene(bool binaryArrays);

// One object "Grid" of cellsX x cellsY quads as triangles (2 per cell), with
// per-vertex normals (0, 1, 0) and uvs, indexed like the plug-in's corners.
std::string gridScene(int cellsX, int cellsY, bool binaryArrays);

}  // namespace vxtest
