#include "sceneapi/default_rt_module.h"

#include "sceneapi/sceneapi_oo.h"

namespace tal {

// Key order is the renderer importer's; bools are written on/off.
void DefaultRTModule::writeParameters(talSceneapi_oo& scene) {
    scene.setParameter("import_mode", importMode_);
    scene.setParameter("import_merge_groups", mergeGroups_);
    scene.setParameter("import_merge_objects", mergeObjects_);
    scene.setParameter("import_up_vector", static_cast<std::int32_t>(upVector_));
    scene.setParameter("meter_scale", meterScale_);
    scene.setParameter("import_keep_original", keepOriginal_);
    scene.setParameter("import_center_geometry", centerGeometry_);
    scene.setParameter("import_snap_to_ground", snapToGround_);
    scene.setParameter("import_adjust_camera", adjustCamera_);
    scene.setParameter("import_adjust_environment", adjustEnvironment_);
    if (!useCamera_.empty()) scene.setParameter("import_use_camera", useCamera_);
    scene.setParameter("ext", ext_);
}

}  // namespace tal
