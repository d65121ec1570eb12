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
// and the pairwise test. Arithmetic is in single precision. Besides the
// result the work needs 12 bytes per polygon, 16 per point and, per rough
// point, 4 per polygon there and 8 for its offset.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "host/object.h"

namespace host {

namespace {

constexpr Int32 kPhongAngleLimit = 1000;
constexpr Int32 kPhongAngle = 1001;
constexpr Float kDefaultPhongAngle = 80.0 * std::numbers::pi / 180.0;
// Margin of the shortcut's test, far above single precision's rounding of
// the mean, so that the shortcut never takes a pair the pairwise test
// would refuse.
constexpr float kShortcutMargin = 1e-4f;

// Asks the system to back the whole 2 MiB pages inside a fresh block of
// `bytes` at `data` with large pages, where it can: the arrays here are
// written once from end to end, and a large page costs one fault where small
// ones cost 512. Only a hint; it changes no value.
void preferLargePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kLargePage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

struct V3 {
    float x = 0, y = 0, z = 0;
};

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
int cornerPoints(const CPolygon& p, std::size_t pointCount, Int32 out[4]) {
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
V3 polygonNormal(const CPolygon& p, const Vector* points) {
    const Vector& a = points[p.a];
    const Vector& b = points[p.b];
    const Vector& c = points[p.c];
    const Vector& d = points[p.d];
    const Vector e = c - a, f = d - b;
    const Vector cross{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
    const Float length = std::sqrt(cross.x * cross.x + cross.y * cross.y + cross.z * cross.z);
    if (!(length > 0.0)) return {};
    const Float inverse = 1.0 / length;
    return {static_cast<float>(cross.x * inverse), static_cast<float>(cross.y * inverse),
            static_cast<float>(cross.z * inverse)};
}

// The unit normal of a polygon; zero when it refers to a point outside the
// point array.
V3 faceNormal(const CPolygon& p, std::size_t pointCount, const Vector* points) {
    const bool valid = inside(p.a, pointCount) && inside(p.b, pointCount) &&
                       inside(p.c, pointCount) && inside(p.d, pointCount);
    return valid ? polygonNormal(p, points) : V3{};
}

// Per point: the sum of the polygon normals there and how many polygons
// share the point; after the roughness test the normalised sum and the
// point's rough index (0 smooth, else 1 + its index among the rough points).
struct PointSum {
    V3 sum;
    std::uint32_t count = 0;
};

}  // namespace

std::vector<Vector32> PolygonObject::CreatePhongNormals() const {
    std::vector<Vector32> normals;
    CreatePhongNormals(normals);
    return normals;
}

bool PolygonObject::CreatePhongNormals(std::vector<Vector32>& normals) const {
    normals.clear();
    const BaseTag* tag = GetTag(Tphong);
    if (!tag || polygons_.empty()) return false;
    if (givenNormals_.size() == 4 * polygons_.size()) {
        normals.assign(givenNormals_.begin(), givenNormals_.end());
        return true;
    }
    GeData data;
    const bool limited = tag->GetParameter(DescID(kPhongAngleLimit), data) && data.GetInt32() != 0;
    const Float angle = std::clamp(
        tag->GetParameter(DescID(kPhongAngle), data) ? data.GetFloat() : kDefaultPhongAngle, 0.0,
        std::numbers::pi);
    const auto cosLimit = static_cast<float>(std::cos(angle));
    const auto cosHalf = static_cast<float>(std::cos(angle / 2));

    const std::size_t polygonCount = polygons_.size();
    const std::size_t pointCount = points_.size();
    const CPolygon* polygons = polygons_.data();
    const Vector* points = points_.data();

    // Per point the sum of the polygon normals there and how many there are.
    std::vector<PointSum> at;
    at.reserve(pointCount);
    preferLargePages(at.data(), pointCount * sizeof(PointSum));
    at.resize(pointCount);
    Int32 corner[4];
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const CPolygon& p = polygons[i];
        const V3 n = faceNormal(p, pointCount, points);
        const int k = cornerPoints(p, pointCount, corner);
        for (int j = 0; j < k; ++j) {
            PointSum& s = at[static_cast<std::size_t>(corner[j])];
            s.sum = add(s.sum, n);
            ++s.count;
        }
    }

    // A point is smooth when the shortcut holds there: the k unit normals
    // sum to S, so each has at least |S| - (k - 1) along S's direction; when
    // that is at least cos(angle / 2), all lie within angle / 2 of it.
    // Rough points get the list of their polygons (one array, an offset per
    // rough point).
    std::vector<std::size_t> offset{0};
    std::uint32_t roughCount = 0;
    for (PointSum& s : at) {
        const float length = std::sqrt(dot(s.sum, s.sum));
        const std::uint32_t k = s.count;
        const bool rough =
            limited && k > 1 && length - static_cast<float>(k - 1) < cosHalf + kShortcutMargin;
        s.count = rough ? ++roughCount : 0;
        if (rough) offset.push_back(offset.back() + k);
        s.sum = scaled(s.sum, length);
    }
    // Only rough points need the polygon normals again, and their polygons.
    std::vector<V3> face;
    std::vector<std::uint32_t> around;
    if (roughCount > 0) {
        face.resize(polygonCount);
        around.resize(offset.back());
        std::vector<std::size_t> fill(offset.begin(), offset.end() - 1);
        for (std::size_t i = 0; i < polygonCount; ++i) {
            face[i] = faceNormal(polygons[i], pointCount, points);
            const int k = cornerPoints(polygons[i], pointCount, corner);
            for (int j = 0; j < k; ++j) {
                const std::uint32_t rough = at[static_cast<std::size_t>(corner[j])].count;
                if (rough != 0) around[fill[rough - 1]++] = static_cast<std::uint32_t>(i);
            }
        }
    }

    // The corners: at a smooth point the point's normal, at a rough one the
    // pairwise sum.
    const auto roughCorner = [&](std::size_t polygon, std::uint32_t rough) {
        const V3 own = face[polygon];
        V3 n;
        for (std::size_t j = offset[rough - 1]; j < offset[rough]; ++j) {
            const std::uint32_t other = around[j];
            if (other == polygon || dot(face[other], own) >= cosLimit) n = add(n, face[other]);
        }
        return normalized(n);
    };
    const auto cornerNormal = [&](std::size_t polygon, Int32 point) {
        if (!inside(point, pointCount)) return V3{};
        const PointSum& s = at[static_cast<std::size_t>(point)];
        return s.count == 0 ? s.sum : roughCorner(polygon, s.count);
    };
    if (normals.capacity() < 4 * polygonCount) {
        normals = std::vector<Vector32>();  // a fresh block, not a copy of the old one
        normals.reserve(4 * polygonCount);
        preferLargePages(normals.data(), 4 * polygonCount * sizeof(Vector32));
    }
    if (roughCount == 0) {
        // Every corner takes its point's normal.
        const auto smooth = [&](Int32 point) {
            const V3 n = inside(point, pointCount) ? at[static_cast<std::size_t>(point)].sum : V3{};
            return Vector32{n.x, n.y, n.z};
        };
        for (std::size_t i = 0; i < polygonCount; ++i) {
            const CPolygon& p = polygons[i];
            normals.push_back(smooth(p.a));
            normals.push_back(smooth(p.b));
            normals.push_back(smooth(p.c));
            normals.push_back(smooth(p.d));
        }
        return true;
    }
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const CPolygon& p = polygons[i];
        for (const Int32 point : {p.a, p.b, p.c, p.d}) {
            const V3 n = cornerNormal(i, point);
            normals.emplace_back(n.x, n.y, n.z);
        }
    }
    return true;
}

}  // namespace host
