#include "convert/light_camera.h"

#include "convert/environment_export.h"
#include "sceneapi/scene_api.h"

namespace convert {

const tal::ShaderText* LightCamera::reflectionMap(tal::talSceneapi_oo& scene) {
    return writeEnvironment(scene);
}

void LightCamera::write(tal::talSceneapi_oo& scene) {
    tal::talScene_api* api = scene.api();
    if (!api) return;
    // A back end that refuses the block still gets its content, so that its
    // statements stay balanced; the refusal is its own to report.
    api->beginCamera(name.c_str());
    if (projection == 1) {
        scene.setParameter("projection", std::string("orthographic"));
    } else {
        scene.setParameter("projection", std::string("perspective"));
        if (fovMode == 0) {
            scene.setParameter("fov", fov);
        } else if (fovMode == 1) {
            api->setParameter("fov4", tal::kFloat4, fov4.data());
        }
    }
    const tal::ShaderText* environment = reflectionMap(scene);
    api->setParameter("reflection map", tal::kShaderText, &environment);
    scene.setParameter("position", position);
    scene.setParameter("direction", direction);
    if (hasLookAt) scene.setParameter("look_at", lookAt);
    scene.setParameter("up", up);
    if (clipNear > 0 && clipFar > 0 && clipFar > clipNear) {
        const std::array<float, 2> clipping{clipNear, clipFar};
        api->setParameter("clipping", tal::kFloat2, clipping.data());
    }
    if (hasMatrix) scene.transform(matrix);
    api->endCamera();
}

}  // namespace convert
