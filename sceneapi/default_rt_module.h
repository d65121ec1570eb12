// DefaultRTModule: the renderer's import options, written as the
// "talrtopt.so" load block at the start of every scene.
//
// The fields are written in declaration order; the constructed values are the
// renderer's own defaults, and each command sets its values before adding the
// module. "import_use_camera" is written only when it is not empty (nothing
// here sets it).
#pragma once

#include <string>

#include "sceneapi/light_node.h"

namespace tal {

class DefaultRTModule : public LightModule {
public:
    DefaultRTModule() : LightModule("talrtopt.so") {}
    void writeParameters(talSceneapi_oo& scene) override;

    void setImportMode(bool v) { importMode_ = v; }
    void setMergeGroups(bool v) { mergeGroups_ = v; }
    void setMergeObjects(bool v) { mergeObjects_ = v; }
    void setUpVector(int v) { upVector_ = v; }
    void setMeterScale(float v) { meterScale_ = v; }
    void setKeepOriginal(bool v) { keepOriginal_ = v; }
    void setCenterGeometry(bool v) { centerGeometry_ = v; }
    void setSnapToGround(bool v) { snapToGround_ = v; }
    void setAdjustCamera(bool v) { adjustCamera_ = v; }
    void setAdjustEnvironment(bool v) { adjustEnvironment_ = v; }
    void setExt(bool v) { ext_ = v; }

private:
    bool importMode_ = true;
    bool mergeGroups_ = true;
    bool mergeObjects_ = true;
    int upVector_ = 0;
    float meterScale_ = 1.0f;
    bool keepOriginal_ = false;
    bool centerGeometry_ = true;
    bool snapToGround_ = false;
    bool adjustCamera_ = true;
    bool adjustEnvironment_ = true;
    std::string useCamera_;
    bool ext_ = true;
};

}  // namespace tal
