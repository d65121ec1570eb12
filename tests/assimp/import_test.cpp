// The asset importer on small generated files: hierarchy, the placement of
// vertices across the change of handedness and unit, quads kept, uv and
// normal tags, materials and textures, cameras, lights, animation keys, and
// bad input refused with its reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "asset_files.h"
#include "host/assimp/assimp_import.h"
#include "tests/platform/test_files.h"

namespace {

using host::BaseObject;
using host::Vector;

void expectNear(const Vector& a, const Vector& b, double tolerance, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

BaseObject* find(BaseObject* first, const std::string& name) {
    for (BaseObject* o = first; o; o = o->GetNext()) {
        if (o->GetName().utf8() == name) return o;
        if (BaseObject* found = find(o->GetDown(), name)) return found;
    }
    return nullptr;
}

host::GeData param(const host::BaseList2D& node, host::Int32 id) {
    host::GeData d;
    EXPECT_TRUE(node.GetParameter(host::DescID(id), d)) << "parameter " << id;
    return d;
}

// The world position of point `index` of a polygon object.
Vector worldPoint(BaseObject* object, std::size_t index) {
    auto* polygon = static_cast<host::PolygonObject*>(object);
    return object->GetMg() * polygon->points().at(index);
}

class AssetImport : public ::testing::Test {
protected:
    host::assimp::ImportResult import(const std::string& path) {
        return host::assimp::ImportAssetFile(path, {dir_ / "images", ""});
    }
    std::string error(const std::string& path) {
        try {
            import(path);
        } catch (const host::assimp::AssimpError& e) {
            return e.what();
        }
        return "(no error)";
    }
    testfiles::TempDir dir_{"asset-import"};
};

TEST_F(AssetImport, ObjKeepsObjectsQuadsMaterialTextureUvAndNormals) {
    const auto result = import(assettest::writeObj(dir_.path()));
    BaseObject* quad = find(result.document->GetFirstObject(), "Quad");
    BaseObject* tri = find(result.document->GetFirstObject(), "Tri");
    ASSERT_TRUE(quad && tri);
    EXPECT_EQ(quad->GetUp(), nullptr) << "the OBJ's objects are top-level objects";
    auto* q = static_cast<host::PolygonObject*>(quad);
    ASSERT_EQ(q->GetPolygonCount(), 1);
    const host::CPolygon p = q->polygons()[0];
    EXPECT_FALSE(p.IsTriangle()) << "the quad stays a quad";
    // Metres to centimetres, z mirrored; the OBJ's (2, 1, -1) is the host's (200, 100, 100).
    expectNear(worldPoint(tri, 2), {200, 100, 100}, 1e-9, "Tri's third vertex");
    // Reversed winding (a, d, c, b): corner 1 is the OBJ's fourth vertex (0, 1, 0).
    expectNear(q->points()[static_cast<std::size_t>(p.b)], {0, 100, 0}, 1e-9, "corner order");
    ASSERT_EQ(q->givenNormals().size(), 4u);
    expectNear(Vector(q->givenNormals()[0].x, q->givenNormals()[0].y, q->givenNormals()[0].z),
               {0, 0, -1}, 1e-6, "the normal mirrored");
    auto* uvw = static_cast<host::UVWTag*>(quad->GetTag(host::Tuvw));
    ASSERT_NE(uvw, nullptr);
    // Corner 1 has vt (0, 1): v = 0 at the image's top, so (0, 0).
    expectNear(uvw->GetDataAddressR()[0].b, {0, 0, 0}, 1e-6, "uv of corner 1");
    expectNear(uvw->GetDataAddressR()[0].a, {0, 1, 0}, 1e-6, "uv of corner 0");

    auto* tag = static_cast<host::TextureTag*>(quad->GetTag(host::Ttexture));
    ASSERT_NE(tag, nullptr);
    host::BaseMaterial* red = tag->GetMaterial();
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->GetName().utf8(), "red");
    EXPECT_EQ(param(*red, 2100).GetVector(), Vector(1, 0, 0));
    ASSERT_NE(red->GetFirstShader(), nullptr);
    EXPECT_EQ(param(*red->GetFirstShader(), 1000).GetFilename().GetString().utf8(),
              dir_ / "tex.png");
    EXPECT_EQ(param(*tag, 1006).GetString().utf8(), "mesh 0");
}

TEST_F(AssetImport, PlyAndStlPlaceTheirVerticesInCentimetresWithZMirrored) {
    const auto ply = import(assettest::writePly(dir_.path()));
    BaseObject* object = ply.document->GetFirstObject();
    ASSERT_NE(object, nullptr);
    auto* mesh = static_cast<host::PolygonObject*>(object);
    ASSERT_EQ(mesh->GetPolygonCount(), 2);
    EXPECT_FALSE(mesh->polygons()[0].IsTriangle());
    EXPECT_TRUE(mesh->polygons()[1].IsTriangle());
    const auto at = [&](host::Int32 i) { return object->GetMg() * mesh->points()[std::size_t(i)]; };
    expectNear(at(mesh->polygons()[1].a), {300, 400, -500}, 1e-9, "PLY vertex (3, 4, 5)");

    const auto stl = import(assettest::writeStl(dir_.path()));
    object = stl.document->GetFirstObject();
    ASSERT_NE(object, nullptr);
    mesh = static_cast<host::PolygonObject*>(object);
    ASSERT_EQ(mesh->GetPolygonCount(), 2);
    const auto stlAt = [&](host::Int32 i) {
        return object->GetMg() * mesh->points()[std::size_t(i)];
    };
    expectNear(stlAt(mesh->polygons()[0].a), {100, 200, -300}, 1e-9, "STL vertex (1, 2, 3)");
}

TEST_F(AssetImport, ColladaKeepsHierarchyUnitsCameraLightAndAnimation) {
    const auto result = import(assettest::writeCollada(dir_.path()));
    BaseObject* first = result.document->GetFirstObject();
    BaseObject* parent = find(first, "Parent");
    BaseObject* child = find(first, "Child");
    ASSERT_TRUE(parent && child);
    EXPECT_EQ(child->GetUp(), parent);
    // Centimetre units: Child's vertex (1, 1, 0) lies at (10 + 1, 20 + 1, 0) cm.
    expectNear(worldPoint(child, 2), {11, 21, 0}, 1e-4, "Child's vertex (1, 1, 0)");
    EXPECT_FALSE(static_cast<host::PolygonObject*>(child)->polygons()[0].IsTriangle());

    BaseObject* cam = find(first, "Cam");
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->GetType(), host::Ocamera);
    EXPECT_NEAR(param(*cam, 1008).GetFloat(), std::numbers::pi / 3, 1e-6);
    expectNear(cam->GetMg().off, {0, 0, -50}, 1e-4, "camera at z = 50 cm, mirrored");
    BaseObject* lamp = find(first, "Lamp");
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->GetType(), host::Olight);
    EXPECT_EQ(param(*lamp, 90002).GetInt32(), 0);
    expectNear(param(*lamp, 90000).GetVector(), {1, 0.5, 0.25}, 1e-6, "colour");
    EXPECT_NEAR(param(*lamp, 90001).GetFloat(), 2.0, 1e-6);

    host::CTrack* track = parent->GetFirstCTrack();
    ASSERT_NE(track, nullptr) << "Parent's translation is animated";
    EXPECT_EQ(track->GetCurve()->GetKeyCount(), 2);
    EXPECT_EQ(track->GetNext(), nullptr) << "only y changes";
}

