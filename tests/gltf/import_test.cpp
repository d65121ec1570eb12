// The glTF importer on small generated files: hierarchy, transforms across
// the change of handedness and unit, meshes, materials and images, cameras,
// lights, animation keys, warnings and errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "gltf_builder.h"
#include "host/document_writer.h"
#include "host/gltf/gltf_import.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using gltftest::GltfBuilder;
using host::BaseObject;
using host::Vector;
using Json = nlohmann::json;

constexpr double kPi = 3.14159265358979323846;

// The contract: a glTF point (x, y, z) in metres is the host point
// 100 * (x, y, -z) in centimetres.
Vector hostPoint(double x, double y, double z) { return {100 * x, 100 * y, -100 * z}; }

std::array<double, 4> quat(double ax, double ay, double az, double angle) {
    const double n = std::sqrt(ax * ax + ay * ay + az * az);
    const double s = std::sin(angle / 2) / n;
    return {ax * s, ay * s, az * s, std::cos(angle / 2)};
}

// glTF's column-major 4x4 arithmetic, for the expected world transforms.
using M4 = std::array<double, 16>;
M4 mul(const M4& a, const M4& b) {
    M4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k) r[4 * c + row] += a[4 * k + row] * b[4 * c + k];
    return r;
}
M4 trs(const std::array<double, 3>& t, const std::array<double, 4>& q,
       const std::array<double, 3>& s) {
    const auto [x, y, z, w] = q;
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    M4 m{};
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            m[4 * c + row] = r[row][c] * s[static_cast<std::size_t>(c)];
    m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
    return m;
}
Vector apply(const M4& m, double x, double y, double z) {
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

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

const std::vector<float> kQuad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};  // in the z = 0 plane

class GltfImport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("gltf-import");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    host::gltf::ImportResult import(const GltfBuilder& b, const std::string& name = "model.gltf") {
        const std::string path = (dir_ / name).string();
        name.ends_with(".glb") ? b.writeGlb(path) : b.writeGltf(path);
        host::gltf::ImportOptions options;
        options.imageDirectory = (dir_ / "images").string();
        return host::gltf::ImportGltfFile(path, options);
    }
    std::string error(const GltfBuilder& b) {
        try {
            import(b);
        } catch (const host::gltf::GltfError& e) {
            return e.what();
        }
        return "(no error)";
    }
    fs::path dir_;
};

TEST_F(GltfImport, NodeTransformsMirrorIntoHostSpaceThroughTheHierarchy) {
    GltfBuilder b;
    const auto q = quat(1, 2, 3, 0.7);
    // A matrix node: 30 degrees about x, a non-uniform scale and an offset.
    const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
    const M4 matrix = {2, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0.5, -1, 2, 1};
    const auto q2 = quat(0, 1, 0, kPi / 2);
    b.node({{"name", "root"},
            {"translation", {1, 2, 3}},
            {"rotation", q},
            {"scale", {1, 2, 0.5}},
            {"children", {1}}});
    b.node({{"name", "matrix"}, {"matrix", matrix}, {"children", {2}}});
    b.node(
        {{"name", "leaf"}, {"translation", {0, 0, -4}}, {"rotation", q2}, {"scale", {-1, 1, 1}}});
    b.j["scenes"][0]["nodes"] = {0};
    const auto result = import(b);
    BaseObject* root = result.document->GetFirstObject();
    ASSERT_NE(root, nullptr);
    expectNear(root->GetRelPos(), {100, 200, -300}, 1e-9, "position in centimetres, z mirrored");
    expectNear(root->GetRelScale(), {1, 2, 0.5}, 1e-12, "scale as it is");
    BaseObject* mat = find(root, "matrix");
    ASSERT_NE(mat, nullptr);
    EXPECT_TRUE(mat->explicitMl().has_value());

    // Every object's world transform agrees with glTF's, point for point.
    const M4 world[3] = {
        trs({1, 2, 3}, q, {1, 2, 0.5}), mul(trs({1, 2, 3}, q, {1, 2, 0.5}), matrix),
        mul(mul(trs({1, 2, 3}, q, {1, 2, 0.5}), matrix), trs({0, 0, -4}, q2, {-1, 1, 1}))};
    const char* names[3] = {"root", "matrix", "leaf"};
    for (int i = 0; i < 3; ++i) {
        BaseObject* o = find(root, names[i]);
        ASSERT_NE(o, nullptr) << names[i];
        for (const auto& p : {std::array<double, 3>{0, 0, 0}, {1, 0, 0}, {0.3, -2, 5}}) {
            const Vector expected = [&] {
                const Vector v = apply(world[i], p[0], p[1], p[2]);
                return hostPoint(v.x, v.y, v.z);
            }();
            expectNear(o->GetMg() * hostPoint(p[0], p[1], p[2]), expected, 1e-9, names[i]);
        }
    }
    // Right-handed to left-handed: +90 degrees about y turns glTF's +x to -z,
    // which is the host's +z.
    BaseObject* leafOnly = find(root, "leaf");
    const host::Matrix turn =
        host::HPBToMatrix(leafOnly->GetRelRot(), leafOnly->GetRotationOrder());
    expectNear(turn.v1, {0, 0, 1}, 1e-12, "x axis after the turn");
}

