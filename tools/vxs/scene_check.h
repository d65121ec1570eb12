// Structural checks of a read scene (`vxs check`), beyond what reading it
// already proves (balanced blocks, well-formed statements and arrays).
//
// Checked: every "triangles" geometry has float-triple vertices and an index
// array of whole triangles, every index within the vertex array; the corner
// index arrays of normals and uvs ("triangles_norm", "triangles_uv") are as
// long as "triangles", each index within the normals / uvs (normals or uvs
// without an index array are per vertex: one per vertex); curve
// geometries' counts agree (points, per-point radii, curves, curve uvs);
// animations have one timestamp per matrix of 16 numbers; float-triple
// binary arrays hold whole triples; every used numbered shader and material
// is defined. Problems come in file order, each located at its statement.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scenefile/tree.h"

namespace vxs {

struct Problem {
    scenefile::SourcePos pos;
    std::string what;
};

// The problems found, at most `limit` of them (0: all).
std::vector<Problem> checkScene(const scenefile::Document& doc, std::size_t limit = 0);
std::string formatProblem(const Problem& problem);

}  // namespace vxs
