// A recording scene API that also keeps the values: parameters as text
// ("set vertices 0 0 0 1 0 0"), anonymous shaders as captured texts named
// after their type, so a test can see which shader a material binds and
// which texture drives a surface. Object blocks are gathered into parts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sceneapi/shader_text.h"
#include "tests/support/recording_scene_api.h"

namespace vxtest {

class ValueRecordingApi : public RecordingSceneApi {
public:
    bool setParameter(const char* name, int type, const void* value) override;
    bool beginShader(const char* name, const char* type) override;
    void endShader() override;
    const tal::ShaderText* currentShaderText() override { return current_; }
    bool linkShaderText(const char* name, const tal::ShaderText* text) override;
    void useShaderText(int kind, const tal::ShaderText* text) override;

private:
    std::vector<std::unique_ptr<tal::ShaderText>> texts_;
    std::vector<tal::ShaderText*> open_;
    const tal::ShaderText* current_ = nullptr;
};

// One object block of a mesh: its name, its geometry parameters in order,
// and everything between the geometry's end and the object's end (the
// material's shaders and block).
struct MeshPart {
    std::string name;
    std::vector<std::string> order;                         // parameter names in write order
    std::map<std::string, std::string> values;              // parameter name -> values
    std::vector<std::string> material;                      // calls after the geometry
    std::string materialName() const;                       // from "beginMaterial <name>"
    std::string shaderValue(const std::string& key) const;  // first "set <key> ..." in material
};

std::vector<MeshPart> meshParts(const std::vector<std::string>& calls);

}  // namespace vxtest