TEST_F(GltfImport, SceneNodesBecomeObjectsWithNamesAndKeysInDocumentOrder) {
    GltfBuilder b;
    const int mesh = b.triangleMesh(kQuad, {0, 1, 2});
    b.j["meshes"][0]["name"] = "Mesh name";
    b.node({{"name", "A"}, {"children", {1, 2}}});
    b.node({{"mesh", mesh}});  // no name: the mesh's
    b.node({{"name", "C"}});
    b.node({{"name", "Elsewhere"}});
    b.node({{"name", "D"}});
    b.j["scenes"] = {{{"nodes", {0, 4}}}, {{"name", "Other"}, {"nodes", {3}}}};
    const auto result = import(b);
    const host::BaseDocument& doc = *result.document;
    BaseObject* a = doc.GetFirstObject();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetName().utf8(), "A");
    EXPECT_EQ(a->GetType(), host::Onull);
    ASSERT_NE(a->GetDown(), nullptr);
    EXPECT_EQ(a->GetDown()->GetName().utf8(), "Mesh name");
    EXPECT_EQ(a->GetDown()->GetType(), host::Opolygon);
    EXPECT_EQ(a->GetDown()->GetNext()->GetName().utf8(), "C");
    ASSERT_NE(a->GetNext(), nullptr);
    EXPECT_EQ(a->GetNext()->GetName().utf8(), "D");
    EXPECT_EQ(a->GetNext()->GetNext(), nullptr);
    EXPECT_EQ(find(a, "Elsewhere"), nullptr);
    EXPECT_EQ(
        (std::vector<host::UInt64>{a->GetGUID(), a->GetDown()->GetGUID(),
                                   a->GetDown()->GetNext()->GetGUID(), a->GetNext()->GetGUID()}),
        (std::vector<host::UInt64>{1, 2, 3, 4}));
    EXPECT_EQ(doc.GetName().utf8(), "model.gltf");
    host::GeData dir;
    ASSERT_TRUE(doc.GetParameter(host::DescID(host::DOCUMENT_PATH), dir));
    EXPECT_EQ(dir.GetFilename().GetString().utf8(), dir_.lexically_normal().string());
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], "scenes not imported (the default scene is imported): \"Other\"");
}

