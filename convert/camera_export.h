// Camera export: a host camera becomes one camera block (projection, field
// of view, environment, frame and transform), followed by its animation.
//
// Contract. The traversal calls it for every camera of the document, in
// collection order, before it opens the document group; no other block is
// open then. The camera's transform is its global matrix with z mirrored
// (the host-to-renderer change the document group applies to everything
// else). Its animation follows the block at the top level, in the order
// scale, rotation, position, each matrix flipped into the mirrored frame.
#pragma once

namespace host {
class BaseObject;
}
namespace convert {

struct ExportContext;

void exportCamera(ExportContext& context, host::BaseObject& camera);

}  // namespace convert
