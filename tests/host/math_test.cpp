// Matrix arithmetic and the seven rotation orders.
#include <cmath>
#include <numbers>

#include "tests/host/test_util.h"

namespace {

using namespace host;
using hosttest::near;

Matrix rot(char axis, Float a) {
    return axis == 'x' ? MatrixRotX(a) : axis == 'y' ? MatrixRotY(a) : MatrixRotZ(a);
}

TEST(Math, SingleAxisRotationsTurnAxesTheDocumentedWay) {
    const Float q = std::numbers::pi / 2;
    EXPECT_TRUE(near(MatrixRotX(q) * Vector(0, 1, 0), Vector(0, 0, 1)));
    EXPECT_TRUE(near(MatrixRotY(q) * Vector(1, 0, 0), Vector(0, 0, -1)));
    EXPECT_TRUE(near(MatrixRotZ(q) * Vector(1, 0, 0), Vector(0, 1, 0)));
}

TEST(Math, EveryRotationOrderIsTheProductOfItsFactors) {
    const Vector r(0.3, -0.7, 1.1);
    // Left to right, as the order code names them; code 6 is H(y, r.x) P(x, r.y) B(z, r.z).
    const Matrix expected[7] = {rot('z', r.z) * rot('x', r.x) * rot('y', r.y),
                                rot('x', r.x) * rot('z', r.z) * rot('y', r.y),
                                rot('x', r.x) * rot('y', r.y) * rot('z', r.z),
                                rot('y', r.y) * rot('x', r.x) * rot('z', r.z),
                                rot('y', r.y) * rot('z', r.z) * rot('x', r.x),
                                rot('z', r.z) * rot('y', r.y) * rot('x', r.x),
                                rot('y', r.x) * rot('x', r.y) * rot('z', r.z)};
    for (Int32 code = 0; code < 7; ++code) {
        SCOPED_TRACE(code);
        const Matrix m = HPBToMatrix(r, code);
        EXPECT_TRUE(near(m, expected[code]));
        // Orthonormal, right-handed, no offset.
        EXPECT_NEAR(Dot(m.v1, m.v2), 0, 1e-12);
        EXPECT_NEAR(Dot(m.v2, m.v3), 0, 1e-12);
        EXPECT_NEAR(Length(m.v1), 1, 1e-12);
        EXPECT_NEAR(Dot(Cross(m.v1, m.v2), m.v3), 1, 1e-12);
        EXPECT_TRUE(near(m.off, Vector()));
    }
    EXPECT_EQ(HPBToMatrix(r, 7), Matrix{});
    EXPECT_EQ(HPBToMatrix(r, -1), Matrix{});
}

TEST(Math, HeadingPitchBankKnownValues) {
    const Float q = std::numbers::pi / 2;
    // Heading turns about y: the x axis goes to -z.
    EXPECT_TRUE(near(HPBToMatrix({q, 0, 0}, ROTATIONORDER_DEFAULT).v1, Vector(0, 0, -1)));
    // Pitch turns about x: the y axis goes to +z.
    EXPECT_TRUE(near(HPBToMatrix({0, q, 0}, ROTATIONORDER_DEFAULT).v2, Vector(0, 0, 1)));
    // Bank applies first: H then P of a banked x axis.
    const Matrix m = HPBToMatrix({q, q, q}, ROTATIONORDER_DEFAULT);
    EXPECT_TRUE(near(m * Vector(1, 0, 0), rot('y', q) * (rot('x', q) * Vector(0, 1, 0))));
}

TEST(Math, ProductAppliesTheRightFactorFirst) {
    const Matrix m = MatrixMove({10, 0, 0}) * MatrixScale({2, 3, 4});
    EXPECT_TRUE(near(m * Vector(1, 1, 1), Vector(12, 3, 4)));
    const Matrix n = MatrixScale({2, 3, 4}) * MatrixMove({10, 0, 0});
    EXPECT_TRUE(near(n * Vector(1, 1, 1), Vector(22, 3, 4)));
}

TEST(Math, InverseUndoesAffineMatricesAndSingularGivesIdentity) {
    Matrix a =
        MatrixMove({1, -2, 3}) * HPBToMatrix({0.4, 0.2, -0.9}, 3) * MatrixScale({2, 0.5, -3});
    a.v2 = a.v2 + a.v1 * 0.25;  // some shear
    EXPECT_TRUE(near(a * ~a, Matrix{}, 1e-12));
    EXPECT_TRUE(near(~a * a, Matrix{}, 1e-12));
    EXPECT_TRUE(near(~a * (a * Vector(5, 6, 7)), Vector(5, 6, 7), 1e-12));
    EXPECT_EQ(~MatrixScale({1, 0, 1}), Matrix{});
}

TEST(Math, DecompositionRoundTripsForEveryOrderAndGimbalLock) {
    const Float q = std::numbers::pi / 2;
    for (Int32 code = 0; code < 7; ++code) {
        for (const Vector r : {Vector(0.3, -0.7, 1.1), Vector(-2.0, 0.1, 0.4), Vector(q, q, 0.3),
                               Vector(0.2, -q, q), Vector(q, 0.4, -q)}) {
            SCOPED_TRACE(::testing::Message()
                         << "order " << code << " angles " << r.x << " " << r.y << " " << r.z);
            const Matrix m = HPBToMatrix(r, code);
            EXPECT_TRUE(near(HPBToMatrix(MatrixToHPB(m, code), code), m, 1e-9));
            // Scale does not disturb the angles.
            EXPECT_TRUE(
                near(HPBToMatrix(MatrixToHPB(m * MatrixScale({3, 4, 5}), code), code), m, 1e-9));
        }
    }
}

TEST(Math, NormalizeKeepsZero) {
    EXPECT_EQ(Normalize(Vector()), Vector());
    EXPECT_TRUE(near(Normalize(Vector(3, 0, 4)), Vector(0.6, 0, 0.8)));
}

}  // namespace
