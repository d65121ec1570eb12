// Host data read by the mesh export:
//
// | id / type | node              | host meaning                           | use                                  |
// |-----------|-------------------|----------------------------------------|--------------------------------------|
// | 1001      | layer             | view switch (integer)                  | 0: the object writes nothing         |
// | 1002      | layer             | render switch (integer)                | 0: the object writes nothing         |
// | 1006      | texture tag 5616  | restriction: polygon selection name    | the tag's polygons                   |
// | 5671      | UVW tag           | four uvw corners per polygon           | "uv_tex" (u, v), "triangles_uv"      |
// | 5711      | normal tag        | (presence only)                        | all-zero "normals"                   |
// | 5673      | selection tag     | polygon ranges, by the tag's name      | restriction of a texture tag         |
// | -         | polygon object    | points, polygons, phong normals        | "vertices", "triangles", "normals"   |
#include "convert/mesh_export.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "convert/host_text.h"
#include "convert/material_export.h"
#include "convert/traversal.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kLayerView = 1001;
constexpr host::Int32 kLayerRender = 1002;
constexpr host::Int32 kRestriction = 1006;
constexpr host::Int32 kAllElements = std::numeric_limits<host::Int32>::max();
constexpr std::int64_t kMaxArrayCount = std::numeric_limits<std::int32_t>::max();

using PolygonSet = std::vector<std::int32_t>;  // ascending, distinct
using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;

void report(const std::string& objectName, const std::string& problem) {
    host::GePrint(host::String("\"" + objectName + "\": " + problem));
}

// The geometry of one object as the parts read it.
struct MeshSource {
    const host::Vector* points = nullptr;
    std::int32_t pointCount = 0;
    const host::CPolygon* polygons = nullptr;
    std::int32_t polygonCount = 0;
    const host::UVWTag* uvw = nullptr;     // null: no "uv_tex"
    bool zeroNormals = false;              // a normal tag: all normals (0, 0, 0)
    const host::Vector32* phong = nullptr;  // 4 per polygon, or null
};

bool validPolygon(const host::CPolygon& p, std::int32_t pointCount) {
    const auto inside = [pointCount](std::int32_t i) {
        return static_cast<std::uint32_t>(i) < static_cast<std::uint32_t>(pointCount);
    };
    return inside(p.a) && inside(p.b) && inside(p.c) && (p.c == p.d || inside(p.d));
}

// The polygons no later part may take: those an earlier part wrote and those
// that refer to points outside the object. One byte per polygon.
class ClaimedPolygons {
public:
    explicit ClaimedPolygons(std::int32_t count) : flags_(static_cast<std::size_t>(count), 0) {}
    bool contains(std::int32_t p) const { return flags_[static_cast<std::size_t>(p)] != 0; }
    void add(std::int32_t p) {
        std::uint8_t& flag = flags_[static_cast<std::size_t>(p)];
        count_ += flag == 0 ? 1 : 0;
        flag = 1;
    }
    bool full() const { return count_ == flags_.size(); }

private:
    std::vector<std::uint8_t> flags_;
    std::size_t count_ = 0;
};

// Point index to vertex index within one part. Only the entries the part
// used are reset for the next, so many small parts of a large object cost
// no more than their own size.
class PointMap {
public:
    explicit PointMap(std::int32_t pointCount) : vertexOf_(static_cast<std::size_t>(pointCount), -1) {}
    void reset() {
        for (const std::int32_t p : used_) vertexOf_[static_cast<std::size_t>(p)] = -1;
        used_.clear();
    }
    void reserve(std::size_t vertices) { used_.reserve(vertices); }
    // The vertex of point `p`, appending its coordinates when it is new.
    std::int32_t vertex(std::int32_t p, const host::Vector* points, std::vector<float>& vertices) {
        std::int32_t& v = vertexOf_[static_cast<std::size_t>(p)];
        if (v < 0) {
            v = static_cast<std::int32_t>(used_.size());
            used_.push_back(p);
            const host::Vector& point = points[p];
            vertices.push_back(static_cast<float>(point.x));
            vertices.push_back(static_cast<float>(point.y));
            vertices.push_back(static_cast<float>(point.z));
        }
        return v;
    }

private:
    std::vector<std::int32_t> vertexOf_;
    std::vector<std::int32_t> used_;
};

