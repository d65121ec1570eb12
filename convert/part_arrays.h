// The arrays of one mesh part, produced polygon by polygon.
//
// A part is a list of ascending, disjoint runs of polygon indices. Polygons
// that refer to points outside the object belong to no array: the mapping
// pass counts them, and the arrays step over them when it met any. Each array of the part's
// triangle geometry is an ArraySource that walks the runs and gives the values of whole polygons
// (tal::ArrayParameters hands it to the scene API): the scene writer pulls them a piece at a time
// where it can, so the million-element arrays of a large mesh never need to exist in full.
//
// Corner numbering: normals and texture coordinates are per polygon corner,
// three per triangle and four per quad in polygon order, so one corner index
// pattern serves "triangles_norm" and "triangles_uv". Winding is reversed:
// a triangle is written (a, c, b), a quad split along b-d into (a, d, b) and
// (c, b, d).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "host/math.h"
#include "host/object.h"
#include "host/types.h"
#include "sceneapi/array_pieces.h"

namespace host {
struct UVWStruct;
}  // namespace host

namespace convert {

// Polygon index ranges, first and last inclusive.
using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;

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

// Whether every corner of `p` is a point of the object.
inline bool validPolygon(const host::CPolygon& p, std::int32_t pointCount) {
    const auto inside = [pointCount](std::int32_t i) {
        return static_cast<std::uint32_t>(i) < static_cast<std::uint32_t>(pointCount);
    };
    return inside(p.a) && inside(p.b) && inside(p.c) && (p.c == p.d || inside(p.d));
}

// Walks the polygons of a part's runs in order. With `skipInvalid` it steps
// over polygons that refer to points outside the object, as the mapping pass
// does when it meets one, so that every array counts the same polygons.
class PolygonWalk {
public:
    PolygonWalk(const Ranges& runs, const MeshSource& src, bool skipInvalid);
    bool done() const { return run_ >= runs_.size(); }
    std::int32_t polygon() const { return next_; }  // while not done()
    void advance() {
        if (++next_ > runs_[run_].second || skipInvalid_) settle();
    }
    // For walks that skip nothing: the last polygon of the current run, and
    // a jump to a polygon after the current one.
    std::int32_t runLast() const { return runs_[run_].second; }
    void advanceTo(std::int32_t polygon) {
        next_ = polygon;
        settle();
    }

private:
    void settle();

    const Ranges& runs_;
    const MeshSource& src_;
    bool skipInvalid_;
    std::size_t run_ = 0;
    std::int32_t next_ = 0;
};

// What the mapping pass learnt about a part.
struct PartShape {
    std::size_t corners = 0;  // normals and uvs: 3 per triangle, 4 per quad
    std::size_t indices = 0;  // ints of each index array: 3 per triangle, 6 per quad
    bool skipped = false;     // a polygon outside the points was met
    bool quadsOnly = false;   // only quads, none skipped: no polygon needs reading again
};

// "vertices": the points of `used` (in first-use order) as float triples.
class VertexArray final : public tal::ArraySource {
public:
    VertexArray(const host::Vector* points, const std::int32_t* used, std::size_t count)
        : points_(points), used_(used), count_(count) {}
    std::size_t next(const tal::ArrayRoom& room) override;

private:
    const host::Vector* points_;
    const std::int32_t* used_;
    std::size_t count_;
    std::size_t done_ = 0;
};

// The arrays made polygon by polygon share a walk over the part's runs.
class PartArray : public tal::ArraySource {
public:
    PartArray(const Ranges& runs, const MeshSource& src, const PartShape& shape)
        : walk_(runs, src, shape.skipped), src_(src), shape_(shape) {}

protected:
    PolygonWalk walk_;
    const MeshSource& src_;
    const PartShape& shape_;
};

// "triangles": vertex indices through the part's point-to-vertex lookup.
class TriangleArray final : public PartArray {
public:
    TriangleArray(const Ranges& runs, const MeshSource& src, const PartShape& shape,
                  const std::int32_t* vertexOf)
        : PartArray(runs, src, shape), vertexOf_(vertexOf) {}
    std::size_t next(const tal::ArrayRoom& room) override;

private:
    const std::int32_t* vertexOf_;
};

// "triangles_norm" and "triangles_uv": corner indices.
class CornerIndexArray final : public PartArray {
public:
    using PartArray::PartArray;
    std::size_t next(const tal::ArrayRoom& room) override;

private:
    std::int32_t corner_ = 0;  // the first corner of the next polygon
    std::size_t done_ = 0;     // ints given
};

// "uv_tex": u and v of each corner (the UVW data's third component dropped).
class UvArray final : public PartArray {
public:
    using PartArray::PartArray;
    std::size_t next(const tal::ArrayRoom& room) override;
};

// "normals": each corner's phong normal, or (0, 0, 0) under a normal tag.
class NormalArray final : public PartArray {
public:
    using PartArray::PartArray;
    std::size_t next(const tal::ArrayRoom& room) override;
};

}  // namespace convert
