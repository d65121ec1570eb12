// assimp's space onto the host's, and the warning lines.
//
// assimp hands every format over right-handed with y up and +z towards the
// viewer. The host is left-handed with y up, in centimetres. The mirror
// F = diag(1, 1, -1) maps one onto the other: a point p becomes unit * F p, a
// local matrix L becomes F L F (its offset in centimetres), so that every
// world transform follows: host world * hostPoint(p) = hostPoint(world * p).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/assimp/import_context.h"

namespace host::assimp::detail {

Vector32 Space::normal(const aiVector3D& n) {
    const Vector v = Normalize(Vector(n.x, n.y, -n.z));
    return {static_cast<Float32>(v.x), static_cast<Float32>(v.y), static_cast<Float32>(v.z)};
}

Matrix Space::matrix(const aiMatrix4x4& m) const {
    Matrix h;
    h.v1 = {m.a1, m.b1, -m.c1};
    h.v2 = {m.a2, m.b2, -m.c2};
    h.v3 = {-m.a3, -m.b3, m.c3};
    h.off = {unit * m.a4, unit * m.b4, -unit * m.c4};
    return h;
}

Matrix Space::rotation(const aiQuaternion& q) {
    aiQuaternion n = q;
    const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(length > 0.0) || !std::isfinite(length)) return Matrix();
    n.Normalize();
    return Space{}.matrix(aiMatrix4x4(n.GetMatrix()));
}

std::string text(const aiString& s) { return std::string(s.C_Str(), s.length); }

}  // namespace host::assimp::detail
