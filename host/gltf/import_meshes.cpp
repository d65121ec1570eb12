// glTF meshes into polygon objects.
//
// Every primitive appends its vertices to the object's points (host space)
// and its triangles to the polygons, reversed (a, c, b) so that the mirror
// keeps their front side; strips and fans are unrolled into triangles.
// Per primitive K, polygons and corners:
//   polygon selection "primitive K"     the primitive's polygons
//   texture tag                         when the primitive has a material:
//     material                            the host material of that glTF material
//     1004 projection 6 (UVW)             the mesh's own coordinates
//     1006 restriction "primitive K"
//     1000, 1001 offset 0; 1002, 1003 length 1 (a texture transform is baked
//     into the coordinates); 1007 tiling: 0 when the sampler clamps both ways
//   UVW tag                             TEXCOORD_n of the set the material's base
//                                       colour texture uses (0 without one), (u, v, 0);
//                                       zeros for primitives without it
//   given normals + phong tag           NORMAL as (x, y, -z); where a primitive has
//                                       none, its polygons' own flat normals
#include <cmath>

#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

constexpr Int32 kTagOffsetU = 1000, kTagOffsetV = 1001, kTagLengthU = 1002, kTagLengthV = 1003;
constexpr Int32 kTagProjection = 1004, kTagRestriction = 1006, kTagTiling = 1007;
constexpr Int32 kProjectionUvw = 6;

struct Triangle {
    std::uint32_t a, b, c;
};

std::vector<Triangle> triangles(const Context& ctx, const tinygltf::Primitive& p,
                                std::size_t vertexCount, const std::string& path) {
    std::vector<std::uint32_t> index;
    if (p.indices >= 0) {
        index = readIndices(ctx, p.indices, path + ".indices");
        for (const std::uint32_t i : index)
            if (i >= vertexCount)
                ctx.fail(path + ".indices", "index " + std::to_string(i) + " outside the " +
                                                std::to_string(vertexCount) + " vertices");
    } else {
        index.resize(vertexCount);
        for (std::size_t i = 0; i < vertexCount; ++i) index[i] = static_cast<std::uint32_t>(i);
    }
    std::vector<Triangle> out;
    const std::size_t n = index.size();
    const int mode = p.mode < 0 ? TINYGLTF_MODE_TRIANGLES : p.mode;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        if (n % 3 != 0)
            ctx.fail(path, std::to_string(n) + " vertex indices do not make whole triangles");
        out.reserve(n / 3);
        for (std::size_t i = 0; i + 2 < n; i += 3)
            out.push_back({index[i], index[i + 1], index[i + 2]});
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        for (std::size_t i = 0; i + 2 < n; ++i)
            out.push_back(i % 2 == 0 ? Triangle{index[i], index[i + 1], index[i + 2]}
                                     : Triangle{index[i + 1], index[i], index[i + 2]});
    } else {  // fan
        for (std::size_t i = 1; i + 1 < n; ++i) out.push_back({index[i], index[i + 1], index[0]});
    }
    return out;
}

// KHR_texture_transform of the base colour texture: uv' = T * R * S * uv.
struct UvTransform {
    double offset[2] = {0, 0}, scale[2] = {1, 1}, rotation = 0;
    bool identity = true;
    void apply(float& u, float& v) const {
        if (identity) return;
        const double su = u * scale[0], sv = v * scale[1];
        const double c = std::cos(rotation), s = std::sin(rotation);
        u = static_cast<float>(c * su + s * sv + offset[0]);
        v = static_cast<float>(-s * su + c * sv + offset[1]);
    }
};

double number(const tinygltf::Value& v, double preset) {
    return v.IsNumber() ? v.GetNumberAsDouble() : preset;
}

