#include "vxs/gltf_export.h"

#include <sys/stat.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

#include "platform/atomic_file.h"
#include "scenefile/scene_index.h"
#include "vxs/utf8_text.h"

namespace vxs {

using scenefile::Document;
using scenefile::Node;
using scenefile::NodeKind;
using scenefile::SceneIndex;
using scenefile::Value;

namespace {

using Matrix = std::array<double, 16>;  // row-major, row vectors
constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return r;
}

// A corner's glTF vertex: the scene vertex, and the bits of its normal and uv.
struct CornerKey {
    std::array<std::uint32_t, 6> v;
    bool operator==(const CornerKey& o) const { return v == o.v; }
};
struct CornerHash {
    std::size_t operator()(const CornerKey& k) const {
        std::size_t h = 1469598103934665603ull;
        for (std::uint32_t x : k.v) h = (h ^ x) * 1099511628211ull;
        return h;
    }
};

std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

std::string uriOf(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\')
            out += '/';
        else if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

// A triangles geometry's arrays as the scene file holds them: vertices
// (3 floats each), normals and uvs (3 and 2 floats), and per corner the
// index of its vertex, normal and uv. Normals or uvs without their index
// array are per vertex: their index is the vertex's.
struct Geometry {
    std::vector<float> vertices, normals, uvs;
    std::vector<std::int64_t> tris, triNormals, triUvs;
    bool hasNormals = false, hasUvs = false;
};

bool floatsOf(const Node& g, const char* name, std::vector<float>& out) {
    const Node* p = g.parameter(name);
    return p && p->value() && scenefile::flattenFloats(*p->value(), out);
}

bool intsOf(const Node& g, const char* name, std::vector<std::int64_t>& out) {
    const Node* p = g.parameter(name);
    return p && p->value() && scenefile::flattenInts(*p->value(), out);
}

// One kind of corner values (normals or uvs) and their index; false when
// they are missing or of the wrong shape.
bool cornerValues(const Node& g, Geometry& geo, const char* values, std::vector<float>& out,
                  std::size_t width, const char* indexName, std::vector<std::int64_t>& idx) {
    if (!floatsOf(g, values, out) || out.size() % width != 0) return false;
    if (!g.parameter(indexName)) {
        idx = geo.tris;
        return out.size() / width == geo.vertices.size() / 3;
    }
    return intsOf(g, indexName, idx) && idx.size() == geo.tris.size();
}

bool allInside(const std::vector<std::int64_t>& idx, std::size_t limit) {
    for (std::int64_t i : idx)
        if (i < 0 || static_cast<std::size_t>(i) >= limit) return false;
    return true;
}

// The geometry's arrays, or nullopt with a warning when the mesh is left
// out: no vertices or triangles of the right shape, or an index outside
// its array. Normals are made unit length; a zero or invalid one leaves the
// normals out, with a warning.
std::optional<Geometry> readGeometry(const Node& g, const std::string& where,
                                     std::vector<std::string>& warnings) {
    Geometry geo;
    if (!floatsOf(g, "vertices", geo.vertices) || !intsOf(g, "triangles", geo.tris) ||
        geo.vertices.size() % 3 || geo.tris.size() % 3) {
        warnings.push_back(where + "no vertices or triangles of the right shape; mesh left out");
        return std::nullopt;
    }
    geo.hasNormals =
        cornerValues(g, geo, "normals", geo.normals, 3, "triangles_norm", geo.triNormals);
    geo.hasUvs = cornerValues(g, geo, "uv_tex", geo.uvs, 2, "triangles_uv", geo.triUvs);
    if (!allInside(geo.tris, geo.vertices.size() / 3) ||
        (geo.hasNormals && !allInside(geo.triNormals, geo.normals.size() / 3)) ||
        (geo.hasUvs && !allInside(geo.triUvs, geo.uvs.size() / 2))) {
        warnings.push_back(where + "an index outside its array; mesh left out");
        return std::nullopt;
    }
    if (geo.hasNormals) {
        std::vector<float>& normals = geo.normals;
        for (std::size_t i = 0; i < normals.size(); i += 3) {
            float len = std::sqrt(normals[i] * normals[i] + normals[i + 1] * normals[i + 1] +
                                  normals[i + 2] * normals[i + 2]);
            if (!(len > 0.0f) || !std::isfinite(len)) {
                geo.hasNormals = false;
                warnings.push_back(where + "zero or invalid normals; normals left out");
                break;
            }
            for (int k = 0; k < 3; ++k) normals[i + k] /= len;
        }
    }
    return geo;
}

// glTF's vertices: one per distinct (vertex, normal, uv) of the corners,
// in order of first use, and per corner the index of its vertex.
struct Welded {
    std::vector<float> pos, nor, tex;
    std::vector<std::uint32_t> indices;
};

Welded weldCorners(const Geometry& geo) {
    Welded w;
    std::unordered_map<CornerKey, std::uint32_t, CornerHash> ids;
    w.indices.reserve(geo.tris.size());
    for (std::size_t c = 0; c < geo.tris.size(); ++c) {
        auto v = static_cast<std::size_t>(geo.tris[c]);
        CornerKey key{{static_cast<std::uint32_t>(v), 0, 0, 0, 0, 0}};
        const float* n = geo.hasNormals
                             ? &geo.normals[3 * static_cast<std::size_t>(geo.triNormals[c])]
                             : nullptr;
        const float* t =
            geo.hasUvs ? &geo.uvs[2 * static_cast<std::size_t>(geo.triUvs[c])] : nullptr;
        if (n) {
            key.v[1] = bitsOf(n[0]);
            key.v[2] = bitsOf(n[1]);
            key.v[3] = bitsOf(n[2]);
        }
        if (t) {
            key.v[4] = bitsOf(t[0]);
            key.v[5] = bitsOf(t[1]);
        }
        auto [it, added] = ids.emplace(key, static_cast<std::uint32_t>(w.pos.size() / 3));
        if (added) {
            w.pos.insert(w.pos.end(), &geo.vertices[3 * v], &geo.vertices[3 * v] + 3);
            if (n) w.nor.insert(w.nor.end(), n, n + 3);
            if (t) w.tex.insert(w.tex.end(), t, t + 2);
        }
        w.indices.push_back(it->second);
    }
    return w;
}

class Builder {
public:
    explicit Builder(const scenefile::Document& doc) : index_(doc) {
        model_.asset.version = "2.0";
        model_.asset.generator = "vxs";
        model_.scenes.emplace_back();
        model_.defaultScene = 0;
        for (const Node& n : doc.statements)
            if (int id = place(n); id >= 0) model_.scenes[0].nodes.push_back(id);
        if (model_.scenes[0].nodes.empty()) {
            // glTF has no empty scene object to write: an asset without scenes.
            model_.scenes.clear();
            model_.defaultScene = -1;
        }
        if (replacedBytes_ > 0) {
            summary_.warnings.push_back(
                "names that are not UTF-8: " + std::to_string(replacedBytes_) +
                " invalid bytes replaced with U+FFFD");
        }
        if (!buffer_.empty()) {
            model_.buffers.emplace_back();
            model_.buffers[0].data = std::move(buffer_);
        }
        summary_.nodes = model_.nodes.size();
        summary_.meshes = model_.meshes.size();
        summary_.materials = model_.materials.size();
        summary_.textures = model_.textures.size();
    }

    tinygltf::Model& model() { return model_; }
    GltfSummary& summary() { return summary_; }

private:
    // A node for a placed group or object block, -1 for anything else.
    int place(const Node& block) {
        if (block.kind != NodeKind::Block || block.define ||
            (block.word != "group" && block.word != "object"))
            return -1;
        tinygltf::Node node;
        node.name = text(block.name());
        Matrix m = kIdentity;
        std::vector<int> children;
        std::vector<const Node*> geometries;
        for (const Node& c : block.children) {
            if (c.kind == NodeKind::Transform || c.kind == NodeKind::SetTransform) {
                const auto* nums = c.value() ? c.value()->numbers() : nullptr;
                if (!nums || nums->size() != 16) continue;
                Matrix t;
                for (std::size_t i = 0; i < 16; ++i) t[i] = (*nums)[i].value;
                m = c.kind == NodeKind::SetTransform ? t : multiply(t, m);
            } else if (c.kind == NodeKind::Block && c.word == "geometry" &&
                       c.name() == "triangles") {
                geometries.push_back(&c);
            } else if (int id = place(c); id >= 0) {
                children.push_back(id);
            }
        }
        if (m != kIdentity) node.matrix.assign(m.begin(), m.end());
        node.children = std::move(children);
        if (block.word == "object" && !geometries.empty()) {
            tinygltf::Mesh mesh;
            mesh.name = node.name;
            int material = materialOf(block);
            for (const Node* g : geometries) primitive(*g, node.name, material, mesh);
            if (!mesh.primitives.empty()) {
                node.mesh = static_cast<int>(model_.meshes.size());
                model_.meshes.push_back(std::move(mesh));
            }
        }
        model_.nodes.push_back(std::move(node));
        return static_cast<int>(model_.nodes.size()) - 1;
    }

    int accessor(const void* data, std::size_t bytes, int componentType, int type,
                 std::size_t count, int target) {
        while (buffer_.size() % 4 != 0) buffer_.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer_.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer_.insert(buffer_.end(), p, p + bytes);
        model_.bufferViews.push_back(view);
        tinygltf::Accessor a;
        a.bufferView = static_cast<int>(model_.bufferViews.size()) - 1;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        model_.accessors.push_back(a);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    void primitive(const Node& g, const std::string& object, int material, tinygltf::Mesh& mesh) {
        const std::string where =
            "object \"" + object + "\" line " + std::to_string(g.pos.line) + ": ";
        const std::optional<Geometry> geo = readGeometry(g, where, summary_.warnings);
        if (!geo) return;
        const Welded w = weldCorners(*geo);
        if (w.pos.empty()) return;
        addPrimitive(w, material, mesh);
    }

    // The welded vertices as a primitive of `mesh`: their accessors (the
    // positions with their bounds) and the count in the summary.
    void addPrimitive(const Welded& w, int material, tinygltf::Mesh& mesh) {
        const std::size_t count = w.pos.size() / 3;
        tinygltf::Primitive prim;
        prim.mode = TINYGLTF_MODE_TRIANGLES;
        prim.material = material;
        int position = accessor(w.pos.data(), w.pos.size() * 4, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
        auto& pa = model_.accessors[static_cast<std::size_t>(position)];
        pa.minValues = {w.pos[0], w.pos[1], w.pos[2]};
        pa.maxValues = pa.minValues;
        for (std::size_t i = 0; i < w.pos.size(); ++i) {
            pa.minValues[i % 3] = std::min(pa.minValues[i % 3], static_cast<double>(w.pos[i]));
            pa.maxValues[i % 3] = std::max(pa.maxValues[i % 3], static_cast<double>(w.pos[i]));
        }
        prim.attributes["POSITION"] = position;
        if (!w.nor.empty())
            prim.attributes["NORMAL"] =
                accessor(w.nor.data(), w.nor.size() * 4, TINYGLTF_COMPONENT_TYPE_FLOAT,
                         TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
        if (!w.tex.empty())
            prim.attributes["TEXCOORD_0"] =
                accessor(w.tex.data(), w.tex.size() * 4, TINYGLTF_COMPONENT_TYPE_FLOAT,
                         TINYGLTF_TYPE_VEC2, count, TINYGLTF_TARGET_ARRAY_BUFFER);
        prim.indices =
            accessor(w.indices.data(), w.indices.size() * 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                     TINYGLTF_TYPE_SCALAR, w.indices.size(), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        mesh.primitives.push_back(std::move(prim));
        ++summary_.primitives;
        summary_.vertices += count;
        summary_.triangles += w.indices.size() / 3;
    }

    // The glTF material of an object's scene material, made once per name.
    int materialOf(const Node& object) {
        const Node* block = index_.materialOf(object);
        if (!block) return -1;
        std::string name(block->name());
        if (auto it = materials_.find(name); it != materials_.end()) return it->second;
        tinygltf::Material m;
        m.name = text(name);
        m.pbrMetallicRoughness.metallicFactor = 0.0;
        m.pbrMetallicRoughness.roughnessFactor = 1.0;
        if (const Node* surface = index_.surfaceOf(*block)) {
            for (const Node& p : surface->children) {
                if (p.kind != NodeKind::Parameter || !p.value()) continue;
                std::vector<double> nums;
                bool numeric = scenefile::flattenNumbers(*p.value(), nums) && nums.size() == 3;
                if (p.word == "diffuse" && numeric &&
                    m.pbrMetallicRoughness.baseColorTexture.index < 0)
                    m.pbrMetallicRoughness.baseColorFactor = {nums[0], nums[1], nums[2], 1.0};
                if (p.word == "diffuse" && p.value()->linked)
                    texture(index_.shaderOf(*p.value()), m);
                if (p.word == "color" && numeric &&
                    (shaderType(*surface) == "tal_point_light" ||
                     shaderType(*surface) == "tal_mesh_light")) {
                    m.emissiveFactor = {std::min(nums[0], 1.0), std::min(nums[1], 1.0),
                                        std::min(nums[2], 1.0)};
                    m.pbrMetallicRoughness.baseColorFactor = {nums[0], nums[1], nums[2], 1.0};
                }
                if (p.word == "roughness" && scenefile::flattenNumbers(*p.value(), nums) &&
                    nums.size() == 1)
                    m.pbrMetallicRoughness.roughnessFactor = std::clamp(nums[0], 0.0, 1.0);
            }
        }
        model_.materials.push_back(std::move(m));
        int id = static_cast<int>(model_.materials.size()) - 1;
        materials_.emplace(name, id);
        return id;
    }

    // A linked texture shader as the base colour texture.
    void texture(const Node* shader, tinygltf::Material& m) {
        std::string_view file = shader ? textOf(*shader, "texture") : std::string_view{};
        if (file.empty()) return;
        tinygltf::Image image;
        image.uri = text(uriOf(std::string(file)));
        model_.images.push_back(image);
        tinygltf::Sampler sampler;
        const Node* wrap = shader->parameter("wrap");
        bool repeat = !wrap || !wrap->value() || !std::holds_alternative<bool>(wrap->value()->v) ||
                      std::get<bool>(wrap->value()->v);
        sampler.wrapS = sampler.wrapT =
            repeat ? TINYGLTF_TEXTURE_WRAP_REPEAT : TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
        model_.samplers.push_back(sampler);
        tinygltf::Texture tex;
        tex.source = static_cast<int>(model_.images.size()) - 1;
        tex.sampler = static_cast<int>(model_.samplers.size()) - 1;
        model_.textures.push_back(tex);
        m.pbrMetallicRoughness.baseColorTexture.index =
            static_cast<int>(model_.textures.size()) - 1;
        m.pbrMetallicRoughness.baseColorFactor = {1.0, 1.0, 1.0, 1.0};
    }

    // Names and paths as glTF's JSON needs them: UTF-8.
    std::string text(std::string_view bytes) { return validUtf8(bytes, replacedBytes_); }

    SceneIndex index_;
    std::size_t replacedBytes_ = 0;
    tinygltf::Model model_;
    std::vector<unsigned char> buffer_;
    std::map<std::string, int> materials_;
    GltfSummary summary_;
};

}  // namespace

namespace {

std::string serialise(tinygltf::Model& model, bool binary) {
    tinygltf::TinyGLTF gltf;
    gltf.SetImageWriter(nullptr, nullptr);  // images stay references to the scene's texture files
    std::ostringstream out;
    if (!gltf.WriteGltfSceneToStream(&model, out, true, binary) || !out)
        throw std::runtime_error("cannot serialise the glTF model");
    return std::move(out).str();
}

[[noreturn]] void cannotWrite(const std::string& path, const std::string& reason) {
    throw std::runtime_error("cannot write \"" + path + "\": " + reason);
}

void open(platform::AtomicFile& file, const std::string& path) {
    std::string error;
    if (!file.open(path, error)) cannotWrite(path, error);
}

void writeAll(platform::AtomicFile& file, const std::string& path, const void* bytes,
              std::size_t length) {
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(file.fd(), next, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) cannotWrite(path, std::strerror(n < 0 ? errno : EIO));
        next += n;
        length -= static_cast<std::size_t>(n);
    }
}

void commit(platform::AtomicFile& file, const std::string& path) {
    std::string error;
    if (!file.commit(error)) cannotWrite(path, error);
}

// A .gltf and its .bin. Both are written in full before either replaces
// anything, so a failed write (a full disk, a size limit) leaves the earlier
// pair as it was. Then the .bin goes first, so that a reader never finds a
// new .gltf naming a missing buffer; should the .gltf's own rename fail after
// that, a .bin that did not exist before is removed again.
void writeGltfAndBuffer(const std::string& path, const std::string& json,
                        const std::string& binPath, const std::vector<unsigned char>& bin) {
    struct stat info {};
    const bool binExisted = ::lstat(binPath.c_str(), &info) == 0;
    platform::AtomicFile binFile, gltfFile;
    open(binFile, binPath);
    open(gltfFile, path);
    writeAll(binFile, binPath, bin.data(), bin.size());
    writeAll(gltfFile, path, json.data(), json.size());
    commit(binFile, binPath);
    try {
        commit(gltfFile, path);
    } catch (...) {
        if (!binExisted) ::unlink(binPath.c_str());
        throw;
    }
}

}  // namespace

GltfSummary writeGltf(const scenefile::Document& doc, const std::string& path) {
    namespace fs = std::filesystem;
    Builder builder(doc);
    tinygltf::Model& model = builder.model();
    if (fs::path(path).extension() == ".glb") {
        const std::string bytes = serialise(model, true);
        std::string error;
        if (!platform::writeFileAtomically(path, bytes.data(), bytes.size(), error))
            cannotWrite(path, error);
        return builder.summary();
    }
    if (model.buffers.empty()) {
        const std::string json = serialise(model, false);
        std::string error;
        if (!platform::writeFileAtomically(path, json.data(), json.size(), error))
            cannotWrite(path, error);
        return builder.summary();
    }
    // The buffer goes to its own file; the serialiser would embed it.
    const std::string binName = fs::path(path).stem().string() + ".bin";
    const std::string binPath = (fs::path(path).parent_path() / binName).string();
    if (fs::path(path).filename() == binName)
        throw std::runtime_error("\"" + path + "\" would be its own buffer file; name it .gltf");
    const std::vector<unsigned char> bin = std::move(model.buffers[0].data);
    model.buffers[0].data.clear();
    nlohmann::json json = nlohmann::json::parse(serialise(model, false));
    json["buffers"][0] = {{"byteLength", bin.size()}, {"uri", binName}};
    writeGltfAndBuffer(path, json.dump(2) + "\n", binPath, bin);
    return builder.summary();
}

}  // namespace vxs
