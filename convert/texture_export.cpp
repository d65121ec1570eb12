// Host parameters read by the texture export:
//
// | id   | node                | host meaning                         | written as |
// |------|---------------------|--------------------------------------|---------------------------------|
// | 1004 | texture tag 5616    | projection mode (integer; 2 flat)    | "uv_projection" 5 (flat)
// else 4 | | -    | texture tag         | texture matrix (placement)           |
// "transform_obj_to_uv" (flat)    | | 1000 | texture tag         | offset u (float) | "shift_u" |
// | 1001 | texture tag         | offset v (float)                     | "shift_v" | | 1002 |
// texture tag         | length u (float)                     | "scale_u"                       | |
// 1003 | texture tag         | length v (float)                     | "scale_v" | | 1007 | texture
// tag         | tiling (integer, 0 off)              | "wrap"                          | | 1000 |
// bitmap shader 5833  | texture file (file name)             | "texture", after the search     |
#include "convert/texture_export.h"

#include <array>
#include <cstdint>
#include <filesystem>

#include "convert/export_context.h"
#include "convert/host_text.h"
#include "host/material.h"
#include "host/tag.h"
#include "platform/file_probe.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kProjection = 1004;
constexpr host::Int32 kOffsetU = 1000;
constexpr host::Int32 kOffsetV = 1001;
constexpr host::Int32 kLengthU = 1002;
constexpr host::Int32 kLengthV = 1003;
constexpr host::Int32 kTiling = 1007;
constexpr host::Int32 kBitmapFile = 1000;

constexpr std::int32_t kFlatProjection = 2;
constexpr std::int32_t kRendererFlatProjection = 5;
constexpr std::int32_t kRendererUvProjection = 4;
constexpr std::int32_t kRendererUvFlags = 62;

#ifdef _WIN32
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kSeparator = "/";
#endif

bool readNumber(const host::BaseList2D& node, host::Int32 id, host::GeData& out) {
    return node.GetParameter(host::DescID(id), out);
}

void readFloat(const host::BaseList2D& node, host::Int32 id, double& out) {
    host::GeData data;
    if (readNumber(node, id, data)) out = data.GetFloat();
}

void setFloat(tal::talScene_api& api, const char* name, double v) {
    const auto value = static_cast<float>(v);
    api.setParameter(name, tal::kFloat, &value);
}

void setInt(tal::talScene_api& api, const char* name, std::int32_t v, int type) {
    api.setParameter(name, type, &v);
}

}  // namespace

void readTexturePlacement(const host::TextureTag& tag, MaterialRecord& record) {
    host::GeData data;
    if (readNumber(tag, kProjection, data)) record.projection = data.GetInt32();
    record.textureMatrix = tag.GetMl();
    readFloat(tag, kOffsetU, record.shiftU);
    readFloat(tag, kOffsetV, record.shiftV);
    readFloat(tag, kLengthU, record.scaleU);
    readFloat(tag, kLengthV, record.scaleV);
    if (readNumber(tag, kTiling, data)) record.wrap = data.GetInt32() != 0;
}

std::string findTextureFile(const std::string& stored, const std::string& leaf,
                            const std::string& documentDirectory,
                            const platform::FileProbe& probe) {
    // Where the stored path points: a relative one from the document's
    // folder, never from the process's working folder, so that a document
    // exports the same from anywhere. An unsaved document has no folder.
    if (!stored.empty()) {
        const bool relative = std::filesystem::path(stored).is_relative();
        const std::string where = !relative ? stored
                                  : documentDirectory.empty()
                                      ? std::string()
                                      : documentDirectory + kSeparator + stored;
        if (!where.empty() && probe.opensForReading(where)) return stored;
    }
    // Without a file part there is nothing to look for beside the document.
    if (documentDirectory.empty() || leaf.empty()) return stored;
    const std::string inTex = documentDirectory + kSeparator + "tex" + kSeparator + leaf;
    if (probe.opensForReading(inTex)) return inTex;
    const std::string beside = documentDirectory + kSeparator + leaf;
    if (probe.opensForReading(beside)) return beside;
    return stored;
}

void resolveTexturePath(const ExportContext& context, const host::BaseShader& shader,
                        MaterialRecord& record) {
    host::GeData data;
    if (!shader.GetParameter(host::DescID(kBitmapFile), data)) return;
    const host::Filename file = data.GetFilename();
    record.texturePath = findTextureFile(toUtf8(file.GetString()), toUtf8(file.GetFileString()),
                                         context.documentDirectory, platform::systemFileProbe());
}

tal::Matrix16 flatProjectionMatrix(const host::Matrix& textureMatrix) {
    const host::Matrix inverse = ~textureMatrix;  // identity when the axes are singular
    // Halved; + 0.0 turns the inverse's negative zeros into zeros.
    const auto half = [](const host::Vector& v) { return v * 0.5 + host::Vector{}; };
    const host::Vector x = half(inverse.v1), y = half(inverse.v2), z = half(inverse.v3);
    const host::Vector off = half(inverse.off);
    return {x.x, x.y, x.z, 0, y.x, y.y, y.z, 0, z.x, z.y, z.z, 0, off.x, off.y, off.z, 1};
}

const tal::ShaderText* writeTextureShader(tal::talScene_api& api, const MaterialRecord& record) {
    api.beginShader(nullptr, "texture2_rgb");
    api.setParameter("texture", tal::kString, record.texturePath.c_str());
    const std::array<float, 3> black{0, 0, 0};
    api.setParameter("default_color", tal::kFloat3, black.data());
    setInt(api, "wrap", record.wrap ? 1 : 0, tal::kBool);
    const bool flat = record.projection == kFlatProjection;
    setInt(api, "uv_projection", flat ? kRendererFlatProjection : kRendererUvProjection, tal::kInt);
    setFloat(api, "scale_u", record.scaleU);
    setFloat(api, "scale_v", record.scaleV);
    setFloat(api, "shift_u", record.shiftU);
    setFloat(api, "shift_v", record.shiftV);
    if (flat) {
        const tal::Matrix16 m = flatProjectionMatrix(record.textureMatrix);
        api.setParameter("transform_obj_to_uv", tal::kMatrix, m.data());
    } else {
        setInt(api, "uv_flags", kRendererUvFlags, tal::kInt);
    }
    api.endShader();
    return api.currentShaderText();
}

}  // namespace convert
