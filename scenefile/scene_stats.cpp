#include "scenefile/scene_stats.h"

#include <nlohmann/json.hpp>

#include "scenefile/scene_index.h"

namespace scenefile {

using scenefile::NodeKind;

namespace {

bool isLightShader(std::string_view type) {
    return type == "tal_point_light" || type == "tal_mesh_light";
}

}  // namespace

SceneStats collectStats(const scenefile::Document& doc, std::uint64_t fileSize) {
    SceneStats s;
    s.fileSize = fileSize;
    SceneIndex index(doc);
    walk(doc.statements, [&](const Node& n) {
        if (n.kind != NodeKind::Block) return;
        if (n.word == "object") {
            ++s.objects;
            const Node* material = index.materialOf(n);
            const Node* surface = material ? index.surfaceOf(*material) : nullptr;
            if (surface && isLightShader(shaderType(*surface))) ++s.lights;
        } else if (n.word == "group") {
            ++s.groups;
        } else if (n.word == "camera") {
            ++s.cameras;
        } else if (n.word == "light") {
            ++s.lights;
        } else if (n.word == "animation") {
            ++s.animations;
        } else if (n.word == "geometry" && n.name() == "triangles") {
            ++s.meshes;
            s.triangles += scalarCount(n, "triangles") / 3;
            s.vertices += scalarCount(n, "vertices") / 3;
        } else if (n.word == "geometry" && n.name() == "tal_bezier_curves") {
            s.hairCurves += scalarCount(n, "nvertices");
            s.hairPoints += scalarCount(n, "p") / 3;
        } else if (n.word == "material") {
            const Node* surface = index.surfaceOf(n);
            s.materials.emplace(std::string(n.name()),
                                surface ? std::string(shaderType(*surface)) : "");
        } else if (n.word == "shader") {
            std::string_view texture = textOf(n, "texture");
            if (texture.empty()) return;
            (shaderType(n) == "tal_envmap" ? s.environmentMaps : s.textures).emplace(texture);
        }
    });
    return s;
}

std::string formatStats(const SceneStats& s) {
    std::string out;
    auto line = [&](const char* label, std::uint64_t v) {
        out += std::string(label) + ": " + std::to_string(v) + "\n";
    };
    line("file size (bytes)", s.fileSize);
    line("groups", s.groups);
    line("objects", s.objects);
    line("meshes", s.meshes);
    line("triangles", s.triangles);
    line("vertices", s.vertices);
    line("materials", s.materials.size());
    std::map<std::string, int> byType;
    for (const auto& [name, type] : s.materials) ++byType[type.empty() ? "(no surface)" : type];
    for (const auto& [type, count] : byType)
        out += "  " + type + ": " + std::to_string(count) + "\n";
    line("textures", s.textures.size());
    for (const auto& t : s.textures) out += "  " + t + "\n";
    if (!s.environmentMaps.empty()) {
        line("environment maps", s.environmentMaps.size());
        for (const auto& t : s.environmentMaps) out += "  " + t + "\n";
    }
    line("cameras", s.cameras);
    line("lights", s.lights);
    line("hair curves", s.hairCurves);
    line("hair points", s.hairPoints);
    line("animations", s.animations);
    return out;
}

std::string statsJson(const SceneStats& s) {
    nlohmann::json materials = nlohmann::json::object();
    for (const auto& [name, type] : s.materials) materials[name] = type;
    nlohmann::json j = {{"file_size", s.fileSize},
                        {"groups", s.groups},
                        {"objects", s.objects},
                        {"meshes", s.meshes},
                        {"triangles", s.triangles},
                        {"vertices", s.vertices},
                        {"materials", materials},
                        {"textures", s.textures},
                        {"environment_maps", s.environmentMaps},
                        {"cameras", s.cameras},
                        {"lights", s.lights},
                        {"hair_curves", s.hairCurves},
                        {"hair_points", s.hairPoints},
                        {"animations", s.animations}};
    // Texts are UTF-8 as written; bytes that are not are replaced rather than failing.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace scenefile
