// The materials of a read scene: each material block read once into the
// render model, with its texture and what kind of light it makes.
//
// Contract. A surface shader gives a diffuse colour ("diffuse" numbers, or a
// linked "texture2_rgb" shader whose picture replaces it), a glossy lobe
// ("specular", sharpened by a low "roughness"). "tal_point_light" and
// "tal_mesh_light" make their object a light of "power" times "color".
// Unknown shader types render in the default grey, with one warning per
// type. A texture is read once per path: one that cannot be read leaves the
// diffuse colour in place, with one warning per file. Relative texture paths
// are looked for from the scene's folder; only regular files are opened.
#pragma once

#include <map>
#include <string>

#include "preview/render_model.h"
#include "scenefile/scene_index.h"

namespace preview {

enum class LightKind { None, Point, Mesh };

struct ObjectMaterial {
    int material = 0;  // index into RenderModel::materials (0: the default grey)
    LightKind light = LightKind::None;
    Vec3 flux;                 // a light's power times its colour
    bool visibleToEye = true;  // a mesh light seen by the camera
    bool flatProjection = false;
    Matrix objectToUv = kIdentity;  // with a flat projection: object point to texture space
};

class MaterialTable {
public:
    // Adds the default material to `model`, which must outlive the table.
    MaterialTable(const scenefile::SceneIndex& index, std::string sceneFolder, RenderModel& model);

    // The material of an object (or group) block; the default when it has none.
    const ObjectMaterial& forObject(const scenefile::Node* object);

private:
    ObjectMaterial read(const scenefile::Node& materialBlock);
    void readSurface(const scenefile::Node& shader, Material& m, ObjectMaterial& om);
    void readTexture(const scenefile::Node& shader, Material& m, ObjectMaterial& om);
    int texture(const std::string& file);
    void warnOnce(const std::string& key, const std::string& line);

    const scenefile::SceneIndex& index_;
    std::string folder_;
    RenderModel& model_;
    ObjectMaterial default_;
    std::map<const scenefile::Node*, ObjectMaterial> byBlock_;
    std::map<std::string, int> textures_;  // path -> texture index, -1: unreadable
    std::map<std::string, bool> warned_;
};

// A path from the scene resolved against its folder (absolute paths stay).
std::string resolvePath(const std::string& folder, const std::string& path);

}  // namespace preview