TEST_F(GltfImport, PrimitivesBecomeSelectionsTexturesUvsAndNormalsWithTheirFrontKept) {
    GltfBuilder b;
    b.j["materials"] = {
        {{"name", "Paint"}, {"pbrMetallicRoughness", {{"baseColorFactor", {0.2, 0.4, 0.6, 1}}}}}};
    const int mesh = b.triangleMesh(kQuad, {0, 1, 2, 0, 2, 3}, 0,
                                    {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 1, 1, 0, 1});
    // A second primitive: no material, no normals, no uvs.
    Json second = {{"attributes", {{"POSITION", b.accessor({0, 0, 1, 0, 1, 1, 1, 0, 1}, "VEC3")}}},
                   {"indices", b.indices({0, 1, 2})}};
    b.j["meshes"][0]["primitives"].push_back(second);
    b.j["scenes"][0]["nodes"] = {b.node({{"name", "M"}, {"mesh", mesh}})};
    const auto result = import(b);
    auto* o = dynamic_cast<host::PolygonObject*>(result.document->GetFirstObject());
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->GetPointCount(), 7);
    ASSERT_EQ(o->GetPolygonCount(), 3);
    expectNear(o->GetPointR()[2], {100, 100, 0}, 1e-9, "point 2");
    expectNear(o->GetPointR()[4], {0, 0, -100}, 1e-9, "first point of the second primitive");
    const host::CPolygon& p0 = o->GetPolygonR()[0];
    EXPECT_EQ((std::array<int, 4>{p0.a, p0.b, p0.c, p0.d}), (std::array<int, 4>{0, 2, 1, 1}));
    const host::CPolygon& p2 = o->GetPolygonR()[2];
    EXPECT_EQ((std::array<int, 4>{p2.a, p2.b, p2.c, p2.d}), (std::array<int, 4>{4, 6, 5, 5}));

    // Tags: the first primitive's selection and its restricted texture tag,
    // the UVW tag, the phong tag; none for the material-less primitive.
    std::vector<host::Int32> types;
    for (const host::BaseTag* t = o->GetFirstTag(); t; t = t->GetNext())
        types.push_back(t->GetType());
    EXPECT_EQ(types, (std::vector<host::Int32>{host::Tpolygonselection, host::Ttexture, host::Tuvw,
                                               host::Tphong}));
    const auto* selection =
        static_cast<const host::SelectionTag*>(o->GetTag(host::Tpolygonselection));
    EXPECT_EQ(selection->GetName().utf8(), "primitive 0");
    EXPECT_EQ(selection->GetBaseSelect()->ranges(), (std::vector<std::pair<int, int>>{{0, 1}}));
    const auto* texture = static_cast<const host::TextureTag*>(o->GetTag(host::Ttexture));
    EXPECT_EQ(texture->GetMaterial(), result.document->GetFirstMaterial());
    EXPECT_EQ(param(*texture, 1006).GetString().utf8(), "primitive 0");
    EXPECT_EQ(param(*texture, 1004).GetInt32(), 6);
    EXPECT_EQ(param(*texture, 1007).GetInt32(), 1);
    EXPECT_EQ(param(*texture, 1002).GetFloat(), 1.0);

    const auto* uvw = static_cast<const host::UVWTag*>(o->GetTag(host::Tuvw));
    ASSERT_EQ(uvw->GetDataCount(), 3);
    const host::UVWStruct& e0 = uvw->GetDataAddressR()[0];  // corners 0, 2, 1
    EXPECT_EQ(e0.a, Vector(0, 0, 0));
    EXPECT_EQ(e0.b, Vector(1, 1, 0));
    EXPECT_EQ(e0.c, Vector(1, 0, 0));
    EXPECT_EQ(uvw->GetDataAddressR()[2].a, Vector());

    // Given normals mirror z; the second primitive's are its flat normals.
    // Either way they face the same side as the polygons' own normal.
    const std::vector<host::Vector32> normals = o->CreatePhongNormals();
    ASSERT_EQ(normals.size(), 12u);
    EXPECT_EQ(normals[0], (host::Vector32{0, 0, -1}));
    EXPECT_EQ(normals[8], (host::Vector32{0, 0, 1}));  // glTF's (0, 0, -1) face
    for (int i = 0; i < 3; ++i) {
        const host::CPolygon& p = o->GetPolygonR()[i];
        const Vector* pt = o->GetPointR();
        const Vector face = host::Cross(pt[p.b] - pt[p.a], pt[p.c] - pt[p.a]);
        const host::Vector32& n = normals[4 * static_cast<std::size_t>(i)];
        EXPECT_GT(face.x * n.x + face.y * n.y + face.z * n.z, 0.0) << "polygon " << i;
    }
}

