#include "convert/camera_export.h"

namespace convert {

// Will write the camera block with its environment, then the camera's animation.
void exportCamera(plugin::ExportController& /*controller*/, host::BaseObject& /*camera*/) {}

}  // namespace convert
