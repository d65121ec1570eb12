// Sorting of tags and tracks, and the cameras of a document.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "convert/traversal.h"
#include "host/document.h"
#include "host/document_loader.h"
#include "tests/platform/test_files.h"

namespace {

// The folder the documents of these tests live in: a real, empty one.
const std::string& documentFolder() {
    static const testfiles::TempDir folder("vx-document");
    return folder.path();
}

using ::testing::ElementsAre;

std::vector<const host::BaseTag*> tagsOf(const host::BaseObject& object) {
    std::vector<const host::BaseTag*> tags;
    for (const host::BaseTag* tag = object.GetFirstTag(); tag; tag = tag->GetNext())
        tags.push_back(tag);
    return tags;
}

TEST(ClassifyTag, SortsTagsIntoTheListTheSlotsAndTheSelectionMap) {
    const auto doc = host::LoadDocumentText(R"({
      "materials": [{"id": "m", "type": "standard"}, {"id": "h", "type": "hairMaterialNode"}],
      "objects": [{"type": "polygon", "points": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [[0,1,2]],
        "tags": [{"type": "texture", "material": "m"}, {"type": "phong"},
                 {"type": "uvw", "uvw": [[[0,0,0],[1,0,0],[0,1,0]]]},
                 {"type": "uvw", "uvw": [[[0,0,0],[1,0,0],[0,1,0]]]},
                 {"type": "normal"}, {"type": "normal"},
                 {"type": "polygonSelection", "name": "top", "polygons": [0]},
                 {"type": "polygonSelection", "name": "top", "polygons": [0]},
                 {"type": "polygonSelection", "polygons": []},
                 {"type": "hairMaterial", "material": "h"}]}]})",
                                            documentFolder());
    const auto tags = tagsOf(*doc->GetFirstObject());
    ASSERT_EQ(tags.size(), 10u);

    convert::TextureTagList list{nullptr};
    const host::UVWTag* uvw = nullptr;
    const host::BaseTag* normal = nullptr;
    convert::SelectionMap selections;
    for (const host::BaseTag* tag : tags)
        convert::classifyTag(tag, &uvw, &normal, &selections, list);
    EXPECT_THAT(list, ElementsAre(nullptr, tags[0], tags[9]));
    EXPECT_EQ(uvw, tags[3]);
    EXPECT_EQ(normal, tags[5]);
    EXPECT_EQ(selections.size(), 2u);
    EXPECT_EQ(selections[""], tags[8]);
    EXPECT_EQ(selections["top"], tags[7]);

    // Without slots and map the traversal only collects the material tags.
    convert::TextureTagList walked{nullptr};
    for (const host::BaseTag* tag : tags)
        convert::classifyTag(tag, nullptr, nullptr, nullptr, walked);
    EXPECT_EQ(walked, list);
}

TEST(ClassifyTrack, FilesEnabledTracksThatSpanATimeByChannel) {
    const auto doc = host::LoadDocumentText(R"({"objects": [{"type": "null", "tracks": [
      {"param": [903, 1000], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 2}]},
      {"param": [904, 1001], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 2}]},
      {"param": [905, 1002], "keys": [{"time": 0, "value": 1}, {"time": 0.5, "value": 2}]},
      {"param": [903, 1001], "keys": [{"time": 0.5, "value": 0}, {"time": 0.5, "value": 2}]},
      {"param": [903, 1002], "keys": [{"time": 0.5, "value": 1}]},
      {"param": [903, 1000], "keys": []},
      {"param": [904, 1000], "params": {"904": 0}, "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 1}]}
    ]}]})",
                                            documentFolder());
    std::vector<const host::CTrack*> tracks;
    for (const host::CTrack* t = doc->GetFirstObject()->GetFirstCTrack(); t; t = t->GetNext())
        tracks.push_back(t);
    ASSERT_EQ(tracks.size(), 7u);

    convert::TrackList scale, rotation, position;
    for (const host::CTrack* track : tracks)
        convert::classifyTrack(track, scale, rotation, position);
    EXPECT_THAT(position, ElementsAre(tracks[0]));
    EXPECT_THAT(rotation, ElementsAre(tracks[1]));
    EXPECT_THAT(scale, ElementsAre(tracks[2]));
}

TEST(CollectCameras, FindsEveryCameraParentFirstButNotInCaches) {
    const auto doc = host::LoadDocumentText(R"({"objects": [
      {"type": "camera", "name": "Outer", "children": [
        {"type": "null", "children": [{"type": "camera", "name": "Inner"}]}]},
      {"type": "null", "cache": {"type": "camera", "name": "Cached"},
       "children": [{"type": "camera", "name": "Last"}]}]})",
                                            documentFolder());
    std::vector<host::BaseObject*> cameras;
    for (host::BaseObject* o = doc->GetFirstObject(); o; o = o->GetNext())
        convert::collectCameras(o, cameras);
    std::vector<std::string> names;
    for (const host::BaseObject* camera : cameras) names.push_back(camera->GetName().utf8());
    EXPECT_THAT(names, ElementsAre("Outer", "Inner", "Last"));
}

TEST(ObjectKey, TagsMeetTheirObjectOthersHaveNoKey) {
    const auto doc = host::LoadDocumentText(
        R"({"materials": [{"id": "m", "type": "standard"}],
            "objects": [{"type": "null", "key": 42, "tags": [{"type": "phong"}]}]})",
        documentFolder());
    const host::BaseObject& object = *doc->GetFirstObject();
    EXPECT_EQ(convert::objectKey(object), 42u);
    EXPECT_EQ(convert::objectKey(*object.GetFirstTag()), 42u);
    EXPECT_FALSE(convert::objectKey(*doc->GetFirstMaterial()).has_value());
}

}  // namespace