TEST_F(GltfImport, StripsAndFansUnrollIntoTriangles) {
    GltfBuilder b;
    const std::vector<float> five = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0};
    const int mesh = b.triangleMesh(five, {0, 1, 2, 3, 4});
    b.j["meshes"][0]["primitives"][0]["mode"] = 5;
    Json fan = b.j["meshes"][0]["primitives"][0];
    fan["mode"] = 6;
    b.j["meshes"][0]["primitives"].push_back(fan);
    b.j["scenes"][0]["nodes"] = {b.node({{"mesh", mesh}})};
    const auto result = import(b);
    auto* o = dynamic_cast<host::PolygonObject*>(result.document->GetFirstObject());
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->GetPolygonCount(), 6);
    std::vector<std::array<int, 3>> got;
    for (int i = 0; i < 6; ++i)
        got.push_back({o->GetPolygonR()[i].a, o->GetPolygonR()[i].b, o->GetPolygonR()[i].c});
    // Strip: (0 1 2), (2 1 3), (2 3 4); fan: (1 2 0), (2 3 0), (3 4 0); reversed.
    EXPECT_EQ(got, (std::vector<std::array<int, 3>>{
                       {0, 2, 1}, {2, 3, 1}, {2, 4, 3}, {6, 5, 7}, {7, 5, 8}, {8, 5, 9}}));
}

TEST_F(GltfImport, MaterialsKeepBaseColourAndTheirImagesBecomeFiles) {
    GltfBuilder b;
    const std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 1, 2, 3};
    std::ofstream(dir_ / "my image.png") << "external";
    b.j["images"] = {
        {{"uri", "data:image/png;base64," + gltftest::base64(png)}},
        {{"uri", "my%20image.png"}},
        {{"bufferView", b.bufferView({0xFF, 0xD8, 0xFF, 0xE0, 9})}, {"mimeType", "image/jpeg"}}};
    b.j["samplers"] = {{{"wrapS", 33071}, {"wrapT", 33071}}};
    b.j["textures"] = {{{"source", 0}, {"sampler", 0}}, {{"source", 1}}, {{"source", 2}}};
    b.j["materials"] = Json::parse(R"([
        {"name": "Plain", "pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.4, 0.6, 1]}},
        {"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
        {"name": "External", "pbrMetallicRoughness": {"baseColorTexture": {"index": 1,
          "extensions": {"KHR_texture_transform": {"scale": [2, 3], "offset": [0.5, 0]}}}}},
        {"name": "In buffer", "pbrMetallicRoughness": {"baseColorTexture": {"index": 2}}}])");
    b.j["extensionsUsed"] = {"KHR_texture_transform"};
    const int mesh = b.triangleMesh(kQuad, {0, 1, 2}, 1, {}, {0, 0, 1, 0, 1, 1, 0, 1});
    Json second = b.j["meshes"][0]["primitives"][0];
    second["material"] = 2;
    b.j["meshes"][0]["primitives"].push_back(second);
    b.j["scenes"][0]["nodes"] = {b.node({{"mesh", mesh}})};
    const auto result = import(b);

    std::vector<const host::BaseMaterial*> m;
    for (const host::BaseMaterial* x = result.document->GetFirstMaterial(); x; x = x->GetNext())
        m.push_back(x);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0]->GetName().utf8(), "Plain");
    EXPECT_EQ(m[1]->GetName().utf8(), "Material 1");
    EXPECT_TRUE(m[0]->GetChannelState(0));
    EXPECT_EQ(param(*m[0], 2100).GetVector(), Vector(0.2, 0.4, 0.6));
    EXPECT_EQ(m[0]->GetFirstShader(), nullptr);
    const auto file = [&](const host::BaseMaterial* x) {
        const host::BaseShader* s = x->GetFirstShader();
        EXPECT_NE(s, nullptr);
        EXPECT_EQ(s->GetType(), host::Xbitmap);
        EXPECT_EQ(param(*x, 8000).GetLink(), s);
        return param(*s, 1000).GetFilename().GetString().utf8();
    };
    const fs::path images = dir_ / "images";
    EXPECT_EQ(file(m[1]), (images / "model_image0.png").string());
    EXPECT_EQ(file(m[2]), (dir_ / "my image.png").string());
    EXPECT_EQ(file(m[3]), (images / "model_image2.jpg").string());
    std::ifstream written(images / "model_image0.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(written)), {});
    EXPECT_EQ(bytes, std::string(png.begin(), png.end()));
    EXPECT_EQ(result.writtenImages.size(), 2u);

    // Clamping turns tiling off; the second primitive's texture transform is
    // baked into its coordinates.
    auto* o = dynamic_cast<host::PolygonObject*>(result.document->GetFirstObject());
    const auto* tag = static_cast<const host::TextureTag*>(o->GetTag(host::Ttexture));
    EXPECT_EQ(param(*tag, 1007).GetInt32(), 0);
    const auto* uvw = static_cast<const host::UVWTag*>(o->GetTag(host::Tuvw));
    EXPECT_EQ(uvw->GetDataAddressR()[0].b, Vector(1, 1, 0));  // corner 2: (1, 1)
    expectNear(uvw->GetDataAddressR()[1].b, {2.5, 3, 0}, 1e-6, "scaled and shifted corner");
}

