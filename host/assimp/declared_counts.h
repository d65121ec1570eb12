// Internal to the asset importer: counts a file declares before its data.
//
// Contract. Some formats state how many elements follow (a PLY header's
// "element vertex N", a COLLADA array's count="N"), and readers reserve room
// for that many before reading one. A count larger than the file's size in
// bytes cannot be honest (every element takes at least a byte), so such a
// file is refused before it is parsed: the work stays bounded by the input,
// not by a number in it. A PLY header must also end ("end_header") within
// the bytes given. Returns "" when the counts fit, else the problem.
#pragma once

#include <cstdint>
#include <string>

namespace host::assimp::detail {

std::string checkDeclaredCounts(const std::string& head, std::uint64_t fileSize);

}  // namespace host::assimp::detail
