// assimp cameras and lights into camera and light objects.
//
// assimp places a camera or light on the node of the same name and gives it
// a frame of its own in that node's space (position, viewing or light
// direction, up). The host's camera and light look along their local +z; the
// object's local matrix is the node's times that frame, mirrored like every
// matrix.
//
// | assimp camera                 | camera object (5103)                        |
// |-------------------------------|---------------------------------------------|
// | mHorizontalFOV                | 1008, the horizontal field of view (assimp's|
// |                               | readers store the whole angle there)        |
// | orthographic width            | not kept (warned)                           |
//
// | assimp light                  | light object (5102)                         |
// |-------------------------------|---------------------------------------------|
// | diffuse colour c              | 90000 colour c / max(c), 90001 brightness   |
// |                               | max(c) (1 = 100 %)                          |
// | point / spot / directional    | 90002 type 0 omni / 1 spot / 3 distant      |
// | cone angles, attenuation      | not kept (warned)                           |
// | ambient, area                 | not imported (warned)                       |
#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/assimp/import_context.h"

namespace host::assimp::detail {

namespace {

constexpr Int32 kFieldOfView = 1008;
constexpr Int32 kLightColour = 90000, kLightBrightness = 90001, kLightType = 90002;
constexpr Int32 kOmni = 0, kSpot = 1, kDistant = 3;

const char* const kLightProperties = "light properties not imported";
const char* const kOrthographic = "orthographic cameras imported as perspective cameras";

bool finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The frame whose +z is `forward` and whose y is nearest `up`, at `position`,
// in host space.
Matrix frame(const Space& space, const aiVector3D& position, aiVector3D forward, aiVector3D up) {
    Matrix m;
    m.off = space.point(position);
    const Vector z = Normalize(Vector(forward.x, forward.y, -forward.z));
    if (z == Vector()) return m;
    Vector y = Vector(up.x, up.y, -up.z);
    y = Normalize(y - z * Dot(y, z));
    if (y == Vector())
        y = Normalize(std::abs(z.y) < 0.9 ? Vector(0, 1, 0) - z * z.y : Vector(1, 0, 0) - z * z.x);
    m.v3 = z;
    m.v2 = y;
    m.v1 = Cross(y, z);
    return m;
}

}  // namespace

std::unique_ptr<BaseObject> importCamera(Context& ctx, const aiCamera& camera) {
    const std::string label = "camera \"" + text(camera.mName) + "\"";
    auto object = std::make_unique<BaseObject>(Ocamera);
    ApplyHostDefaults(*object);
    const double fov = camera.mHorizontalFOV;
    if (!(fov > 0.0 && fov < std::numbers::pi))
        ctx.fail(label + ": field of view " + std::to_string(fov) +
                 " is not between 0 and pi radians");
    object->params().Set(kFieldOfView, GeData::Number(fov));
    if (camera.mOrthographicWidth > 0) ctx.warnings.note(kOrthographic, label);
    if (!finite(camera.mPosition) || !finite(camera.mLookAt) || !finite(camera.mUp))
        ctx.fail(label + ": its position or direction is not finite");
    object->SetMl(frame(ctx.space, camera.mPosition, camera.mLookAt, camera.mUp));
    return object;
}

std::unique_ptr<BaseObject> importLight(Context& ctx, const aiLight& light) {
    const std::string label = "light \"" + text(light.mName) + "\"";
    if (light.mType != aiLightSource_POINT && light.mType != aiLightSource_SPOT &&
        light.mType != aiLightSource_DIRECTIONAL) {
        ctx.warnings.note("lights other than point, spot and directional not imported", label);
        return nullptr;
    }
    auto object = std::make_unique<BaseObject>(Olight);
    ApplyHostDefaults(*object);
    const aiColor3D& c = light.mColorDiffuse;
    const double peak = std::max({c.r, c.g, c.b});
    if (!std::isfinite(peak) || std::min({c.r, c.g, c.b}) < 0)
        ctx.fail(label + ": its colour is not a finite, positive colour");
    BaseContainer& p = object->params();
    if (peak > 0) p.Set(kLightColour, GeData(Vector(c.r / peak, c.g / peak, c.b / peak)));
    p.Set(kLightBrightness, GeData::Number(peak));
    p.Set(kLightType, GeData::Integer(light.mType == aiLightSource_POINT  ? kOmni
                                      : light.mType == aiLightSource_SPOT ? kSpot
                                                                          : kDistant));
    if (light.mType == aiLightSource_SPOT) ctx.warnings.note(kLightProperties, "spot cone angles");
    if (light.mType != aiLightSource_DIRECTIONAL &&
        (light.mAttenuationLinear != 0 || light.mAttenuationQuadratic != 0))
        ctx.warnings.note(kLightProperties, "attenuation");
    if (!finite(light.mPosition) || !finite(light.mDirection) || !finite(light.mUp))
        ctx.fail(label + ": its position or direction is not finite");
    object->SetMl(frame(ctx.space, light.mPosition, light.mDirection, light.mUp));
    return object;
}

}  // namespace host::assimp::detail
