// SceneIndex: look-ups over a read scene that the vxs commands share.
//
// Contract. Built once from a Document, which must outlive it (it keeps
// pointers into the tree). Shaders are found inline (a captured shader in a
// value) or by reference to a numbered definition ("#define shader 5 ...");
// a material is an object's material block, or the defined material that a
// "material" statement names. Look-ups answer null when nothing fits; they
// never throw.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/tree.h"

namespace scenefile {

// Every node below `nodes`, depth first in file order, including the blocks
// of inline shaders standing in values.
void walk(const std::vector<Node>& nodes, const std::function<void(const Node&)>& visit);

class SceneIndex {
public:
    explicit SceneIndex(const Document& doc);

    // The shader a value stands for: its inline block, or the numbered definition it refers to.
    const Node* shaderOf(const Value& value) const;
    // The shader bound as "surface" in a material block.
    const Node* surfaceOf(const Node& material) const;
    // An object's material: its material block, else the defined material it uses.
    const Node* materialOf(const Node& object) const;

    const std::map<std::int64_t, const Node*>& numberedShaders() const { return numbered_; }
    const std::map<std::string, const Node*, std::less<>>& definedMaterials() const {
        return materials_;
    }

private:
    std::map<std::int64_t, const Node*> numbered_;
    std::map<std::string, const Node*, std::less<>>
        materials_;  // material blocks by name, first wins
};

// The type of a shader block ("tal_diffuse"), "" when it has none.
std::string_view shaderType(const Node& shader);
// The numbers of a parameter's value, flattened; empty when absent or not numeric.
std::vector<double> numbersOf(const Node& block, std::string_view parameter);
// How many scalar numbers a parameter's value holds (binary or text), 0 when absent.
std::size_t scalarCount(const Node& block, std::string_view parameter);
// A parameter's text value, or "".
std::string_view textOf(const Node& block, std::string_view parameter);

}  // namespace scenefile