void push3(std::vector<std::int32_t>& v, std::int32_t a, std::int32_t b, std::int32_t c) {
    v.push_back(a);
    v.push_back(b);
    v.push_back(c);
}

void pushUv(std::vector<float>& uvs, const host::Vector& corner) {
    uvs.push_back(static_cast<float>(corner.x));
    uvs.push_back(static_cast<float>(corner.y));
}

void pushNormal(std::vector<float>& normals, const host::Vector32& n) {
    normals.push_back(n.x);
    normals.push_back(n.y);
    normals.push_back(n.z);
}

void setArray(tal::talScene_api& api, const char* name, int type, const void* data, std::size_t count) {
    const tal::ArrayValue value{data, static_cast<std::int32_t>(count)};
    api.setParameter(name, tal::kArrayBit | type, &value);
}

// Writes one part: its object block with the triangle geometry and the
// material, claiming its polygons.
void writePart(plugin::ExportController& controller, tal::talScene_api& api, const std::string& name,
               const PolygonSet& part, const MeshSource& src, const MaterialRecord& record,
               ClaimedPolygons& claimed, PointMap& pointMap) {
    if (part.empty()) return;
    std::int64_t triangles = 0, quads = 0;
    for (const std::int32_t p : part) ++(src.polygons[p].c == src.polygons[p].d ? triangles : quads);
    const std::int64_t corners = 3 * triangles + 4 * quads;
    const std::int64_t indices = 3 * triangles + 6 * quads;
    if (2 * corners > kMaxArrayCount || indices > kMaxArrayCount) {
        report(name, std::to_string(part.size()) + " polygons are too many for one mesh; left out");
        for (const std::int32_t p : part) claimed.add(p);
        return;
    }
    const bool normals = src.zeroNormals || src.phong != nullptr;
    MeshBuffers& out = controller.meshBuffers;
    const auto vertexBound = static_cast<std::size_t>(std::min<std::int64_t>(src.pointCount, corners));
    out.vertices.reserve(3 * vertexBound);
    out.triangles.reserve(static_cast<std::size_t>(indices));
    if (normals) {
        out.normals.reserve(static_cast<std::size_t>(3 * corners));
        out.normalIndices.reserve(static_cast<std::size_t>(indices));
    }
    if (src.uvw) {
        out.uvs.reserve(static_cast<std::size_t>(2 * corners));
        out.uvIndices.reserve(static_cast<std::size_t>(indices));
    }
    pointMap.reset();
    pointMap.reserve(vertexBound);

    api.beginObject(name.c_str(), true);
    api.beginGeometry("triangles");
    std::int32_t u = 0, n = 0;
    constexpr host::Vector32 kZero{};
    for (const std::int32_t p : part) {
        const host::CPolygon& poly = src.polygons[p];
        if (!validPolygon(poly, src.pointCount)) continue;  // set aside before the walk; never met
        claimed.add(p);
        const bool triangle = poly.c == poly.d;
        const std::int32_t a = pointMap.vertex(poly.a, src.points, out.vertices);
        const std::int32_t b = pointMap.vertex(poly.b, src.points, out.vertices);
        const std::int32_t c = pointMap.vertex(poly.c, src.points, out.vertices);
        if (src.uvw) {
            const host::UVWStruct uvw = src.uvw->GetSlow(p);
            pushUv(out.uvs, uvw.a);
            pushUv(out.uvs, uvw.b);
            pushUv(out.uvs, uvw.c);
            if (!triangle) pushUv(out.uvs, uvw.d);
        }
        if (normals) {
            const host::Vector32* corner = src.phong ? src.phong + 4 * static_cast<std::size_t>(p) : nullptr;
            for (int k = 0; k < (triangle ? 3 : 4); ++k) pushNormal(out.normals, corner ? corner[k] : kZero);
        }
        if (triangle) {
            push3(out.triangles, a, c, b);
            if (src.uvw) push3(out.uvIndices, u, u + 2, u + 1);
            if (normals) push3(out.normalIndices, n, n + 2, n + 1);
            u += 3;
            n += 3;
        } else {
            const std::int32_t d = pointMap.vertex(poly.d, src.points, out.vertices);
            push3(out.triangles, a, d, b);
            push3(out.triangles, c, b, d);
            if (src.uvw) {
                push3(out.uvIndices, u, u + 3, u + 1);
                push3(out.uvIndices, u + 2, u + 1, u + 3);
            }
            if (normals) {
                push3(out.normalIndices, n, n + 3, n + 1);
                push3(out.normalIndices, n + 2, n + 1, n + 3);
            }
            u += 4;
            n += 4;
        }
    }

    setArray(api, "vertices", tal::kFloat3, out.vertices.data(), out.vertices.size() / 3);
    if (!out.normals.empty()) {
        setArray(api, "normals", tal::kFloat3, out.normals.data(), out.normals.size() / 3);
        setArray(api, "triangles_norm", tal::kInt, out.normalIndices.data(), out.normalIndices.size());
    }
    if (!out.uvs.empty()) {
        setArray(api, "uv_tex", tal::kFloat, out.uvs.data(), out.uvs.size());
        setArray(api, "triangles_uv", tal::kInt, out.uvIndices.data(), out.uvIndices.size());
    }
    setArray(api, "triangles", tal::kInt, out.triangles.data(), out.triangles.size());
    api.endGeometry();
    exportMaterial(controller, record);
    api.endObject();
}

