#include "convert/environment_export.h"

#include <cstdint>
#include <string>

#include "sceneapi/scene_api.h"
#include "sceneapi/sceneapi_oo.h"

namespace convert {

namespace {

const std::string kEnvironmentMap = "startup.hdr";  // a renderer resource, no directory
constexpr std::int32_t kEnvironmentFormat = 3;      // latitude-longitude map
constexpr float kEnvironmentRadius = 25.0f;         // scene units

}  // namespace

const tal::ShaderText* writeEnvironment(tal::talSceneapi_oo& scene) {
    tal::talScene_api* api = scene.api();
    if (!api) return nullptr;
    api->beginShader(nullptr, "tal_envmap");
    scene.setParameter("texture", kEnvironmentMap);
    scene.setParameter("format", kEnvironmentFormat);
    scene.setParameter("radius", kEnvironmentRadius);
    // The text is the back end's and complete once the shader is closed.
    const tal::ShaderText* text = api->currentShaderText();
    scene.endShader();
    return text;
}

}  // namespace convert
