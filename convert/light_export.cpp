#include "convert/light_export.h"

namespace convert {

// Will write the light as an octahedron mesh object with its light material.
void exportLight(plugin::ExportController& /*controller*/, const std::string& /*name*/,
                 host::BaseObject& /*light*/) {}

}  // namespace convert
