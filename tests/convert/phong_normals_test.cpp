// The host's phong normals: the angle limit, triangles, degenerate and
// broken polygons, and the smooth-point shortcut against a plain reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "host/object.h"

namespace {

using host::CPolygon;
using host::PolygonObject;
using host::Vector;
using host::Vector32;

void addPhong(PolygonObject& o, bool limit, double angle) {
    auto tag = std::make_unique<host::BaseTag>(host::Tphong);
    tag->SetParameter(host::DescID(1000), host::GeData::Integer(limit ? 1 : 0));
    tag->SetParameter(host::DescID(1001), host::GeData::Number(angle));
    o.InsertTag(std::move(tag));
}

double degrees(double d) { return d * std::numbers::pi / 180.0; }

// Two quads sharing the edge of points 1 and 2, folded by `fold` degrees.
std::unique_ptr<PolygonObject> folded(double fold) {
    auto o = std::make_unique<PolygonObject>();
    const double s = std::sin(degrees(fold)), c = std::cos(degrees(fold));
    o->points() = {{0, 0, -1}, {0, 0, 0}, {1, 0, 0}, {1, 0, -1}, {0, s, c}, {1, s, c}};
    o->polygons() = {{0, 1, 2, 3}, {1, 4, 5, 2}};
    return o;
}

bool near(const Vector32& a, const Vector32& b) {
    return std::fabs(a.x - b.x) < 1e-5f && std::fabs(a.y - b.y) < 1e-5f &&
           std::fabs(a.z - b.z) < 1e-5f;
}

TEST(PhongNormals, OnlyWithAPhongTag) {
    EXPECT_TRUE(folded(30)->CreatePhongNormals().empty());
    PolygonObject empty;
    addPhong(empty, false, 1.0);
    EXPECT_TRUE(empty.CreatePhongNormals().empty());
}

TEST(PhongNormals, TheLimitDecidesPairwiseAtTheSharedEdge) {
    // Faces 30 degrees apart: a 35 degree limit smooths the shared edge
    // (although the faces are more than half the limit from their mean),
    // a 25 degree limit keeps it sharp, no limit smooths it.
    for (const auto& [limit, angle, smooth] :
         {std::tuple{true, 35.0, true}, std::tuple{true, 25.0, false},
          std::tuple{false, 1.0, true}}) {
        const auto o = folded(30);
        addPhong(*o, limit, degrees(angle));
        const std::vector<Vector32> n = o->CreatePhongNormals();
        ASSERT_EQ(n.size(), 8u);
        const Vector32 flat = n[0];  // corner at point 0: only the first face
        EXPECT_TRUE(near(flat, {0, 1, 0}) || near(flat, {0, -1, 0}))
            << flat.x << " " << flat.y << " " << flat.z;
        EXPECT_EQ(near(n[1], flat), !smooth) << angle;  // point 1 is on the edge
        EXPECT_EQ(near(n[1], n[4]), smooth);            // the same point seen from the other face
        EXPECT_EQ(near(n[2], n[7]), smooth);
    }
}

TEST(PhongNormals, TrianglesDegenerateAndBrokenPolygons) {
    PolygonObject o;
    o.points() = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {5, 5, 5}};
    o.polygons() = {{0, 1, 2, 2}, {3, 3, 3, 3}, {0, 1, 9, 2}, {-4, 0, 1, 1}};
    addPhong(o, true, degrees(40));
    const std::vector<Vector32> n = o.CreatePhongNormals();
    ASSERT_EQ(n.size(), 16u);
    // (b - a) x (c - a) = (0, 1, 0) x (1, 0, 0) = (0, 0, -1).
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(near(n[k], {0, 0, -1})) << k;
    for (int k = 4; k < 8; ++k) EXPECT_TRUE(near(n[k], {0, 0, 0})) << k;  // a point: no normal
    EXPECT_TRUE(near(n[10], {0, 0, 0}));  // a corner outside the points
    EXPECT_TRUE(near(n[12], {0, 0, 0}));
}