UvTransform uvTransform(const Context& ctx, int material) {
    UvTransform t;
    if (material < 0) return t;
    const tinygltf::TextureInfo& info = ctx.model.materials[static_cast<std::size_t>(material)]
                                            .pbrMetallicRoughness.baseColorTexture;
    const auto it = info.extensions.find("KHR_texture_transform");
    if (info.index < 0 || it == info.extensions.end() || !it->second.IsObject()) return t;
    const tinygltf::Value& x = it->second;
    if (x.Has("offset") && x.Get("offset").IsArray() && x.Get("offset").ArrayLen() == 2)
        t.offset[0] = number(x.Get("offset").Get(0), 0),
        t.offset[1] = number(x.Get("offset").Get(1), 0);
    if (x.Has("scale") && x.Get("scale").IsArray() && x.Get("scale").ArrayLen() == 2)
        t.scale[0] = number(x.Get("scale").Get(0), 1),
        t.scale[1] = number(x.Get("scale").Get(1), 1);
    if (x.Has("rotation")) t.rotation = number(x.Get("rotation"), 0);
    t.identity = t.offset[0] == 0 && t.offset[1] == 0 && t.scale[0] == 1 && t.scale[1] == 1 &&
                 t.rotation == 0;
    return t;
}

bool clamps(const Context& ctx, int material) {
    if (material < 0) return false;
    const int texture = ctx.model.materials[static_cast<std::size_t>(material)]
                            .pbrMetallicRoughness.baseColorTexture.index;
    if (texture < 0 || static_cast<std::size_t>(texture) >= ctx.model.textures.size()) return false;
    const int sampler = ctx.model.textures[static_cast<std::size_t>(texture)].sampler;
    if (sampler < 0 || static_cast<std::size_t>(sampler) >= ctx.model.samplers.size()) return false;
    const tinygltf::Sampler& s = ctx.model.samplers[static_cast<std::size_t>(sampler)];
    return s.wrapS == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE &&
           s.wrapT == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
}

Vector32 flatNormal(const std::vector<Vector>& points, const CPolygon& p) {
    const Vector n = Normalize(
        Cross(points[static_cast<std::size_t>(p.b)] - points[static_cast<std::size_t>(p.a)],
              points[static_cast<std::size_t>(p.c)] - points[static_cast<std::size_t>(p.a)]));
    return {static_cast<Float32>(n.x), static_cast<Float32>(n.y), static_cast<Float32>(n.z)};
}

void addRestrictedTexture(Context& ctx, PolygonObject& object, int material,
                          const std::string& selection, std::size_t first, std::size_t end) {
    auto select = std::make_unique<SelectionTag>();
    select->SetName(String(selection));
    for (std::size_t i = first; i < end; ++i)
        select->GetBaseSelect()->Select(static_cast<Int32>(i));
    object.InsertTag(std::move(select));

    auto tag = std::make_unique<TextureTag>(Ttexture);
    BaseMaterial* m = ctx.materials[static_cast<std::size_t>(material)];
    tag->SetName(m->GetName());
    tag->SetMaterial(m);
    BaseContainer& p = tag->params();
    p.Set(kTagOffsetU, GeData::Number(0.0));
    p.Set(kTagOffsetV, GeData::Number(0.0));
    p.Set(kTagLengthU, GeData::Number(1.0));
    p.Set(kTagLengthV, GeData::Number(1.0));
    p.Set(kTagProjection, GeData::Integer(kProjectionUvw));
    p.Set(kTagRestriction, GeData(String(selection)));
    p.Set(kTagTiling, GeData::Integer(clamps(ctx, material) ? 0 : 1));
    object.InsertTag(std::move(tag));
}

