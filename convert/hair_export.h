// Hair export: the guides of a host hair object become one curve geometry,
// one curve per guide with radii from root to tip, and the hair's material.
//
// Contract. Called by the traversal inside the hair object's group, after
// the group's transform, whatever its visibility and the Update selection.
// `textureTags` is the list the traversal built down to this object;
// `weight` is its progress share, which the hair export does not use.
#pragma once

#include "convert/convert_types.h"

namespace host {
class BaseObject;
}
namespace plugin {
class ExportController;
}

namespace convert {

void exportHair(plugin::ExportController& controller, host::BaseObject& hair,
                const TextureTagList& textureTags, float weight);

}  // namespace convert
