// Small vector and matrix arithmetic for the preview.
//
// Contract. Vec3 is three floats. Matrix is the scene file's 4x4: 16 doubles,
// row-major, for row vectors: a point p maps to p * M, so the rows are the
// x, y and z axes (each with 0) and the offset (with 1), and a * b applies a
// first, then b.
#pragma once

#include <array>
#include <cmath>

namespace preview {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { return a = a + b; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
// `a` made unit length; the zero vector stays zero.
inline Vec3 normalize(Vec3 a) {
    const float l = length(a);
    return l > 0 ? a * (1.0f / l) : Vec3{};
}
inline bool finite(Vec3 a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}
inline float maxComponent(Vec3 a) { return std::fmax(a.x, std::fmax(a.y, a.z)); }
inline float luminance(Vec3 c) { return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z; }

using Matrix = std::array<double, 16>;
constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

inline Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return r;
}

inline Vec3 transformPoint(const Matrix& m, Vec3 p) {
    const double x = p.x, y = p.y, z = p.z;
    return {static_cast<float>(x * m[0] + y * m[4] + z * m[8] + m[12]),
            static_cast<float>(x * m[1] + y * m[5] + z * m[9] + m[13]),
            static_cast<float>(x * m[2] + y * m[6] + z * m[10] + m[14])};
}

inline Vec3 transformVector(const Matrix& m, Vec3 v) {
    const double x = v.x, y = v.y, z = v.z;
    return {static_cast<float>(x * m[0] + y * m[4] + z * m[8]),
            static_cast<float>(x * m[1] + y * m[5] + z * m[9]),
            static_cast<float>(x * m[2] + y * m[6] + z * m[10])};
}

// The matrix that carries normals: the inverse transpose of the axis part,
// up to scale (the adjugate), so a mirror or a non-uniform scale keeps normals
// perpendicular to their surface. Normals it maps need normalising.
inline Matrix normalMatrix(const Matrix& m) {
    const auto a = [&](int r, int c) { return m[r * 4 + c]; };
    Matrix n = kIdentity;
    // Row i of the result is the cross product of the other two axis rows.
    for (int i = 0; i < 3; ++i) {
        const int r1 = (i + 1) % 3, r2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int c1 = (j + 1) % 3, c2 = (j + 2) % 3;
            n[i * 4 + j] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    }
    // The cofactor matrix: for row vectors, n' = n * cofactor(M) keeps n' . (p * M) = 0.
    const double det = a(0, 0) * n[0] + a(0, 1) * n[1] + a(0, 2) * n[2];
    if (det < 0)
        for (int i = 0; i < 12; ++i) n[i] = -n[i];
    n[12] = n[13] = n[14] = 0;
    return n;
}

}  // namespace preview
