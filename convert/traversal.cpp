// Host parameters read by the traversal:
//
// | id    | node     | host meaning                               | use |
// |-------|----------|--------------------------------------------|---------------------------------------|
// | 1000  | document | current time                               | saved, set to 1002, restored |
// | 1002  | document | start of the time range                    | the time the scene is converted
// at    | | 1012  | document | directory (file name)                      | documentDirectory | |
// 1013  | document | file name                                  | document group name, to its last
// '.'  | | 901   | object   | editor visibility: 0 on, 1 off, 2 inherit  | a mesh needs both
// visibilities on     | | 902   | object   | render visibility: same codes              | | | 0x200
// | object   | bit: control object (a generator's input)  | no mesh                               |
#include "convert/traversal.h"

#include <string>

#include "convert/animation_export.h"
#include "convert/camera_export.h"
#include "convert/export_context.h"
#include "convert/hair_export.h"
#include "convert/host_text.h"
#include "convert/light_export.h"
#include "convert/mesh_export.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

// The host's left-handed y-up frame to the renderer's: mirror z. No unit
// scaling or axis exchange happens anywhere else.
constexpr tal::Matrix16 kMirrorZ = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};

// An object whose subtree left more than this of its weight unused reports
// the corrected total once more.
constexpr float kProgressSlack = 1e-5f;

// Row-vector convention: the axes are the first three rows, the offset the
// fourth, so a point p maps to p * M.
tal::Matrix16 toMatrix16(const host::Matrix& m) {
    return {m.v1.x, m.v1.y, m.v1.z, 0, m.v2.x,  m.v2.y,  m.v2.z,  0,
            m.v3.x, m.v3.y, m.v3.z, 0, m.off.x, m.off.y, m.off.z, 1};
}

host::GeData readParameter(const host::BaseList2D& node, host::Int32 id) {
    host::GeData data;
    node.GetParameter(host::DescID(id), data);
    return data;
}

// The text of a file-name or string parameter; empty when unreadable.
std::string parameterText(const host::BaseList2D& node, host::Int32 id) {
    const host::GeData data = readParameter(node, id);
    if (data.GetType() == host::GeData::Type::Filename)
        return toUtf8(data.GetFilename().GetString());
    if (data.GetType() == host::GeData::Type::String) return toUtf8(data.GetString());
    return {};
}

// Mode 2 (and an unreadable parameter) inherits; otherwise 0 is on.
bool resolveVisibility(const host::BaseObject& object, host::Int32 id, bool inherited) {
    host::GeData data;
    if (!object.GetParameter(host::DescID(id), data)) return inherited;
    const host::Int32 mode = data.GetInt32();
    return mode == host::MODE_UNDEF ? inherited : mode == host::MODE_ON;
}

void evaluateAt(host::BaseDocument& document, const host::BaseTime& time) {
    document.SetParameter(host::DescID(host::DOCUMENT_TIME), host::GeData(time));
    document.ExecutePasses(nullptr, true, true, true, 0);
}

// Puts the document back at the time it showed before the traversal.
class TimeRestore {
public:
    TimeRestore(host::BaseDocument& document, const host::BaseTime& time)
        : document_(document), time_(time) {}
    ~TimeRestore() {
        try {
            evaluateAt(document_, time_);
        } catch (...) {  // an evaluation failure must not replace the one in flight
        }
    }
    TimeRestore(const TimeRestore&) = delete;
    TimeRestore& operator=(const TimeRestore&) = delete;

private:
    host::BaseDocument& document_;
    host::BaseTime time_;
};

void fillSelectionKeys(ExportContext& context, const host::BaseDocument& document) {
    context.selectionKeys.clear();
    host::AtomArray selection;
    document.GetSelection(selection);
    if (!context.updateOnly) return;
    for (host::Int32 i = 0; i < selection.GetCount(); ++i) {
        const host::BaseList2D* element = selection.GetIndex(i);
        if (!element || element->GetType() == host::Ttexture) continue;
        if (const auto key = objectKey(*element)) context.selectionKeys.insert(*key);
    }
}

// Writes the object's own content; answers the share left for its children.
float exportContent(ExportContext& context, host::BaseObject& object, const std::string& name,
                    const TextureTagList& textureTags, bool editorVisible, bool renderVisible,
                    float weight, bool selected) {
    const auto half = static_cast<float>(static_cast<double>(weight) * 0.5);
    if (host::BaseObject* cache =
            object.GetDeformCache() ? object.GetDeformCache() : object.GetCache()) {
        exportObject(context, cache, textureTags, editorVisible, renderVisible, half, selected);
        return half;
    }
    switch (object.GetType()) {
        case host::Opolygon: {
            const bool wanted = !context.updateOnly || selected || context.selectionKeys.empty();
            const bool shown = editorVisible && renderVisible;
            auto* polygons = dynamic_cast<host::PolygonObject*>(&object);
            if (!wanted || !shown || object.GetBit(host::BIT_CONTROLOBJECT) || !polygons)
                return weight;
            exportPolygonObject(context, *polygons, textureTags, half);
            return half;
        }
        case host::Olight:
            exportLight(context, name, object);
            return weight;
        case host::Ohair:
            exportHair(context, object, textureTags, half);
            return weight;
        default:
            return weight;
    }
}

}  // namespace

