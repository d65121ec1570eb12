// Text from the host: every host string that reaches the scene goes through
// the host's own 8-bit UTF-8 copy, and an empty host string is no text.
#pragma once

#include <string>

namespace host {
class String;
}

namespace convert {

// The host's 8-bit UTF-8 copy of `text`; empty for an empty host string.
std::string toUtf8(const host::String& text);

// `name` up to its last '.': "model.final.c4d" gives "model.final", a name
// without a dot stays whole, ".c4d" gives "".
std::string cutAtLastDot(const std::string& name);

}  // namespace convert
