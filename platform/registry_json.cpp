#include "platform/registry_json.h"

#include <cstdint>
#include <vector>

#include "platform/registry_store.h"

namespace platform {

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool isNumberValue(const nlohmann::json& value) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>() <= 0xFFFFFFFFull;
    if (value.is_number_integer())
        return value.get<std::int64_t>() >= 0 && value.get<std::int64_t>() <= 0xFFFFFFFFll;
    return false;
}

}  // namespace

std::string checkRegistryDocument(const nlohmann::json& root) {
    if (!root.is_object()) return "the root must be an object of key paths";
    std::vector<std::string> keys;
    for (const auto& [path, values] : root.items()) {
        for (const std::string& seen : keys) {
            if (sameRegistryName(seen, path)) {
                return "key " + quoted(path) + " is listed twice (names ignore case)";
            }
        }
        keys.push_back(path);
        if (!values.is_object()) return "key " + quoted(path) + " must be an object of values";
        std::vector<std::string> names;
        for (const auto& [name, value] : values.items()) {
            for (const std::string& seen : names) {
                if (sameRegistryName(seen, name)) {
                    return "value " + quoted(name) + " of key " + quoted(path) +
                           " is listed twice (names ignore case)";
                }
            }
            names.push_back(name);
            if (!value.is_string() && !isNumberValue(value)) {
                return "value " + quoted(name) + " of key " + quoted(path) +
                       " must be a string or an integer from 0 to 4294967295";
            }
        }
    }
    return {};
}

nlohmann::json parseRegistryDocument(const std::string& text, std::string& error) {
    error.clear();
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 2: ..."
        const std::string what = e.what();
        const std::size_t cut = what.find("] ");
        error = cut == std::string::npos ? what : what.substr(cut + 2);
        return nullptr;
    }
    error = checkRegistryDocument(root);
    if (!error.empty()) return nullptr;
    return root;
}

}  // namespace platform