// The selection's ranges clipped to the polygons, ascending by start; false
// when the selection has no range at all. `clipped` tells whether a range
// reached outside the polygons.
bool selectionRanges(const host::SelectionTag& selection, std::int32_t polygonCount, Ranges& out,
                     bool& clipped) {
    out.clear();
    const host::BaseSelect* select = selection.GetBaseSelect();
    std::int32_t first = 0, last = 0;
    bool any = false;
    for (std::int32_t seg = 0; select && select->GetRange(seg, kAllElements, &first, &last); ++seg) {
        any = true;
        if (first < 0 || last >= polygonCount) clipped = true;
        first = std::max(first, 0);
        last = std::min(last, polygonCount - 1);
        if (first <= last) out.emplace_back(first, last);
    }
    std::sort(out.begin(), out.end());
    return any;
}

// The polygons of `ranges` (or all, when null) that are not claimed yet,
// ascending and each once.
void unclaimedPolygons(const Ranges* ranges, std::int32_t polygonCount, const ClaimedPolygons& claimed,
                       PolygonSet& part) {
    part.clear();
    const auto take = [&](std::int32_t first, std::int32_t last) {
        for (std::int32_t p = first; p <= last; ++p)
            if (!claimed.contains(p)) part.push_back(p);
    };
    if (!ranges) {
        take(0, polygonCount - 1);
        return;
    }
    std::int32_t next = 0;  // ranges may overlap: each polygon once
    for (const auto& [first, last] : *ranges) {
        if (last < next) continue;
        take(std::max(first, next), last);
        next = last + 1;
    }
}

bool layerShows(const plugin::ExportController& controller, const host::BaseObject& object) {
    const host::LayerObject* layer = object.GetLayerObject(controller.document);
    if (!layer) return true;
    host::GeData view, render;
    return layer->GetParameter(host::DescID(kLayerView), view) &&
           layer->GetParameter(host::DescID(kLayerRender), render) && view.GetInt32() != 0 &&
           render.GetInt32() != 0;
}

