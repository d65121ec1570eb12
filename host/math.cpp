// Matrix arithmetic of the host: products, inverse, and the rotation matrices
// for the seven rotation orders (math.h documents the conventions).
#include "host/math.h"

#include <cmath>
#include <numbers>

namespace host {

namespace {

// The linear part of `m` applied to a direction (no offset).
Vector linear(const Matrix& m, const Vector& d) { return m.v1 * d.x + m.v2 * d.y + m.v3 * d.z; }

// Component i (0 x, 1 y, 2 z) of a vector.
Float at(const Vector& v, int i) { return i == 0 ? v.x : (i == 1 ? v.y : v.z); }

// Element (row, column) of the 3x3 part; column c is the image of axis c.
Float element(const Matrix& m, int row, int column) {
    return at(column == 0 ? m.v1 : (column == 1 ? m.v2 : m.v3), row);
}

Matrix rotationAbout(int axis, Float angle) {
    return axis == 0 ? MatrixRotX(angle) : (axis == 1 ? MatrixRotY(angle) : MatrixRotZ(angle));
}

// The factors of a rotation order, left to right, as (axis, angle component)
// pairs. Codes 0..5 rotate about axis i by component i; code 6 (H, P, B)
// rotates about y by r.x, about x by r.y and about z by r.z.
struct Factor {
    int axis;
    int component;
};
struct Order {
    Factor f[3];
};

constexpr Order kOrders[7] = {
    {{{2, 2}, {0, 0}, {1, 1}}},  // 0: Z X Y
    {{{0, 0}, {2, 2}, {1, 1}}},  // 1: X Z Y
    {{{0, 0}, {1, 1}, {2, 2}}},  // 2: X Y Z
    {{{1, 1}, {0, 0}, {2, 2}}},  // 3: Y X Z
    {{{1, 1}, {2, 2}, {0, 0}}},  // 4: Y Z X
    {{{2, 2}, {1, 1}, {0, 0}}},  // 5: Z Y X
    {{{1, 0}, {0, 1}, {2, 2}}},  // 6: H P B
};

bool orderOf(Int32 code, Order& out) {
    if (code < 0 || code > 6) return false;
    out = kOrders[code];
    return true;
}

}  // namespace

Vector operator*(const Matrix& m, const Vector& p) { return m.off + linear(m, p); }

Matrix operator*(const Matrix& a, const Matrix& b) {
    return Matrix{a * b.off, linear(a, b.v1), linear(a, b.v2), linear(a, b.v3)};
}

Matrix operator~(const Matrix& m) {
    // Rows of the inverse 3x3 part are the cross products of the columns
    // divided by the determinant.
    const Vector r0 = Cross(m.v2, m.v3);
    const Vector r1 = Cross(m.v3, m.v1);
    const Vector r2 = Cross(m.v1, m.v2);
    const Float det = Dot(m.v1, r0);
    if (det == 0.0) return Matrix{};
    const Float inv = 1.0 / det;
    Matrix out;
    out.v1 = Vector{r0.x, r1.x, r2.x} * inv;
    out.v2 = Vector{r0.y, r1.y, r2.y} * inv;
    out.v3 = Vector{r0.z, r1.z, r2.z} * inv;
    out.off = Vector{} - linear(out, m.off);
    return out;
}

Vector Cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Float Length(const Vector& v) { return std::sqrt(Dot(v, v)); }

Vector Normalize(const Vector& v) {
    const Float len = Length(v);
    return len == 0.0 ? v : v * (1.0 / len);
}

Matrix MatrixMove(const Vector& t) {
    Matrix m;
    m.off = t;
    return m;
}

Matrix MatrixScale(const Vector& s) {
    Matrix m;
    m.v1 = {s.x, 0, 0};
    m.v2 = {0, s.y, 0};
    m.v3 = {0, 0, s.z};
    return m;
}

Matrix MatrixRotX(Float a) {
    const Float c = std::cos(a), s = std::sin(a);
    Matrix m;
    m.v2 = {0, c, s};
    m.v3 = {0, -s, c};
    return m;
}

Matrix MatrixRotY(Float a) {
    const Float c = std::cos(a), s = std::sin(a);
    Matrix m;
    m.v1 = {c, 0, -s};
    m.v3 = {s, 0, c};
    return m;
}

Matrix MatrixRotZ(Float a) {
    const Float c = std::cos(a), s = std::sin(a);
    Matrix m;
    m.v1 = {c, s, 0};
    m.v2 = {-s, c, 0};
    return m;
}

Matrix HPBToMatrix(const Vector& rotation, Int32 rotationOrder) {
    Order order{};
    if (!orderOf(rotationOrder, order)) return Matrix{};
    Matrix m;
    for (const Factor& f : order.f) m = m * rotationAbout(f.axis, at(rotation, f.component));
    return m;
}

Vector MatrixToHPB(const Matrix& m, Int32 rotationOrder) {
    Order order{};
    if (!orderOf(rotationOrder, order)) return Vector{};
    // Normalised axes so that a scaled matrix decomposes like its rotation.
    const Matrix r{Vector{}, Normalize(m.v1), Normalize(m.v2), Normalize(m.v3)};
    // R = R_i(a) R_j(b) R_k(g) with distinct axes i, j, k. For an even
    // permutation of (x, y, z) the sign is +1, for an odd one -1.
    const int i = order.f[0].axis, j = order.f[1].axis, k = order.f[2].axis;
    const Float sign = ((j - i + 3) % 3 == 1) ? 1.0 : -1.0;
    const Float sb = std::fmax(-1.0, std::fmin(1.0, sign * element(r, i, k)));
    const Float b = std::asin(sb);
    Float a, g;
    if (std::fabs(sb) < 1.0 - 1e-12) {
        a = std::atan2(-sign * element(r, j, k), element(r, k, k));
        g = std::atan2(-sign * element(r, i, j), element(r, i, i));
    } else {
        // Gimbal lock: only a + g (or a - g) is defined; put it all in a.
        a = std::atan2(sign * element(r, k, j), element(r, j, j));
        g = 0;
    }
    Vector out;
    const Float angles[3] = {a, b, g};
    for (int f = 0; f < 3; ++f) {
        const int c = order.f[f].component;
        (c == 0 ? out.x : (c == 1 ? out.y : out.z)) = angles[f];
    }
    return out;
}

namespace {

double wrapNear(double angle, double near) {
    constexpr double turn = 2 * std::numbers::pi;
    return angle + turn * std::round((near - angle) / turn);
}

}  // namespace

Vector MatrixToHPBNear(const Matrix& m, const Vector& near) {
    const Vector s = MatrixToHPB(m, ROTATIONORDER_DEFAULT);
    const Vector candidates[2] = {
        s, {s.x + std::numbers::pi, std::numbers::pi - s.y, s.z + std::numbers::pi}};
    Vector best;
    double bestDistance = INFINITY;
    for (const Vector& c : candidates) {
        const Vector w{wrapNear(c.x, near.x), wrapNear(c.y, near.y), wrapNear(c.z, near.z)};
        const double d = std::abs(w.x - near.x) + std::abs(w.y - near.y) + std::abs(w.z - near.z);
        if (d < bestDistance) bestDistance = d, best = w;
    }
    return best;
}

}  // namespace host