TEST_F(AssetImport, BadInputIsRefusedWithItsReason) {
    const std::string d = dir_.path();
    assettest::writeObj(d, false);
    EXPECT_NE(error(d + "/model.obj").find(d + "/model.mtl does not exist"), std::string::npos)
        << error(d + "/model.obj");
    assettest::writeObj(d, true, "missing.png");
    EXPECT_NE(error(d + "/model.obj").find("the texture \"missing.png\" does not exist"),
              std::string::npos);
    assettest::writeObj(d, true, "../outside.png");
    EXPECT_NE(error(d + "/model.obj").find("outside the asset's folder"), std::string::npos);

    testfiles::writeFile(d + "/cut.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n");
    EXPECT_NE(error(d + "/cut.stl").find("not a file the asset importer can read"),
              std::string::npos);
    testfiles::writeFile(d + "/cut.obj", "v 0 0 0\nv 1 0 0\nf 1 2");
    EXPECT_NE(error(d + "/cut.obj"), "(no error)");
    // Cut inside its header: assimp's reader alone would never return.
    testfiles::writeFile(d + "/cut.ply", "ply\nformat ascii 1.0\nelement vertex 3\nprop");
    EXPECT_EQ(error(d + "/cut.ply"), "PLY header: no end_header line (is the file cut short?)");
    testfiles::writeFile(d + "/huge.ply",
                         "ply\nformat ascii 1.0\nelement vertex 4000000000\nproperty float x\n"
                         "end_header\n0\n");
    EXPECT_EQ(error(d + "/huge.ply"),
              "PLY header: element vertex declares 4000000000 elements, more than the file's 77 "
              "bytes can hold");
    std::string dae = testfiles::readFile(assettest::writeCollada(d));
    dae.replace(dae.find("count=\"12\""), 10, "count=\"900000000000\"");
    testfiles::writeFile(d + "/huge.dae", dae);
    EXPECT_NE(error(d + "/huge.dae").find("declares 900000000000 elements"), std::string::npos);
    testfiles::writeFile(d + "/unknown.xyz", "hello");
    EXPECT_NE(error(d + "/unknown.xyz").find("No suitable reader"), std::string::npos);
    ASSERT_EQ(::mkfifo((d + "/pipe.obj").c_str(), 0600), 0);
    EXPECT_EQ(error(d + "/pipe.obj"), "cannot read the file: it is a FIFO, not a regular file");
    EXPECT_FALSE(std::filesystem::exists(d + "/images")) << "nothing written";
}

}  // namespace