// The polygon selection a texture tag is restricted to, or null.
const host::SelectionTag* restriction(const host::BaseTag& tag, const SelectionMap& selections) {
    host::GeData data;
    if (!tag.GetParameter(host::DescID(kRestriction), data)) return nullptr;
    const std::string name = toUtf8(data.GetString());
    if (name.empty()) return nullptr;
    const auto it = selections.find(name);
    return it != selections.end() ? it->second : nullptr;
}

}  // namespace

void exportPolygonObject(plugin::ExportController& controller, host::PolygonObject& object,
                         const TextureTagList& textureTags, float /*weight*/) {
    tal::talScene_api* api = controller.scene ? controller.scene->api() : nullptr;
    if (!api || !layerShows(controller, object)) return;
    const host::Vector displayColor = readDisplayColor(controller, object);

    MeshSource src;
    src.points = object.GetPointR();
    src.pointCount = object.GetPointCount();
    src.polygons = object.GetPolygonR();
    src.polygonCount = object.GetPolygonCount();
    if (src.polygonCount <= 0 || !src.polygons) return;  // no polygons, no object block
    std::string name = toUtf8(object.GetName());
    if (name.empty()) name = "object";

    TextureTagList tags = textureTags;
    const host::UVWTag* uvwTag = nullptr;
    const host::BaseTag* normalTag = nullptr;
    SelectionMap selections;
    for (const host::BaseTag* tag = object.GetFirstTag(); tag; tag = tag->GetNext())
        classifyTag(controller, tag, &uvwTag, &normalTag, &selections, tags);

    const auto polygonCount = static_cast<std::size_t>(src.polygonCount);
    src.uvw = uvwTag;
    if (uvwTag && static_cast<std::size_t>(std::max(uvwTag->GetDataCount(), 0)) < polygonCount)
        report(name, "the UVW tag covers " + std::to_string(uvwTag->GetDataCount()) + " of " +
                         std::to_string(polygonCount) + " polygons; the others get zero coordinates");
    src.zeroNormals = normalTag != nullptr;
    std::vector<host::Vector32> phong;
    if (!normalTag) phong = object.CreatePhongNormals();
    if (!phong.empty() && phong.size() / 4 < polygonCount) {
        report(name, "phong normals do not cover every polygon; written without normals");
    } else if (!phong.empty()) {
        src.phong = phong.data();
    }

    ClaimedPolygons claimed(src.polygonCount);
    std::size_t invalid = 0;
    for (std::int32_t p = 0; p < src.polygonCount; ++p) {
        if (validPolygon(src.polygons[p], src.pointCount)) continue;
        claimed.add(p);
        ++invalid;
    }
    if (invalid > 0)
        report(name, std::to_string(invalid) + " of " + std::to_string(polygonCount) +
                         " polygons refer to points outside the " + std::to_string(src.pointCount) +
                         " points; they are left out");

    PointMap pointMap(src.pointCount);
    PolygonSet part;
    Ranges ranges;
    std::set<const host::SelectionTag*> reported;
    for (std::size_t entry = tags.size(); entry-- > 0;) {
        controller.meshBuffers.clear();
        if (claimed.full()) break;
        const host::BaseTag* tag = tags[entry];
        if (tag && tag->GetType() != host::Ttexture) continue;  // hair material tags
        const host::SelectionTag* selection = tag ? restriction(*tag, selections) : nullptr;
        MaterialRecord record = initMaterialRecord();
        record.diffuse = displayColor;
        if (tag && !readTextureTag(controller, tag, record)) continue;
        if (selection) {
            bool clipped = false;
            if (!selectionRanges(*selection, src.polygonCount, ranges, clipped)) continue;
            if (clipped && reported.insert(selection).second)
                report(name, "polygon selection \"" + toUtf8(selection->GetName()) + "\" reaches beyond the " +
                                 std::to_string(polygonCount) + " polygons; the rest is ignored");
        }
        unclaimedPolygons(selection ? &ranges : nullptr, src.polygonCount, claimed, part);
        writePart(controller, *api, name, part, src, record, claimed, pointMap);
    }
}

}  // namespace convert
