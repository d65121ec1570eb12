// The document: its nodes, time, selection and evaluation.
//
// Document order (selection, keys): an object, its tags, its cache, its
// deform cache, then its children, depth first; top-level objects in order.
#include "host/document.h"

#include <functional>

namespace host {

namespace {

// Visits `first` and its siblings with everything below them, in document order.
void walk(BaseObject* first, const std::function<void(BaseObject*)>& visit) {
    for (BaseObject* o = first; o; o = o->GetNext()) {
        visit(o);
        if (o->GetCache()) walk(o->GetCache(), visit);
        if (o->GetDeformCache()) walk(o->GetDeformCache(), visit);
        walk(o->GetDown(), visit);
    }
}

// Sets the components of position, rotation and scale that a track drives.
// A track drives its component when its id is (903|904|905, 1000|1001|1002),
// it has keys and its parameter 904 does not read 0 (switched off).
void animate(BaseObject* object, const BaseDocument* doc, const BaseTime& time) {
    Vector values[3] = {object->GetRelPos(), object->GetRelRot(), object->GetRelScale()};
    bool driven[3] = {false, false, false};
    for (const CTrack* track = object->GetFirstCTrack(); track; track = track->GetNext()) {
        const DescID& id = track->GetDescriptionID();
        const Int32 channel = id[0] - ID_BASEOBJECT_REL_POSITION;
        const Int32 component = id[1] - VECTOR_X;
        if (id.GetDepth() < 2 || channel < 0 || channel > 2 || component < 0 || component > 2)
            continue;
        if (track->GetCurve()->GetKeyCount() == 0) continue;
        GeData on;
        if (track->GetParameter(DescID(904), on) && on.GetInt32() == 0) continue;
        const Float v = track->GetValue(doc, time);
        Vector& target = values[channel];
        (component == 0 ? target.x : (component == 1 ? target.y : target.z)) = v;
        driven[channel] = true;
    }
    if (driven[0]) object->SetRelPos(values[0]);
    if (driven[1]) object->SetRelRot(values[1]);
    if (driven[2]) object->SetRelScale(values[2]);
}

}  // namespace

BaseList2D* AtomArray::GetIndex(Int32 i) const {
    if (i < 0 || i >= GetCount()) return nullptr;
    return items_[static_cast<std::size_t>(i)];
}

BaseDocument::BaseDocument() : BaseList2D(110059) {
    SetParameter(DescID(DOCUMENT_TIME), GeData(BaseTime()));
    SetParameter(DescID(DOCUMENT_MINTIME), GeData(BaseTime()));
    SetParameter(DescID(DOCUMENT_PATH), GeData(Filename()));
    SetParameter(DescID(DOCUMENT_FILENAME), GeData(Filename()));
}

BaseDocument::~BaseDocument() = default;

BaseObject* BaseDocument::InsertObject(std::unique_ptr<BaseObject> object) {
    if (!object) return nullptr;
    // Top-level objects are siblings without a parent.
    BaseObject* added = object.get();
    added->link(added, nullptr);
    if (!objects_.empty()) {
        BaseObject* last = objects_.back().get();
        last->next_ = added;
        added->pred_ = last;
    }
    objects_.push_back(std::move(object));
    return added;
}

BaseMaterial* BaseDocument::InsertMaterial(std::unique_ptr<BaseMaterial> material) {
    if (!material) return nullptr;
    BaseMaterial* added = material.get();
    if (!materials_.empty()) materials_.back()->setNext(added);
    materials_.push_back(std::move(material));
    return added;
}

LayerObject* BaseDocument::InsertLayer(std::unique_ptr<LayerObject> layer) {
    if (!layer) return nullptr;
    layers_.push_back(std::move(layer));
    return layers_.back().get();
}

BaseTime BaseDocument::GetTime() const {
    GeData t;
    return GetParameter(DescID(DOCUMENT_TIME), t) ? t.GetTime() : BaseTime();
}

void BaseDocument::SetTime(const BaseTime& t) { SetParameter(DescID(DOCUMENT_TIME), GeData(t)); }

void BaseDocument::SetSelected(BaseList2D* node, bool selected) {
    if (!node) return;
    if (selected)
        selected_.insert(node);
    else
        selected_.erase(node);
}

bool BaseDocument::IsSelected(const BaseList2D* node) const { return selected_.count(node) != 0; }

void BaseDocument::GetSelection(AtomArray& out) const {
    if (selected_.empty()) return;
    walk(GetFirstObject(), [&](BaseObject* o) {
        if (IsSelected(o)) out.Append(o);
        for (BaseTag* tag = o->GetFirstTag(); tag; tag = tag->GetNext())
            if (IsSelected(tag)) out.Append(tag);
    });
}

bool BaseDocument::ExecutePasses(BaseThread*, bool animation, bool, bool, Int32) {
    ++evaluations_;
    if (!animation) return true;
    const BaseTime time = GetTime();
    walk(GetFirstObject(), [&](BaseObject* o) { animate(o, this, time); });
    return true;
}

}  // namespace host
