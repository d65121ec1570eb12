#include "renderer/model_sets.h"

#include <functional>

#include "scenefile/scene_index.h"
#include "scenefile/scene_stats.h"

namespace vxrenderer {

using scenefile::Node;
using scenefile::NodeKind;

namespace {

bool isLightShader(std::string_view type) {
    return type == "tal_point_light" || type == "tal_mesh_light";
}

bool hasSourceFile(const Node& group) {
    for (const Node& child : group.children) {
        if (child.kind != NodeKind::Attribute || child.args.empty()) continue;
        const scenefile::Text* name = child.args.front().text();
        if (name != nullptr && name->bytes == "source file") return true;
    }
    return false;
}

bool isBlock(const Node& node, std::string_view word) {
    return node.kind == NodeKind::Block && node.word == word;
}

// A key unique among its siblings: the name, and "#2", "#3" for repeats.
std::string uniqueKey(std::map<std::string, int>& seen, const std::string& prefix,
                      std::string_view name) {
    std::string key = prefix + "/" + std::string(name);
    const int n = ++seen[key];
    return n == 1 ? key : key + "#" + std::to_string(n);
}

}  // namespace

std::string modelSetName(const scenefile::Document& scene) {
    const Node* first = nullptr;
    for (const Node& node : scene.statements) {
        if (!isBlock(node, "group")) continue;
        if (hasSourceFile(node)) return std::string(node.name());
        if (first == nullptr) first = &node;
    }
    return first != nullptr ? std::string(first->name()) : "untitled";
}

bool keepsView(const scenefile::Document& scene) {
    for (const Node& node : scene.statements) {
        if (!isBlock(node, "load") || node.name() != "talrtopt.so") continue;
        const Node* adjust = node.parameter("import_adjust_camera");
        if (adjust == nullptr || adjust->value() == nullptr) return false;
        const bool* on = std::get_if<bool>(&adjust->value()->v);
        return on != nullptr && !*on;
    }
    return false;
}

std::string xmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                // Control characters have no place in an attribute.
                out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

ModelSets::ModelSet ModelSets::extract(const scenefile::Document& scene) {
    ModelSet set;
    const scenefile::SceneIndex index(scene);
    std::map<std::string, int> seen;
    const std::function<void(const Node&, const std::string&)> group =
        [&](const Node& block, const std::string& path) {
            for (const Node& node : block.children) {
                if (isBlock(node, "group")) {
                    group(node, uniqueKey(seen, path, node.name()));
                } else if (isBlock(node, "object")) {
                    ObjectEntry entry;
                    scenefile::walk(node.children, [&](const Node& n) {
                        if (isBlock(n, "geometry") && n.name() == "triangles") {
                            entry.triangles += scenefile::scalarCount(n, "triangles") / 3;
                        }
                    });
                    if (const Node* material = index.materialOf(node)) {
                        entry.material = std::string(material->name());
                        const Node* surface = index.surfaceOf(*material);
                        entry.light =
                            surface != nullptr && isLightShader(scenefile::shaderType(*surface));
                    }
                    set.objects[uniqueKey(seen, path, node.name())] = entry;
                } else if (isBlock(node, "animation")) {
                    ++set.animations[path];
                } else if (isBlock(node, "light")) {
                    set.lightBlocks.insert(uniqueKey(seen, path, node.name()));
                }
            }
        };
    for (const Node& node : scene.statements) {
        if (isBlock(node, "camera")) {
            set.cameras.insert(uniqueKey(seen, "", node.name()));
        } else if (isBlock(node, "group")) {
            group(node, uniqueKey(seen, "", node.name()));
        } else if (isBlock(node, "object") || isBlock(node, "light") ||
                   isBlock(node, "animation")) {
            Node top;
            top.children.push_back(node);
            group(top, "");
        }
    }
    return set;
}

Counts ModelSets::ModelSet::counts() const {
    Counts c;
    std::set<std::string> materials;
    for (const auto& [path, entry] : objects) {
        ++c.objects;
        c.triangles += entry.triangles;
        if (entry.light) ++c.lights;
        if (!entry.material.empty()) materials.insert(entry.material);
    }
    c.lights += lightBlocks.size();
    c.materials = materials.size();
    c.cameras = cameras.size();
    for (const auto& [path, n] : animations) c.animations += n;
    return c;
}

Applied ModelSets::apply(const scenefile::Document& scene) {
    Applied applied;
    applied.name = modelSetName(scene);
    const scenefile::SceneStats stats = scenefile::collectStats(scene, 0);
    applied.scene = {stats.objects, stats.triangles, stats.materials.size(),
                     stats.cameras, stats.lights,    stats.animations};
    ModelSet received = extract(scene);
    const auto held = sets_.find(applied.name);
    applied.update = held != sets_.end() && keepsView(scene);
    if (applied.update) {
        ModelSet& set = held->second;
        for (auto& [path, entry] : received.objects) set.objects[path] = std::move(entry);
        set.cameras.insert(received.cameras.begin(), received.cameras.end());
        for (const auto& [path, n] : received.animations) set.animations[path] = n;
        set.lightBlocks.insert(received.lightBlocks.begin(), received.lightBlocks.end());
        ++set.scenes;
    } else {
        received.scenes = 1;
        sets_[applied.name] = std::move(received);
    }
    applied.modelSet = sets_[applied.name].counts();
    return applied;
}

std::string ModelSets::describe() const {
    std::string xml = "<scene>\n<modelsets>\n";
    for (const auto& [name, set] : sets_) {
        const Counts c = set.counts();
        xml += "<modelset name=\"" + xmlEscape(name) + "\" modelset=\"active\">";
        xml += "<summary objects=\"" + std::to_string(c.objects) + "\" triangles=\"" +
               std::to_string(c.triangles) + "\" materials=\"" + std::to_string(c.materials) +
               "\" cameras=\"" + std::to_string(c.cameras) + "\" lights=\"" +
               std::to_string(c.lights) + "\" animations=\"" + std::to_string(c.animations) +
               "\" scenes=\"" + std::to_string(set.scenes) + "\"/></modelset>\n";
    }
    return xml + "</modelsets>\n</scene>\n";
}

}  // namespace vxrenderer
