#include "preview/camera.h"

#include <algorithm>
#include <cmath>

#include "preview/materials.h"

namespace preview {

using scenefile::Node;
using scenefile::NodeKind;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kDefaultFov = 60.0f;

std::vector<double> operands(const Node& n) {
    std::vector<double> all, one;
    for (const scenefile::Value& v : n.args) {
        one.clear();
        if (!scenefile::flattenNumbers(v, one)) return {};
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

bool allFinite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

bool vec3Of(const Node& block, const char* name, Vec3& out) {
    const std::vector<double> n = scenefile::numbersOf(block, name);
    if (n.size() != 3 || !allFinite(n)) return false;
    out = {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    return true;
}

float tanHalf(double degrees) { return static_cast<float>(std::tan(degrees * kPi / 360.0)); }

// The edges of the picture from "fov" or "fov4".
void readFieldOfView(const Node& block, Camera& cam, std::vector<std::string>& warnings) {
    const std::vector<double> four = scenefile::numbersOf(block, "fov4");
    if (four.size() == 4 && allFinite(four) &&
        std::all_of(four.begin(), four.end(), [](double a) { return a > -89 && a < 89; }) &&
        four[0] + four[1] > 0.01 && four[2] + four[3] > 0.01) {
        const auto t = [](double a) { return static_cast<float>(std::tan(a * kPi / 180.0)); };
        cam.left = t(four[0]);
        cam.rightEdge = t(four[1]);
        cam.bottom = t(four[2]);
        cam.top = t(four[3]);
        cam.fixedAspect = true;
        return;
    }
    const std::vector<double> fov = scenefile::numbersOf(block, "fov");
    double degrees = kDefaultFov;
    if (!fov.empty() || !four.empty()) {
        if (fov.size() == 1 && std::isfinite(fov[0]) && fov[0] > 0.01 && fov[0] < 179)
            degrees = fov[0];
        else
            warnings.push_back("camera \"" + std::string(block.name()) + "\" line " +
                               std::to_string(block.pos.line) +
                               ": the field of view is not a usable angle; 60 degrees used");
    }
    cam.left = cam.rightEdge = tanHalf(degrees);
}

// right and up made orthogonal to forward; false when forward or up is unusable.
bool makeFrame(Vec3 forward, Vec3 upHint, Camera& cam) {
    cam.forward = normalize(forward);
    if (!finite(cam.forward) || length(cam.forward) < 0.5f) return false;
    Vec3 right = normalize(cross(cam.forward, upHint));
    if (!finite(right) || length(right) < 0.5f) return false;
    cam.right = right;
    cam.up = cross(right, cam.forward);
    return true;
}

}  // namespace

Matrix localMatrix(const Node& block) {
    Matrix m = kIdentity;
    for (const Node& c : block.children) {
        if (c.kind != NodeKind::Transform && c.kind != NodeKind::SetTransform &&
            c.kind != NodeKind::Scale && c.kind != NodeKind::Translate)
            continue;
        const std::vector<double> nums = operands(c);
        if (!allFinite(nums)) continue;
        Matrix t = kIdentity;
        if ((c.kind == NodeKind::Transform || c.kind == NodeKind::SetTransform) &&
            nums.size() == 16) {
            std::copy(nums.begin(), nums.end(), t.begin());
        } else if (c.kind == NodeKind::Scale && nums.size() == 3) {
            t[0] = nums[0], t[5] = nums[1], t[10] = nums[2];
        } else if (c.kind == NodeKind::Translate && nums.size() == 3) {
            t[12] = nums[0], t[13] = nums[1], t[14] = nums[2];
        } else {
            continue;
        }
        m = c.kind == NodeKind::SetTransform ? t : multiply(t, m);
    }
    return m;
}

Camera cameraFromBlock(const Node& block, const Matrix& parent,
                       std::vector<std::string>& warnings) {
    Camera cam;
    const std::string where = "camera \"" + std::string(block.name()) + "\" line " +
                              std::to_string(block.pos.line) + ": ";
    if (scenefile::textOf(block, "projection") == "orthographic")
        warnings.push_back(where + "an orthographic camera is previewed as a perspective one");
    readFieldOfView(block, cam, warnings);
    const Matrix m = multiply(localMatrix(block), parent);
    Vec3 position, direction{0, 0, -1}, up{0, 1, 0}, lookAt;
    vec3Of(block, "position", position);
    vec3Of(block, "direction", direction);
    vec3Of(block, "up", up);
    cam.position = transformPoint(m, position);
    Vec3 forward = transformVector(m, direction);
    if (vec3Of(block, "look_at", lookAt)) forward = transformPoint(m, lookAt) - cam.position;
    if (!finite(cam.position) || !makeFrame(forward, transformVector(m, up), cam)) {
        warnings.push_back(where +
                           "its position, direction or up cannot be used; the view "
                           "looks down -z from its position");
        if (!finite(cam.position)) cam.position = {};
        makeFrame({0, 0, -1}, {0, 1, 0}, cam);
    }
    const std::vector<double> clip = scenefile::numbersOf(block, "clipping");
    if (clip.size() == 2 && allFinite(clip) && clip[0] > 0 && clip[1] > clip[0]) {
        cam.clipNear = static_cast<float>(clip[0]);
        cam.clipFar = static_cast<float>(clip[1]);
    }
    return cam;
}

Camera framingCamera(Vec3 lo, Vec3 hi, float aspect) {
    Camera cam;
    cam.left = cam.rightEdge = tanHalf(kDefaultFov);
    const Vec3 centre = (lo + hi) * 0.5f;
    const float radius = std::max(length(hi - lo) * 0.5f, 1e-3f);
    // The sphere around the box fits the narrower of the two angles.
    const float tanNarrow = cam.left * std::min(aspect, 1.0f);
    const float distance = radius * std::sqrt(1 + 1 / (tanNarrow * tanNarrow));
    cam.position = centre + Vec3{0, 0, distance};
    makeFrame({0, 0, -1}, {0, 1, 0}, cam);
    return cam;
}

Sky skyOf(const Node& cameraBlock, const scenefile::SceneIndex& index,
          const std::string& sceneFolder, std::vector<std::string>& warnings) {
    Sky sky;
    const Node* shader = nullptr;
    for (const Node& c : cameraBlock.children)
        if ((c.kind == NodeKind::UseShader || c.kind == NodeKind::Parameter) &&
            c.word == "reflection map" && c.value())
            shader = index.shaderOf(*c.value());
    if (!shader) return sky;
    vec3Of(*shader, "color", sky.color);
    sky.color = {std::max(sky.color.x, 0.0f), std::max(sky.color.y, 0.0f),
                 std::max(sky.color.z, 0.0f)};
    const std::string file(scenefile::textOf(*shader, "texture"));
    if (file.empty()) return sky;
    std::string error;
    const std::string path = resolvePath(sceneFolder, file);
    sky.map = loadTexture(path, error);
    if (!sky.map) {
        sky.color = {0.5f, 0.5f, 0.5f};
        warnings.push_back("environment map \"" + path + "\" cannot be read (" + error +
                           "); the sky is a neutral grey");
    }
    return sky;
}

}  // namespace preview
