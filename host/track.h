// Animation tracks: CTrack (one animated parameter component), its CCurve and
// the curve's CKeys.
//
// A track's description id has the parameter on the first level (903
// position, 904 rotation, 905 scale) and the vector component on the second
// (1000 x, 1001 y, 1002 z). GetValue evaluates the curve at a time: between
// keys the earlier key's interpolation applies (linear, step, or spline: a
// smooth cubic through the keys); before the first key and after the last the
// value holds the end key's value. A curve without keys evaluates to 0.
#pragma once

#include <memory>
#include <vector>

#include "host/list2d.h"

namespace host {

constexpr Int32 ID_BASEOBJECT_REL_POSITION = 903;
constexpr Int32 ID_BASEOBJECT_REL_ROTATION = 904;
constexpr Int32 ID_BASEOBJECT_REL_SCALE = 905;
constexpr Int32 VECTOR_X = 1000;
constexpr Int32 VECTOR_Y = 1001;
constexpr Int32 VECTOR_Z = 1002;

enum class Interpolation { Linear, Step, Spline };

class CKey {
public:
    CKey(BaseTime time, Float value, Interpolation interpolation)
        : time_(time), value_(value), interpolation_(interpolation) {}
    BaseTime GetTime() const { return time_; }
    Float GetValue() const { return value_; }
    Interpolation GetInterpolation() const { return interpolation_; }

private:
    BaseTime time_;
    Float value_;
    Interpolation interpolation_;
};

class CCurve {
public:
    Int32 GetKeyCount() const { return static_cast<Int32>(keys_.size()); }
    const CKey* GetKey(Int32 i) const;  // null when out of range
    // Keys are kept sorted by time.
    void AddKey(const CKey& key);
    Float GetValue(const BaseTime& time) const;

private:
    std::vector<CKey> keys_;
};

class CTrack : public BaseList2D {
public:
    CTrack(const DescID& id);  // track type id 5350
    const DescID& GetDescriptionID() const { return id_; }
    CCurve* GetCurve() { return &curve_; }
    const CCurve* GetCurve() const { return &curve_; }
    // The track's value at `time`; `doc` is accepted for the host's signature.
    Float GetValue(const BaseDocument* doc, const BaseTime& time) const;
    CTrack* GetNext() const { return next_; }
    void setNext(CTrack* next) { next_ = next; }

private:
    DescID id_;
    CCurve curve_;
    CTrack* next_ = nullptr;
};

}  // namespace host
