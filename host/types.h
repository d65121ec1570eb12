// Basic host types: fixed-width integers and the host's floating types.
// The host works in doubles (Float); geometry handed to the renderer is
// converted to 32-bit floats (Float32) by the conversion.
#pragma once

#include <cstdint>

namespace host {

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Float = double;
using Float32 = float;

}  // namespace host