std::optional<std::uint64_t> objectKey(const host::BaseList2D& element) {
    if (const auto* object = dynamic_cast<const host::BaseObject*>(&element))
        return object->GetGUID();
    if (const auto* tag = dynamic_cast<const host::BaseTag*>(&element)) {
        if (const host::BaseObject* owner = tag->GetObject()) return owner->GetGUID();
    }
    return std::nullopt;
}

void collectCameras(host::BaseObject* object, std::vector<host::BaseObject*>& cameras) {
    if (!object) return;
    if (object->GetType() == host::Ocamera) cameras.push_back(object);
    for (host::BaseObject* child = object->GetDown(); child; child = child->GetNext()) {
        collectCameras(child, cameras);
    }
}

void exportDocument(ExportContext& context, host::BaseDocument* document) {
    context.document = document;
    std::string sceneName = "untitled";
    context.documentDirectory.clear();
    if (!document || !context.scene || !context.scene->api()) return;
    tal::talSceneapi_oo& scene = *context.scene;
    context.progressStart = context.progressTotal;

    const host::BaseTime savedTime = readParameter(*document, host::DOCUMENT_TIME).GetTime();
    const host::BaseTime startTime = readParameter(*document, host::DOCUMENT_MINTIME).GetTime();
    const TimeRestore restore(*document, savedTime);
    evaluateAt(*document, startTime);

    const std::string directory = parameterText(*document, host::DOCUMENT_PATH);
    if (!directory.empty()) context.documentDirectory = directory;
    const std::string fileName = parameterText(*document, host::DOCUMENT_FILENAME);
    if (!fileName.empty()) sceneName = cutAtLastDot(fileName);

    std::vector<host::BaseObject*> cameras;
    for (host::BaseObject* object = document->GetFirstObject(); object;
         object = object->GetNext()) {
        collectCameras(object, cameras);
    }
    for (host::BaseObject* camera : cameras) exportCamera(context, *camera);

    scene.beginGroup(sceneName);
    scene.transform(kMirrorZ);
    scene.api()->attribute("source file", "source file");  // the layer has no attributes
    fillSelectionKeys(context, *document);

    int count = 0;
    for (host::BaseObject* object = document->GetFirstObject(); object; object = object->GetNext())
        ++count;
    for (host::BaseObject* object = document->GetFirstObject(); object;
         object = object->GetNext()) {
        exportObject(context, object, TextureTagList{nullptr}, true, true,
                     1.0f / static_cast<float>(count), false);
    }
    scene.endGroup();
}

void exportObject(ExportContext& context, host::BaseObject* object, TextureTagList textureTags,
                  bool editorVisible, bool renderVisible, float weight, bool selected) {
    if (!object) return;
    tal::talSceneapi_oo& scene = *context.scene;
    selected = selected || context.selectionKeys.contains(object->GetGUID());
    const float startTotal = context.progressTotal;

    const host::Matrix local = object->GetMl();
    const host::Vector position = object->GetRelPos();
    const host::Vector rotation = object->GetRelRot();
    const host::Vector scale = object->GetRelScale();
    const host::Int32 rotationOrder = object->GetRotationOrder();
    std::string name = toUtf8(object->GetName());  // kept whole, however long
    if (name.empty()) name = "object";

    scene.progress(name, startTotal);
    host::SetProgress(startTotal - context.progressStart);
    editorVisible =
        resolveVisibility(*object, host::ID_BASEOBJECT_VISIBILITY_EDITOR, editorVisible);
    renderVisible =
        resolveVisibility(*object, host::ID_BASEOBJECT_VISIBILITY_RENDER, renderVisible);

    scene.beginGroup(name);
    scene.flags(1);
    scene.transform(toMatrix16(local));
    for (const host::BaseTag* tag = object->GetFirstTag(); tag; tag = tag->GetNext()) {
        classifyTag(tag, nullptr, nullptr, nullptr, textureTags);
    }

    const float childShare = exportContent(context, *object, name, textureTags, editorVisible,
                                           renderVisible, weight, selected);
    int childCount = 0;
    for (host::BaseObject* child = object->GetDown(); child; child = child->GetNext()) ++childCount;
    for (host::BaseObject* child = object->GetDown(); child; child = child->GetNext()) {
        exportObject(context, child, textureTags, editorVisible, renderVisible,
                     childShare / static_cast<float>(childCount), selected);
    }

    TrackList scaleTracks, rotationTracks, positionTracks;
    for (const host::CTrack* track = object->GetFirstCTrack(); track; track = track->GetNext()) {
        classifyTrack(track, scaleTracks, rotationTracks, positionTracks);
    }
    exportAnimationTracks(context, name, scaleTracks, "Scale", position, rotation, rotationOrder,
                          scale, false);
    exportAnimationTracks(context, name, rotationTracks, "Rotation", position, rotation,
                          rotationOrder, scale, false);
    exportAnimationTracks(context, name, positionTracks, "Position", position, rotation,
                          rotationOrder, scale, false);
    scene.endGroup();

    const float endTotal = context.progressTotal;
    const float remaining = weight - (endTotal - startTotal);
    context.progressTotal = endTotal + remaining;
    if (remaining > kProgressSlack) scene.progress(name, context.progressTotal);
    host::SetProgress(context.progressTotal - context.progressStart);
}

}  // namespace convert
