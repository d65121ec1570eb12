// Hair export: the guides of a host hair object become one curve geometry,
// one curve per guide with radii from root to tip, and the hair's material.
//
// Contract. Called by the traversal inside the hair object's group, after
// the group's transform, whatever its visibility and the Update selection.
// `textureTags` is the list the traversal built down to this object;
// `weight` is its progress share, which the hair export does not use.
// The object is read under the hair library's read lock, released on every
// path; when the lock cannot be had or there are no guides nothing is
// written. Guides come from the library in world space and are written in
// the object's own frame. The first hair material tag of the list (the
// outermost ancestor's) gives the material's name, the radii from root to
// tip and the colour; without one the radii run from 0.5 to 0.1 and the
// colour is the object's display colour.
#pragma once

#include "convert/convert_types.h"

namespace host {
class BaseObject;
}
namespace convert {

struct ExportContext;

void exportHair(ExportContext& context, host::BaseObject& hair, const TextureTagList& textureTags,
                float weight);

}  // namespace convert
