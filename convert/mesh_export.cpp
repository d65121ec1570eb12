#include "convert/mesh_export.h"

namespace convert {

// Will split the polygons by texture tag and write each part's geometry and material.
void exportPolygonObject(plugin::ExportController& /*controller*/, host::PolygonObject& /*object*/,
                         const TextureTagList& /*textureTags*/, float /*weight*/) {}

}  // namespace convert
