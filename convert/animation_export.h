// Animation export: keyframed position, rotation and scale tracks, baked into
// sampled transforms, one animation block per track.
//
// Contract. `tracks` holds the tracks of one channel, filed by classifyTrack;
// the call consumes them (the list is empty afterwards). `label` names the
// channel ("Position", "Rotation", "Scale"; cameras prefix "Camera ").
// position, rotation (radians) and scale are the object's rest values, read
// at the start of the document's time range, with its rotation order code.
#pragma once

#include <string>

#include "convert/convert_types.h"
#include "host/math.h"

namespace plugin {
class ExportController;
}

namespace convert {

void exportAnimationTracks(plugin::ExportController& controller, const std::string& baseName,
                           TrackList& tracks, const std::string& label,
                           const host::Vector& position, const host::Vector& rotation,
                           host::Int32 rotationOrder, const host::Vector& scale, bool isCamera);

}  // namespace convert
