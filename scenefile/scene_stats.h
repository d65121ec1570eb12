// SceneStats: the summary `vxs info` prints.
//
// Counting rules. objects, groups, cameras, animations: their blocks (placed
// and defined). triangles, vertices: over "triangles" geometries, the
// "triangles" index count / 3 and the "vertices" value count / 3. materials:
// distinct material names, each with the type of its surface shader.
// textures: distinct "texture" values of shaders other than environment maps
// (tal_envmap, listed apart). lights: light blocks and objects whose surface
// is an emissive light shader (tal_point_light, tal_mesh_light). hair curves:
// the "nvertices" entries of "tal_bezier_curves" geometries, with their
// points ("p" count / 3).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "scenefile/tree.h"

namespace scenefile {

struct SceneStats {
    std::uint64_t fileSize = 0;
    std::uint64_t objects = 0, groups = 0, meshes = 0, triangles = 0, vertices = 0;
    std::uint64_t cameras = 0, lights = 0, hairCurves = 0, hairPoints = 0, animations = 0;
    std::map<std::string, std::string> materials;  // name -> surface shader type ("" when none)
    std::set<std::string> textures;
    std::set<std::string> environmentMaps;
};

SceneStats collectStats(const scenefile::Document& doc, std::uint64_t fileSize);
std::string formatStats(const SceneStats& stats);  // lines of "label: value"
std::string statsJson(const SceneStats& stats);    // one JSON object

}  // namespace scenefile
