// Host data read by the mesh export:
//
// | id / type | node              | host meaning                           | use |
// |-----------|-------------------|----------------------------------------|--------------------------------------|
// | 1001      | layer             | view switch (integer)                  | 0: the object writes
// nothing         | | 1002      | layer             | render switch (integer)                | 0:
// the object writes nothing         | | 1006      | texture tag 5616  | restriction: polygon
// selection name    | the tag's polygons                   | | 5671      | UVW tag           | four
// uvw corners per polygon           | "uv_tex" (u, v), "triangles_uv"      | | 5711      | normal
// tag        | (presence only)                        | all-zero "normals"                   | |
// 5673      | selection tag     | polygon ranges, by the tag's name      | restriction of a texture
// tag         | | -         | polygon object    | points, polygons, phong normals        |
// "vertices", "triangles", "normals"   |
#include "convert/mesh_export.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// Polygon index ranges, first and last inclusive. A part is a list of
// ascending, disjoint runs: one run for a whole object, a few for a
// selection, never one entry per polygon.
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
    bool hasUvw = false;                    // a UVW tag: "uv_tex"
    const host::UVWStruct* uvw = nullptr;   // its data,
    std::int32_t uvwCount = 0;              // for this many polygons (the rest read zero)
    bool zeroNormals = false;               // a normal tag: all normals (0, 0, 0)
    const host::Vector32* phong = nullptr;  // 4 per polygon, or null
};

bool validPolygon(const host::CPolygon& p, std::int32_t pointCount) {
    const auto inside = [pointCount](std::int32_t i) {
        return static_cast<std::uint32_t>(i) < static_cast<std::uint32_t>(pointCount);
    };
    return inside(p.a) && inside(p.b) && inside(p.c) && (p.c == p.d || inside(p.d));
}

// The polygons no later part may take: those an earlier part wrote and those
// that refer to points outside the object. One byte per polygon, in storage
// the controller keeps.
class ClaimedPolygons {
public:
    ClaimedPolygons(ScratchArray<std::uint8_t>& flags, std::int32_t count) : flags_(flags) {
        flags_.assign(static_cast<std::size_t>(count), 0);
    }
    bool contains(std::int32_t p) const { return flags_[static_cast<std::size_t>(p)] != 0; }
    void add(std::int32_t p) {
        std::uint8_t& flag = flags_[static_cast<std::size_t>(p)];
        count_ += flag == 0 ? 1 : 0;
        flag = 1;
    }
    bool full() const { return count_ == flags_.size(); }
    bool none() const { return count_ == 0; }

private:
    ScratchArray<std::uint8_t>& flags_;
    std::size_t count_ = 0;
};

// Point index to vertex index within one part, with the points in first-use
// order, in storage the controller keeps. Only the entries a part used are
// reset, for the next part and when the object is done, so many small parts
// of a large object cost no more than their own size.
class PointMap {
public:
    PointMap(MeshBuffers& buffers, std::int32_t pointCount)
        : vertexOf_(buffers.vertexOfPoint), used_(buffers.usedPoints) {
        // Entries beyond those of earlier objects start out unused too.
        if (vertexOf_.size() < static_cast<std::size_t>(pointCount))
            vertexOf_.resize(static_cast<std::size_t>(pointCount), -1);
    }
    ~PointMap() { reset(); }
    PointMap(const PointMap&) = delete;
    PointMap& operator=(const PointMap&) = delete;

    // Starts a part of at most `vertices` vertices.
    void begin(std::size_t vertices) {
        reset();
        if (used_.size() < vertices) used_.resize(vertices);
    }
    std::size_t count() const { return count_; }
    // The vertex of point `p`; a new one appends its coordinates at `xyz`.
    std::int32_t vertex(std::int32_t p, const host::Vector* points, float* xyz) {
        std::int32_t& v = vertexOf_[static_cast<std::size_t>(p)];
        if (v < 0) {
            v = static_cast<std::int32_t>(count_);
            used_[count_] = p;
            const host::Vector& point = points[p];
            float* out = xyz + 3 * count_;
            out[0] = static_cast<float>(point.x);
            out[1] = static_cast<float>(point.y);
            out[2] = static_cast<float>(point.z);
            ++count_;
        }
        return v;
    }

private:
    void reset() {
        for (std::size_t i = 0; i < count_; ++i) vertexOf_[static_cast<std::size_t>(used_[i])] = -1;
        count_ = 0;
    }

    ScratchArray<std::int32_t>& vertexOf_;
    ScratchArray<std::int32_t>& used_;
    std::size_t count_ = 0;
};

void put3(std::int32_t*& out, std::int32_t a, std::int32_t b, std::int32_t c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out += 3;
}

void putUv(float*& out, const host::Vector& corner) {
    out[0] = static_cast<float>(corner.x);
    out[1] = static_cast<float>(corner.y);
    out += 2;
}

void setArray(tal::talScene_api& api, const char* name, int type, const void* data,
              std::size_t count) {
    const tal::ArrayValue value{data, static_cast<std::int32_t>(count)};
    api.setParameter(name, tal::kArrayBit | type, &value);
}

