#include "scene_samples.h"

#include <vector>

#include "sceneapi/scene_api_file.h"
#include "tests/support/memory_scene.h"

namespace vxtest {

namespace {

using tal::ArrayValue;
using tal::talScene_api;

void floats3(talScene_api& a, const char* name, const std::vector<float>& v) {
    ArrayValue av{v.data(), static_cast<std::int32_t>(v.size() / 3)};
    a.setParameter(name, tal::kFloat3 | tal::kArrayBit, &av);
}
void floats(talScene_api& a, const char* name, const std::vector<float>& v) {
    ArrayValue av{v.data(), static_cast<std::int32_t>(v.size())};
    a.setParameter(name, tal::kFloat | tal::kArrayBit, &av);
}
void ints(talScene_api& a, const char* name, const std::vector<std::int32_t>& v) {
    ArrayValue av{v.data(), static_cast<std::int32_t>(v.size())};
    a.setParameter(name, tal::kInt | tal::kArrayBit, &av);
}
void float3(talScene_api& a, const char* name, float x, float y, float z) {
    float v[3] = {x, y, z};
    a.setParameter(name, tal::kFloat3, v);
}
void integer(talScene_api& a, const char* name, int v) { a.setParameter(name, tal::kInt, &v); }
void boolean(talScene_api& a, const char* name, bool b) {
    int v = b ? 1 : 0;
    a.setParameter(name, tal::kBool, &v);
}
void real(talScene_api& a, const char* name, float v) { a.setParameter(name, tal::kFloat, &v); }

void header(talScene_api& a) {
    a.rawText("//---talvik:dal:7---\n");
    a.rawText("//---import:dal:1---\n");
    a.rawText("//---id:1---\n");
    a.rawText("// This is a Vantrix scene file\n\n");
    a.print("Vantrix SceneApi oo 9.0.45  (built Wed Feb 20 10:46:13 2019)");
    a.version(8);
    a.beginLoad("talrtopt.so");
    boolean(a, "import_mode", true);
    real(a, "meter_scale", 100.0f);
    a.endLoad();
}

void animation(talScene_api& a, const char* track, const char* folder) {
    a.beginAnimation("fbx_animation", track);
    integer(a, "start_time", 0);
    real(a, "duration", 1.0f);
    a.setParameter("folder", tal::kString, folder);
    std::vector<double> m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                             1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1};
    ArrayValue mv{m.data(), 2};
    a.setParameter("matrices", tal::kMatrix | tal::kArrayBit, &mv);
    ints(a, "timestamps", {0, 33});
    a.endAnimation();
}

void diffuseMaterial(talScene_api& a, const char* name, float grey) {
    a.beginShader(nullptr, "tal_diffuse");
    float3(a, "diffuse", grey, grey, grey);
    a.endShader();
    const tal::ShaderText* s = a.currentShaderText();
    a.beginMaterial(name, true);
    a.useShaderText(tal::kSurface, s);
    a.endMaterial();
}

void camera(talScene_api& a) {
    a.beginCamera("Camera");
    a.setParameter("projection", tal::kString, "perspective");
    real(a, "fov", 60.0f);
    a.beginShader(nullptr, "tal_envmap");
    a.setParameter("texture", tal::kString, "startup.hdr");
    integer(a, "format", 3);
    real(a, "radius", 25.0f);
    const tal::ShaderText* env = a.currentShaderText();
    a.endShader();
    a.setParameter("reflection map", tal::kShaderText, &env);
    double pos[3] = {0, 0, 0}, dir[3] = {0, 0, 1}, up[3] = {0, 1, 0};
    a.setParameter("position", tal::kDouble3, pos);
    a.setParameter("direction", tal::kDouble3, dir);
    a.setParameter("up", tal::kDouble3, up);
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 100, -500, 1};
    a.transform(m);
    a.endCamera();
    animation(a, "Camera Position X", "Camera/Camera Position");
}

void cube(talScene_api& a) {
    std::vector<float> v = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1,
                            -1, -1, 1,  1, -1, 1,  1, 1, 1,  -1, 1, 1};
    // 6 quads, each a, d, b, c, b, d as the plug-in splits them.
    const int quads[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    std::vector<std::int32_t> tris, corners;
    std::vector<float> normals, uvs;
    for (int q = 0; q < 6; ++q) {
        const int* p = quads[q];
        for (int k : {p[0], p[3], p[1], p[2], p[1], p[3]}) tris.push_back(k);
        int c = 4 * q;
        for (int k : {c, c + 3, c + 1, c + 2, c + 1, c + 3}) corners.push_back(k);
        for (int k = 0; k < 4; ++k) {
            normals.insert(normals.end(), {0.0f, 0.0f, 1.0f});
            uvs.insert(uvs.end(), {k == 1 || k == 2 ? 1.0f : 0.0f, k >= 2 ? 1.0f : 0.0f});
        }
    }
    a.beginObject("Cube", true);
    a.beginGeometry("triangles");
    floats3(a, "vertices", v);
    floats3(a, "normals", normals);
    ints(a, "triangles_norm", corners);
    floats(a, "uv_tex", uvs);
    ints(a, "triangles_uv", corners);
    ints(a, "triangles", tris);
    a.endGeometry();
    a.beginShader(nullptr, "texture2_rgb");
    a.setParameter("texture", tal::kString, "tex/wood.png");
    float3(a, "default_color", 0, 0, 0);
    boolean(a, "wrap", true);
    integer(a, "uv_projection", 4);
    integer(a, "uv_flags", 62);
    a.endShader();
    const tal::ShaderText* texture = a.currentShaderText();
    a.beginShader(nullptr, "tal_advanced");
    float3(a, "diffuse", 0.8f, 0.5f, 0.25f);
    float3(a, "specular", 0, 0, 0);
    a.linkShaderText("diffuse", texture);
    a.endShader();
    const tal::ShaderText* surface = a.currentShaderText();
    a.beginMaterial("Wood", true);
    a.useShaderText(tal::kSurface, surface);
    a.endMaterial();
    a.endObject();
}

