// The benchmarks' document: one polygon object of side x side quads over
// (side + 1)^2 points, a gentle wave in y so that the phong normals vary, a
// UVW tag with uvs over the unit square and a phong tag with a 40 degree
// angle limit. side 1000 gives 1,000,000 quads (2,000,000 triangles).
#pragma once

#include <memory>

#include "host/document.h"

namespace bench {

std::unique_ptr<host::BaseDocument> makeGrid(int side);

}  // namespace bench