// Writes one part: its object block with the triangle geometry and the
// material, claiming its polygons. The buffers are sized to a bound of the
// part first (every polygon a quad) and filled through pointers in one pass
// over the polygons, without per-element growth; only a single run with
// phong normals and triangles takes a second pass, to copy its normals.
void writePart(plugin::ExportController& controller, tal::talScene_api& api,
               const std::string& name, const Ranges& part, const MeshSource& src,
               const MaterialRecord& record, ClaimedPolygons& claimed, PointMap& pointMap) {
    if (part.empty()) return;
    std::int64_t polygons = 0;
    for (const auto& [first, last] : part) polygons += std::int64_t{last} - first + 1;
    if (2 * 4 * polygons > kMaxArrayCount || 6 * polygons > kMaxArrayCount) {
        // Near the limit the bound is not enough: count the triangles.
        std::int64_t triangles = 0;
        for (const auto& [first, last] : part)
            for (std::int32_t p = first; p <= last; ++p)
                triangles += src.polygons[p].c == src.polygons[p].d ? 1 : 0;
        const std::int64_t quads = polygons - triangles;
        if (2 * (3 * triangles + 4 * quads) > kMaxArrayCount ||
            3 * triangles + 6 * quads > kMaxArrayCount) {
            report(name, std::to_string(polygons) + " polygons are too many for one mesh; left out");
            for (const auto& [first, last] : part)
                for (std::int32_t p = first; p <= last; ++p) claimed.add(p);
            return;
        }
    }
    const std::int64_t corners = 4 * polygons;  // bounds
    const std::int64_t indices = 6 * polygons;
    const bool uvs = src.hasUvw;
    const bool normals = src.zeroNormals || src.phong != nullptr;
    // The phong normals of a single run go out as they are when the run
    // holds no triangle; else they are copied without the fourth corner of
    // each triangle, after the walk. Several runs copy them during the walk.
    const bool phongRun = !src.zeroNormals && src.phong && part.size() == 1;
    const bool copyNormals = normals && !phongRun;

    MeshBuffers& out = controller.meshBuffers;
    const auto vertexBound =
        static_cast<std::size_t>(std::min<std::int64_t>(src.pointCount, corners));
    out.vertices.resize(3 * vertexBound);
    out.triangles.resize(static_cast<std::size_t>(indices));
    if (uvs || normals) out.cornerIndices.resize(static_cast<std::size_t>(indices));
    if (uvs) out.uvs.resize(static_cast<std::size_t>(2 * corners));
    if (copyNormals) out.normals.resize(static_cast<std::size_t>(3 * corners));
    pointMap.begin(vertexBound);

    static const host::UVWStruct kNoUvw{};
    float* xyz = out.vertices.data();
    std::int32_t* tri = out.triangles.data();
    std::int32_t* corner = out.cornerIndices.data();
    float* uv = out.uvs.data();
    float* normal = out.normals.data();
    std::int32_t u = 0;  // corners so far: uvs and normals are numbered alike
    bool anyTriangle = false;
    for (const auto& [first, last] : part) {
        for (std::int32_t p = first; p <= last; ++p) {
            const host::CPolygon poly = src.polygons[p];
            if (!validPolygon(poly, src.pointCount))
                continue;  // set aside before the walk; never met
            claimed.add(p);
            const bool triangle = poly.c == poly.d;
            anyTriangle = anyTriangle || triangle;
            const int count = triangle ? 3 : 4;
            const std::int32_t a = pointMap.vertex(poly.a, src.points, xyz);
            const std::int32_t b = pointMap.vertex(poly.b, src.points, xyz);
            const std::int32_t c = pointMap.vertex(poly.c, src.points, xyz);
            if (uvs) {
                const host::UVWStruct& t = p < src.uvwCount ? src.uvw[p] : kNoUvw;
                putUv(uv, t.a);
                putUv(uv, t.b);
                putUv(uv, t.c);
                if (!triangle) putUv(uv, t.d);
            }
            if (copyNormals) {
                if (src.zeroNormals) {
                    std::fill(normal, normal + 3 * count, 0.0f);
                } else {
                    std::memcpy(normal, src.phong + 4 * static_cast<std::size_t>(p),
                                static_cast<std::size_t>(count) * sizeof(host::Vector32));
                }
                normal += 3 * count;
            }
            if (triangle) {
                put3(tri, a, c, b);
                if (uvs || normals) put3(corner, u, u + 2, u + 1);
            } else {
                const std::int32_t d = pointMap.vertex(poly.d, src.points, xyz);
                put3(tri, a, d, b);
                put3(tri, c, b, d);
                if (uvs || normals) {
                    put3(corner, u, u + 3, u + 1);
                    put3(corner, u + 2, u + 1, u + 3);
                }
            }
            u += count;
        }
    }
    const bool phongAsIs = phongRun && !anyTriangle;
    if (phongRun && anyTriangle) {
        out.normals.resize(static_cast<std::size_t>(3 * u));
        normal = out.normals.data();
        for (std::int32_t p = part[0].first; p <= part[0].second; ++p) {
            const host::CPolygon& poly = src.polygons[p];
            if (!validPolygon(poly, src.pointCount)) continue;  // as in the walk
            const std::size_t count = poly.c == poly.d ? 3 : 4;
            std::memcpy(normal, src.phong + 4 * static_cast<std::size_t>(p),
                        count * sizeof(host::Vector32));
            normal += 3 * count;
        }
    }
    // Keep exactly what was written.
    out.vertices.resize(3 * pointMap.count());
    out.triangles.resize(static_cast<std::size_t>(tri - out.triangles.data()));
    if (uvs || normals) out.cornerIndices.resize(out.triangles.size());
    if (uvs) out.uvs.resize(static_cast<std::size_t>(uv - out.uvs.data()));
    if (copyNormals) out.normals.resize(static_cast<std::size_t>(normal - out.normals.data()));

    api.beginObject(name.c_str(), true);
    api.beginGeometry("triangles");
    setArray(api, "vertices", tal::kFloat3, out.vertices.data(), pointMap.count());
    if (normals && u > 0) {
        const void* values =
            phongAsIs
                ? static_cast<const void*>(src.phong + 4 * static_cast<std::size_t>(part[0].first))
                : static_cast<const void*>(out.normals.data());
        setArray(api, "normals", tal::kFloat3, values, static_cast<std::size_t>(u));
        setArray(api, "triangles_norm", tal::kInt, out.cornerIndices.data(),
                 out.cornerIndices.size());
    }
    if (uvs && u > 0) {
        setArray(api, "uv_tex", tal::kFloat, out.uvs.data(), out.uvs.size());
        setArray(api, "triangles_uv", tal::kInt, out.cornerIndices.data(),
                 out.cornerIndices.size());
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
    for (std::int32_t seg = 0; select && select->GetRange(seg, kAllElements, &first, &last);
         ++seg) {
        any = true;
        if (first < 0 || last >= polygonCount) clipped = true;
        first = std::max(first, 0);
        last = std::min(last, polygonCount - 1);
        if (first <= last) out.emplace_back(first, last);
    }
    std::sort(out.begin(), out.end());
    return any;
}

// The polygons of `ranges` (or all, when null) that are not claimed yet, as
// ascending runs, each polygon once.
void unclaimedPolygons(const Ranges* ranges, std::int32_t polygonCount,
                       const ClaimedPolygons& claimed, Ranges& part) {
    part.clear();
    const auto take = [&](std::int32_t first, std::int32_t last) {
        if (claimed.none()) {  // the whole range is one run, as the walk below would find
            if (!part.empty() && part.back().second == first - 1)
                part.back().second = last;
            else
                part.emplace_back(first, last);
            return;
        }
        for (std::int32_t p = first; p <= last; ++p) {
            if (claimed.contains(p)) continue;
            if (!part.empty() && part.back().second == p - 1)
                part.back().second = p;
            else
                part.emplace_back(p, p);
        }
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

    // The object's own tags join the inherited list a second time; their
    // earlier copies find their polygons claimed and write nothing.
    TextureTagList tags = textureTags;
    const host::UVWTag* uvwTag = nullptr;
    const host::BaseTag* normalTag = nullptr;
    SelectionMap selections;
    for (const host::BaseTag* tag = object.GetFirstTag(); tag; tag = tag->GetNext())
        classifyTag(controller, tag, &uvwTag, &normalTag, &selections, tags);

    const auto polygonCount = static_cast<std::size_t>(src.polygonCount);
    if (uvwTag) {
        src.hasUvw = true;
        src.uvw = uvwTag->GetDataAddressR();
        src.uvwCount = src.uvw ? std::max(uvwTag->GetDataCount(), 0) : 0;
        if (static_cast<std::size_t>(src.uvwCount) < polygonCount)
            report(name, "the UVW tag covers " + std::to_string(src.uvwCount) + " of " +
                             std::to_string(polygonCount) +
                             " polygons; the others get zero coordinates");
    }
    src.zeroNormals = normalTag != nullptr;
    std::vector<host::Vector32> phong;
    if (!normalTag) phong = object.CreatePhongNormals();
    if (!phong.empty() && phong.size() / 4 < polygonCount) {
        report(name, "phong normals do not cover every polygon; written without normals");
    } else if (!phong.empty()) {
        src.phong = phong.data();
    }

    ClaimedPolygons claimed(controller.meshBuffers.claimed, src.polygonCount);
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

    PointMap pointMap(controller.meshBuffers, src.pointCount);
    Ranges part, ranges;
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
                report(name, "polygon selection \"" + toUtf8(selection->GetName()) +
                                 "\" reaches beyond the " + std::to_string(polygonCount) +
                                 " polygons; the rest is ignored");
        }
        unclaimedPolygons(selection ? &ranges : nullptr, src.polygonCount, claimed, part);
        writePart(controller, *api, name, part, src, record, claimed, pointMap);
    }
}

}  // namespace convert
