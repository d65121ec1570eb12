// Phong normals of a polygon object: four corner normals per polygon,
// smoothed over the polygons that share the corner's point.
//
// Phong tag parameters (type 5612):
//   1000  angle limit (integer switch; unreadable: off)
//   1001  phong angle (float, radians; unreadable: 80 degrees)
// A corner's normal is the normalised sum of the unit normals of the
// polygons at its point; with the angle limit on, only of those whose normal
// is within the phong angle of the corner's own polygon's normal (the own
// polygon always counts). A polygon's normal is the cross product of its
// diagonals, (c - a) x (d - b), which for a triangle (d = c) is
// (b - a) x (c - a). A degenerate polygon, or one that refers to points
// outside the point array, has a zero normal and adds nothing; corners at
// such points read (0, 0, 0). A triangle's fourth corner repeats its third.
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

// The distinct valid corner points of a polygon, in corner order.
int cornerPoints(const CPolygon& p, std::size_t pointCount, Int32 out[4]) {
    const Int32 corners[4] = {p.a, p.b, p.c, p.d};
    int count = 0;
    for (const Int32 point : corners) {
        if (point < 0 || static_cast<std::size_t>(point) >= pointCount) continue;
        bool seen = false;
        for (int k = 0; k < count; ++k) seen = seen || out[k] == point;
        if (!seen) out[count++] = point;
    }
    return count;
}

bool validPolygon(const CPolygon& p, std::size_t pointCount) {
    const auto inside = [pointCount](Int32 i) { return i >= 0 && static_cast<std::size_t>(i) < pointCount; };
    return inside(p.a) && inside(p.b) && inside(p.c) && inside(p.d);
}

Vector32 toFloat(const Vector& v) {
    return {static_cast<Float32>(v.x), static_cast<Float32>(v.y), static_cast<Float32>(v.z)};
}

}  // namespace

std::vector<Vector32> PolygonObject::CreatePhongNormals() const {
    const BaseTag* tag = GetTag(Tphong);
    if (!tag || polygons_.empty()) return {};
    GeData data;
    const bool limited = tag->GetParameter(DescID(kPhongAngleLimit), data) && data.GetInt32() != 0;
    const Float angle = tag->GetParameter(DescID(kPhongAngle), data) ? data.GetFloat() : kDefaultPhongAngle;
    const Float cosLimit = std::cos(std::fmin(std::fmax(angle, 0.0), std::numbers::pi));

    const std::size_t polygonCount = polygons_.size();
    const std::size_t pointCount = points_.size();

    // Unit polygon normals.
    std::vector<Vector> face(polygonCount);
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const CPolygon& p = polygons_[i];
        if (!validPolygon(p, pointCount)) continue;
        const Vector& a = points_[static_cast<std::size_t>(p.a)];
        const Vector& b = points_[static_cast<std::size_t>(p.b)];
        const Vector& c = points_[static_cast<std::size_t>(p.c)];
        const Vector& d = points_[static_cast<std::size_t>(p.d)];
        face[i] = Normalize(Cross(c - a, d - b));
    }

    // The polygons at each point, as one array with an offset per point.
    std::vector<std::size_t> offset(pointCount + 1, 0);
    Int32 points[4];
    for (const CPolygon& p : polygons_) {
        const int n = cornerPoints(p, pointCount, points);
        for (int k = 0; k < n; ++k) ++offset[static_cast<std::size_t>(points[k]) + 1];
    }
    for (std::size_t i = 0; i < pointCount; ++i) offset[i + 1] += offset[i];
    std::vector<std::uint32_t> around(offset[pointCount]);
    {
        std::vector<std::size_t> fill(offset.begin(), offset.end() - 1);
        for (std::size_t i = 0; i < polygonCount; ++i) {
            const int n = cornerPoints(polygons_[i], pointCount, points);
            for (int k = 0; k < n; ++k)
                around[fill[static_cast<std::size_t>(points[k])]++] = static_cast<std::uint32_t>(i);
        }
    }

    std::vector<Vector32> normals(4 * polygonCount);
    for (std::size_t i = 0; i < polygonCount; ++i) {
        const CPolygon& p = polygons_[i];
        const Vector& own = face[i];
        const Int32 corners[4] = {p.a, p.b, p.c, p.d};
        for (int k = 0; k < 4; ++k) {
            const Int32 point = corners[k];
            if (k == 3 && p.d == p.c) {
                normals[4 * i + 3] = normals[4 * i + 2];
                break;
            }
            if (point < 0 || static_cast<std::size_t>(point) >= pointCount) continue;
            Vector sum;
            const std::size_t end = offset[static_cast<std::size_t>(point) + 1];
            for (std::size_t j = offset[static_cast<std::size_t>(point)]; j < end; ++j) {
                const std::uint32_t other = around[j];
                const Vector& n = face[other];
                if (!limited || other == i || Dot(n, own) >= cosLimit) sum = sum + n;
            }
            normals[4 * i + static_cast<std::size_t>(k)] = toFloat(Normalize(sum));
        }
    }
    return normals;
}

}  // namespace host
