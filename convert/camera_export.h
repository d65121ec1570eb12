// Camera export: a host camera becomes one camera block (projection, field
// of view, environment, frame and transform), followed by its animation.
//
// Contract. The traversal calls it for every camera of the document, in
// collection order, before it opens the document group; no other block is
// open then.
#pragma once

namespace host {
class BaseObject;
}
namespace plugin {
class ExportController;
}

namespace convert {

void exportCamera(plugin::ExportController& controller, host::BaseObject& camera);

}  // namespace convert
