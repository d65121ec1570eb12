// Host data read from a camera object:
//
// | what               | host meaning           | written                         |
// |--------------------|------------------------|---------------------------------|
// | parameter 1008     | field of view, radians | "fov" in degrees; unreadable: 0 |
// | name               | object name            | block name; empty: "Camera"     |
// | global matrix      | placement in the world | transform, z mirrored           |
// | position, rotation | rest values            | passed to the animation export  |
// | scale, order       |                        |                                 |
// | tracks 903/904/905 | animated transform     | "fbx_animation" blocks          |
//
// No other optical parameter (focal length, aperture, zoom, parallel
// projection) is read: every camera is written as a perspective camera at
// the origin of its frame, looking along +z with +y up.
#include "convert/camera_export.h"

#include <string>

#include "convert/animation_export.h"
#include "convert/export_context.h"
#include "convert/host_text.h"
#include "convert/light_camera.h"
#include "convert/saturate.h"
#include "convert/traversal.h"
#include "host/object.h"

namespace convert {

namespace {

constexpr host::Int32 kCameraFov = 1008;
constexpr double kOneOverPi = 0.3183098861837907;

float fieldOfViewDegrees(const host::BaseObject& camera) {
    host::GeData data;
    camera.GetParameter(host::DescID(kCameraFov), data);  // unreadable: 0
    const float radians = toFloat(data.GetFloat());
    return toFloat(static_cast<double>(radians) * kOneOverPi * 180.0);
}

// The host's frame mirrored in z, as the document group's z mirror does for
// everything else: cameras stand outside that group.
tal::Matrix16 mirroredRows(const host::Matrix& g) {
    return {g.v1.x, g.v1.y, -g.v1.z, 0, g.v2.x,  g.v2.y,  -g.v2.z,  0,
            g.v3.x, g.v3.y, -g.v3.z, 0, g.off.x, g.off.y, -g.off.z, 1};
}

}  // namespace

void exportCamera(ExportContext& context, host::BaseObject& camera) {
    if (!context.scene || !context.scene->api()) return;
    const float fov = fieldOfViewDegrees(camera);
    const host::Vector position = camera.GetRelPos();
    const host::Vector rotation = camera.GetRelRot();
    const host::Vector scale = camera.GetRelScale();
    const host::Int32 rotationOrder = camera.GetRotationOrder();
    std::string name = toUtf8(camera.GetName());
    if (name.empty()) name = "Camera";

    {
        LightCamera node(name);
        node.setPosition(0, 0, 0);
        node.setDirection(0, 0, 1);
        node.setUp(0, 1, 0);
        node.setFov(fov);
        node.setMatrix(mirroredRows(camera.GetMg()));
        node.setProjection(0);
        context.scene->add(node);
    }

    TrackList scaleTracks, rotationTracks, positionTracks;
    for (const host::CTrack* track = camera.GetFirstCTrack(); track; track = track->GetNext()) {
        classifyTrack(track, scaleTracks, rotationTracks, positionTracks);
    }
    exportAnimationTracks(context, name, scaleTracks, "Camera Scale", position, rotation,
                          rotationOrder, scale, true);
    exportAnimationTracks(context, name, rotationTracks, "Camera Rotation", position, rotation,
                          rotationOrder, scale, true);
    exportAnimationTracks(context, name, positionTracks, "Camera Position", position, rotation,
                          rotationOrder, scale, true);
}

}  // namespace convert
