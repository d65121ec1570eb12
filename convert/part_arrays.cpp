#include "convert/part_arrays.h"

#include <algorithm>

#include "host/object.h"
#include "host/tag.h"

namespace convert {

PolygonWalk::PolygonWalk(const Ranges& runs, const MeshSource& src, bool skipInvalid)
    : runs_(runs), src_(src), skipInvalid_(skipInvalid) {
    if (!runs_.empty()) next_ = runs_[0].first;
    settle();
}

void PolygonWalk::settle() {
    while (run_ < runs_.size()) {
        if (next_ > runs_[run_].second) {
            if (++run_ < runs_.size()) next_ = runs_[run_].first;
            continue;
        }
        if (!skipInvalid_ || validPolygon(src_.polygons[next_], src_.pointCount)) return;
        ++next_;
    }
}

namespace {

bool isTriangle(const host::CPolygon& p) { return p.c == p.d; }

void putUv(tal::ValueCursor<float>& out, const host::Vector& corner) {
    out.put(static_cast<float>(corner.x));
    out.put(static_cast<float>(corner.y));
}

}  // namespace

std::size_t VertexArray::next(const tal::ArrayRoom& room) {
    const std::size_t n = std::min(room.elements(), count_ - done_);
    tal::ValueCursor<float> xyz = room.floats();
    for (std::size_t i = 0; i < n; ++i) {
        const host::Vector& point = points_[used_[done_ + i]];
        xyz.put3(static_cast<float>(point.x), static_cast<float>(point.y),
                 static_cast<float>(point.z));
    }
    done_ += n;
    return n;
}

std::size_t TriangleArray::next(const tal::ArrayRoom& room) {
    tal::ValueCursor<std::int32_t> tri = room.ints();
    const auto vertex = [this](std::int32_t point) { return vertexOf_[point]; };
    while (shape_.quadsOnly && !walk_.done()) {
        // Whole stretches of quads, six ints each, without a test per polygon.
        const auto fit = static_cast<std::int32_t>(tri.room() / 6);
        if (fit == 0) break;
        const std::int32_t first = walk_.polygon();
        const std::int32_t last = std::min(walk_.runLast(), first + (fit - 1));
        for (std::int32_t i = first; i <= last; ++i) {
            const host::CPolygon& p = src_.polygons[i];
            const std::int32_t a = vertex(p.a), b = vertex(p.b), c = vertex(p.c), d = vertex(p.d);
            tri.put3(a, d, b);
            tri.put3(c, b, d);
        }
        walk_.advanceTo(last + 1);
    }
    while (!shape_.quadsOnly && !walk_.done()) {
        const host::CPolygon& p = src_.polygons[walk_.polygon()];
        if (isTriangle(p)) {
            if (tri.room() < 3) break;
            tri.put3(vertex(p.a), vertex(p.c), vertex(p.b));
        } else {
            if (tri.room() < 6) break;
            const std::int32_t a = vertex(p.a), b = vertex(p.b), c = vertex(p.c), d = vertex(p.d);
            tri.put3(a, d, b);
            tri.put3(c, b, d);
        }
        walk_.advance();
    }
    return room.elements() - tri.room();
}

std::size_t CornerIndexArray::next(const tal::ArrayRoom& room) {
    tal::ValueCursor<std::int32_t> index = room.ints();
    std::int32_t u = corner_;
    if (shape_.quadsOnly) {
        // Every polygon a quad: the pattern alone, six ints per quad.
        const std::size_t quads = std::min(room.elements(), shape_.indices - done_) / 6;
        for (std::size_t q = 0; q < quads; ++q, u += 4) {
            index.put3(u, u + 3, u + 1);
            index.put3(u + 2, u + 1, u + 3);
        }
    } else {
        while (!walk_.done()) {
            if (isTriangle(src_.polygons[walk_.polygon()])) {
                if (index.room() < 3) break;
                index.put3(u, u + 2, u + 1);
                u += 3;
            } else {
                if (index.room() < 6) break;
                index.put3(u, u + 3, u + 1);
                index.put3(u + 2, u + 1, u + 3);
                u += 4;
            }
            walk_.advance();
        }
    }
    corner_ = u;
    const std::size_t n = room.elements() - index.room();
    done_ += n;
    return n;
}

std::size_t UvArray::next(const tal::ArrayRoom& room) {
    static const host::UVWStruct kNoUvw{};
    tal::ValueCursor<float> uv = room.floats();
    while (shape_.quadsOnly && !walk_.done()) {
        // Whole stretches of quads, eight floats each, without a test per polygon.
        const auto fit = static_cast<std::int32_t>(uv.room() / 8);
        if (fit == 0) break;
        const std::int32_t first = walk_.polygon();
        const std::int32_t last = std::min(walk_.runLast(), first + (fit - 1));
        const std::int32_t covered = std::clamp(src_.uvwCount, first, last + 1);
        for (std::int32_t i = first; i < covered; ++i) {
            // 96 bytes of host data for 32 of ours: ask for them early.
            if (i + 24 < covered) __builtin_prefetch(src_.uvw + i + 24);
            const host::UVWStruct& t = src_.uvw[i];
            putUv(uv, t.a);
            putUv(uv, t.b);
            putUv(uv, t.c);
            putUv(uv, t.d);
        }
        uv.zeros(8 * static_cast<std::size_t>(last + 1 - covered));
        walk_.advanceTo(last + 1);
    }
    while (!shape_.quadsOnly && !walk_.done()) {
        const std::int32_t p = walk_.polygon();
        const bool triangle = isTriangle(src_.polygons[p]);
        if (uv.room() < (triangle ? 6u : 8u)) break;
        const host::UVWStruct& t = p < src_.uvwCount ? src_.uvw[p] : kNoUvw;
        putUv(uv, t.a);
        putUv(uv, t.b);
        putUv(uv, t.c);
        if (!triangle) putUv(uv, t.d);
        walk_.advance();
    }
    return room.elements() - uv.room();
}

std::size_t NormalArray::next(const tal::ArrayRoom& room) {
    static_assert(sizeof(host::Vector32) == 3 * sizeof(float));
    tal::ValueCursor<float> normal = room.floats();
    std::size_t given = 0;  // float triples
    while (!walk_.done()) {
        const std::int32_t p = walk_.polygon();
        const std::size_t count = !shape_.quadsOnly && isTriangle(src_.polygons[p]) ? 3 : 4;
        if (room.elements() - given < count) break;
        if (src_.zeroNormals || src_.phong == nullptr) {
            normal.zeros(3 * count);
        } else {
            // A Vector32 is three floats, so a polygon's normals are 3 * count floats.
            normal.copy(
                reinterpret_cast<const float*>(src_.phong + 4 * static_cast<std::size_t>(p)),
                3 * count);
        }
        given += count;
        walk_.advance();
    }
    return given;
}

}  // namespace convert
