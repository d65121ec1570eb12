#include "scenefile/scene_index.h"

namespace scenefile {

using scenefile::NodeKind;

void walk(const std::vector<Node>& nodes, const std::function<void(const Node&)>& visit) {
    std::function<void(const Value&)> values = [&](const Value& v) {
        if (const Node* s = v.shader()) {
            visit(*s);
            walk(s->children, visit);
        } else if (const auto* arr = v.array()) {
            for (const Value& item : arr->items) values(item);
        }
    };
    for (const Node& n : nodes) {
        visit(n);
        for (const Value& v : n.args) values(v);
        walk(n.children, visit);
    }
}

SceneIndex::SceneIndex(const Document& doc) {
    walk(doc.statements, [&](const Node& n) {
        if (n.kind != NodeKind::Block) return;
        if (n.word == "shader" && n.define && !n.args.empty()) {
            if (const auto* id = n.args.front().numbers(); id && !id->empty())
                numbered_.emplace(static_cast<std::int64_t>(id->front().value), &n);
        } else if (n.word == "material") {
            materials_.emplace(std::string(n.name()), &n);
        }
    });
}

const Node* SceneIndex::shaderOf(const Value& value) const {
    if (const Node* inline_ = value.shader()) return inline_;
    if (const auto* ref = std::get_if<scenefile::ShaderRef>(&value.v)) {
        auto it = numbered_.find(ref->id);
        return it == numbered_.end() ? nullptr : it->second;
    }
    return nullptr;
}

const Node* SceneIndex::surfaceOf(const Node& material) const {
    for (const Node& c : material.children)
        if (c.kind == NodeKind::UseShader && c.word == "surface" && c.value())
            return shaderOf(*c.value());
    return nullptr;
}

const Node* SceneIndex::materialOf(const Node& object) const {
    for (const Node& c : object.children)
        if (c.kind == NodeKind::Block && c.word == "material") return &c;
    for (const Node& c : object.children) {
        if (c.kind != NodeKind::UseMaterial) continue;
        auto it = materials_.find(c.name());
        if (it != materials_.end()) return it->second;
    }
    return nullptr;
}

std::string_view shaderType(const Node& shader) {
    // Inline and named shaders: type is the last text operand; numbered: after the id.
    if (shader.args.empty()) return {};
    const scenefile::Text* t = shader.args.back().text();
    return t ? std::string_view(t->bytes) : std::string_view{};
}

std::vector<double> numbersOf(const Node& block, std::string_view parameter) {
    std::vector<double> out;
    if (const Node* p = block.parameter(parameter); p && p->value())
        scenefile::flattenNumbers(*p->value(), out);
    return out;
}

namespace {

std::size_t countScalars(const Value& v) {
    if (const auto* nums = v.numbers()) return nums->size();
    if (const auto* bin = v.binary()) return bin->count();
    if (const auto* flat = v.numberArray()) return flat->values.size();
    std::size_t n = 0;
    if (const auto* arr = v.array())
        for (const Value& item : arr->items) n += countScalars(item);
    return n;
}

}  // namespace

std::size_t scalarCount(const Node& block, std::string_view parameter) {
    const Node* p = block.parameter(parameter);
    return p && p->value() ? countScalars(*p->value()) : 0;
}

std::string_view textOf(const Node& block, std::string_view parameter) {
    const Node* p = block.parameter(parameter);
    if (!p || !p->value() || !p->value()->text()) return {};
    return p->value()->text()->bytes;
}

}  // namespace scenefile
