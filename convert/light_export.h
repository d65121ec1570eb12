// Light export: a host light becomes a small emissive mesh object, with a
// mesh light material for area lights and a point light material otherwise.
//
// Contract. Called by the traversal inside the light's group, after the
// group's transform, whatever the light's visibility and the Update
// selection; the mesh is therefore in the light's own frame. `name` is the
// object's name as the traversal uses it; object and material carry it.
// Unreadable light parameters count as 0. Power is an integer: the
// brightness in percent, or the photometric intensity, truncated toward zero
// (clamped to the 32-bit range).
#pragma once

#include <string>

namespace host {
class BaseObject;
}
namespace convert {

struct ExportContext;

void exportLight(ExportContext& context, const std::string& name, host::BaseObject& light);

}  // namespace convert
