// The secret that proves a live-link client runs as the renderer's own user.
//
// Contract. A token is 64 lowercase hexadecimal characters: 256 bits from the
// kernel's random source. The renderer keeps it only in its owner-only
// instance record; a client that can read that record presents it in its
// greeting, and the renderer compares it in time that does not depend on
// where the texts differ. Nothing here throws.
#pragma once

#include <string>
#include <string_view>

namespace vxrenderer {

inline constexpr std::size_t kTokenLength = 64;

// A fresh token, or empty when the system gives no random bytes (`error`
// then says why).
std::string newToken(std::string& error);

// True when `text` has the form of a token.
bool wellFormedToken(std::string_view text);

// True when `presented` equals `expected`; both must be well formed. The
// time taken depends only on their lengths.
bool tokensMatch(std::string_view presented, std::string_view expected);

}  // namespace vxrenderer
