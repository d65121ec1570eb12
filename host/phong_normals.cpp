// Phong normals of a polygon object: four corner normals per polygon,
// smoothed over the polygons that share the corner's point.
//
// Given normals (four per polygon, set by an importer or the document's
// "normals") replace the computed ones while the object carries a phong tag:
// the tag still decides whether there are normals at all.
//
// Phong tag parameters (type 5612):
//   1000  angle limit (integer switch; unreadable: off)
//   1001  phong angle (float, radians; unreadable: 80 degrees)
// A corner's normal is the normalised sum of the unit normals of the
// polygons at its point, taken in polygon order; with the angle limit on,
// only of those whose normal is within the phong angle of the corner's own
// polygon's normal (the own polygon always counts). A polygon's normal is
// the cross product of its diagonals, (c - a) x (d - b), which for a
// triangle (d = c) is (b - a) x (c - a). A degenerate polygon, or one that
// refers to points outside the point array, has a zero normal and adds
// nothing; corners at points outside the array read (0, 0, 0). A triangle's
// fourth corner repeats its third.
//
// Cost. Most points of a mesh lie on a smooth surface: when every polygon
// normal at a point is within half the phong angle of their mean, every pair
// is within the angle, and each corner there takes the point's whole sum.
// Only the other points (creases, corners) get the list of their polygons
// and the pairwise test. Arithmetic is in single precision, but for the
// diagonals, taken in double before they are rounded. Besides the result the
// work needs 48 bytes per point (two halves' sums and the unit normals) and,
// when a point is rough, 12 per polygon, kept by the calling thread from call
// to call; and, per rough point, 4 per polygon there and 8 for its offset.
// On large meshes the polygon normals, the point test and the corners are
// shared among the processors; the sums at the points stay in polygon order,
// so the result does not depend on the number of threads.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "host/object.h"
#include "platform/large_pages.h"

