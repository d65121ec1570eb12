// Animation export: keyframed position, rotation and scale tracks, baked into
// sampled transforms, one animation block per track.
//
// Contract. `tracks` holds the tracks of one channel, filed by classifyTrack;
// the call consumes them (the list is empty afterwards). `label` names the
// channel ("Position", "Rotation", "Scale"; cameras prefix "Camera ").
// position, rotation (radians) and scale are the object's rest values, read
// at the start of the document's time range, with its rotation order code.
//
// Each track of an x, y or z component whose parameter 904 is on and whose
// keys span a time becomes one "fbx_animation" block: start time (whole
// seconds), duration, folder "<baseName>/<label>", one matrix per sample
// (16 doubles, the layout of a transform) and a timestamp per sample in
// milliseconds since the first key. A matrix is the component's change since
// the first key placed in the object's frame by its rest transform, so the
// first one is the identity; a camera's is mirrored in z. Blocks come in the
// reverse of the component order the rotation order sorts by. Tracks of any
// other component are skipped.
#pragma once

#include <string>

#include "convert/convert_types.h"
#include "host/math.h"

namespace convert {

struct ExportContext;

void exportAnimationTracks(ExportContext& context, const std::string& baseName, TrackList& tracks,
                           const std::string& label, const host::Vector& position,
                           const host::Vector& rotation, host::Int32 rotationOrder,
                           const host::Vector& scale, bool isCamera);

}  // namespace convert