TEST_F(GltfImport, CamerasGetTheHorizontalFieldOfViewAndLightsTheirIntensity) {
    GltfBuilder b;
    b.j["cameras"] = {{{"type", "perspective"},
                       {"name", "Wide"},
                       {"perspective", {{"yfov", 0.5}, {"aspectRatio", 2.0}, {"znear", 0.1}}}},
                      {{"type", "perspective"}, {"perspective", {{"yfov", 0.5}, {"znear", 0.1}}}},
                      {{"type", "orthographic"},
                       {"name", "Ortho"},
                       {"orthographic", {{"xmag", 1}, {"ymag", 1}, {"znear", 0.1}, {"zfar", 10}}}}};
    b.j["extensionsUsed"] = {"KHR_lights_punctual"};
    b.j["extensions"]["KHR_lights_punctual"]["lights"] = {
        {{"type", "point"}, {"name", "Bulb"}, {"color", {1, 0.5, 0.25}}, {"intensity", 10}},
        {{"type", "directional"}, {"intensity", 3}},
        {{"type", "spot"}, {"range", 5}, {"spot", {{"outerConeAngle", 0.5}}}}};
    const int mesh = b.triangleMesh(kQuad, {0, 1, 2});
    b.j["scenes"][0]["nodes"] = {
        b.node({{"camera", 0}}),
        b.node({{"camera", 1}, {"name", "Default"}}),
        b.node({{"camera", 2}}),
        b.node({{"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}}),
        b.node({{"name", "Sun"}, {"extensions", {{"KHR_lights_punctual", {{"light", 1}}}}}}),
        b.node({{"name", "Lamp"},
                {"mesh", mesh},
                {"extensions", {{"KHR_lights_punctual", {{"light", 2}}}}}})};
    const auto result = import(b);
    BaseObject* first = result.document->GetFirstObject();
    BaseObject* wide = find(first, "Wide");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetType(), host::Ocamera);
    EXPECT_NEAR(param(*wide, 1008).GetFloat(), 2 * std::atan(2 * std::tan(0.25)), 1e-12);
    EXPECT_NEAR(param(*find(first, "Default"), 1008).GetFloat(),
                2 * std::atan(4.0 / 3 * std::tan(0.25)), 1e-12);
    EXPECT_NEAR(param(*find(first, "Ortho"), 1008).GetFloat(), 0.9272952180016122, 1e-15);

    BaseObject* bulb = find(first, "Bulb");
    ASSERT_NE(bulb, nullptr);
    EXPECT_EQ(bulb->GetType(), host::Olight);
    EXPECT_EQ(param(*bulb, 90000).GetVector(), Vector(1, 0.5, 0.25));
    EXPECT_EQ(param(*bulb, 90002).GetInt32(), 0);
    EXPECT_EQ(param(*bulb, 90046).GetInt32(), 1);
    EXPECT_EQ(param(*bulb, 90037).GetInt32(), 1);
    EXPECT_EQ(param(*bulb, 90043).GetFloat(), 10.0);
    BaseObject* sun = find(first, "Sun");
    EXPECT_EQ(param(*sun, 90002).GetInt32(), 3);
    EXPECT_EQ(param(*sun, 90046).GetInt32(), 0);
    EXPECT_EQ(param(*sun, 90001).GetFloat(), 3.0);
    BaseObject* lamp = find(first, "Lamp");
    ASSERT_NE(lamp->GetDown(), nullptr);
    EXPECT_EQ(lamp->GetDown()->GetType(), host::Olight);
    EXPECT_EQ(lamp->GetDown()->GetMl(), host::Matrix());

    EXPECT_EQ(
        result.warnings,
        (std::vector<std::string>{
            "cameras without an aspect ratio: horizontal field of view taken for 4:3: cameras[1]",
            "light properties not imported: ranges, spot cone angles",
            "orthographic cameras imported as perspective cameras: \"Ortho\""}));
}

TEST_F(GltfImport, AnimationBecomesTracksWhoseKeysFollowTheGltfCurves) {
    GltfBuilder b;
    b.j["scenes"][0]["nodes"] = {b.node({{"name", "Moved"}, {"translation", {9, 9, 9}}}),
                                 b.node({{"name", "Turned"}}), b.node({{"name", "Stepped"}}),
                                 b.node({{"name", "Curved"}})};
    const int times = b.accessor({0, 1, 2}, "SCALAR");
    const auto q0 = quat(1, 1, 0, 0), q1 = quat(1, 1, 0, 2.5), q2 = quat(0, 1, 1, 0.5);
    const int rotations = b.accessor(
        {float(q0[0]), float(q0[1]), float(q0[2]), float(q0[3]), float(q1[0]), float(q1[1]),
         float(q1[2]), float(q1[3]), float(q2[0]), float(q2[1]), float(q2[2]), float(q2[3])},
        "VEC4");
    // Cubic: in-tangent, value, out-tangent per key.
    const int cubic = b.accessor({0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}, "VEC3");
    b.j["animations"] = {
        {{"samplers",
          {{{"input", times}, {"output", b.accessor({0, 0, 1, 0, 0, 2, 0, 0, 2}, "VEC3")}},
           {{"input", times}, {"output", rotations}},
           {{"input", times},
            {"output", b.accessor({1, 1, 1, 2, 2, 2, 3, 3, 3}, "VEC3")},
            {"interpolation", "STEP"}},
           {{"input", b.accessor({0, 1}, "SCALAR")},
            {"output", cubic},
            {"interpolation", "CUBICSPLINE"}}}},
         {"channels",
          {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}},
           {{"sampler", 1}, {"target", {{"node", 1}, {"path", "rotation"}}}},
           {{"sampler", 2}, {"target", {{"node", 2}, {"path", "scale"}}}},
           {{"sampler", 3}, {"target", {{"node", 3}, {"path", "translation"}}}}}}}};
    const auto result = import(b);
    BaseObject* first = result.document->GetFirstObject();

    // Translation: only z moves; keys in centimetres, mirrored; the rest
    // position is the first key's.
    BaseObject* moved = find(first, "Moved");
    const host::CTrack* track = moved->GetFirstCTrack();
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->GetNext(), nullptr);
    EXPECT_EQ(track->GetDescriptionID(), host::DescID(903, 1002));
    ASSERT_EQ(track->GetCurve()->GetKeyCount(), 3);
    EXPECT_EQ(track->GetCurve()->GetKey(1)->GetValue(), -200.0);
    EXPECT_EQ(track->GetCurve()->GetKey(2)->GetTime().Get(), 2.0);
    EXPECT_EQ(moved->GetRelPos(), Vector(0, 0, -100));

    // Rotation: the host's straight lines between keys stay on the slerp.
    BaseObject* turned = find(first, "Turned");
    int tracks = 0, keys = 0;
    for (const host::CTrack* t = turned->GetFirstCTrack(); t; t = t->GetNext())
        ++tracks, keys = t->GetCurve()->GetKeyCount();
    EXPECT_EQ(tracks, 3);
    EXPECT_GT(keys, 3);
    const auto slerp = [](const std::array<double, 4>& a, const std::array<double, 4>& c,
                          double s) {
        double d = 0;
        for (int i = 0; i < 4; ++i) d += a[i] * c[i];
        const double th = std::acos(d), wa = std::sin((1 - s) * th) / std::sin(th),
                     wb = std::sin(s * th) / std::sin(th);
        return std::array<double, 4>{wa * a[0] + wb * c[0], wa * a[1] + wb * c[1],
                                     wa * a[2] + wb * c[2], wa * a[3] + wb * c[3]};
    };
    for (double t = 0; t <= 2.0; t += 0.0625) {
        Vector hpb;
        for (const host::CTrack* tr = turned->GetFirstCTrack(); tr; tr = tr->GetNext()) {
            const double v = tr->GetValue(nullptr, host::BaseTime(t));
            (tr->GetDescriptionID()[1] == 1000   ? hpb.x
             : tr->GetDescriptionID()[1] == 1001 ? hpb.y
                                                 : hpb.z) = v;
        }
        const auto q = t <= 1 ? slerp(q0, q1, t) : slerp(q1, q2, t - 1);
        // The expected host rotation maps hostPoint(p) to hostPoint(R p).
        const M4 r = trs({0, 0, 0}, q, {1, 1, 1});
        const host::Matrix m = host::HPBToMatrix(hpb, 6);
        for (const auto& p : {std::array<double, 3>{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}) {
            const Vector expected = apply(r, p[0], p[1], p[2]);
            expectNear(m * hostPoint(p[0], p[1], p[2]),
                       hostPoint(expected.x, expected.y, expected.z), 0.2,
                       "rotation at " + std::to_string(t));
        }
    }

    // Step keys, and cubic segments sampled into linear keys on the curve.
    const host::CTrack* stepped = find(first, "Stepped")->GetFirstCTrack();
    ASSERT_NE(stepped, nullptr);
    EXPECT_EQ(stepped->GetCurve()->GetKey(0)->GetInterpolation(), host::Interpolation::Step);
    EXPECT_EQ(stepped->GetValue(nullptr, host::BaseTime(1.9)), 2.0);
    const host::CTrack* curved = find(first, "Curved")->GetFirstCTrack();
    ASSERT_NE(curved, nullptr);
    EXPECT_GT(curved->GetCurve()->GetKeyCount(), 2);
    for (double s = 0; s <= 1; s += 0.05) {
        // Hermite from 0 to 1 with out-tangent 4 at the start, 0 at the end.
        const double expected = 4 * (s * s * s - 2 * s * s + s) + (-2 * s * s * s + 3 * s * s);
        EXPECT_NEAR(curved->GetValue(nullptr, host::BaseTime(s)), 100 * expected, 0.05) << s;
    }
    EXPECT_TRUE(result.warnings.empty());
}

