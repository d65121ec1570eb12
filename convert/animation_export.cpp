#include "convert/animation_export.h"

namespace convert {

// Will bake each track into sampled matrices and timestamps, one animation block per track.
void exportAnimationTracks(plugin::ExportController& /*controller*/, const std::string& /*baseName*/,
                           TrackList& tracks, const std::string& /*label*/,
                           const host::Vector& /*position*/, const host::Vector& /*rotation*/,
                           host::Int32 /*rotationOrder*/, const host::Vector& /*scale*/,
                           bool /*isCamera*/) {
    tracks.clear();
}

}  // namespace convert
