// A canonical text of scene content, the common ground of round-trip tests:
// one line per statement, values by what they mean rather than how they
// were spelled (texts in hex, numbers in shortest form, arrays flattened to
// their scalars, parameter style and positions left out). The call script
// predicts these lines from the calls it makes; the reader's tree gives them
// through canonicalLines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scenefile/tree.h"

namespace vxtest {

std::string hexOf(std::string_view bytes);
std::string canonicalNumber(double value);
std::string canonicalValue(const scenefile::Value& value);
std::vector<std::string> canonicalLines(const std::vector<scenefile::Node>& nodes);

}  // namespace vxtest
