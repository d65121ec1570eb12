#include "sceneapi/light_node.h"

#include "sceneapi/scene_api.h"
#include "sceneapi/sceneapi_oo.h"

namespace tal {

// A refused load block is not closed, and gets no parameters.
void LightModule::write(talSceneapi_oo& scene) {
    talScene_api* api = scene.api();
    if (api == nullptr || !api->beginLoad(moduleName_.c_str())) return;
    writeParameters(scene);
    api->endLoad();
}

}  // namespace tal
