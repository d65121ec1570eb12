// Builds small glTF files for the import tests: the JSON is edited directly,
// binary data goes through accessor() into one buffer, written as a data
// URI (.gltf) or as the BIN chunk (.glb).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace gltftest {

class GltfBuilder {
public:
    GltfBuilder();
    nlohmann::json j;

    // A float accessor of `type` ("SCALAR", "VEC2", "VEC3", "VEC4").
    int accessor(const std::vector<float>& values, const std::string& type);
    // An unsigned short index accessor.
    int indices(const std::vector<std::uint16_t>& values);
    // Raw bytes as a buffer view (for images); returns the view index.
    int bufferView(const std::vector<unsigned char>& bytes);

    // A mesh of one triangle primitive with POSITION (and NORMAL, TEXCOORD_0
    // when given); returns the mesh index.
    int triangleMesh(const std::vector<float>& positions, const std::vector<std::uint16_t>& index,
                     int material = -1, const std::vector<float>& normals = {},
                     const std::vector<float>& uvs = {});
    int node(const nlohmann::json& node);  // appends to "nodes", returns its index

    std::string writeGltf(const std::string& path) const;
    std::string writeGlb(const std::string& path) const;

private:
    std::vector<unsigned char> bin_;
};

std::string base64(const std::vector<unsigned char>& bytes);

}  // namespace gltftest
