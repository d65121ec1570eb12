// The render model: what the path tracer draws, built from a read scene.
//
// Contract. Every position and normal is in world space, the scene file's
// frame after every group transform (the exported frame: right-handed, y up).
// Distances are scene units; `metersPerUnit` turns them into metres for the
// falloff of light. Triangles keep the file's corner structure: per corner an
// index into the mesh's vertices, and optionally into its normals and uvs.
// A mesh never holds an index outside its arrays (the builder drops such
// meshes). Radiance and intensity are linear RGB.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/texture.h"
#include "preview/vec.h"

namespace preview {

// Where a material's texture is looked up, and how its uvs are placed.
struct TextureMapping {
    int texture = -1;  // index into RenderModel::textures; -1: none
    float scaleU = 1, scaleV = 1, shiftU = 0, shiftV = 0;
    bool wrap = true;
    Vec3 outside;  // the colour off the picture when wrap is off
};

struct Material {
    Vec3 diffuse{0.65f, 0.65f, 0.65f};
    Vec3 specular;          // a glossy lobe's colour; zero: none
    float exponent = 1000;  // the lobe's sharpness (Phong exponent)
    TextureMapping map;
    Vec3 emission;  // radiance of an emitter's front side; zero for a surface
};

struct Mesh {
    std::vector<float> positions;  // x y z per vertex, world space (+4 floats of padding)
    std::size_t vertexCount = 0;
    std::vector<std::uint32_t> triangles;   // 3 vertex indices per triangle
    std::vector<float> normals;             // x y z each, world space, unit or zero
    std::vector<std::uint32_t> triNormals;  // per corner; empty: flat shading
    std::vector<float> uvs;                 // u v each
    std::vector<std::uint32_t> triUvs;      // per corner; empty: no uvs
    int material = 0;
};

struct PointLight {
    Vec3 position;
    Vec3 intensity;  // per steradian, at one metre
};

// One emitting triangle of a mesh light, for sampling it directly. It emits
// from its front side (counter-clockwise, right-handed).
struct EmitterTriangle {
    Vec3 a, b, c;
    float area = 0;  // scene units squared
};

// A mesh light: its triangles in RenderModel::emitters, all of one radiance.
struct MeshLight {
    std::size_t first = 0, count = 0;
    double area = 0;  // scene units squared
    Vec3 radiance;
};

struct Sky {
    Vec3 color{0.5f, 0.5f, 0.5f};
    std::shared_ptr<const Texture> map;  // latitude-longitude radiance; null: `color`
};

struct Camera {
    Vec3 position;
    Vec3 forward{0, 0, -1}, right{1, 0, 0}, up{0, 1, 0};  // unit, orthogonal
    // The picture's edges as tangents of their angles from `forward`.
    float left = 0.577f, rightEdge = 0.577f, bottom = 0.325f, top = 0.325f;
    bool fixedAspect = false;         // false: top and bottom follow the picture's aspect
    float clipNear = 0, clipFar = 0;  // along `forward`; 0: no clipping
};

struct RenderModel {
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    std::vector<std::shared_ptr<const Texture>> textures;
    std::vector<PointLight> pointLights;
    std::vector<EmitterTriangle> emitters;
    std::vector<MeshLight> meshLights;
    Sky sky;
    Camera camera;
    double metersPerUnit = 1;
    std::vector<std::string> warnings;
};

}  // namespace preview
