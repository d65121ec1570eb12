// Objects: BaseObject and PolygonObject.
//
// An object has a local transform relative to its parent (position, rotation
// angles in radians, scale and rotation order, or an explicit matrix), a key
// (a 64-bit value that identifies it in the selection and in the walk), tags,
// animation tracks, children, and optionally the cache and deform cache a
// generator or deformer produced. GetMl is the local matrix, GetMg the global
// one (parent's global times local); both follow the last evaluation
// (BaseDocument::ExecutePasses). Children, tags, tracks and caches are owned
// by the object. A cache or deform cache has the object that holds it as its
// parent: GetUp answers that object and GetMg composes with its matrix.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "host/list2d.h"
#include "host/math.h"
#include "host/tag.h"
#include "host/track.h"

namespace host {

class BaseDocument;
class LayerObject;

constexpr Int32 Opolygon = 5100;
constexpr Int32 Olight = 5102;
constexpr Int32 Ocamera = 5103;
constexpr Int32 Onull = 5140;
constexpr Int32 Ohair = 1017305;

constexpr Int32 ID_BASEOBJECT_VISIBILITY_EDITOR = 901;
constexpr Int32 ID_BASEOBJECT_VISIBILITY_RENDER = 902;
constexpr Int32 MODE_ON = 0;
constexpr Int32 MODE_OFF = 1;
constexpr Int32 MODE_UNDEF = 2;

// A polygon's point indices; a triangle has c == d.
struct CPolygon {
    Int32 a = 0, b = 0, c = 0, d = 0;
    bool IsTriangle() const { return c == d; }
};

// Hair guides as the hair library generates them, in the object's global
// space: `guideCount` guides of `segments` + 1 points each.
struct HairGuides {
    Int32 segments = 0;
    std::vector<std::vector<Vector>> guides;
    std::vector<std::pair<Float, Float>> rootUV;
};

class BaseObject : public BaseList2D {
public:
    explicit BaseObject(Int32 type);
    ~BaseObject() override;

    // Hierarchy.
    BaseObject* GetNext() const { return next_; }
    BaseObject* GetPred() const { return pred_; }
    BaseObject* GetUp() const { return up_; }
    BaseObject* GetDown() const { return children_.empty() ? nullptr : children_.front().get(); }
    BaseObject* InsertChild(std::unique_ptr<BaseObject> child);  // appends
    BaseObject* GetCache() const { return cache_.get(); }
    BaseObject* GetDeformCache() const { return deformCache_.get(); }
    BaseObject* SetCache(std::unique_ptr<BaseObject> cache);
    BaseObject* SetDeformCache(std::unique_ptr<BaseObject> cache);

    // Tags and tracks, in order.
    BaseTag* GetFirstTag() const { return tags_.empty() ? nullptr : tags_.front().get(); }
    BaseTag* InsertTag(std::unique_ptr<BaseTag> tag);  // appends
    BaseTag* GetTag(Int32 type) const;                 // first tag of that type
    CTrack* GetFirstCTrack() const { return tracks_.empty() ? nullptr : tracks_.front().get(); }
    CTrack* InsertTrack(std::unique_ptr<CTrack> track);

    // Transform, relative to the parent.
    Vector GetRelPos() const { return pos_; }
    Vector GetRelRot() const { return rot_; }
    Vector GetRelScale() const { return scale_; }
    Int32 GetRotationOrder() const { return rotationOrder_; }
    void SetRelPos(const Vector& v);
    void SetRelRot(const Vector& v);
    void SetRelScale(const Vector& v);
    void SetRotationOrder(Int32 order);
    // An explicit local matrix replaces the one built from position, rotation
    // and scale until the next call of SetRelPos/Rot/Scale.
    void SetMl(const Matrix& m);
    // The explicit local matrix, if one is in force (the document writer
    // keeps it rather than its decomposition).
    const std::optional<Matrix>& explicitMl() const { return explicitMl_; }
    Matrix GetMl() const;  // local matrix
    Matrix GetMg() const;  // global matrix

    // Identity and membership.
    UInt64 GetGUID() const { return key_; }
    void SetGUID(UInt64 key) { key_ = key; }
    LayerObject* GetLayerObject(const BaseDocument* doc) const;
    void SetLayerObject(LayerObject* layer) { layer_ = layer; }

    // Hair objects: the guides, or null for any other object.
    const HairGuides* hairGuides() const { return hair_ ? &*hair_ : nullptr; }
    void setHairGuides(HairGuides guides) { hair_ = std::move(guides); }

private:
    friend class BaseDocument;  // links the top-level objects as siblings
    void link(BaseObject* child, BaseObject* up);

    BaseObject* next_ = nullptr;
    BaseObject* pred_ = nullptr;
    BaseObject* up_ = nullptr;
    std::vector<std::unique_ptr<BaseObject>> children_;
    std::unique_ptr<BaseObject> cache_;
    std::unique_ptr<BaseObject> deformCache_;
    std::vector<std::unique_ptr<BaseTag>> tags_;
    std::vector<std::unique_ptr<CTrack>> tracks_;
    Vector pos_;
    Vector rot_;
    Vector scale_{1, 1, 1};
    Int32 rotationOrder_ = ROTATIONORDER_DEFAULT;
    std::optional<Matrix> explicitMl_;
    UInt64 key_ = 0;
    LayerObject* layer_ = nullptr;
    std::optional<HairGuides> hair_;
};

class PolygonObject : public BaseObject {
public:
    PolygonObject() : BaseObject(Opolygon) {}
    Int32 GetPointCount() const { return static_cast<Int32>(points_.size()); }
    Int32 GetPolygonCount() const { return static_cast<Int32>(polygons_.size()); }
    const Vector* GetPointR() const { return points_.data(); }
    const CPolygon* GetPolygonR() const { return polygons_.data(); }
    std::vector<Vector>& points() { return points_; }
    std::vector<CPolygon>& polygons() { return polygons_; }
    // Four corner normals per polygon, smoothed within the phong tag's angle
    // limit; empty when the object carries no phong tag. An object with given
    // normals (below) and a phong tag answers the given normals instead.
    std::vector<Vector32> CreatePhongNormals() const;
    // The same into `normals`, whose storage is reused when it is large
    // enough, and whose elements are overwritten in place when it already
    // holds as many as the result: a caller that asks again and again (an
    // exporter, every export) keeps one block instead of receiving fresh
    // memory each time. Answers whether there are normals; without,
    // `normals` is left empty.
    bool CreatePhongNormals(std::vector<Vector32>& normals) const;

    // Given corner normals, as an importer takes them from a file that stores
    // normals (four per polygon, in corner order a, b, c, d; a triangle's
    // fourth repeats its third). They count only while there are exactly four
    // per polygon; otherwise the normals are computed from the geometry.
    const std::vector<Vector32>& givenNormals() const { return givenNormals_; }
    void setGivenNormals(std::vector<Vector32> normals) { givenNormals_ = std::move(normals); }

private:
    std::vector<Vector> points_;
    std::vector<CPolygon> polygons_;
    std::vector<Vector32> givenNormals_;
};

}  // namespace host
