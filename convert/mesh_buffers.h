// MeshBuffers: the scratch arrays of the mesh export, kept by the controller
// so their storage is reused from part to part and from object to object.
// Only their contents are discarded between parts.
#pragma once

#include <cstdint>
#include <vector>

namespace convert {

struct MeshBuffers {
    std::vector<float> vertices;  // x, y, z per distinct point of a part
    std::vector<float> normals;   // x, y, z per polygon corner
    std::vector<float> uvs;       // u, v per polygon corner
    std::vector<std::int32_t> triangles;      // three vertex indices per triangle
    std::vector<std::int32_t> normalIndices;  // three indices into normals per triangle
    std::vector<std::int32_t> uvIndices;      // three indices into uvs per triangle

    void clear() {
        vertices.clear();
        normals.clear();
        uvs.clear();
        triangles.clear();
        normalIndices.clear();
        uvIndices.clear();
    }
};

}  // namespace convert
