#include "gltf_builder.h"

#include <cstring>
#include <fstream>

namespace gltftest {

namespace {

void align4(std::vector<unsigned char>& bytes, unsigned char pad) {
    while (bytes.size() % 4) bytes.push_back(pad);
}

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

}  // namespace

std::string base64(const std::vector<unsigned char>& bytes) {
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) v |= bytes[i + 2];
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? table[v & 63] : '=';
    }
    return out;
}

GltfBuilder::GltfBuilder() {
    j = {{"asset", {{"version", "2.0"}}},
         {"scene", 0},
         {"scenes", {{{"nodes", nlohmann::json::array()}}}}};
}

int GltfBuilder::bufferView(const std::vector<unsigned char>& bytes) {
    align4(bin_, 0);
    const std::size_t offset = bin_.size();
    bin_.insert(bin_.end(), bytes.begin(), bytes.end());
    j["bufferViews"].push_back(
        {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", bytes.size()}});
    return static_cast<int>(j["bufferViews"].size() - 1);
}

int GltfBuilder::accessor(const std::vector<float>& values, const std::string& type) {
    std::vector<unsigned char> bytes(values.size() * 4);
    std::memcpy(bytes.data(), values.data(), bytes.size());
    const int width = type == "SCALAR" ? 1 : type[3] - '0';
    const int view = bufferView(bytes);
    j["accessors"].push_back({{"bufferView", view},
                              {"componentType", 5126},
                              {"count", values.size() / static_cast<std::size_t>(width)},
                              {"type", type}});
    return static_cast<int>(j["accessors"].size() - 1);
}

int GltfBuilder::indices(const std::vector<std::uint16_t>& values) {
    std::vector<unsigned char> bytes(values.size() * 2);
    std::memcpy(bytes.data(), values.data(), bytes.size());
    const int view = bufferView(bytes);
    j["accessors"].push_back({{"bufferView", view},
                              {"componentType", 5123},
                              {"count", values.size()},
                              {"type", "SCALAR"}});
    return static_cast<int>(j["accessors"].size() - 1);
}

int GltfBuilder::triangleMesh(const std::vector<float>& positions,
                              const std::vector<std::uint16_t>& index, int material,
                              const std::vector<float>& normals, const std::vector<float>& uvs) {
    nlohmann::json prim = {{"attributes", {{"POSITION", accessor(positions, "VEC3")}}},
                           {"indices", indices(index)}};
    if (!normals.empty()) prim["attributes"]["NORMAL"] = accessor(normals, "VEC3");
    if (!uvs.empty()) prim["attributes"]["TEXCOORD_0"] = accessor(uvs, "VEC2");
    if (material >= 0) prim["material"] = material;
    j["meshes"].push_back({{"primitives", {prim}}});
    return static_cast<int>(j["meshes"].size() - 1);
}

int GltfBuilder::node(const nlohmann::json& node) {
    j["nodes"].push_back(node);
    return static_cast<int>(j["nodes"].size() - 1);
}

std::string GltfBuilder::writeGltf(const std::string& path) const {
    nlohmann::json out = j;
    if (!bin_.empty())
        out["buffers"] = {{{"byteLength", bin_.size()},
                           {"uri", "data:application/octet-stream;base64," + base64(bin_)}}};
    std::ofstream(path, std::ios::binary) << out.dump(1);
    return path;
}

std::string GltfBuilder::writeGlb(const std::string& path) const {
    nlohmann::json out = j;
    out["buffers"] = {{{"byteLength", bin_.size()}}};
    std::string json = out.dump();
    while (json.size() % 4) json += ' ';
    std::vector<unsigned char> bin = bin_;
    align4(bin, 0);
    std::string glb = "glTF";
    put32(glb, 2);
    put32(glb, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    put32(glb, static_cast<std::uint32_t>(json.size()));
    glb += "JSON" + json;
    put32(glb, static_cast<std::uint32_t>(bin.size()));
    glb += "BIN";
    glb += '\0';
    glb.append(reinterpret_cast<const char*>(bin.data()), bin.size());
    std::ofstream(path, std::ios::binary) << glb;
    return path;
}

}  // namespace gltftest