TEST_F(GltfImport, WhatTheDocumentCannotHoldIsOneWarningLinePerKind) {
    GltfBuilder b;
    const int mesh = b.triangleMesh(kQuad, {0, 1, 2}, -1, {}, {0, 0, 1, 0, 1, 1, 0, 1});
    Json& prim = b.j["meshes"][0]["primitives"][0];
    prim["attributes"]["TEXCOORD_1"] = prim["attributes"]["TEXCOORD_0"];
    prim["attributes"]["COLOR_0"] =
        b.accessor({1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1}, "VEC4");
    prim["targets"] = {{{"POSITION", prim["attributes"]["POSITION"]}}};
    b.j["meshes"][0]["name"] = "Blob";
    b.j["skins"] = {{{"joints", {1}}}};
    b.j["extensionsUsed"] = {"EXT_made_up"};
    b.j["scenes"][0]["nodes"] = {
        b.node({{"name", "Skinned"}, {"mesh", mesh}, {"skin", 0}, {"children", {1}}}),
    };
    b.node({{"name", "Joint"}});
    b.j["scenes"][0]["nodes"] = {0};
    const auto result = import(b);
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{
                  "extensions not imported: EXT_made_up",
                  "morph targets not imported, meshes keep their base shape: \"Blob\"",
                  "skins not imported, skinned meshes keep their rest shape: \"Skinned\"",
                  "uv sets not imported (an object keeps the set its base colour texture uses): "
                  "\"Blob\" TEXCOORD_1",
                  "vertex colours not imported: \"Blob\""}));
}