// Whether a primitive makes polygons: points and lines are noted and
// skipped; an unknown mode or material fails the import.
bool makesPolygons(Context& ctx, const tinygltf::Primitive& prim, const std::string& path,
                   const std::string& label) {
    if (prim.mode >= TINYGLTF_MODE_POINTS && prim.mode <= TINYGLTF_MODE_LINE_STRIP) {
        ctx.warnings.note(kind::kPrimitives,
                          label + " (" + (prim.mode == 0 ? "points" : "lines") + ")");
        return false;
    }
    if (prim.mode > TINYGLTF_MODE_TRIANGLE_FAN)
        ctx.fail(path + ".mode", "unknown primitive mode " + std::to_string(prim.mode));
    if (prim.material >= 0 && static_cast<std::size_t>(prim.material) >= ctx.materials.size())
        ctx.fail(path + ".material", "no material " + std::to_string(prim.material));
    if (!prim.targets.empty()) ctx.warnings.note(kind::kMorphTargets, label);
    return true;
}

// A primitive's vertices as read: positions (3 per vertex), normals (3 per
// vertex, empty without NORMAL) and texture coordinates of the set its
// material's base colour texture uses (2 per vertex, the texture transform
// applied; empty without that set).
struct Vertices {
    std::vector<float> xyz, n, st;
    std::size_t count = 0;
    bool hasNormals = false, hasUv = false;
};

Vertices readVertices(Context& ctx, const tinygltf::Primitive& prim, const std::string& path,
                      const std::string& label) {
    const int uvSet =
        prim.material >= 0
            ? std::max(0, ctx.baseColourTexCoord[static_cast<std::size_t>(prim.material)])
            : 0;
    const auto position = prim.attributes.find("POSITION");
    if (position == prim.attributes.end()) ctx.fail(path + ".attributes", "no POSITION");
    int normal = -1, uv = -1;
    for (const auto& [name, accessor] : prim.attributes) {
        if (name == "NORMAL") normal = accessor;
        if (name == "TEXCOORD_" + std::to_string(uvSet))
            uv = accessor;
        else if (name.rfind("TEXCOORD_", 0) == 0)
            ctx.warnings.note(kind::kUvSets, label + " " + name);
        if (name.rfind("COLOR_", 0) == 0) ctx.warnings.note(kind::kVertexColours, label);
    }
    Vertices v;
    v.xyz = readFloats(ctx, position->second, 3, path + ".attributes.POSITION");
    v.count = v.xyz.size() / 3;
    const auto check = [&](const std::vector<float>& values, std::size_t width, const char* name) {
        if (values.size() != v.count * width)
            ctx.fail(path + ".attributes." + name, std::to_string(values.size() / width) +
                                                       " elements for " + std::to_string(v.count) +
                                                       " vertices");
    };
    v.hasNormals = normal >= 0;
    v.hasUv = uv >= 0;
    if (v.hasNormals)
        check(v.n = readFloats(ctx, normal, 3, path + ".attributes.NORMAL"), 3, "NORMAL");
    if (v.hasUv) {
        const std::string name = "TEXCOORD_" + std::to_string(uvSet);
        check(v.st = readFloats(ctx, uv, 2, path + ".attributes." + name), 2, name.c_str());
        const UvTransform transform = uvTransform(ctx, prim.material);
        for (std::size_t i = 0; i < v.count; ++i) transform.apply(v.st[2 * i], v.st[2 * i + 1]);
    }
    return v;
}

// What the primitives of one mesh add up to besides the object's points and
// polygons: four corner normals and one UVW entry per polygon.
struct MeshCorners {
    std::vector<Vector32> normals;
    std::vector<UVWStruct> uvw;
    bool anyUv = false;
};

