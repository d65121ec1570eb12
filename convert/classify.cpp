// Host data read when sorting tags and tracks:
//
// | what                  | host meaning                           | use |
// |-----------------------|----------------------------------------|-------------------------------------|
// | tag type 5616         | texture tag                            | appended to the texture-tag
// list    | | tag type 1017729      | hair material tag                      | appended to the
// texture-tag list    | | tag type 5671         | UVW tag                                | UVW
// slot, the last one wins         | | tag type 5711         | normal tag | normal slot, the last
// one wins      | | tag type 5673         | polygon selection tag, by its name     | selection map,
// the last of a name   | | track parameter 904   | track enabled (integer)                | 0: the
// track is ignored             | | track id, first level | 903 position, 904 rotation, 905 scale  |
// the channel list it is filed into   |
#include <string>

#include "convert/host_text.h"
#include "convert/traversal.h"
#include "host/object.h"

namespace convert {

namespace {

constexpr host::Int32 kTrackEnabled = 904;

float keySeconds(const host::CKey& key) { return static_cast<float>(key.GetTime().Get()); }

}  // namespace

void classifyTag(const host::BaseTag* tag, const host::UVWTag** uvwTag,
                 const host::BaseTag** normalTag, SelectionMap* selections,
                 TextureTagList& textureTags) {
    if (!tag) return;
    switch (tag->GetType()) {
        case host::Ttexture:
        case host::Thairmaterial:
            textureTags.push_back(tag);
            break;
        case host::Tuvw:
            if (const auto* uvw = dynamic_cast<const host::UVWTag*>(tag); uvw && uvwTag)
                *uvwTag = uvw;
            break;
        case host::Tnormal:
            if (normalTag) *normalTag = tag;
            break;
        case host::Tpolygonselection:
            if (const auto* selection = dynamic_cast<const host::SelectionTag*>(tag);
                selection && selections) {
                (*selections)[toUtf8(tag->GetName())] = selection;
            }
            break;
        default:
            break;
    }
}

void classifyTrack(const host::CTrack* track, TrackList& scaleTracks, TrackList& rotationTracks,
                   TrackList& positionTracks) {
    if (!track) return;
    const host::CCurve* curve = track->GetCurve();
    if (!curve || curve->GetKeyCount() == 0) return;
    const host::CKey* first = curve->GetKey(0);
    const host::CKey* last = curve->GetKey(curve->GetKeyCount() - 1);
    if (!first || !last) return;
    const float span = keySeconds(*last) - keySeconds(*first);

    host::GeData enabled;
    track->GetParameter(host::DescID(kTrackEnabled), enabled);
    if (enabled.GetInt32() == 0 || !(span > 0.0f)) return;

    switch (track->GetDescriptionID()[0]) {
        case host::ID_BASEOBJECT_REL_POSITION:
            positionTracks.push_back(track);
            break;
        case host::ID_BASEOBJECT_REL_ROTATION:
            rotationTracks.push_back(track);
            break;
        case host::ID_BASEOBJECT_REL_SCALE:
            scaleTracks.push_back(track);
            break;
        default:
            break;
    }
}

}  // namespace convert
