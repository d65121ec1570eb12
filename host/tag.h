// Tags: BaseTag and the kinds the conversion reads (texture, UVW, polygon
// selection, normal, phong, hair material).
//
// Every tag belongs to one object (GetObject). UVW tags hold four corners per
// polygon (a triangle repeats its third corner as the fourth). Polygon
// selections answer sorted, merged, inclusive index ranges.
#pragma once

#include <utility>
#include <vector>

#include "host/list2d.h"

namespace host {

class BaseObject;
class BaseMaterial;

constexpr Int32 Ttexture = 5616;
constexpr Int32 Tuvw = 5671;
constexpr Int32 Tnormal = 5711;
constexpr Int32 Tpolygonselection = 5673;
constexpr Int32 Tphong = 5612;
constexpr Int32 Thairmaterial = 1017729;

class BaseTag : public BaseList2D {
public:
    using BaseList2D::BaseList2D;
    BaseObject* GetObject() const { return object_; }
    BaseTag* GetNext() const { return next_; }
    void setObject(BaseObject* o) { object_ = o; }
    void setNext(BaseTag* t) { next_ = t; }

private:
    BaseObject* object_ = nullptr;
    BaseTag* next_ = nullptr;
};

// Texture tags and hair material tags: a material link and a texture matrix.
class TextureTag : public BaseTag {
public:
    using BaseTag::BaseTag;
    BaseMaterial* GetMaterial() const { return material_; }
    void SetMaterial(BaseMaterial* m) { material_ = m; }
    const Matrix& GetMl() const { return textureMatrix_; }
    void SetMl(const Matrix& m) { textureMatrix_ = m; }

private:
    BaseMaterial* material_ = nullptr;
    Matrix textureMatrix_;
};

struct UVWStruct {
    Vector a, b, c, d;
};

class UVWTag : public BaseTag {
public:
    UVWTag() : BaseTag(Tuvw) {}
    Int32 GetDataCount() const { return static_cast<Int32>(uvw_.size()); }
    // The corners of all polygons for reading, GetDataCount() entries.
    const UVWStruct* GetDataAddressR() const { return uvw_.data(); }
    // Corners of polygon i; zeros when i is out of range.
    UVWStruct GetSlow(Int32 i) const;
    std::vector<UVWStruct>& data() { return uvw_; }

private:
    std::vector<UVWStruct> uvw_;
};

// Selected element indices as sorted, merged, inclusive ranges.
class BaseSelect {
public:
    Int32 GetCount() const;  // number of selected elements
    Int32 GetSegments() const { return static_cast<Int32>(ranges_.size()); }
    // Range `seg` clipped to [0, maxElements - 1]; false when seg is out of
    // range or the clipped range is empty.
    bool GetRange(Int32 seg, Int32 maxElements, Int32* a, Int32* b) const;
    bool IsSelected(Int32 i) const;
    void Select(Int32 i);  // keeps the ranges sorted and merged
    const std::vector<std::pair<Int32, Int32>>& ranges() const { return ranges_; }

private:
    std::vector<std::pair<Int32, Int32>> ranges_;
};

class SelectionTag : public BaseTag {
public:
    SelectionTag() : BaseTag(Tpolygonselection) {}
    BaseSelect* GetBaseSelect() { return &select_; }
    const BaseSelect* GetBaseSelect() const { return &select_; }

private:
    BaseSelect select_;
};

}  // namespace host
