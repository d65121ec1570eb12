// The JSON form of one registry root, shared by the store and the tools that
// write it: an object whose members are key paths, each an object of values;
// a value is a string (text) or an integer from 0 to 4294967295 (number).
//
// checkRegistryDocument answers an empty text for a well-formed root and
// otherwise one sentence that names the offending key and value. Key paths or
// value names that differ only in ASCII case are the same name, so a root that
// lists one twice is malformed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace platform {

std::string checkRegistryDocument(const nlohmann::json& root);

// Parses a root file's text; on failure answers null and sets `error` to the
// parser's located message (line and column) or checkRegistryDocument's.
nlohmann::json parseRegistryDocument(const std::string& text, std::string& error);

}  // namespace platform
