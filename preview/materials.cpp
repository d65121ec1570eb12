#include "preview/materials.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace preview {

using scenefile::Node;
using scenefile::NodeKind;

namespace {

bool numbers3(const Node& p, Vec3& out) {
    std::vector<double> nums;
    if (!p.value() || !scenefile::flattenNumbers(*p.value(), nums) || nums.size() != 3)
        return false;
    const Vec3 v{static_cast<float>(nums[0]), static_cast<float>(nums[1]),
                 static_cast<float>(nums[2])};
    if (!finite(v)) return false;
    out = v;
    return true;
}

bool number1(const Node& block, const char* name, double& out) {
    const std::vector<double> nums = scenefile::numbersOf(block, name);
    if (nums.size() != 1 || !std::isfinite(nums[0])) return false;
    out = nums[0];
    return true;
}

bool boolOf(const Node& block, const char* name, bool fallback) {
    const Node* p = block.parameter(name);
    if (!p || !p->value()) return fallback;
    const bool* b = std::get_if<bool>(&p->value()->v);
    return b ? *b : fallback;
}

Vec3 clampColor(Vec3 c, float hi) {
    return {std::clamp(c.x, 0.0f, hi), std::clamp(c.y, 0.0f, hi), std::clamp(c.z, 0.0f, hi)};
}

}  // namespace

std::string resolvePath(const std::string& folder, const std::string& path) {
    if (path.empty() || path.front() == '/' || folder.empty()) return path;
    return folder.back() == '/' ? folder + path : folder + "/" + path;
}

MaterialTable::MaterialTable(const scenefile::SceneIndex& index, std::string sceneFolder,
                             RenderModel& model)
    : index_(index), folder_(std::move(sceneFolder)), model_(model) {
    model_.materials.emplace_back();
}

const ObjectMaterial& MaterialTable::forObject(const Node* object) {
    const Node* block = object ? index_.materialOf(*object) : nullptr;
    if (!block) return default_;
    auto it = byBlock_.find(block);
    if (it == byBlock_.end()) it = byBlock_.emplace(block, read(*block)).first;
    return it->second;
}

ObjectMaterial MaterialTable::read(const Node& materialBlock) {
    ObjectMaterial om;
    Material m;
    const Node* surface = index_.surfaceOf(materialBlock);
    const std::string_view type = surface ? scenefile::shaderType(*surface) : "";
    if (surface && (type == "tal_point_light" || type == "tal_mesh_light")) {
        om.light = type == "tal_point_light" ? LightKind::Point : LightKind::Mesh;
        double power = 0;
        Vec3 color{1, 1, 1};
        for (const Node& p : surface->children)
            if (p.kind == NodeKind::Parameter && p.word == "color") numbers3(p, color);
        number1(*surface, "power", power);
        om.flux = clampColor(color, 1e6f) * static_cast<float>(std::clamp(power, 0.0, 1e9));
        om.visibleToEye = boolOf(*surface, "visible to the eye", true);
    } else if (surface) {
        readSurface(*surface, m, om);
    }
    model_.materials.push_back(m);
    om.material = static_cast<int>(model_.materials.size()) - 1;
    return om;
}

void MaterialTable::readSurface(const Node& shader, Material& m, ObjectMaterial& om) {
    const std::string type(scenefile::shaderType(shader));
    bool known = type == "tal_diffuse" || type == "tal_advanced";
    for (const Node& p : shader.children) {
        if (p.kind != NodeKind::Parameter || !p.value()) continue;
        if (p.word == "diffuse" && p.value()->linked) {
            if (const Node* tex = index_.shaderOf(*p.value())) readTexture(*tex, m, om);
        } else if (p.word == "diffuse") {
            known |= numbers3(p, m.diffuse);
        } else if (p.word == "specular") {
            numbers3(p, m.specular);
        }
    }
    m.diffuse = clampColor(m.diffuse, 1);
    m.specular = clampColor(m.specular, 1);
    double roughness = 0;
    if (number1(shader, "roughness", roughness) && roughness > 0.001) {
        const double r = std::min(roughness, 1.0);
        m.exponent = static_cast<float>(std::max(2.0 / (r * r) - 2.0, 1.0));
    }
    if (!known)
        warnOnce("type " + type,
                 "shader type \"" + type + "\" is not previewed; its objects render in grey");
}

void MaterialTable::readTexture(const Node& shader, Material& m, ObjectMaterial& om) {
    const std::string file(scenefile::textOf(shader, "texture"));
    if (file.empty()) return;
    const int id = texture(resolvePath(folder_, file));
    if (id < 0) return;
    TextureMapping& map = m.map;
    map.texture = id;
    double value = 0;
    if (number1(shader, "scale_u", value) && value != 0) map.scaleU = static_cast<float>(value);
    if (number1(shader, "scale_v", value) && value != 0) map.scaleV = static_cast<float>(value);
    if (number1(shader, "shift_u", value)) map.shiftU = static_cast<float>(value);
    if (number1(shader, "shift_v", value)) map.shiftV = static_cast<float>(value);
    map.wrap = boolOf(shader, "wrap", true);
    if (const Node* d = shader.parameter("default_color")) numbers3(*d, map.outside);
    double projection = 0;
    const std::vector<double> uvMatrix = scenefile::numbersOf(shader, "transform_obj_to_uv");
    if (number1(shader, "uv_projection", projection) && projection == 5 && uvMatrix.size() == 16 &&
        std::all_of(uvMatrix.begin(), uvMatrix.end(), [](double x) { return std::isfinite(x); })) {
        om.flatProjection = true;
        std::copy(uvMatrix.begin(), uvMatrix.end(), om.objectToUv.begin());
    }
}

int MaterialTable::texture(const std::string& path) {
    if (auto it = textures_.find(path); it != textures_.end()) return it->second;
    std::string error;
    std::shared_ptr<const Texture> t = loadTexture(path, error);
    int id = -1;
    if (t) {
        model_.textures.push_back(std::move(t));
        id = static_cast<int>(model_.textures.size()) - 1;
    } else {
        warnOnce("texture " + path, "texture \"" + path + "\" cannot be read (" + error +
                                        "); its material renders in its diffuse colour");
    }
    textures_.emplace(path, id);
    return id;
}

void MaterialTable::warnOnce(const std::string& key, const std::string& line) {
    if (warned_.emplace(key, true).second) model_.warnings.push_back(line);
}

}  // namespace preview
