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
// and the pairwise test. Arithmetic is in single precision.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

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

struct V3 {
    float x = 0, y = 0, z = 0;
};

V3 add(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 normalized(V3 v) {
    const float length = std::sqrt(dot(v, v));
    if (!(length > 0.0f)) return {};
    const float inverse = 1.0f / length;
    return {v.x * inverse, v.y * inverse, v.z * inverse};
}

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

V3 polygonNormal(const CPolygon& p, const std::vector<Vector>& points) {
    const std::size_t n = points.size();
    if (!inside(p.a, n) || !inside(p.b, n) || !inside(p.c, n) || !inside(p.d, n)) return {};
    const Vector& a = points[static_cast<std::size_t>(p.a)];
    const Vector& b = points[static_cast<std::size_t>(p.b)];
    const Vector& c = points[static_cast<std::size_t>(p.c)];
    const Vector& d = points[static_cast<std::size_t>(p.d)];
    const Vector e = c - a, f = d - b;
    const Vector cross{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
    const Float length = std::sqrt(cross.x * cross.x + cross.y * cross.y + cross.z * cross.z);
    if (!(length > 0.0)) return {};
    const Float inverse = 1.0 / length;
    return {static_cast<float>(cross.x * inverse), static_cast<float>(cross.y * inverse),
            static_cast<float>(cross.z * inverse)};
}

}  // namespace

std::vector<Vector32> PolygonObject::CreatePhongNormals() const {
    const BaseTag* tag = GetTag(Tphong);
    if (!tag || polygons_.empty()) return {};
    if (givenNormals_.size() == 4 * polygons_.size()) return givenNormals_;
    GeData data;
    const bool limited = tag->GetParameter(DescID(kPhongAngleLimit), data) && data.GetInt32() != 0;
    const Float angle = std::clamp(
        tag->GetParameter(DescID(kPhongAngle), data) ? data.GetFloat() : kDefaultPhongAngle, 0.0,
        std::numbers::pi);
    const auto cosLimit = static_cast<float>(std::cos(angle));
    const auto cosHalf = static_cast<float>(std::cos(angle / 2));

    const std::size_t polygonCount = polygons_.size();
    const std::size_t pointCount = points_.size();

    // Polygon normals, and per point their sum and how many there are.
    std::vector<V3> face;
    face.reserve(polygonCount);
    std::vector<V3> mean(pointCount);
    std::vector<std::uint32_t> count(pointCount, 0);
    Int32 at[4];
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const V3 n = polygonNormal(polygons_[i], points_);
        face.push_back(n);
        const int k = cornerPoints(polygons_[i], pointCount, at);
        for (int j = 0; j < k; ++j) {
            const auto point = static_cast<std::size_t>(at[j]);
            mean[point] = add(mean[point], n);
            ++count[point];
        }
    }

    // A point is smooth when the shortcut holds there: the k unit normals
    // sum to S, so each has at least |S| - (k - 1) along S's direction; when
    // that is at least cos(angle / 2), all lie within angle / 2 of it.
    // Rough points get the list of their polygons (one array, an offset per
    // rough point).
    // The counts are not needed after this test: their array becomes the
    // rough index (per point: 0 smooth, else 1 + the rough point's index).
    std::vector<std::uint32_t>& roughIndex = count;
    std::vector<std::size_t> offset{0};
    std::vector<std::uint32_t> around;
    std::size_t roughCount = 0;
    if (limited) {
        for (std::size_t point = 0; point < pointCount; ++point) {
            const std::uint32_t k = count[point];
            const V3 s = mean[point];
            const bool rough = k > 1 && std::sqrt(dot(s, s)) - static_cast<float>(k - 1) <
                                            cosHalf + kShortcutMargin;
            roughIndex[point] = rough ? static_cast<std::uint32_t>(++roughCount) : 0;
            if (rough) offset.push_back(offset.back() + k);
            mean[point] = normalized(s);
        }
        around.resize(offset.back());
        std::vector<std::size_t> fill(offset.begin(), offset.end() - 1);
        for (std::size_t i = 0; roughCount > 0 && i < polygonCount; ++i) {
            const int k = cornerPoints(polygons_[i], pointCount, at);
            for (int j = 0; j < k; ++j) {
                const std::uint32_t rough = roughIndex[static_cast<std::size_t>(at[j])];
                if (rough != 0) around[fill[rough - 1]++] = static_cast<std::uint32_t>(i);
            }
        }
    }
    if (!limited)
        for (V3& s : mean) s = normalized(s);

    std::vector<Vector32> normals;
    normals.reserve(4 * polygonCount);
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const CPolygon& p = polygons_[i];
        const Int32 corners[4] = {p.a, p.b, p.c, p.d};
        for (int k = 0; k < 4; ++k) {
            V3 n;
            const Int32 point = corners[k];
            if (inside(point, pointCount)) {
                const auto index = static_cast<std::size_t>(point);
                const std::uint32_t rough = limited ? roughIndex[index] : 0;
                if (rough == 0) {
                    n = mean[index];
                } else {
                    const V3 own = face[i];
                    for (std::size_t j = offset[rough - 1]; j < offset[rough]; ++j) {
                        const std::uint32_t other = around[j];
                        if (other == i || dot(face[other], own) >= cosLimit)
                            n = add(n, face[other]);
                    }
                    n = normalized(n);
                }
            }
            normals.push_back({n.x, n.y, n.z});
        }
    }
    return normals;
}

}  // namespace host