TEST_F(GltfImport, BadFilesAreOneClearErrorAndWriteNoImage) {
    const auto base = [] {
        GltfBuilder b;
        b.j["images"] = {
            {{"uri", "data:image/png;base64," + gltftest::base64({0x89, 'P', 'N', 'G'})}}};
        b.j["textures"] = {{{"source", 0}}};
        b.j["materials"] = {{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}}};
        b.triangleMesh(kQuad, {0, 1, 2}, 0);
        b.j["scenes"][0]["nodes"] = {b.node({{"mesh", 0}})};
        return b;
    };
    struct Case {
        std::function<void(GltfBuilder&)> change;
        std::string message;
    };
    const Case cases[] = {
        {[](GltfBuilder& b) {
             b.j["meshes"][0]["primitives"][0]["indices"] = b.indices({0, 1, 7});
         },
         "meshes[0].primitives[0].indices: index 7 outside the 4 vertices"},
        {[](GltfBuilder& b) { b.j["accessors"][0]["count"] = 40; },
         "meshes[0].primitives[0].attributes.POSITION (accessors[0]): 40 elements of 12 bytes from "
         "byte 0 do not "
         "fit in bufferViews[0] (48 bytes)"},
        {[](GltfBuilder& b) { b.j["accessors"][0]["count"] = std::uint64_t{1} << 60; },
         "meshes[0].primitives[0].attributes.POSITION (accessors[0]): 1152921504606846976 elements "
         "of 12 "
         "bytes from byte 0 do not fit in bufferViews[0] (48 bytes)"},
        {[](GltfBuilder& b) { b.j["accessors"][0]["type"] = "VEC2"; },
         "meshes[0].primitives[0].attributes.POSITION (accessors[0]): expected VEC3 elements"},
        {[](GltfBuilder& b) { b.j["meshes"][0]["primitives"][0]["attributes"].erase("POSITION"); },
         "meshes[0].primitives[0].attributes: no POSITION"},
        {[](GltfBuilder& b) { b.j["nodes"][0]["mesh"] = 3; }, "nodes[0].mesh: no mesh 3"},
        {[](GltfBuilder& b) { b.j["nodes"][0]["children"] = {0}; },
         "nodes[0].children: node 0 has more than one parent"},
        {[](GltfBuilder& b) { b.j["extensionsRequired"] = {"KHR_draco_mesh_compression"}; },
         "extensionsRequired: the file needs KHR_draco_mesh_compression, which the import does not "
         "support"},
        {[](GltfBuilder& b) { b.j["asset"]["version"] = "1.0"; },
         "asset.version: glTF 1.0 is not supported (2.0 expected)"},
        {[](GltfBuilder& b) {
             b.j["nodes"][0]["translation"] = {1, 2};
         },
         "nodes[0].translation: expected 3 numbers"},
    };
    for (const Case& c : cases) {
        GltfBuilder b = base();
        c.change(b);
        EXPECT_EQ(error(b), c.message);
        EXPECT_FALSE(fs::exists(dir_ / "images")) << c.message;
    }
    std::ofstream(dir_ / "broken.gltf") << "{\"asset\": {\"version\": \"2.0\"}, \"nodes\": [";
    EXPECT_THROW(host::gltf::ImportGltfFile((dir_ / "broken.gltf").string()),
                 host::gltf::GltfError);
    try {
        host::gltf::ImportGltfFile((dir_ / "missing.glb").string());
        ADD_FAILURE() << "a missing file imported";
    } catch (const host::gltf::GltfError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot read the file: No such file or directory");
    }
}

TEST_F(GltfImport, BinaryFileGivesTheSameDocument) {
    GltfBuilder b;
    b.j["materials"] = {
        {{"name", "Red"}, {"pbrMetallicRoughness", {{"baseColorFactor", {1, 0, 0, 1}}}}}};
    const int mesh =
        b.triangleMesh(kQuad, {0, 1, 2, 0, 2, 3}, 0, {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
    b.j["scenes"][0]["nodes"] = {
        b.node({{"name", "Q"}, {"mesh", mesh}, {"translation", {1, 0, 0}}})};
    const std::string text = host::WriteDocumentText(*import(b, "model.gltf").document, "");
    std::string binary = host::WriteDocumentText(*import(b, "model.glb").document, "");
    binary.replace(binary.find("model.glb"), 9, "model.gltf");
    EXPECT_EQ(binary, text);
}

}  // namespace
