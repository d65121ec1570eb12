// glTF space onto host space, and the warning lines.
//
// glTF: right-handed, y up, +z towards the viewer, metres; cameras and lights
// look along their local -z. Host: left-handed, y up, centimetres; cameras
// and lights look along their local +z. The mirror F = diag(1, 1, -1) maps
// one onto the other: a point p becomes 100 * F p, a local matrix L becomes
// F L F (its offset scaled by 100). Since F maps glTF's -z onto the host's +z,
// a camera or light keeps its view direction without any extra turn.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

// F A F for the 3x3 part given by rows r[i][j] (column-vector convention):
// entry (i, j) changes sign when exactly one of i, j is the z row/column.
Matrix mirrored(const double r[3][3]) {
    const double f[3] = {1, 1, -1};
    Matrix m;
    m.v1 = {f[0] * r[0][0] * f[0], f[1] * r[1][0] * f[0], f[2] * r[2][0] * f[0]};
    m.v2 = {f[0] * r[0][1] * f[1], f[1] * r[1][1] * f[1], f[2] * r[2][1] * f[1]};
    m.v3 = {f[0] * r[0][2] * f[2], f[1] * r[1][2] * f[2], f[2] * r[2][2] * f[2]};
    return m;
}

}  // namespace

Vector hostPoint(double x, double y, double z) {
    return {x * kUnitsPerMetre, y * kUnitsPerMetre, -z * kUnitsPerMetre};
}

Vector32 hostNormal(double x, double y, double z) {
    const Vector n = Normalize(Vector(x, y, -z));
    return {static_cast<Float32>(n.x), static_cast<Float32>(n.y), static_cast<Float32>(n.z)};
}

Matrix hostMatrix(const std::vector<double>& m) {
    // Column-major: element (row i, column j) is m[4 * j + i].
    const double r[3][3] = {{m[0], m[4], m[8]}, {m[1], m[5], m[9]}, {m[2], m[6], m[10]}};
    Matrix h = mirrored(r);
    h.off = hostPoint(m[12], m[13], m[14]);
    return h;
}

Matrix hostRotation(double x, double y, double z, double w) {
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(length > 0.0) || !std::isfinite(length)) return Matrix();
    x /= length, y /= length, z /= length, w /= length;
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    return mirrored(r);
}

double rotationDistance(const Matrix& a, const Matrix& b) {
    const double trace = Dot(Normalize(a.v1), Normalize(b.v1)) +
                         Dot(Normalize(a.v2), Normalize(b.v2)) +
                         Dot(Normalize(a.v3), Normalize(b.v3));
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0));
}

void Context::fail(const std::string& path, const std::string& problem) const {
    throw GltfError(path.empty() ? problem : path + ": " + problem);
}

std::string indexPath(const char* array, std::size_t index) {
    return std::string(array) + "[" + std::to_string(index) + "]";
}

}  // namespace host::gltf::detail
