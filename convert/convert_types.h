// Values the traversal hands down the object hierarchy and on to the content
// exporters. They hold host references only; the document owns the nodes and
// outlives every conversion.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace host {
class BaseTag;
class CTrack;
class SelectionTag;
}  // namespace host

namespace convert {

// The texture and hair material tags that apply to an object, those of its
// outermost ancestor first. Entry 0 is always null: the object's default
// material.
using TextureTagList = std::vector<const host::BaseTag*>;

// The animation tracks of one channel (position, rotation or scale).
using TrackList = std::vector<const host::CTrack*>;

// An object's polygon selection tags by their 8-bit name ("" for unnamed).
using SelectionMap = std::map<std::string, const host::SelectionTag*>;

}  // namespace convert
