// Host data read by the mesh export, and what it becomes:
//   layer 1001, 1002 (view and render switches, integers): 0 in either
//     leaves the object out;
//   texture tag (5616) 1006, a polygon selection name: the tag's polygons;
//   UVW tag (5671), four uvw corners per polygon: "uv_tex" (u, v) and
//     "triangles_uv";
//   normal tag (5711), by its presence only: all-zero "normals";
//   polygon selection tags (5673), polygon ranges found by the tag's name:
//     the restrictions of texture tags;
//   the polygon object's points, polygons and phong normals: "vertices",
//     "triangles", "normals" and "triangles_norm".
#include "convert/mesh_export.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "convert/export_context.h"
#include "convert/host_text.h"
#include "convert/material_export.h"
#include "convert/part_arrays.h"
#include "convert/traversal.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "sceneapi/array_parameters.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kLayerView = 1001;
constexpr host::Int32 kLayerRender = 1002;
constexpr host::Int32 kRestriction = 1006;
constexpr host::Int32 kAllElements = std::numeric_limits<host::Int32>::max();
constexpr std::int64_t kMaxArrayCount = std::numeric_limits<std::int32_t>::max();

void report(const std::string& objectName, const std::string& problem) {
    host::GePrint(host::String("\"" + objectName + "\": " + problem));
}

// The polygons no later part may take: those an earlier part wrote and those
// that refer to points outside the object. One byte per polygon, in storage
// the context keeps.
class ClaimedPolygons {
public:
    ClaimedPolygons(ScratchArray<std::uint8_t>& flags, std::int32_t count) : flags_(flags) {
        flags_.assign(static_cast<std::size_t>(count), 0);
    }
    bool contains(std::int32_t p) const { return flags_[static_cast<std::size_t>(p)] != 0; }
    // Adds first..last (inclusive).
    void add(std::int32_t first, std::int32_t last) {
        std::size_t fresh = 0;
        for (std::size_t p = static_cast<std::size_t>(first); p <= static_cast<std::size_t>(last);
             ++p) {
            fresh += flags_[p] == 0 ? 1 : 0;
            flags_[p] = 1;
        }
        count_ += fresh;
    }
    bool full() const { return count_ == flags_.size(); }
    bool none() const { return count_ == 0; }

private:
    ScratchArray<std::uint8_t>& flags_;
    std::size_t count_ = 0;
};

// Point index to vertex index within one part, with the points in first-use
// order, in storage the context keeps. Only the entries a part used are
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
    // Numbers the points of polygons first..last in the order of first use,
    // stepping over polygons that refer to points outside the object, and
    // counts them: triangles, quads and those skipped.
    struct RunCounts {
        std::size_t triangles = 0, quads = 0, skipped = 0;
    };
    void use(const host::CPolygon* polygons, std::int32_t first, std::int32_t last,
             std::int32_t pointCount, RunCounts& counts) {
        std::int32_t* const vertexOf = vertexOf_.data();
        std::int32_t* const used = used_.data();
        std::size_t count = count_;
        const auto number = [&](std::int32_t point) {
            std::int32_t& v = vertexOf[point];
            if (v < 0) {
                v = static_cast<std::int32_t>(count);
                used[count++] = point;
            }
        };
        for (std::int32_t p = first; p <= last; ++p) {
            const host::CPolygon& poly = polygons[p];
            if (!validPolygon(poly, pointCount)) {
                ++counts.skipped;
                continue;
            }
            number(poly.a);
            number(poly.b);
            number(poly.c);
            if (poly.c == poly.d) {
                ++counts.triangles;
            } else {
                number(poly.d);
                ++counts.quads;
            }
        }
        count_ = count;
    }
    const std::int32_t* vertexOf() const { return vertexOf_.data(); }
    const std::int32_t* used() const { return used_.data(); }

private:
    void reset() {
        // A part that used many of the points clears the whole lookup in
        // one sweep rather than point by point.
        if (count_ > vertexOf_.size() / 8) {
            std::fill(vertexOf_.begin(), vertexOf_.end(), -1);
        } else {
            for (std::size_t i = 0; i < count_; ++i)
                vertexOf_[static_cast<std::size_t>(used_[i])] = -1;
        }
        count_ = 0;
    }

    ScratchArray<std::int32_t>& vertexOf_;
    ScratchArray<std::int32_t>& used_;
    std::size_t count_ = 0;
};

