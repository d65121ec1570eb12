#include "convert/hair_export.h"

namespace convert {

// Will write the hair guides as bezier curves with their radii, root coordinates and material.
void exportHair(plugin::ExportController& /*controller*/, host::BaseObject& /*hair*/,
                const TextureTagList& /*textureTags*/, float /*weight*/) {}

}  // namespace convert
