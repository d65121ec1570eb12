// Small assets in the formats the asset importer reads, written as text:
// OBJ with its MTL and a texture, ASCII PLY, ASCII STL and COLLADA.
#pragma once

#include <string>

namespace assettest {

// Two OBJ objects: "Quad" (one quad with uv and a normal, material "red"
// with the texture tex.png) and "Tri" (one triangle whose third vertex is
// (2, 1, -1)). Writes model.obj, model.mtl and tex.png into `folder`;
// answers the OBJ's path. `mtl` = false leaves the MTL out.
std::string writeObj(const std::string& folder, bool mtl = true,
                     const std::string& texture = "tex.png");

// A quad and a triangle; the triangle's first vertex is (3, 4, 5).
std::string writePly(const std::string& folder);

// Two triangles; the first vertex is (1, 2, 3).
std::string writeStl(const std::string& folder);

// Nodes Parent (translated 10 units in x, its translation animated from
// x = 10 to y = 40 over 2 s) > Child (translated 20 in y, a unit quad, material
// "blue"), camera node "Cam" (60 degree field of view, at z = 50) and point
// light node "Lamp" (colour 2, 1, 0.5, at y = 30). The file's unit is the
// centimetre.
std::string writeCollada(const std::string& folder);

}  // namespace assettest