namespace host {

namespace {

constexpr Int32 kPhongAngleLimit = 1000;
constexpr Int32 kPhongAngle = 1001;
constexpr Float kDefaultPhongAngle = 80.0 * std::numbers::pi / 180.0;
// Margin of the shortcut's test, far above single precision's rounding of
// the mean, so that the shortcut never takes a pair the pairwise test
// would refuse.
constexpr float kShortcutMargin = 1e-4f;

struct V3 {  // no initialisers, so that large arrays of it start unwritten
    float x, y, z;
};

// Work on more elements than this is shared among threads.
constexpr std::size_t kMinParallel = std::size_t{1} << 16;

// How many blocks to split work on `size` elements into: one per processor
// (at most 8) when there is enough of it.
std::size_t processorBlocks(std::size_t size) {
    const unsigned processors = std::thread::hardware_concurrency();
    return size < kMinParallel ? 1 : std::clamp(processors, 1u, 8u);
}

// Calls work(block, begin, end) for `blocks` blocks of consecutive indices
// of [0, size), each on a thread of its own (the calling one among them)
// where one can be had.
template <class Work>
void runBlocks(std::size_t blocks, std::size_t size, const Work& work) {
    const std::size_t step = (size + blocks - 1) / std::max<std::size_t>(blocks, 1);
    std::vector<std::jthread> helpers;
    helpers.reserve(blocks);
    for (std::size_t block = 1; block < blocks; ++block) {
        const std::size_t begin = std::min(size, block * step);
        const std::size_t end = std::min(size, begin + step);
        try {
            helpers.emplace_back([&work, block, begin, end] { work(block, begin, end); });
        } catch (const std::system_error&) {
            work(block, begin, end);  // no thread to be had: here, then
        }
    }
    work(std::size_t{0}, std::size_t{0}, std::min(size, step));
}

V3 add(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// `v` divided by `length`, its length; zero when the length is not positive.
V3 scaled(V3 v, float length) {
    if (!(length > 0.0f)) return {};
    const float inverse = 1.0f / length;
    return {v.x * inverse, v.y * inverse, v.z * inverse};
}
V3 normalized(V3 v) { return scaled(v, std::sqrt(dot(v, v))); }

bool inside(Int32 point, std::size_t pointCount) {
    return point >= 0 && static_cast<std::size_t>(point) < pointCount;
}

// The distinct valid corner points of a polygon, in corner order.
// The helpers below run once or more per polygon: always inlined.
[[gnu::always_inline]] inline int cornerPoints(const CPolygon& p, std::size_t pointCount,
                                               Int32 out[4]) {
    const Int32 corners[4] = {p.a, p.b, p.c, p.d};
    const bool valid = inside(p.a, pointCount) && inside(p.b, pointCount) &&
                       inside(p.c, pointCount) && inside(p.d, pointCount);
    if (valid && p.a != p.b && p.a != p.c && p.b != p.c && p.a != p.d && p.b != p.d) {
        std::copy(corners, corners + 4, out);
        return p.c == p.d ? 3 : 4;  // the common triangle or quad
    }
    int count = 0;
    for (const Int32 point : corners) {
        if (!inside(point, pointCount)) continue;
        bool seen = false;
        for (int k = 0; k < count; ++k) seen = seen || out[k] == point;
        if (!seen) out[count++] = point;
    }
    return count;
}

// The unit normal of a polygon whose corners are all valid points.
[[gnu::always_inline]] inline V3 polygonNormal(const CPolygon& p, const Vector* points) {
    const Vector& a = points[p.a];
    const Vector& b = points[p.b];
    const Vector& c = points[p.c];
    const Vector& d = points[p.d];
    // The diagonals in double precision (points far from the origin keep
    // their small differences), their cross product in single.
    const V3 e{static_cast<float>(c.x - a.x), static_cast<float>(c.y - a.y),
               static_cast<float>(c.z - a.z)};
    const V3 f{static_cast<float>(d.x - b.x), static_cast<float>(d.y - b.y),
               static_cast<float>(d.z - b.z)};
    return normalized({e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x});
}

// The unit normal of a polygon; zero when it refers to a point outside the
// point array.
[[gnu::always_inline]] inline V3 faceNormal(const CPolygon& p, std::size_t pointCount,
                                            const Vector* points) {
    const bool valid = inside(p.a, pointCount) && inside(p.b, pointCount) &&
                       inside(p.c, pointCount) && inside(p.d, pointCount);
    return valid ? polygonNormal(p, points) : V3{};
}

// Per point: the sum of the polygon normals there and how many polygons
// share the point; after the roughness test the normalised sum and the
// point's rough index (0 smooth, else 1 + its index among the rough points).
struct PointSum {  // PointSum{} is zero; large arrays of it start unwritten
    V3 sum;
    std::uint32_t count;
};

// The working arrays, kept per calling thread and grown to the largest mesh
// seen: a host that exports a large mesh again and again (every export asks
// for its normals) would otherwise pay for fresh memory each time. The two
// arrays of sums are left all zero by a call that completes (the pass that
// reads them clears them, while their lines are at hand), so the next call
// need not clear them first.
struct Scratch {
    std::vector<V3> face;         // per polygon, where a point is rough
    std::vector<PointSum> sums;   // per point: the (first half's) sums
    std::vector<PointSum> sums2;  // per point: the second half's sums
    std::vector<PointSum> unit;   // per point: its unit normal, rough or not
    bool zero = true;             // sums and sums2 are all zero
};

Scratch& scratchOfThisThread(std::size_t points) {
    static thread_local Scratch scratch;
    for (std::vector<PointSum>* at : {&scratch.sums, &scratch.sums2, &scratch.unit}) {
        if (at->size() >= points) continue;
        *at = std::vector<PointSum>();
        at->reserve(points);
        platform::preferLargePages(at->data(), points * sizeof(PointSum));
        at->resize(points);  // zero
    }
    return scratch;
}

// The pass over the points: per point the sum of the halves' sums (the
// second only with kTwoHalves) made its unit normal in `unit`, whose `count` says
// whether the point is rough (1) or smooth (0), as the shortcut below
// decides; the sums are cleared on the way, while their lines are at hand.
// The operations are those of `scaled`, so the bits are the same. Answers
// whether any point of [begin, end) is rough.
template <bool kTwoHalves>
bool settlePoints(PointSum* first, PointSum* second, PointSum* unit, std::size_t begin,
                  std::size_t end, std::uint32_t limited, float threshold) {
    std::uint32_t anyRough = 0;
    for (std::size_t i = begin; i < end; ++i) {
        float x = first[i].sum.x, y = first[i].sum.y, z = first[i].sum.z;
        std::uint32_t k = first[i].count;
        first[i].sum.x = first[i].sum.y = first[i].sum.z = 0.0f;
        first[i].count = 0;
        if constexpr (kTwoHalves) {
            x += second[i].sum.x;
            y += second[i].sum.y;
            z += second[i].sum.z;
            k += second[i].count;
            second[i].sum.x = second[i].sum.y = second[i].sum.z = 0.0f;
            second[i].count = 0;
        }
        const float length = std::sqrt(x * x + y * y + z * z);
        const bool positive = length > 0.0f;
        const float inverse = 1.0f / (positive ? length : 1.0f);
        const float ux = x * inverse, uy = y * inverse, uz = z * inverse;
        unit[i].sum.x = positive ? ux : 0.0f;
        unit[i].sum.y = positive ? uy : 0.0f;
        unit[i].sum.z = positive ? uz : 0.0f;
        const std::uint32_t rough =
            limited & static_cast<std::uint32_t>(k > 1) &
            static_cast<std::uint32_t>(length - static_cast<float>(k - 1) < threshold);
        unit[i].count = rough;
        anyRough |= rough;
    }
    return anyRough != 0;
}

// What the phong tag asks for: whether the angle limit is on, and the
// cosines of the phong angle and of its half.
struct PhongLimits {
    bool limited;
    float cosLimit;
    float cosHalf;
};

PhongLimits phongLimits(const BaseTag& tag) {
    GeData data;
    const bool limited = tag.GetParameter(DescID(kPhongAngleLimit), data) && data.GetInt32() != 0;
    const Float angle = std::clamp(
        tag.GetParameter(DescID(kPhongAngle), data) ? data.GetFloat() : kDefaultPhongAngle, 0.0,
        std::numbers::pi);
    return {limited, static_cast<float>(std::cos(angle)), static_cast<float>(std::cos(angle / 2))};
}

// The mesh as the steps below read it.
struct Mesh {
    const CPolygon* polygons;
    std::size_t polygonCount;
    const Vector* points;
    std::size_t pointCount;
};

// Per point the sum of its polygons' normals and how many polygons share
// it, into the scratch's sums. A large mesh is summed in two halves of its
// polygons at once, each in polygon order, and the halves added: always two,
// whatever the processors, so that the result depends on the mesh alone.
// The polygon normals are kept only where a rough point needs them (below).
// Answers the number of halves.
std::size_t sumAtPoints(const Mesh& mesh, Scratch& scratch) {
    PointSum* const sums[2] = {scratch.sums.data(), scratch.sums2.data()};
    const std::size_t halves = mesh.polygonCount < kMinParallel ? 1 : 2;
    if (!std::exchange(scratch.zero, false)) {  // a call before this one failed
        std::fill(scratch.sums.begin(), scratch.sums.end(), PointSum{});
        std::fill(scratch.sums2.begin(), scratch.sums2.end(), PointSum{});
    }
    runBlocks(halves, mesh.polygonCount, [&](std::size_t half, std::size_t begin, std::size_t end) {
        PointSum* at = sums[half];
        Int32 own[4];
        for (std::size_t i = begin; i < end; ++i) {
            const V3 n = faceNormal(mesh.polygons[i], mesh.pointCount, mesh.points);
            const int k = cornerPoints(mesh.polygons[i], mesh.pointCount, own);
            for (int j = 0; j < k; ++j) {
                PointSum& s = at[static_cast<std::size_t>(own[j])];
                s.sum = add(s.sum, n);
                ++s.count;
            }
        }
    });
    return halves;
}

// The scratch's sums made unit normals in its `unit`, the sums cleared.
// A point is smooth when the shortcut holds there: the k unit normals sum
// to S, so each has at least |S| - (k - 1) along S's direction; when that is
// at least cos(angle / 2), all lie within angle / 2 of it. In `unit`,
// `count` is 1 at a rough point and 0 at a smooth one. Answers whether any
// point is rough.
bool settleAllPoints(Scratch& scratch, std::size_t pointCount, std::size_t halves,
                     const PhongLimits& limits) {
    PointSum* const first = scratch.sums.data();
    PointSum* const second = scratch.sums2.data();
    PointSum* const unit = scratch.unit.data();
    const std::uint32_t limited = limits.limited ? 1 : 0;
    const float threshold = limits.cosHalf + kShortcutMargin;
    const std::size_t blocks = processorBlocks(pointCount);
    std::vector<std::uint8_t> anyRough(blocks, 0);
    runBlocks(blocks, pointCount, [&](std::size_t block, std::size_t begin, std::size_t end) {
        const bool rough =
            halves == 2 ? settlePoints<true>(first, second, unit, begin, end, limited, threshold)
                        : settlePoints<false>(first, nullptr, unit, begin, end, limited, threshold);
        anyRough[block] = rough ? 1 : 0;
    });
    scratch.zero = true;
    return std::find(anyRough.begin(), anyRough.end(), 1) != anyRough.end();
}

// The polygons around each rough point: one array, an offset per rough
// point (the polygons of rough point r are around[offset[r - 1]] up to
// around[offset[r]]).
struct RoughPoints {
    std::vector<std::size_t> offset{0};
    std::vector<std::uint32_t> around;
};

// Numbers the rough points (1 + their index among the rough points, in
// `unit[i].count`), lists their polygons, and keeps every polygon's normal
// in the scratch's `face`.
RoughPoints collectRoughPoints(const Mesh& mesh, Scratch& scratch) {
    RoughPoints rough;
    if (scratch.face.size() < mesh.polygonCount) scratch.face.resize(mesh.polygonCount);
    V3* face = scratch.face.data();
    runBlocks(processorBlocks(mesh.polygonCount), mesh.polygonCount,
              [&](std::size_t, std::size_t begin, std::size_t end) {
                  for (std::size_t i = begin; i < end; ++i)
                      face[i] = faceNormal(mesh.polygons[i], mesh.pointCount, mesh.points);
              });
    PointSum* const at = scratch.unit.data();
    Int32 corner[4];
    std::vector<std::uint32_t> polygonsAt(mesh.pointCount, 0);
    for (std::size_t i = 0; i < mesh.polygonCount; ++i) {
        const int k = cornerPoints(mesh.polygons[i], mesh.pointCount, corner);
        for (int j = 0; j < k; ++j) ++polygonsAt[static_cast<std::size_t>(corner[j])];
    }
    std::uint32_t roughCount = 0;
    for (std::size_t i = 0; i < mesh.pointCount; ++i) {
        if (at[i].count == 0) continue;
        at[i].count = ++roughCount;
        rough.offset.push_back(rough.offset.back() + polygonsAt[i]);
    }
    rough.around.resize(rough.offset.back());
    std::vector<std::size_t> fill(rough.offset.begin(), rough.offset.end() - 1);
    for (std::size_t i = 0; i < mesh.polygonCount; ++i) {
        const int k = cornerPoints(mesh.polygons[i], mesh.pointCount, corner);
        for (int j = 0; j < k; ++j) {
            const std::uint32_t number = at[static_cast<std::size_t>(corner[j])].count;
            if (number != 0) rough.around[fill[number - 1]++] = static_cast<std::uint32_t>(i);
        }
    }
    return rough;
}

// The corners: at a smooth point the point's normal, at a rough one the
// normalised sum of the normals of its polygons within the phong angle of
// the corner's own (which always counts).
struct CornerNormals {
    const PointSum* unit;
    const V3* face;
    const RoughPoints& rough;
    std::size_t pointCount;
    float cosLimit;

    Vector32 operator()(std::size_t polygon, Int32 point) const {
        if (!inside(point, pointCount)) return Vector32{};
        const PointSum& s = unit[static_cast<std::size_t>(point)];
        if (s.count == 0) return Vector32{s.sum.x, s.sum.y, s.sum.z};
        const V3 own = face[polygon];
        V3 n{};
        for (std::size_t j = rough.offset[s.count - 1]; j < rough.offset[s.count]; ++j) {
            const std::uint32_t other = rough.around[j];
            if (other == polygon || dot(face[other], own) >= cosLimit) n = add(n, face[other]);
        }
        n = normalized(n);
        return Vector32{n.x, n.y, n.z};
    }
};

// Four corner normals per polygon into `normals`, whose storage is reused
// when it has the size.
void writeCorners(const Mesh& mesh, const CornerNormals& cornerNormal,
                  std::vector<Vector32>& normals) {
    const std::size_t polygonCount = mesh.polygonCount;
    if (normals.capacity() < 4 * polygonCount) {
        normals = std::vector<Vector32>();  // a fresh block, not a copy of the old one
        normals.reserve(4 * polygonCount);
        platform::preferLargePages(normals.data(), 4 * polygonCount * sizeof(Vector32));
    }
    normals.resize(4 * polygonCount);
    Vector32* out = normals.data();
    const CPolygon* polygons = mesh.polygons;
    runBlocks(processorBlocks(polygonCount), polygonCount,
              [&](std::size_t, std::size_t begin, std::size_t end) {
                  for (std::size_t i = begin; i < end; ++i) {
                      const CPolygon& p = polygons[i];
                      Vector32* corners = out + 4 * i;
                      corners[0] = cornerNormal(i, p.a);
                      corners[1] = cornerNormal(i, p.b);
                      corners[2] = cornerNormal(i, p.c);
                      corners[3] = cornerNormal(i, p.d);
                  }
              });
}

}  // namespace

std::vector<Vector32> PolygonObject::CreatePhongNormals() const {
    std::vector<Vector32> normals;
    CreatePhongNormals(normals);
    return normals;
}

bool PolygonObject::CreatePhongNormals(std::vector<Vector32>& normals) const {
    const BaseTag* tag = GetTag(Tphong);
    if (!tag || polygons_.empty()) {
        normals.clear();
        return false;
    }
    if (givenNormals_.size() == 4 * polygons_.size()) {
        normals.assign(givenNormals_.begin(), givenNormals_.end());
        return true;
    }
    const PhongLimits limits = phongLimits(*tag);
    const Mesh mesh{polygons_.data(), polygons_.size(), points_.data(), points_.size()};
    Scratch& scratch = scratchOfThisThread(mesh.pointCount);
    const std::size_t halves = sumAtPoints(mesh, scratch);
    RoughPoints rough;
    if (settleAllPoints(scratch, mesh.pointCount, halves, limits))
        rough = collectRoughPoints(mesh, scratch);
    const CornerNormals cornerNormal{scratch.unit.data(), scratch.face.data(), rough,
                                     mesh.pointCount, limits.cosLimit};
    writeCorners(mesh, cornerNormal, normals);
    return true;
}

}  // namespace host
