// A node's meshes into one polygon object.
//
// Every mesh appends its vertices to the object's points (host space) and its
// faces to the polygons, reversed so that the mirror keeps their front side:
// a triangle (a, b, c) becomes (a, c, b, b), a quad (a, b, c, d) stays a quad
// (a, d, c, b), so that the export splits it as it splits any quad; a larger
// polygon is split into a fan of triangles. Points and lines are skipped.
// Per mesh K of the node:
//   polygon selection "mesh K"      the mesh's polygons
//   texture tag                     its material, restricted to "mesh K",
//                                   projection UVW, offsets 0, lengths 1
//   UVW tag                         the uv set the material's diffuse texture
//                                   uses, (u, v, 0), v = 0 at the image's top
//   given normals + phong tag       the mesh's normals as (x, y, -z); flat
//                                   normals for a mesh without them
#include <cmath>

#include "host/assimp/import_context.h"

namespace host::assimp::detail {

namespace {

constexpr Int32 kTagOffsetU = 1000, kTagOffsetV = 1001, kTagLengthU = 1002, kTagLengthV = 1003;
constexpr Int32 kTagProjection = 1004, kTagRestriction = 1006, kTagTiling = 1007;
constexpr Int32 kProjectionUvw = 6;

const char* const kSkippedFaces = "points and lines skipped";
const char* const kUvSets = "uv sets not imported (an object keeps the set its texture uses)";
const char* const kVertexColours = "vertex colours not imported";
const char* const kBones = "bones not imported, skinned meshes keep their rest shape";
const char* const kMorphs = "morph targets not imported, meshes keep their base shape";

struct Corners {
    std::vector<Vector32> normals;
    std::vector<UVWStruct> uvw;
    bool anyUv = false;
};

Vector32 flatNormal(const std::vector<Vector>& points, const CPolygon& p) {
    const auto at = [&](Int32 i) { return points[static_cast<std::size_t>(i)]; };
    const Vector n = Normalize(Cross(at(p.b) - at(p.a), at(p.c) - at(p.a)) +
                               Cross(at(p.c) - at(p.a), at(p.d) - at(p.a)));
    return {static_cast<Float32>(n.x), static_cast<Float32>(n.y), static_cast<Float32>(n.z)};
}

void addRestrictedTexture(Context& ctx, PolygonObject& object, unsigned material,
                          const std::string& selection, std::size_t first, std::size_t end) {
    auto select = std::make_unique<SelectionTag>();
    select->SetName(String(selection));
    for (std::size_t i = first; i < end; ++i)
        select->GetBaseSelect()->Select(static_cast<Int32>(i));
    object.InsertTag(std::move(select));
    auto tag = std::make_unique<TextureTag>(Ttexture);
    BaseMaterial* m = ctx.materials[material];
    tag->SetName(m->GetName());
    tag->SetMaterial(m);
    BaseContainer& p = tag->params();
    p.Set(kTagOffsetU, GeData::Number(0.0));
    p.Set(kTagOffsetV, GeData::Number(0.0));
    p.Set(kTagLengthU, GeData::Number(1.0));
    p.Set(kTagLengthV, GeData::Number(1.0));
    p.Set(kTagProjection, GeData::Integer(kProjectionUvw));
    p.Set(kTagRestriction, GeData(String(selection)));
    p.Set(kTagTiling, GeData::Integer(1));
    object.InsertTag(std::move(tag));
}

void noteLosses(Context& ctx, const aiMesh& mesh, unsigned uvSet, const std::string& label) {
    for (unsigned k = 0; k < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++k)
        if (k != uvSet && mesh.HasTextureCoords(k))
            ctx.warnings.note(kUvSets, label + " set " + std::to_string(k));
    if (mesh.HasVertexColors(0)) ctx.warnings.note(kVertexColours, label);
    if (mesh.HasBones()) ctx.warnings.note(kBones, label);
    if (mesh.mNumAnimMeshes > 0) ctx.warnings.note(kMorphs, label);
}

// The host polygons of one face, reversed; none for points and lines.
void facePolygons(const aiFace& f, Int32 base, std::vector<CPolygon>& out) {
    const unsigned* i = f.mIndices;
    const auto at = [&](unsigned k) { return base + static_cast<Int32>(i[k]); };
    if (f.mNumIndices == 3) {
        out.push_back({at(0), at(2), at(1), at(1)});
    } else if (f.mNumIndices == 4) {
        out.push_back({at(0), at(3), at(2), at(1)});
    } else {
        for (unsigned k = 1; k + 1 < f.mNumIndices; ++k)
            out.push_back({at(0), at(k + 1), at(k), at(k)});
    }
}

// Appends one mesh; answers how many polygons it added.
std::size_t appendMesh(Context& ctx, const aiMesh& mesh, unsigned uvSet, PolygonObject& object,
                       Corners& corners, const std::string& label) {
    std::vector<Vector>& points = object.points();
    std::vector<CPolygon>& polygons = object.polygons();
    const auto base = static_cast<Int32>(points.size());
    if (mesh.mVertices == nullptr && mesh.mNumVertices > 0) ctx.fail(label + ": no positions");
    points.reserve(points.size() + mesh.mNumVertices);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        const aiVector3D& p = mesh.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            ctx.fail(label + ": vertex " + std::to_string(v) + " is not a finite point");
        points.push_back(ctx.space.point(p));
    }
    const bool normals = mesh.HasNormals();
    const aiVector3D* uv = mesh.HasTextureCoords(uvSet) ? mesh.mTextureCoords[uvSet] : nullptr;
    corners.anyUv = corners.anyUv || uv != nullptr;
    const std::size_t first = polygons.size();
    std::vector<CPolygon> face;
    bool skipped = false;
    for (unsigned k = 0; k < mesh.mNumFaces; ++k) {
        const aiFace& f = mesh.mFaces[k];
        for (unsigned c = 0; c < f.mNumIndices; ++c)
            if (f.mIndices[c] >= mesh.mNumVertices)
                ctx.fail(label + ": face " + std::to_string(k) + ": index " +
                         std::to_string(f.mIndices[c]) + " outside the " +
                         std::to_string(mesh.mNumVertices) + " vertices");
        skipped = skipped || f.mNumIndices < 3;
        if (f.mNumIndices < 3) continue;
        face.clear();
        facePolygons(f, base, face);
        for (const CPolygon& p : face) {
            polygons.push_back(p);
            const Int32 c[4] = {p.a, p.b, p.c, p.d};
            const Vector32 flat = normals ? Vector32() : flatNormal(points, p);
            UVWStruct e;
            Vector* slot[4] = {&e.a, &e.b, &e.c, &e.d};
            for (int j = 0; j < 4; ++j) {
                const auto v = static_cast<std::size_t>(c[j] - base);
                corners.normals.push_back(normals ? Space::normal(mesh.mNormals[v]) : flat);
                if (uv) *slot[j] = Vector(uv[v].x, uv[v].y, 0);
            }
            corners.uvw.push_back(e);
        }
    }
    if (skipped) ctx.warnings.note(kSkippedFaces, label);
    return polygons.size() - first;
}

}  // namespace