// The plain definition, pairwise at every corner, in double precision.
std::vector<Vector32> reference(const PolygonObject& o, double angle) {
    const auto& pts = const_cast<PolygonObject&>(o).points();
    const auto& polys = const_cast<PolygonObject&>(o).polygons();
    std::vector<Vector> face;
    std::vector<std::vector<std::size_t>> around(pts.size());  // polygons at each point
    for (std::size_t i = 0; i < polys.size(); ++i) {
        const CPolygon& p = polys[i];
        face.push_back(host::Normalize(host::Cross(pts[p.c] - pts[p.a], pts[p.d] - pts[p.b])));
        for (const int point : {p.a, p.b, p.c, p.d}) {
            auto& list = around[static_cast<std::size_t>(point)];
            if (list.empty() || list.back() != i) list.push_back(i);
        }
    }
    std::vector<Vector32> out;
    for (std::size_t i = 0; i < polys.size(); ++i) {
        const int corners[4] = {polys[i].a, polys[i].b, polys[i].c, polys[i].d};
        for (const int point : corners) {
            Vector sum;
            for (const std::size_t j : around[static_cast<std::size_t>(point)]) {
                if (j == i || host::Dot(face[j], face[i]) >= std::cos(angle)) sum = sum + face[j];
            }
            const Vector n = host::Normalize(sum);
            out.push_back(
                {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
        }
    }
    return out;
}

// A rippled grid of side x side cells with a sharp ridge along x = 6 and a
// few tilted spikes; every fifth cell is two triangles.
void rippledGrid(PolygonObject& o, int side) {
    const int row = side + 1;
    for (int z = 0; z < row; ++z) {
        for (int x = 0; x < row; ++x) {
            double y = 0.2 * std::sin(x * 0.9) * std::cos(z * 0.7) + (x == 6 ? 1.5 : 0.0);
            if ((x * 7 + z * 3) % 17 == 0) y += 0.8;
            o.points().push_back({static_cast<double>(x), y, static_cast<double>(z)});
        }
    }
    for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
            const int a = z * row + x;
            if ((x + z) % 5 == 0) {
                o.polygons().push_back({a, a + row, a + row + 1, a + row + 1});
                o.polygons().push_back({a, a + row + 1, a + 1, a + 1});
            } else {
                o.polygons().push_back({a, a + row, a + row + 1, a + 1});
            }
        }
    }
}

TEST(PhongNormals, SmoothPointShortcutAgreesWithThePairwiseDefinition) {
    // Small meshes are done in one pass; large ones (here 81,120 polygons)
    // are summed in halves and shared among threads, with a ridge and
    // spikes in both halves.
    for (const int side : {12, 260, 12}) {  // small again: what the large one left is cleared
        for (const double angle : {10.0, 40.0, 89.0}) {
            PolygonObject copy;
            rippledGrid(copy, side);
            addPhong(copy, true, degrees(angle));
            const std::vector<Vector32> got = copy.CreatePhongNormals();
            const std::vector<Vector32> want = reference(copy, degrees(angle));
            ASSERT_EQ(got.size(), want.size());
            int differing = 0;
            for (std::size_t i = 0; i < got.size(); ++i) differing += near(got[i], want[i]) ? 0 : 1;
            EXPECT_EQ(differing, 0) << side << " cells a side, " << angle << " degrees";

            // Into a kept vector of the same size, and one of another: the same.
            std::vector<Vector32> kept(got.size(), Vector32{9, 9, 9});
            EXPECT_TRUE(copy.CreatePhongNormals(kept));
            EXPECT_EQ(kept, got);
            kept.assign(3, Vector32{9, 9, 9});
            EXPECT_TRUE(copy.CreatePhongNormals(kept));
            EXPECT_EQ(kept, got);
        }
    }
}

}  // namespace