// Appends a primitive's vertices to the object's points and its triangles,
// reversed, to its polygons, with their corners' normals and coordinates.
void appendPrimitive(PolygonObject& object, const Vertices& v, const std::vector<Triangle>& tris,
                     MeshCorners& corners) {
    std::vector<Vector>& points = object.points();
    std::vector<CPolygon>& polygons = object.polygons();
    const auto base = static_cast<Int32>(points.size());
    points.reserve(points.size() + v.count);
    for (std::size_t i = 0; i < v.count; ++i)
        points.push_back(hostPoint(v.xyz[3 * i], v.xyz[3 * i + 1], v.xyz[3 * i + 2]));
    // Per vertex first, then copied to the corners that use it.
    std::vector<Vector32> vertexNormals;
    if (v.hasNormals) {
        vertexNormals.reserve(v.count);
        for (std::size_t i = 0; i < v.count; ++i)
            vertexNormals.push_back(hostNormal(v.n[3 * i], v.n[3 * i + 1], v.n[3 * i + 2]));
    }
    polygons.reserve(polygons.size() + tris.size());
    corners.normals.reserve(corners.normals.size() + 4 * tris.size());
    corners.uvw.reserve(corners.uvw.size() + tris.size());
    corners.anyUv = corners.anyUv || v.hasUv;
    const auto uvAt = [&](std::uint32_t i) {
        const std::size_t at = 2 * std::size_t{i};
        return Vector(v.st[at], v.st[at + 1], 0);
    };
    for (const Triangle& t : tris) {
        // Reversed: the host's (a, b, c) is glTF's (a, c, b).
        const CPolygon p{base + static_cast<Int32>(t.a), base + static_cast<Int32>(t.c),
                         base + static_cast<Int32>(t.b), base + static_cast<Int32>(t.b)};
        polygons.push_back(p);
        if (v.hasNormals) {
            corners.normals.insert(corners.normals.end(), {vertexNormals[t.a], vertexNormals[t.c],
                                                           vertexNormals[t.b], vertexNormals[t.b]});
        } else {
            const Vector32 flat = flatNormal(points, p);
            corners.normals.insert(corners.normals.end(), {flat, flat, flat, flat});
        }
        UVWStruct e;
        if (v.hasUv) {
            e.a = uvAt(t.a);
            e.b = uvAt(t.c);
            e.c = e.d = uvAt(t.b);
        }
        corners.uvw.push_back(e);
    }
}

}  // namespace

void importMesh(Context& ctx, int meshIndex, PolygonObject& object, const std::string& nodePath) {
    if (meshIndex < 0 || static_cast<std::size_t>(meshIndex) >= ctx.model.meshes.size())
        ctx.fail(nodePath + ".mesh", "no mesh " + std::to_string(meshIndex));
    const tinygltf::Mesh& mesh = ctx.model.meshes[static_cast<std::size_t>(meshIndex)];
    const std::string meshPath = indexPath("meshes", static_cast<std::size_t>(meshIndex));
    const std::string label = mesh.name.empty() ? meshPath : "\"" + mesh.name + "\"";

    const std::vector<CPolygon>& polygons = object.polygons();
    MeshCorners corners;
    for (std::size_t k = 0; k < mesh.primitives.size(); ++k) {
        const tinygltf::Primitive& prim = mesh.primitives[k];
        const std::string path = meshPath + indexPath(".primitives", k);
        if (!makesPolygons(ctx, prim, path, label)) continue;
        const Vertices vertices = readVertices(ctx, prim, path, label);
        const std::vector<Triangle> tris = triangles(ctx, prim, vertices.count, path);
        if (object.points().size() + vertices.count > static_cast<std::size_t>(INT32_MAX) ||
            polygons.size() + tris.size() > static_cast<std::size_t>(INT32_MAX))
            ctx.fail(meshPath, "more points or polygons than an object can hold");
        const std::size_t first = polygons.size();
        appendPrimitive(object, vertices, tris, corners);
        if (prim.material >= 0 && polygons.size() > first)
            addRestrictedTexture(ctx, object, prim.material, "primitive " + std::to_string(k),
                                 first, polygons.size());
    }
    if (polygons.empty()) return;
    if (corners.anyUv) {
        auto tag = std::make_unique<UVWTag>();
        tag->data() = std::move(corners.uvw);
        object.InsertTag(std::move(tag));
    }
    object.setGivenNormals(std::move(corners.normals));
    object.InsertTag(std::make_unique<BaseTag>(Tphong));
}

}  // namespace host::gltf::detail
