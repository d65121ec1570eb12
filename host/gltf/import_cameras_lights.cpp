// glTF cameras and KHR_lights_punctual lights into camera and light objects.
//
// Both look along their local -z in glTF and along +z in the host; the
// mirror of the node transform (import_space.cpp) already turns one into the
// other, so the objects sit on their node without a turn of their own.
//
// | glTF camera                     | camera object (5103)                              |
// |---------------------------------|---------------------------------------------------|
// | perspective yfov, aspectRatio   | 1008 = 2 atan(aspectRatio tan(yfov / 2)), the     |
// |                                 | horizontal field of view; no aspectRatio: 4:3     |
// | orthographic                    | a perspective camera with the host's default 1008 |
// | znear, zfar                     | not kept (the conversion reads no clipping)       |
//
// | KHR_lights_punctual             | light object (5102)                               |
// |---------------------------------|---------------------------------------------------|
// | color                           | 90000 colour                                      |
// | type point / spot / directional | 90002 type 0 omni / 1 spot / 3 distant            |
// | intensity, point and spot (cd)  | 90046 photometric on, 90037 unit 1 (candela),     |
// |                                 | 90043 intensity                                   |
// | intensity, directional (lux)    | 90046 off, 90001 brightness = lux (1 lux = 100 %) |
// | spot cone angles, range         | not kept (warned)                                 |
#include <cmath>
#include <numbers>

#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

constexpr Int32 kFieldOfView = 1008;
constexpr Int32 kLightColour = 90000, kLightBrightness = 90001, kLightType = 90002;
constexpr Int32 kPhotometric = 90046, kPhotometricUnit = 90037, kPhotometricIntensity = 90043;
constexpr Int32 kOmni = 0, kSpot = 1, kDistant = 3;
constexpr Int32 kUnitCandela = 1;
constexpr double kDefaultAspect = 4.0 / 3.0;

}  // namespace

std::unique_ptr<BaseObject> importCamera(Context& ctx, int cameraIndex, const std::string& path) {
    if (cameraIndex < 0 || static_cast<std::size_t>(cameraIndex) >= ctx.model.cameras.size())
        ctx.fail(path, "no camera " + std::to_string(cameraIndex));
    const tinygltf::Camera& camera = ctx.model.cameras[static_cast<std::size_t>(cameraIndex)];
    const std::string at = indexPath("cameras", static_cast<std::size_t>(cameraIndex));
    const std::string label = camera.name.empty() ? at : "\"" + camera.name + "\"";
    auto object = std::make_unique<BaseObject>(Ocamera);
    ApplyHostDefaults(*object);
    object->SetName(String(camera.name));
    if (camera.type == "perspective") {
        const double yfov = camera.perspective.yfov;
        if (!(yfov > 0.0 && yfov < std::numbers::pi))
            ctx.fail(at + ".perspective.yfov",
                     "field of view " + std::to_string(yfov) + " is not between 0 and pi radians");
        double aspect = camera.perspective.aspectRatio;
        if (!(aspect > 0.0) || !std::isfinite(aspect)) {
            ctx.warnings.note(kind::kAspect, label);
            aspect = kDefaultAspect;
        }
        object->params().Set(kFieldOfView,
                             GeData::Number(2.0 * std::atan(aspect * std::tan(yfov / 2.0))));
    } else if (camera.type == "orthographic") {
        ctx.warnings.note(kind::kOrthographic, label);
    } else {
        ctx.fail(at + ".type", "unknown camera type \"" + camera.type + "\"");
    }
    return object;
}

std::unique_ptr<BaseObject> importLight(Context& ctx, int lightIndex, const std::string& path) {
    if (lightIndex < 0 || static_cast<std::size_t>(lightIndex) >= ctx.model.lights.size())
        ctx.fail(path, "no light " + std::to_string(lightIndex));
    const tinygltf::Light& light = ctx.model.lights[static_cast<std::size_t>(lightIndex)];
    const std::string at =
        "extensions.KHR_lights_punctual.lights[" + std::to_string(lightIndex) + "]";
    auto object = std::make_unique<BaseObject>(Olight);
    ApplyHostDefaults(*object);
    object->SetName(String(light.name));
    BaseContainer& p = object->params();
    if (light.color.size() == 3)
        p.Set(kLightColour, GeData(Vector(light.color[0], light.color[1], light.color[2])));
    if (!std::isfinite(light.intensity) || light.intensity < 0)
        ctx.fail(at + ".intensity", "intensity must be a number of at least 0");
    if (light.type == "point" || light.type == "spot") {
        p.Set(kLightType, GeData::Integer(light.type == "point" ? kOmni : kSpot));
        p.Set(kPhotometric, GeData::Integer(1));
        p.Set(kPhotometricUnit, GeData::Integer(kUnitCandela));
        p.Set(kPhotometricIntensity, GeData::Number(light.intensity));
        if (light.type == "spot") ctx.warnings.note(kind::kLightProperties, "spot cone angles");
    } else if (light.type == "directional") {
        p.Set(kLightType, GeData::Integer(kDistant));
        p.Set(kLightBrightness, GeData::Number(light.intensity));
    } else {
        ctx.fail(at + ".type", "unknown light type \"" + light.type + "\"");
    }
    if (light.range > 0.0) ctx.warnings.note(kind::kLightProperties, "ranges");
    return object;
}

}  // namespace host::gltf::detail
