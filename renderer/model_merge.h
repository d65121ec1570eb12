// mergeUpdate: the whole model set that an Update leaves, as one scene to draw.
//
// Contract. `update` is a scene that updates the model set `held` (see
// model_sets.h). The result is `update` with everything of `held` it does
// not replace added where it stood: objects, lights, cameras and groups are
// keyed as ModelSets keys them (the path of group names and their own name,
// "#2" for a repeat); an object, light or camera of `held` whose key the
// update carries is replaced by the update's, any other is kept; a group of
// both is merged, a group of `held` only is kept whole; the animations of a
// group come from the update when it carries any for that group, else from
// `held`. The update's own statements win elsewhere (options, the groups'
// transforms, attributes). Definitions at the top ("#define" blocks) of
// `held` are kept unless the update defines the same word and name or
// number. Work is bounded by the two scenes' sizes; nothing is thrown.
#pragma once

#include "scenefile/tree.h"

namespace vxrenderer {

scenefile::Document mergeUpdate(const scenefile::Document& held, scenefile::Document update);

}  // namespace vxrenderer
