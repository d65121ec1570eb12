#include "preview/scene_model.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "preview/camera.h"
#include "preview/materials.h"
#include "scenefile/scene_index.h"

namespace preview {

using scenefile::Node;
using scenefile::NodeKind;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Floats of a parameter: read in place from its binary array (the exporter's
// form), else copied out of its text numbers.
class Floats {
public:
    bool read(const Node& g, const char* name) {
        const Node* p = g.parameter(name);
        if (!p || !p->value()) return false;
        if (const scenefile::BinaryArray* bin = binaryOf(*p->value()))
            if (const auto* f = std::get_if<std::vector<float>>(&bin->values)) {
                data_ = f->data(), size_ = f->size();
                return true;
            }
        if (!scenefile::flattenFloats(*p->value(), owned_)) return false;
        data_ = owned_.data(), size_ = owned_.size();
        return true;
    }
    const float* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    float operator[](std::size_t i) const { return data_[i]; }
    void clear() { data_ = nullptr, size_ = 0; }

    // The one binary array a value holds, bare or as an array's only item.
    static const scenefile::BinaryArray* binaryOf(const scenefile::Value& v) {
        if (const auto* bin = v.binary()) return bin;
        const scenefile::Array* a = v.array();
        return a && a->items.size() == 1 ? a->items.front().binary() : nullptr;
    }

private:
    const float* data_ = nullptr;
    std::size_t size_ = 0;
    std::vector<float> owned_;
};

// Indices of a parameter, each 0..UINT32_MAX; false for anything else.
bool indicesOf(const Node& g, const char* name, std::vector<std::uint32_t>& out) {
    const Node* p = g.parameter(name);
    if (!p || !p->value()) return false;
    const scenefile::BinaryArray* bin = Floats::binaryOf(*p->value());
    if (const auto* ints = bin ? std::get_if<std::vector<std::int32_t>>(&bin->values) : nullptr) {
        if (std::any_of(ints->begin(), ints->end(), [](std::int32_t i) { return i < 0; }))
            return false;
        out.assign(ints->begin(), ints->end());
        return true;
    }
    std::vector<std::int64_t> wide;
    if (!scenefile::flattenInts(*p->value(), wide) ||
        std::any_of(wide.begin(), wide.end(),
                    [](std::int64_t i) { return i < 0 || i > UINT32_MAX; }))
        return false;
    out.assign(wide.begin(), wide.end());
    return true;
}

// A triangles geometry's arrays as the file holds them.
struct Arrays {
    Floats vertices, normals, uvs;
    std::vector<std::uint32_t> tris, triNormals, triUvs;
};

bool allBelow(const std::vector<std::uint32_t>& idx, std::size_t limit) {
    return std::all_of(idx.begin(), idx.end(), [&](std::uint32_t i) { return i < limit; });
}

// Corner values (normals or uvs): present, of whole elements, with an index
// per corner (their own, else the vertex's). Empty `values` when absent.
bool cornerValues(const Node& g, const Arrays& a, const char* name, std::size_t width,
                  const char* indexName, Floats& values, std::vector<std::uint32_t>& index) {
    if (!g.parameter(name)) return true;
    if (!values.read(g, name) || values.size() % width != 0) return false;
    if (!g.parameter(indexName)) {
        index = a.tris;
        return values.size() / width == a.vertices.size() / 3;
    }
    return indicesOf(g, indexName, index) && index.size() == a.tris.size() &&
           allBelow(index, values.size() / width);
}

// The arrays, or a reason why the mesh cannot be drawn.
std::unique_ptr<Arrays> readArrays(const Node& g, std::string& reason) {
    auto a = std::make_unique<Arrays>();
    if (!a->vertices.read(g, "vertices") || !indicesOf(g, "triangles", a->tris) ||
        a->vertices.size() % 3 || a->tris.size() % 3) {
        reason = "no vertices or triangles of the right shape";
        return nullptr;
    }
    if (a->vertices.size() / 3 > UINT32_MAX || !allBelow(a->tris, a->vertices.size() / 3)) {
        reason = "a triangle names a vertex that is not there";
        return nullptr;
    }
    if (!cornerValues(g, *a, "normals", 3, "triangles_norm", a->normals, a->triNormals))
        a->normals.clear(), a->triNormals.clear(), reason = "normals that do not fit; drawn flat";
    if (!cornerValues(g, *a, "uv_tex", 2, "triangles_uv", a->uvs, a->triUvs))
        a->uvs.clear(), a->triUvs.clear(), reason = "uvs that do not fit; drawn without them";
    return a;
}

struct Builder {
    const scenefile::SceneIndex& index;
    MaterialTable& materials;
    RenderModel& model;
    const std::string& cameraName;
    const Node* camera = nullptr;
    Matrix cameraParent = kIdentity;
    bool anyMesh = false;

    void walk(const std::vector<Node>& nodes, const Matrix& parent, const Node* object);
    void geometry(const Node& g, const Matrix& m, const Node* object);
    Mesh mesh(Arrays& a, const Matrix& m, const ObjectMaterial& om) const;
    // Adds the lights of a light object; answers a mesh light's radiance.
    Vec3 light(const Mesh& mesh, const ObjectMaterial& om);
};

void Builder::walk(const std::vector<Node>& nodes, const Matrix& parent, const Node* object) {
    for (const Node& n : nodes) {
        if (n.kind != NodeKind::Block || n.define) continue;
        if (n.word == "group" || n.word == "object") {
            walk(n.children, multiply(localMatrix(n), parent), n.word == "object" ? &n : object);
        } else if (n.word == "geometry" && n.name() == "triangles") {
            geometry(n, parent, object);
        } else if (n.word == "camera" && !camera &&
                   (cameraName.empty() || n.name() == cameraName)) {
            camera = &n;
            cameraParent = parent;
        }
    }
}

void Builder::geometry(const Node& g, const Matrix& m, const Node* object) {
    const std::string where = "object \"" + std::string(object ? object->name() : "") + "\" line " +
                              std::to_string(g.pos.line) + ": ";
    std::string reason;
    const std::unique_ptr<Arrays> a = readArrays(g, reason);
    if (!reason.empty()) model.warnings.push_back(where + reason + (a ? "" : "; mesh left out"));
    if (!a || a->tris.empty()) return;
    const ObjectMaterial& om = materials.forObject(object);
    Mesh built = mesh(*a, m, om);
    if (om.light != LightKind::None) {
        const Vec3 radiance = light(built, om);
        if (om.light == LightKind::Point || !om.visibleToEye) return;
        // Seen by the camera: an emitter of its own radiance (each light has its own area).
        Material emitter;
        emitter.diffuse = {};
        emitter.emission = radiance;
        model.materials.push_back(emitter);
        built.material = static_cast<int>(model.materials.size()) - 1;
    }
    model.meshes.push_back(std::move(built));
    anyMesh = true;
}

Mesh Builder::mesh(Arrays& a, const Matrix& m, const ObjectMaterial& om) const {
    Mesh out;
    out.material = om.material;
    out.vertexCount = a.vertices.size() / 3;
    out.positions.resize(a.vertices.size() + 4, 0.0f);  // Embree reads 16 bytes at a time
    for (std::size_t i = 0; i < a.vertices.size(); i += 3) {
        const Vec3 p = transformPoint(m, {a.vertices[i], a.vertices[i + 1], a.vertices[i + 2]});
        out.positions[i] = p.x, out.positions[i + 1] = p.y, out.positions[i + 2] = p.z;
    }
    out.triangles = std::move(a.tris);
    if (!a.normals.empty()) {
        const Matrix nm = normalMatrix(m);
        out.normals.resize(a.normals.size());
        for (std::size_t i = 0; i < a.normals.size(); i += 3) {
            Vec3 n =
                normalize(transformVector(nm, {a.normals[i], a.normals[i + 1], a.normals[i + 2]}));
            if (!finite(n)) n = {};
            out.normals[i] = n.x, out.normals[i + 1] = n.y, out.normals[i + 2] = n.z;
        }
        out.triNormals = std::move(a.triNormals);
    }
    if (om.flatProjection) {
        // Object point to texture space; the picture spans -0.5..0.5 there, its top towards +y.
        out.uvs.resize(out.vertexCount * 2);
        for (std::size_t v = 0; v < out.vertexCount; ++v) {
            const Vec3 q = transformPoint(
                om.objectToUv, {a.vertices[3 * v], a.vertices[3 * v + 1], a.vertices[3 * v + 2]});
            out.uvs[2 * v] = 0.5f + q.x;
            out.uvs[2 * v + 1] = 0.5f - q.y;
        }
        out.triUvs = out.triangles;
    } else if (!a.uvs.empty()) {
        out.uvs.assign(a.uvs.data(), a.uvs.data() + a.uvs.size());
        out.triUvs = std::move(a.triUvs);
    }
    return out;
}

Vec3 Builder::light(const Mesh& mesh, const ObjectMaterial& om) {
    const auto vertex = [&](std::uint32_t i) {
        return Vec3{mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]};
    };
    if (om.light == LightKind::Point) {
        Vec3 sum;
        for (std::size_t v = 0; v < mesh.vertexCount; ++v)
            sum += vertex(static_cast<std::uint32_t>(v));
        const Vec3 centre = sum * (1.0f / static_cast<float>(mesh.vertexCount));
        if (finite(centre))
            model.pointLights.push_back({centre, om.flux * static_cast<float>(1 / (4 * kPi))});
        return {};
    }
    const std::size_t first = model.emitters.size();
    double area = 0;
    for (std::size_t t = 0; t < mesh.triangles.size(); t += 3) {
        EmitterTriangle e{vertex(mesh.triangles[t]), vertex(mesh.triangles[t + 1]),
                          vertex(mesh.triangles[t + 2]), 0};
        e.area = 0.5f * length(cross(e.b - e.a, e.c - e.a));
        if (!(e.area > 0) || !std::isfinite(e.area)) continue;
        area += e.area;
        model.emitters.push_back(e);
    }
    // The power leaves the whole surface evenly, as from a Lambertian emitter.
    const double squareMetres = area * model.metersPerUnit * model.metersPerUnit;
    const Vec3 radiance =
        squareMetres > 0 ? om.flux * static_cast<float>(1 / (kPi * squareMetres)) : Vec3{};
    if (model.emitters.size() > first)
        model.meshLights.push_back({first, model.emitters.size() - first, area, radiance});
    return radiance;
}

double meterScaleOf(const scenefile::Document& scene) {
    for (const Node& n : scene.statements) {
        if (n.kind != NodeKind::Block || n.word != "load") continue;
        const std::vector<double> s = scenefile::numbersOf(n, "meter_scale");
        if (s.size() == 1 && std::isfinite(s[0]) && s[0] > 1e-9 && s[0] < 1e9) return s[0];
    }
    return 1;
}

void boundsOf(const RenderModel& model, Vec3& lo, Vec3& hi) {
    lo = {INFINITY, INFINITY, INFINITY};
    hi = -lo;
    for (const Mesh& m : model.meshes)
        for (std::size_t i = 0; i < m.vertexCount * 3; i += 3) {
            const Vec3 p{m.positions[i], m.positions[i + 1], m.positions[i + 2]};
            if (!finite(p)) continue;
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    if (!(lo.x <= hi.x)) lo = {-1, -1, -1}, hi = {1, 1, 1};
}

}  // namespace

RenderModel buildModel(const scenefile::Document& scene, const std::string& sceneFolder,
                       const std::string& cameraName, float aspect) {
    RenderModel model;
    model.metersPerUnit = 1 / meterScaleOf(scene);
    const scenefile::SceneIndex index(scene);
    MaterialTable materials(index, sceneFolder, model);
    Builder b{index, materials, model, cameraName};
    b.walk(scene.statements, kIdentity, nullptr);
    if (!b.anyMesh) model.warnings.push_back("the scene holds no meshes; only the sky is drawn");
    if (b.camera) {
        model.camera = cameraFromBlock(*b.camera, b.cameraParent, model.warnings);
        model.sky = skyOf(*b.camera, index, sceneFolder, model.warnings);
    } else {
        Vec3 lo, hi;
        boundsOf(model, lo, hi);
        model.camera = framingCamera(lo, hi, aspect);
        model.warnings.push_back(cameraName.empty()
                                     ? "the scene has no camera; a camera frames it from the front"
                                     : "the scene has no camera \"" + cameraName +
                                           "\"; a camera frames it from the front");
    }
    return model;
}

}  // namespace preview
