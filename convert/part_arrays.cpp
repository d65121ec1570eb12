#include "convert/part_arrays.h"

#include <algorithm>
#include <cstring>

#include "host/object.h"
#include "host/tag.h"
#include "sceneapi/scene_api.h"

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

// A writer may hand out room at any byte offset (inside its output block),
// so values are stored through types aligned to one byte: the compiler then
// emits unaligned stores, vectorised as before, and no misaligned access.
typedef float OutFloat __attribute__((aligned(1)));
typedef std::int32_t OutInt __attribute__((aligned(1)));

void put3(OutInt*& out, std::int32_t a, std::int32_t b, std::int32_t c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out += 3;
}

void putUv(OutFloat*& out, const host::Vector& corner) {
    out[0] = static_cast<float>(corner.x);
    out[1] = static_cast<float>(corner.y);
    out += 2;
}

}  // namespace

std::size_t VertexArray::next(void* out, std::size_t room) {
    const std::size_t n = std::min(room, count_ - done_);
    OutFloat* xyz = static_cast<OutFloat*>(out);
    for (std::size_t i = 0; i < n; ++i) {
        const host::Vector& point = points_[used_[done_ + i]];
        xyz[3 * i] = static_cast<float>(point.x);
        xyz[3 * i + 1] = static_cast<float>(point.y);
        xyz[3 * i + 2] = static_cast<float>(point.z);
    }
    done_ += n;
    return n;
}

std::size_t TriangleArray::next(void* out, std::size_t room) {
    OutInt* tri = static_cast<OutInt*>(out);
    OutInt* const start = tri;
    OutInt* const end = tri + room;
    const auto vertex = [this](std::int32_t point) { return vertexOf_[point]; };
    while (shape_.quadsOnly && !walk_.done()) {
        // Whole stretches of quads, six ints each, without a test per polygon.
        const auto fit = static_cast<std::int32_t>((end - tri) / 6);
        if (fit == 0) break;
        const std::int32_t first = walk_.polygon();
        const std::int32_t last = std::min(walk_.runLast(), first + (fit - 1));
        for (std::int32_t i = first; i <= last; ++i) {
            const host::CPolygon& p = src_.polygons[i];
            const std::int32_t a = vertex(p.a), b = vertex(p.b), c = vertex(p.c), d = vertex(p.d);
            put3(tri, a, d, b);
            put3(tri, c, b, d);
        }
        walk_.advanceTo(last + 1);
    }
    while (!shape_.quadsOnly && !walk_.done()) {
        const host::CPolygon& p = src_.polygons[walk_.polygon()];
        if (isTriangle(p)) {
            if (end - tri < 3) break;
            put3(tri, vertex(p.a), vertex(p.c), vertex(p.b));
        } else {
            if (end - tri < 6) break;
            const std::int32_t a = vertex(p.a), b = vertex(p.b), c = vertex(p.c), d = vertex(p.d);
            put3(tri, a, d, b);
            put3(tri, c, b, d);
        }
        walk_.advance();
    }
    return static_cast<std::size_t>(tri - start);
}

std::size_t CornerIndexArray::next(void* out, std::size_t room) {
    OutInt* index = static_cast<OutInt*>(out);
    OutInt* const start = index;
    std::int32_t u = corner_;
    if (shape_.quadsOnly) {
        // Every polygon a quad: the pattern alone, six ints per quad.
        const std::size_t quads = std::min(room, shape_.indices - done_) / 6;
        for (std::size_t q = 0; q < quads; ++q, u += 4) {
            put3(index, u, u + 3, u + 1);
            put3(index, u + 2, u + 1, u + 3);
        }
    } else {
        OutInt* const end = index + room;
        while (!walk_.done()) {
            if (isTriangle(src_.polygons[walk_.polygon()])) {
                if (end - index < 3) break;
                put3(index, u, u + 2, u + 1);
                u += 3;
            } else {
                if (end - index < 6) break;
                put3(index, u, u + 3, u + 1);
                put3(index, u + 2, u + 1, u + 3);
                u += 4;
            }
            walk_.advance();
        }
    }
    corner_ = u;
    const auto n = static_cast<std::size_t>(index - start);
    done_ += n;
    return n;
}

std::size_t UvArray::next(void* out, std::size_t room) {
    static const host::UVWStruct kNoUvw{};
    OutFloat* uv = static_cast<OutFloat*>(out);
    OutFloat* const start = uv;
    OutFloat* const end = uv + room;
    while (shape_.quadsOnly && !walk_.done()) {
        // Whole stretches of quads, eight floats each, without a test per polygon.
        const auto fit = static_cast<std::int32_t>((end - uv) / 8);
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
        const std::size_t zeros = 8 * static_cast<std::size_t>(last + 1 - covered);
        std::memset(uv, 0, zeros * sizeof(float));  // bytes: uv need not be aligned
        uv += zeros;
        walk_.advanceTo(last + 1);
    }
    while (!shape_.quadsOnly && !walk_.done()) {
        const std::int32_t p = walk_.polygon();
        const bool triangle = isTriangle(src_.polygons[p]);
        if (end - uv < (triangle ? 6 : 8)) break;
        const host::UVWStruct& t = p < src_.uvwCount ? src_.uvw[p] : kNoUvw;
        putUv(uv, t.a);
        putUv(uv, t.b);
        putUv(uv, t.c);
        if (!triangle) putUv(uv, t.d);
        walk_.advance();
    }
    return static_cast<std::size_t>(uv - start);
}

std::size_t NormalArray::next(void* out, std::size_t room) {
    OutFloat* const normal = static_cast<OutFloat*>(out);
    std::size_t given = 0;  // float triples
    while (!walk_.done()) {
        const std::int32_t p = walk_.polygon();
        const std::size_t count = !shape_.quadsOnly && isTriangle(src_.polygons[p]) ? 3 : 4;
        if (room - given < count) break;
        OutFloat* const at = normal + 3 * given;
        if (src_.zeroNormals || src_.phong == nullptr) {
            std::memset(at, 0, 3 * count * sizeof(float));
        } else {
            std::memcpy(at, src_.phong + 4 * static_cast<std::size_t>(p),
                        count * sizeof(host::Vector32));
        }
        given += count;
        walk_.advance();
    }
    return given;
}

void putArray(tal::talScene_api& api, tal::ArrayPieceWriter* pieces,
              ScratchArray<std::uint32_t>& scratch, const char* name, int type, std::size_t count,
              tal::ArraySource& source) {
    if (pieces && pieces->setArrayParameter(name, type, count, source)) return;
    const std::size_t perElement = type == tal::kFloat3 ? 3 : 1;
    scratch.resize(count * perElement);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = source.next(scratch.data() + done * perElement, count - done);
        if (n == 0) break;
        done += n;
    }
    // As in pieces: elements a source did not give are zeros.
    std::fill(scratch.begin() + static_cast<std::ptrdiff_t>(done * perElement), scratch.end(), 0u);
    const tal::ArrayValue value{scratch.data(), static_cast<std::int32_t>(count)};
    api.setParameter(name, tal::kArrayBit | type, &value);
}

}  // namespace convert
