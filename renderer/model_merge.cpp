#include "renderer/model_merge.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vxrenderer {

using scenefile::Node;
using scenefile::NodeKind;

namespace {

bool isBlock(const Node& node, std::string_view word) {
    return node.kind == NodeKind::Block && node.word == word;
}

bool isKeyed(const Node& node) {
    return !node.define && (isBlock(node, "group") || isBlock(node, "object") ||
                            isBlock(node, "light") || isBlock(node, "camera"));
}

// The keys of one level's keyed nodes, in order, as ModelSets makes them:
// the name, "#2", "#3" for repeats among the level's groups, objects, lights
// and cameras together. Non-keyed nodes get an empty key.
std::vector<std::string> levelKeys(const std::vector<Node>& nodes) {
    std::map<std::string, int> seen;
    std::vector<std::string> keys;
    keys.reserve(nodes.size());
    for (const Node& node : nodes) {
        if (!isKeyed(node)) {
            keys.emplace_back();
            continue;
        }
        std::string key(node.name());
        const int n = ++seen[key];
        keys.push_back(n == 1 ? key : key + "#" + std::to_string(n));
    }
    return keys;
}

// "#define shader 5 ..." and "#define material "m" ...": the word and the
// name or number they define.
std::string definitionKey(const Node& node) {
    std::string key = node.word + ":";
    if (const scenefile::Value* first = node.value()) {
        if (const auto* numbers = first->numbers(); numbers != nullptr && !numbers->empty()) {
            key += std::to_string(numbers->front().value);
        } else if (const scenefile::Text* text = first->text()) {
            key += text->bytes;
        }
    }
    return key;
}

void mergeLevel(std::vector<Node>& out, const std::vector<Node>& held, bool top) {
    const std::vector<std::string> outKeys = levelKeys(out);
    std::map<std::string, std::size_t> outIndex;
    std::set<std::string> definitions;
    bool animated = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!outKeys[i].empty()) outIndex.emplace(outKeys[i], i);
        if (isBlock(out[i], "animation")) animated = true;
        if (out[i].define) definitions.insert(definitionKey(out[i]));
    }
    const std::vector<std::string> heldKeys = levelKeys(held);
    for (std::size_t i = 0; i < held.size(); ++i) {
        const Node& node = held[i];
        if (heldKeys[i].empty()) {
            const bool keepAnimation = isBlock(node, "animation") && !animated;
            const bool keepDefinition =
                top && node.define && definitions.count(definitionKey(node)) == 0;
            if (keepAnimation || keepDefinition) out.push_back(node);
            continue;
        }
        const auto found = outIndex.find(heldKeys[i]);
        if (found == outIndex.end()) {
            out.push_back(node);
        } else if (isBlock(node, "group") && isBlock(out[found->second], "group")) {
            mergeLevel(out[found->second].children, node.children, false);
        }
    }
}

}  // namespace

scenefile::Document mergeUpdate(const scenefile::Document& held, scenefile::Document update) {
    mergeLevel(update.statements, held.statements, true);
    return update;
}

}  // namespace vxrenderer
