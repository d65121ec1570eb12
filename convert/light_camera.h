// LightCamera: a camera node that writes one camera block through the
// object layer (talSceneapi_oo::add calls write): projection, field of view,
// the environment as its reflection map, the camera frame, clipping and the
// transform.
//
// Contract. The node is a plain value on the caller's stack; the layer does
// not keep it. Angles are degrees. The frame (position, direction, up) is in
// the camera's own space and `matrix` (16 doubles, row-major: x, y, z axes
// each followed by 0, then the offset and 1) places it in the scene.
// "clipping" is written only for 0 < near < far, "look_at" only when set.
// Every camera block gets its own copy of the environment shader.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sceneapi/light_node.h"
#include "sceneapi/sceneapi_oo.h"

namespace tal {
struct ShaderText;
}

namespace convert {

class LightCamera : public tal::LightNode {
public:
    explicit LightCamera(std::string cameraName) : name(std::move(cameraName)) {}

    void write(tal::talSceneapi_oo& scene) override;
    void reservedNodeHook1() override {}
    bool reservedNodeQuery2() override { return false; }
    ~LightCamera() override = default;
    // Writes the environment shader and answers its captured text.
    virtual const tal::ShaderText* reflectionMap(tal::talSceneapi_oo& scene);

    void setPosition(float x, float y, float z) { position = {x, y, z}; }
    void setDirection(float x, float y, float z) { direction = {x, y, z}; }
    void setUp(float x, float y, float z) { up = {x, y, z}; }
    void setFov(float degrees) {
        fov = degrees;
        fovMode = 0;
    }
    void setMatrix(const tal::Matrix16& m) {
        matrix = m;
        hasMatrix = true;
    }
    void setProjection(std::int32_t p) { projection = p; }

    std::string name;
    std::array<double, 3> position{0, 0, 0};
    std::array<double, 3> direction{0, 0, -1};
    std::array<double, 3> lookAt{0, 0, -1};
    std::array<double, 3> up{0, 1, 0};
    float fov = 60.0f;
    std::array<float, 4> fov4{};
    float clipNear = -1.0f;
    float clipFar = -1.0f;
    bool hasMatrix = false;
    bool hasLookAt = false;
    tal::Matrix16 matrix{};
    std::int32_t projection = 0;  // 0 perspective, 1 orthographic
    std::int32_t fovMode = 0;     // 0 one angle ("fov"), 1 four angles ("fov4")
};

}  // namespace convert
