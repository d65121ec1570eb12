// Key evaluation of animation curves.
//
// Between key i and key i+1 the interpolation of key i applies:
//   step    the value of key i;
//   linear  the straight line between the two values;
//   spline  a cubic Hermite segment through both values whose slopes are
//           Catmull-Rom tangents: at an inner key the slope of the line
//           through its two neighbours (value per second), at the first and
//           the last key 0, so that the motion eases in and out.
// Before the first key and after the last the end value holds.
#include "host/track.h"

#include <algorithm>

namespace host {

namespace {

Float seconds(const CKey& k) { return k.GetTime().Get(); }

}  // namespace

const CKey* CCurve::GetKey(Int32 i) const {
    if (i < 0 || i >= GetKeyCount()) return nullptr;
    return &keys_[static_cast<std::size_t>(i)];
}

void CCurve::AddKey(const CKey& key) {
    // After keys of the same time, so that equal times keep their order.
    const auto at = std::upper_bound(keys_.begin(), keys_.end(), seconds(key),
                                     [](Float t, const CKey& k) { return t < seconds(k); });
    keys_.insert(at, key);
}

Float CCurve::GetValue(const BaseTime& time) const {
    if (keys_.empty()) return 0.0;
    const Float t = time.Get();
    if (t <= seconds(keys_.front())) return keys_.front().GetValue();
    if (t >= seconds(keys_.back())) return keys_.back().GetValue();
    const auto next = std::upper_bound(keys_.begin(), keys_.end(), t,
                                       [](Float s, const CKey& k) { return s < seconds(k); });
    const std::size_t i = static_cast<std::size_t>(next - keys_.begin()) - 1;
    const CKey& a = keys_[i];
    const CKey& b = keys_[i + 1];
    const Float t0 = seconds(a), t1 = seconds(b);
    const Float v0 = a.GetValue(), v1 = b.GetValue();
    const Float dt = t1 - t0;
    if (dt <= 0.0) return v1;
    const Float s = (t - t0) / dt;
    switch (a.GetInterpolation()) {
        case Interpolation::Step:
            return v0;
        case Interpolation::Linear:
            return v0 + (v1 - v0) * s;
        case Interpolation::Spline:
            break;
    }
    // Catmull-Rom slope at key j; 0 at the ends.
    const auto slope = [this](std::size_t j) -> Float {
        if (j == 0 || j + 1 >= keys_.size()) return 0.0;
        const Float span = seconds(keys_[j + 1]) - seconds(keys_[j - 1]);
        return span > 0.0 ? (keys_[j + 1].GetValue() - keys_[j - 1].GetValue()) / span : 0.0;
    };
    const Float m0 = slope(i) * dt, m1 = slope(i + 1) * dt;
    const Float s2 = s * s, s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * v0 + (s3 - 2 * s2 + s) * m0 + (-2 * s3 + 3 * s2) * v1 +
           (s3 - s2) * m1;
}

CTrack::CTrack(const DescID& id) : BaseList2D(5350), id_(id) {}

Float CTrack::GetValue(const BaseDocument*, const BaseTime& time) const {
    return curve_.GetValue(time);
}

}  // namespace host
