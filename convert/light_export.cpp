// Host parameters read from a light (a value the host cannot supply counts as
// 0: a black colour, power 0, type 0 and so a point light):
//
// | id             | type    | host meaning            | written                    |
// |----------------|---------|-------------------------|----------------------------|
// | 90000          | vector  | colour                  | "color", three floats      |
// | 90001          | double  | brightness, 1.0 = 100 % | "power" = brightness * 100 |
// | 90002          | integer | light type, 8 = area    | 8: "tal_mesh_light"        |
// | 100010..100012 | double  | area size along x, y, z | half-extents (area light)  |
// | 90046          | integer | photometric switch      | "lumen"; power from 90043  |
// | 90037          | integer | photometric unit        | 1: intensity * 12.566      |
// | 90043          | double  | photometric intensity   | "power" (photometric)      |
#include "convert/light_export.h"

#include <array>
#include <cstdint>

#include "convert/export_context.h"
#include "convert/saturate.h"
#include "host/object.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kLightColor = 90000;
constexpr host::Int32 kLightBrightness = 90001;
constexpr host::Int32 kLightType = 90002;
constexpr host::Int32 kLightTypeArea = 8;
constexpr host::Int32 kAreaSizeX = 100010;
constexpr host::Int32 kAreaSizeY = 100011;
constexpr host::Int32 kAreaSizeZ = 100012;
constexpr host::Int32 kPhotometricOn = 90046;
constexpr host::Int32 kPhotometricUnit = 90037;
constexpr host::Int32 kPhotometricIntensity = 90043;
// Unit 1 gives the intensity per steradian; the renderer wants it over the
// whole sphere (4 pi, as the host rounds it).
constexpr double kUnitSphereFactor = 12.566;

// The light's mesh: an octahedron with the given half-extents along the
// light's own axes, its normals the (unnormalised) vertex directions.
constexpr std::array<std::int32_t, 24> kTriangles = {2, 1, 0, 1, 2, 5, 3, 2, 0, 2, 3, 5,
                                                     4, 3, 0, 3, 4, 5, 1, 4, 0, 4, 1, 5};

// What a light contributes to the scene, read from the host.
struct LightValues {
    std::array<float, 3> color{};
    bool meshLight = false;  // an area light
    std::array<float, 3> halfExtents{1.0f, 1.0f, 1.0f};
    bool photometric = false;
    std::int32_t power = 0;
};

host::GeData read(const host::BaseObject& light, host::Int32 id) {
    host::GeData data;
    light.GetParameter(host::DescID(id), data);  // unreadable: the empty value, 0
    return data;
}

LightValues readLight(const host::BaseObject& light) {
    LightValues v;
    const host::Vector color = read(light, kLightColor).GetVector();
    v.color = {toFloat(color.x), toFloat(color.y), toFloat(color.z)};
    const double brightness = read(light, kLightBrightness).GetFloat();
    v.meshLight = read(light, kLightType).GetInt32() == kLightTypeArea;
    if (v.meshLight) {
        v.halfExtents = {toFloat(read(light, kAreaSizeX).GetFloat() * 0.5),
                         toFloat(read(light, kAreaSizeY).GetFloat() * 0.5),
                         toFloat(read(light, kAreaSizeZ).GetFloat() * 0.5)};
    }
    v.photometric = read(light, kPhotometricOn).GetInt32() != 0;
    if (v.photometric) {
        float intensity = toFloat(read(light, kPhotometricIntensity).GetFloat());
        if (read(light, kPhotometricUnit).GetInt32() == 1) {
            intensity = toFloat(static_cast<double>(intensity) * kUnitSphereFactor);
        }
        v.power = truncateToInt32(intensity);
    } else {
        v.power = truncateToInt32(toFloat(brightness) * 100.0f);
    }
    return v;
}

}  // namespace

void exportLight(ExportContext& context, const std::string& name, host::BaseObject& light) {
    if (!context.scene || !context.scene->api()) return;
    tal::talScene_api& api = *context.scene->api();
    const LightValues v = readLight(light);
    const auto [hx, hy, hz] = v.halfExtents;
    const std::array<float, 18> vertices = {0,   -hy, 0, hx, 0, 0,   0, 0,  hz,
                                            -hx, 0,   0, 0,  0, -hz, 0, hy, 0};
    const tal::ArrayValue vertexArray{vertices.data(), 6};
    const tal::ArrayValue triangleArray{kTriangles.data(), 24};

    api.beginObject(name.c_str(), true);
    api.beginGeometry("triangles");
    api.setParameter("vertices", tal::kArrayBit | tal::kFloat3, &vertexArray);
    api.setParameter("normals", tal::kArrayBit | tal::kFloat3, &vertexArray);
    api.setParameter("triangles", tal::kArrayBit | tal::kInt, &triangleArray);
    api.endGeometry();

    api.beginMaterial(name.c_str(), true);
    api.beginShader(nullptr, v.meshLight ? "tal_mesh_light" : "tal_point_light");
    const std::int32_t power = v.power;
    const std::int32_t lumen = v.photometric ? 1 : 0;
    const std::int32_t off = 0;
    api.setParameter("power", tal::kInt, &power);
    api.setParameter("color", tal::kFloat3, v.color.data());
    api.setParameter("lumen", tal::kBool, &lumen);
    if (v.meshLight) {
        // An area light lights the scene without being seen as a shape.
        api.setParameter("visible to the eye", tal::kBool, &off);
        api.setParameter("visible in reflections", tal::kBool, &off);
        api.setParameter("visible in shadows", tal::kBool, &off);
    } else {
        const float radius = 0.0f;
        api.setParameter("radius", tal::kFloat, &radius);
    }
    api.endShader();
    api.useShaderText(tal::kSurface, api.currentShaderText());
    api.endMaterial();
    api.endObject();
}

}  // namespace convert
