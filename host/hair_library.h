// The hair library: the guides of hair objects (Ohair), read under a lock.
//
// Contract. A hair object is read between Lock and Unlock on the main
// thread. Lock answers false for anything but a hair object, and when the
// lock cannot be had: a write lock needs the object unlocked, a read lock
// needs it free of a write lock (read locks are counted). Every successful
// Lock must be matched by one Unlock before the object goes away.
// GenerateGuides answers the guides of a locked hair object as a new set the
// caller owns, or null when the object is not locked, is no hair object or
// has no guides. Points are in the object's global space, as the document
// keeps them; guide i has points i*(S+1) .. i*(S+1)+S for S segments.
#pragma once

#include <memory>
#include <vector>

#include "host/math.h"

namespace host {

class BaseDocument;
class BaseObject;
class BaseThread;

constexpr Int32 HAIR_GENERATE_FLAGS_NONE = 0;
constexpr Int32 HAIR_LOCK_FLAGS_NONE = 0;

// Generated guides: a snapshot, independent of the object afterwards.
class HairGuideSet {
public:
    HairGuideSet(Int32 segments, std::vector<Vector> points, std::vector<Vector> rootUV);
    Int32 GetCount() const { return static_cast<Int32>(rootUV_.size()); }
    Int32 GetSegmentCount() const { return segments_; }
    Int32 GetPointCount() const { return static_cast<Int32>(points_.size()); }
    // GetPointCount() points, guide after guide; null when there are none.
    const Vector* GetPoints() const { return points_.empty() ? nullptr : points_.data(); }
    // The root's texture coordinate of guide i (x = u, y = v, z = 0); zero
    // when i is out of range.
    Vector GetRootUV(Int32 i) const;

private:
    Int32 segments_;
    std::vector<Vector> points_;
    std::vector<Vector> rootUV_;
};

class HairLibrary {
public:
    // `doc` and `thread` are accepted for the host's signature; `flags` is
    // HAIR_LOCK_FLAGS_NONE.
    bool Lock(BaseObject* hair, BaseDocument* doc, BaseThread* thread, bool write, Int32 flags);
    // Releases one lock; nothing when the object holds none.
    void Unlock(BaseObject* hair);
    // Number of read locks held, or -1 for a write lock (tests use it).
    Int32 GetLockCount(const BaseObject* hair) const;
    // `count`: the first `count` guides, -1 (or any negative) all of them.
    // `segments`: each guide resampled to that many segments along its
    // points (at most 2^20), -1 (or any negative) the object's own.
    // `flags` is HAIR_GENERATE_FLAGS_NONE.
    std::unique_ptr<HairGuideSet> GenerateGuides(BaseObject* hair, Int32 flags, Int32 count,
                                                 Int32 segments) const;
};

}  // namespace host