// Writes one part: its object block with the triangle geometry and the
// material, claiming its polygons. One pass over the polygons numbers their
// points and measures the arrays; the arrays are then produced polygon by
// polygon as the writer takes them (part_arrays.h). Answers how many of the
// part's polygons refer to points outside the object: they are left out,
// and a part of nothing else writes nothing.
std::size_t writePart(ExportContext& context, tal::talScene_api& api, const std::string& name,
                      const Ranges& part, const MeshSource& src, const MaterialRecord& record,
                      ClaimedPolygons& claimed, PointMap& pointMap) {
    if (part.empty()) return 0;
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
            report(name,
                   std::to_string(polygons) + " polygons are too many for one mesh; left out");
            for (const auto& [first, last] : part) claimed.add(first, last);
            return 0;
        }
    }
    pointMap.begin(static_cast<std::size_t>(std::min<std::int64_t>(src.pointCount, 4 * polygons)));

    // The part claims all its polygons, also those that refer to points
    // outside the object: no part writes them, and no later part meets them.
    for (const auto& [first, last] : part) claimed.add(first, last);
    PointMap::RunCounts counts;
    for (const auto& [first, last] : part)
        pointMap.use(src.polygons, first, last, src.pointCount, counts);
    PartShape shape;
    shape.corners = 3 * counts.triangles + 4 * counts.quads;
    shape.indices = 3 * counts.triangles + 6 * counts.quads;
    if (shape.corners == 0) return counts.skipped;  // nothing but such polygons
    shape.skipped = counts.skipped > 0;
    shape.quadsOnly = counts.triangles == 0 && counts.skipped == 0;

    tal::ArrayParameters arrays(api, context.meshBuffers.whole);
    const bool normals = src.zeroNormals || src.phong != nullptr;
    api.beginObject(name.c_str(), true);
    api.beginGeometry("triangles");
    VertexArray vertices(src.points, pointMap.used(), pointMap.count());
    arrays.put("vertices", tal::kFloat3, pointMap.count(), vertices);
    if (normals && shape.corners > 0) {
        if (!src.zeroNormals && part.size() == 1 && shape.quadsOnly) {
            // One run of quads: the host's normals are the array as they stand.
            arrays.putWhole("normals", tal::kFloat3,
                            src.phong + 4 * static_cast<std::size_t>(part[0].first), shape.corners);
        } else {
            NormalArray normalArray(part, src, shape);
            arrays.put("normals", tal::kFloat3, shape.corners, normalArray);
        }
        CornerIndexArray corners(part, src, shape);
        arrays.put("triangles_norm", tal::kInt, shape.indices, corners);
    }
    if (src.hasUvw && shape.corners > 0) {
        UvArray uvs(part, src, shape);
        arrays.put("uv_tex", tal::kFloat, 2 * shape.corners, uvs);
        CornerIndexArray corners(part, src, shape);
        arrays.put("triangles_uv", tal::kInt, shape.indices, corners);
    }
    TriangleArray triangles(part, src, shape, pointMap.vertexOf());
    arrays.put("triangles", tal::kInt, shape.indices, triangles);
    api.endGeometry();
    exportMaterial(context, record);
    api.endObject();
    return counts.skipped;
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

bool layerShows(const ExportContext& context, const host::BaseObject& object) {
    const host::LayerObject* layer = object.GetLayerObject(context.document);
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

void exportPolygonObject(ExportContext& context, host::PolygonObject& object,
                         const TextureTagList& textureTags, float /*weight*/) {
    tal::talScene_api* api = context.scene ? context.scene->api() : nullptr;
    if (!api || !layerShows(context, object)) return;
    const host::Vector displayColor = readDisplayColor(context, object);

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
        classifyTag(tag, &uvwTag, &normalTag, &selections, tags);

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
    // The host overwrites the kept normals in place when their count is
    // unchanged (the same object exported again).
    std::vector<host::Vector32>& phong = context.meshBuffers.phong;
    if (normalTag || !object.CreatePhongNormals(phong)) phong.clear();
    if (!phong.empty() && phong.size() / 4 < polygonCount) {
        report(name, "phong normals do not cover every polygon; written without normals");
    } else if (!phong.empty()) {
        src.phong = phong.data();
    }

    ClaimedPolygons claimed(context.meshBuffers.claimed, src.polygonCount);
    std::size_t invalid = 0;
    PointMap pointMap(context.meshBuffers, src.pointCount);
    Ranges part, ranges;
    std::set<const host::SelectionTag*> reported;
    for (std::size_t entry = tags.size(); entry-- > 0;) {
        context.meshBuffers.clear();
        if (claimed.full()) break;
        const host::BaseTag* tag = tags[entry];
        if (tag && tag->GetType() != host::Ttexture) continue;  // hair material tags
        const host::SelectionTag* selection = tag ? restriction(*tag, selections) : nullptr;
        MaterialRecord record = initMaterialRecord();
        record.diffuse = displayColor;
        if (tag && !readTextureTag(context, tag, record)) continue;
        if (selection) {
            bool clipped = false;
            if (!selectionRanges(*selection, src.polygonCount, ranges, clipped)) continue;
            if (clipped && reported.insert(selection).second)
                report(name, "polygon selection \"" + toUtf8(selection->GetName()) +
                                 "\" reaches beyond the " + std::to_string(polygonCount) +
                                 " polygons; the rest is ignored");
        }
        unclaimedPolygons(selection ? &ranges : nullptr, src.polygonCount, claimed, part);
        invalid += writePart(context, *api, name, part, src, record, claimed, pointMap);
    }
    if (invalid > 0)
        report(name, std::to_string(invalid) + " of " + std::to_string(polygonCount) +
                         " polygons refer to points outside the " + std::to_string(src.pointCount) +
                         " points; they are left out");
}

}  // namespace convert