void plane(talScene_api& a) {
    a.beginObject("Plane", true);
    a.beginGeometry("triangles");
    floats3(a, "vertices", {0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1});
    ints(a, "triangles", {0, 3, 1, 2, 1, 3});
    a.endGeometry();
    diffuseMaterial(a, "Display color", 0.65f);
    a.endObject();
}

void light(talScene_api& a) {
    std::vector<float> v = {0, -1, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, -1, 0, 1, 0};
    a.beginObject("Light", true);
    a.beginGeometry("triangles");
    floats3(a, "vertices", v);
    floats3(a, "normals", v);
    ints(a, "triangles", {2, 1, 0, 1, 2, 5, 3, 2, 0, 2, 3, 5, 4, 3, 0, 3, 4, 5, 1, 4, 0, 4, 1, 5});
    a.endGeometry();
    a.beginShader(nullptr, "tal_point_light");
    integer(a, "power", 100);
    float3(a, "color", 1, 1, 1);
    boolean(a, "lumen", false);
    real(a, "radius", 0);
    a.endShader();
    const tal::ShaderText* s = a.currentShaderText();
    a.beginMaterial("Light", true);
    a.useShaderText(tal::kSurface, s);
    a.endMaterial();
    a.endObject();
}

void hair(talScene_api& a) {
    a.beginObject("Hair", true);
    a.beginGeometry("tal_bezier_curves");
    real(a, "radius", 0.5f);
    integer(a, "order", 2);
    std::vector<float> p, pr;
    for (int h = 0; h < 2; ++h)
        for (int j = 0; j < 4; ++j) {
            p.insert(p.end(), {static_cast<float>(h), static_cast<float>(j), 0});
            pr.push_back(0.5f - 0.125f * static_cast<float>(j));
        }
    floats3(a, "p", p);
    floats(a, "pr", pr);
    floats(a, "curve_uv", {0, 0, 0.5f, 0.5f});
    ints(a, "nvertices", {4, 4});
    a.endGeometry();
    diffuseMaterial(a, "Display color #1", 0.5f);
    a.endObject();
}

void objectGroup(talScene_api& a, const char* name, void (*content)(talScene_api&), double x) {
    a.beginGroup(name, true);
    a.flags(1);
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, 0, 0, 1};
    a.transform(m);
    content(a);
    a.endGroup();
}

}  // namespace

std::string exportLikeScene(bool binaryArrays) {
    MemoryStream memory;
    {
        tal::talScene_api_file a(memory.stream(), binaryArrays);
        header(a);
        camera(a);
        a.beginGroup("scene", true);
        double mirror[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
        a.transform(mirror);
        a.attribute("source file", "source file");
        a.progress("Cube", 0.0f);
        objectGroup(a, "Cube", cube, 0);
        objectGroup(a, "Plane", plane, 3);
        objectGroup(a, "Light", light, 0);
        objectGroup(a, "Hair", hair, -3);
        animation(a, "Position X", "Cube/Position");
        a.endGroup();
    }
    return memory.text();
}

std::string gridScene(int cellsX, int cellsY, bool binaryArrays) {
    std::vector<float> v, normals, uvs;
    std::vector<std::int32_t> tris;
    for (int y = 0; y <= cellsY; ++y)
        for (int x = 0; x <= cellsX; ++x) {
            v.insert(v.end(), {static_cast<float>(x), 0.0f, static_cast<float>(y)});
            normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
            uvs.insert(uvs.end(), {static_cast<float>(x) / static_cast<float>(cellsX),
                                   static_cast<float>(y) / static_cast<float>(cellsY)});
        }
    for (int y = 0; y < cellsY; ++y)
        for (int x = 0; x < cellsX; ++x) {
            std::int32_t a = y * (cellsX + 1) + x, b = a + 1, d = a + cellsX + 1, c = d + 1;
            tris.insert(tris.end(), {a, d, b, c, b, d});
        }
    MemoryStream memory;
    {
        tal::talScene_api_file a(memory.stream(), binaryArrays);
        header(a);
        a.beginGroup("grid", true);
        a.beginObject("Grid", true);
        a.beginGeometry("triangles");
        floats3(a, "vertices", v);
        floats3(a, "normals", normals);
        ints(a, "triangles_norm", tris);
        floats(a, "uv_tex", uvs);
        ints(a, "triangles_uv", tris);
        ints(a, "triangles", tris);
        a.endGeometry();
        diffuseMaterial(a, "Display color", 0.65f);
        a.endObject();
        a.endGroup();
    }
    return memory.text();
}

}  // namespace vxtest
