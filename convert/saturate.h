// Float-to-integer conversions for values that come from the document: they
// truncate toward zero like a plain cast, but a value beyond the 32-bit range
// clamps to its end and NaN gives 0, so no document value can make the
// conversion undefined.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace convert {

inline std::int32_t truncateToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

// A double narrowed to float; values beyond the float range become the
// float's infinities rather than undefined.
inline float toFloat(double v) {
    if (v > static_cast<double>(std::numeric_limits<float>::max()))
        return std::numeric_limits<float>::infinity();
    if (v < -static_cast<double>(std::numeric_limits<float>::max()))
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace convert
