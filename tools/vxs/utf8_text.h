// Text for formats that require UTF-8 (glTF's JSON): scene files carry names
// as bytes, and a name written by another tool may not be UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vxs {

// `text` with every byte that does not belong to a well-formed UTF-8
// sequence (overlong forms, surrogates and code points past U+10FFFF
// included) replaced by U+FFFD. `replaced` grows by the number of bytes
// replaced. Valid text comes back unchanged.
std::string validUtf8(std::string_view text, std::size_t& replaced);

}  // namespace vxs
