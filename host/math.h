// Host vectors, affine matrices and the matrix arithmetic the conversion uses.
//
// A Matrix is an offset and three axis vectors: a point p maps to
// off + p.x*v1 + p.y*v2 + p.z*v3. The product A * B applies B first. Angles
// are radians. The coordinate system is left-handed with y up.
//
// Rotation orders (the object's rotation order code, 0..6). A rotation vector
// r is turned into a matrix as the product of three single-axis rotations;
// the code names the order of the factors, left to right (the rightmost one
// applies first):
//   code:    0        1        2        3        4        5        6 (default)
//   factors: Z X Y    X Z Y    X Y Z    Y X Z    Y Z X    Z Y X    H P B
// For codes 0..5 the factor "X" rotates about the x axis by r.x, "Y" about
// the y axis by r.y, "Z" about the z axis by r.z. For code 6 the vector holds
// heading, pitch and bank: H rotates about the y axis by r.x, P about the x
// axis by r.y and B about the z axis by r.z, so the matrix is H * P * B.
// Any other code gives the identity rotation.
// Single-axis rotations by angle a (c = cos a, s = sin a):
//   about x: v1 = (1,0,0), v2 = (0,c,s),  v3 = (0,-s,c)
//   about y: v1 = (c,0,-s), v2 = (0,1,0), v3 = (s,0,c)
//   about z: v1 = (c,s,0), v2 = (-s,c,0), v3 = (0,0,1)
#pragma once

#include "host/types.h"

namespace host {

struct Vector {
    Float x = 0, y = 0, z = 0;
    constexpr Vector() = default;
    constexpr Vector(Float ax, Float ay, Float az) : x(ax), y(ay), z(az) {}
    constexpr explicit Vector(Float v) : x(v), y(v), z(v) {}
    friend constexpr Vector operator+(const Vector& a, const Vector& b) {
        return {a.x + b.x, a.y + b.y, a.z + b.z};
    }
    friend constexpr Vector operator-(const Vector& a, const Vector& b) {
        return {a.x - b.x, a.y - b.y, a.z - b.z};
    }
    friend constexpr Vector operator*(const Vector& a, Float s) {
        return {a.x * s, a.y * s, a.z * s};
    }
    friend constexpr bool operator==(const Vector&, const Vector&) = default;
};

struct Vector32 {
    Float32 x = 0, y = 0, z = 0;
    friend constexpr bool operator==(const Vector32&, const Vector32&) = default;
};

struct Matrix {
    Vector off{0, 0, 0};
    Vector v1{1, 0, 0};
    Vector v2{0, 1, 0};
    Vector v3{0, 0, 1};
    friend constexpr bool operator==(const Matrix&, const Matrix&) = default;
};

Vector operator*(const Matrix& m, const Vector& p);  // transforms a point
Matrix operator*(const Matrix& a, const Matrix& b);  // b applied first
Matrix operator~(const Matrix& m);  // inverse; a singular matrix gives the identity

Vector Cross(const Vector& a, const Vector& b);
Float Dot(const Vector& a, const Vector& b);
Float Length(const Vector& v);
Vector Normalize(const Vector& v);  // a zero vector stays zero

Matrix MatrixMove(const Vector& t);
Matrix MatrixScale(const Vector& s);
Matrix MatrixRotX(Float a);
Matrix MatrixRotY(Float a);
Matrix MatrixRotZ(Float a);

// Rotation matrix from the angle vector with the rotation order code (above).
Matrix HPBToMatrix(const Vector& rotation, Int32 rotationOrder);
// The angles whose HPBToMatrix with the same order gives the rotation part of
// `m` (axes normalised first; a sheared matrix gives an approximation). At a
// gimbal lock the middle factor is +-90 degrees and the last angle is 0.
Vector MatrixToHPB(const Matrix& m, Int32 rotationOrder);
// The angles (default order) of the rotation part of `m` nearest to `near`:
// of the two triples that give the same rotation, (H, P, B) and
// (H + pi, pi - P, B + pi), each angle moved by whole turns towards `near`,
// the one with the smaller sum of distances. Keys of an animation so follow
// one another without flipping.
Vector MatrixToHPBNear(const Matrix& m, const Vector& near);

constexpr Int32 ROTATIONORDER_DEFAULT = 6;

}  // namespace host
