// BaseDocument: the host document: its objects, materials and layers, its
// time, its name and directory, its selection, and its evaluation.
//
// Document parameters: 1000 current time, 1002 start of the time range (both
// times), 1012 the directory (a file name; empty when never saved), 1013 the
// document's file name. ExecutePasses sets every animated position, rotation
// and scale component from its track at the current time and rebuilds the
// matrices. GetSelection appends the selected objects and tags, in document
// order (objects depth first, each object's selected tags after it, then its
// cache, its deform cache and its children).
#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

#include "host/list2d.h"
#include "host/material.h"
#include "host/object.h"

namespace host {

class BaseThread;

constexpr Int32 DOCUMENT_TIME = 1000;
constexpr Int32 DOCUMENT_MINTIME = 1002;
constexpr Int32 DOCUMENT_PATH = 1012;
constexpr Int32 DOCUMENT_FILENAME = 1013;

// Layer parameters: 1001 view switch, 1002 render switch, 1009 colour.
class LayerObject : public BaseList2D {
public:
    LayerObject() : BaseList2D(100004801) {}
};

// An element list, filled by BaseDocument::GetSelection.
class AtomArray {
public:
    Int32 GetCount() const { return static_cast<Int32>(items_.size()); }
    BaseList2D* GetIndex(Int32 i) const;  // null when out of range
    void Append(BaseList2D* item) { items_.push_back(item); }

private:
    std::vector<BaseList2D*> items_;
};

class BaseDocument : public BaseList2D {
public:
    BaseDocument();
    ~BaseDocument() override;

    BaseObject* GetFirstObject() const {
        return objects_.empty() ? nullptr : objects_.front().get();
    }
    BaseObject* InsertObject(std::unique_ptr<BaseObject> object);  // appends a top-level object
    BaseMaterial* GetFirstMaterial() const {
        return materials_.empty() ? nullptr : materials_.front().get();
    }
    BaseMaterial* InsertMaterial(std::unique_ptr<BaseMaterial> material);
    LayerObject* InsertLayer(std::unique_ptr<LayerObject> layer);
    const std::vector<std::unique_ptr<LayerObject>>& layers() const { return layers_; }

    Int32 GetFps() const { return fps_; }
    void SetFps(Int32 fps) { fps_ = fps; }
    BaseTime GetTime() const;
    void SetTime(const BaseTime& t);

    // Selection flags live on the nodes' documents; the document keeps a set.
    void SetSelected(BaseList2D* node, bool selected);
    bool IsSelected(const BaseList2D* node) const;
    void GetSelection(AtomArray& out) const;

    // Evaluates the document at its current time; thread may be null.
    bool ExecutePasses(BaseThread* thread, bool animation, bool expressions, bool caches,
                       Int32 flags);
    // Number of evaluations so far (tests use it).
    Int32 evaluationCount() const { return evaluations_; }

private:
    std::vector<std::unique_ptr<BaseObject>> objects_;
    std::vector<std::unique_ptr<BaseMaterial>> materials_;
    std::vector<std::unique_ptr<LayerObject>> layers_;
    std::unordered_set<const BaseList2D*> selected_;
    Int32 fps_ = 30;
    Int32 evaluations_ = 0;
};

}  // namespace host