void importMeshes(Context& ctx, const aiNode& node, PolygonObject& object) {
    Corners corners;
    for (unsigned k = 0; k < node.mNumMeshes; ++k) {
        const unsigned index = node.mMeshes[k];
        if (index >= ctx.scene.mNumMeshes) ctx.fail("no mesh " + std::to_string(index));
        const aiMesh& mesh = *ctx.scene.mMeshes[index];
        const std::string name = text(mesh.mName);
        const std::string label =
            "mesh " + (name.empty() ? std::to_string(index) : "\"" + name + "\"");
        if (mesh.mMaterialIndex >= ctx.materials.size())
            ctx.fail(label + ": no material " + std::to_string(mesh.mMaterialIndex));
        const unsigned uvSet = ctx.uvSet[mesh.mMaterialIndex];
        noteLosses(ctx, mesh, uvSet, label);
        if (object.points().size() + mesh.mNumVertices > static_cast<std::size_t>(INT32_MAX) ||
            object.polygons().size() + 2 * std::size_t{mesh.mNumFaces} > INT32_MAX)
            ctx.fail(label + ": more points or polygons than an object can hold");
        const std::size_t first = object.polygons().size();
        const std::size_t added = appendMesh(ctx, mesh, uvSet, object, corners, label);
        if (added > 0)
            addRestrictedTexture(ctx, object, mesh.mMaterialIndex, "mesh " + std::to_string(k),
                                 first, first + added);
    }
    if (object.polygons().empty()) return;
    if (corners.anyUv) {
        auto tag = std::make_unique<UVWTag>();
        tag->data() = std::move(corners.uvw);
        object.InsertTag(std::move(tag));
    }
    object.setGivenNormals(std::move(corners.normals));
    object.InsertTag(std::make_unique<BaseTag>(Tphong));
}

}  // namespace host::assimp::detail
