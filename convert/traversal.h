// Document traversal: turns the host document into the body of a scene.
//
// Contract. exportDocument evaluates the document at the start of its time
// range, writes every camera, then one group named after the document file
// that carries the z-mirror transform (the whole change of handedness
// between host and renderer), the "source file" attribute and one nested
// group per object: flags, local transform, the object's content by type,
// its children, its animation. The document's current time is restored and
// the document evaluated again before it returns, also when a content
// exporter throws.
//
// Preconditions: the context's object layer exists and has a scene API
// (the commands skip the traversal otherwise; without one nothing is
// written). The context's `document`, `documentDirectory` and
// `selectionKeys` are rebuilt by every traversal; `progressTotal` only grows:
// one traversal adds 1.0 to it.
//
// Progress. Every object writes a progress statement with the running total
// before its group and, when its subtree did not use its whole weight, a
// second one after it with the corrected total. The host's status bar hears
// the same totals as the fraction of this traversal (host::SetProgress).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "convert/convert_types.h"

namespace host {
class BaseDocument;
class BaseList2D;
class BaseObject;
class UVWTag;
}  // namespace host
namespace convert {

struct ExportContext;

// Converts `document`; a null document only clears documentDirectory.
void exportDocument(ExportContext& context, host::BaseDocument* document);

// Converts one object and everything below it. The list and the flags are
// the object's inheritance: its ancestors' texture tags, their resulting
// visibilities, and whether an ancestor or the generator whose cache this is
// was selected. `weight` is the object's share of the whole progress.
void exportObject(ExportContext& context, host::BaseObject* object, TextureTagList textureTags,
                  bool editorVisible, bool renderVisible, float weight, bool selected);

// Sorts one tag: texture and hair material tags are appended to
// `textureTags`; the last UVW tag and the last normal tag go to their slots,
// polygon selection tags into `selections` under their name (the last of a
// name wins). Null slots or map: that kind is ignored.
void classifyTag(const host::BaseTag* tag, const host::UVWTag** uvwTag,
                 const host::BaseTag** normalTag, SelectionMap* selections,
                 TextureTagList& textureTags);

// Appends every camera of the subtree of `object` (caches not searched),
// depth first, a parent before its children.
void collectCameras(host::BaseObject* object, std::vector<host::BaseObject*>& cameras);

// Files an enabled track whose keys span a time into the list of its
// channel (position 903, rotation 904, scale 905); other tracks are ignored.
void classifyTrack(const host::CTrack* track, TrackList& scaleTracks, TrackList& rotationTracks,
                   TrackList& positionTracks);

// The key under which a selected element and the walked object meet: an
// object's own key, a tag's object's key; none for anything else.
std::optional<std::uint64_t> objectKey(const host::BaseList2D& element);

}  // namespace convert
