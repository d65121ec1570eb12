// Objects: hierarchy, caches, tags, tracks and transforms.
//
// The local matrix is MatrixMove(position) * HPBToMatrix(rotation, order) *
// MatrixScale(scale) unless an explicit matrix was set; the global matrix is
// the parent's global matrix times the local one. A cache or deform cache has
// the object that holds it as its parent (GetUp answers that object), so its
// matrices are relative to the generator.
#include "host/object.h"

namespace host {

BaseObject::BaseObject(Int32 type) : BaseList2D(type) {}

BaseObject::~BaseObject() = default;

void BaseObject::link(BaseObject* child, BaseObject* up) {
    child->up_ = up;
    child->next_ = nullptr;
    child->pred_ = nullptr;
}

BaseObject* BaseObject::InsertChild(std::unique_ptr<BaseObject> child) {
    if (!child) return nullptr;
    BaseObject* added = child.get();
    link(added, this);
    if (!children_.empty()) {
        BaseObject* last = children_.back().get();
        last->next_ = added;
        added->pred_ = last;
    }
    children_.push_back(std::move(child));
    return added;
}

BaseObject* BaseObject::SetCache(std::unique_ptr<BaseObject> cache) {
    if (cache) link(cache.get(), this);
    cache_ = std::move(cache);
    return cache_.get();
}

BaseObject* BaseObject::SetDeformCache(std::unique_ptr<BaseObject> cache) {
    if (cache) link(cache.get(), this);
    deformCache_ = std::move(cache);
    return deformCache_.get();
}

BaseTag* BaseObject::InsertTag(std::unique_ptr<BaseTag> tag) {
    if (!tag) return nullptr;
    BaseTag* added = tag.get();
    added->setObject(this);
    added->setNext(nullptr);
    if (!tags_.empty()) tags_.back()->setNext(added);
    tags_.push_back(std::move(tag));
    return added;
}

BaseTag* BaseObject::GetTag(Int32 type) const {
    for (const auto& tag : tags_)
        if (tag->GetType() == type) return tag.get();
    return nullptr;
}

CTrack* BaseObject::InsertTrack(std::unique_ptr<CTrack> track) {
    if (!track) return nullptr;
    CTrack* added = track.get();
    added->setNext(nullptr);
    if (!tracks_.empty()) tracks_.back()->setNext(added);
    tracks_.push_back(std::move(track));
    return added;
}

void BaseObject::SetRelPos(const Vector& v) {
    pos_ = v;
    explicitMl_.reset();
}

void BaseObject::SetRelRot(const Vector& v) {
    rot_ = v;
    explicitMl_.reset();
}

void BaseObject::SetRelScale(const Vector& v) {
    scale_ = v;
    explicitMl_.reset();
}

void BaseObject::SetRotationOrder(Int32 order) {
    rotationOrder_ = order;
    if (explicitMl_) rot_ = MatrixToHPB(*explicitMl_, order);
}

void BaseObject::SetMl(const Matrix& m) {
    explicitMl_ = m;
    // Position, rotation and scale answer the decomposition of the matrix, so
    // that they stay the rest values of the object's animation. A mirroring
    // matrix gets a negative z scale.
    const bool mirrored = Dot(m.v1, Cross(m.v2, m.v3)) < 0;
    pos_ = m.off;
    scale_ = Vector{Length(m.v1), Length(m.v2), mirrored ? -Length(m.v3) : Length(m.v3)};
    Matrix rotation = m;
    if (mirrored) rotation.v3 = Vector{} - m.v3;
    rot_ = MatrixToHPB(rotation, rotationOrder_);
}

Matrix BaseObject::GetMl() const {
    if (explicitMl_) return *explicitMl_;
    return MatrixMove(pos_) * HPBToMatrix(rot_, rotationOrder_) * MatrixScale(scale_);
}

Matrix BaseObject::GetMg() const {
    Matrix m = GetMl();
    for (const BaseObject* up = up_; up; up = up->up_) m = up->GetMl() * m;
    return m;
}

LayerObject* BaseObject::GetLayerObject(const BaseDocument*) const { return layer_; }

}  // namespace host
