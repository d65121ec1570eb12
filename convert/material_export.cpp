// Host parameters read by the material export:
//
// | id    | node                 | host meaning                          | use |
// |-------|----------------------|---------------------------------------|------------------------------------|
// | 907   | object               | display colour mode (1 own, 3 layer)  | which display colour |
// | 908   | object               | display colour (vector)               | diffuse, mode 1 | | 1009
// | layer                | layer colour (vector)                 | diffuse, mode 3 | | 0     |
// standard material    | colour channel state                  | diffuse from 2100 x 2101, 8000 |
// | 1     | standard material    | luminance channel state               | diffuse from 2300, 8002
// | | 3     | standard material    | reflection channel state              | specular from 3100,
// else data 65   | | 7     | standard material    | alpha channel state                   | diffuse
// only from a colour shader  | | 8, 9  | standard material    | specular, specular colour states |
// specular from 3100                 | | 2100  | standard material    | colour (vector) | diffuse |
// | 2101  | standard material    | brightness (float)                    | multiplies diffuse (as a
// float)    | | 8000  | standard material    | colour shader link                    | readShader |
// | 2300  | standard material    | luminance colour (vector)             | diffuse | | 8002  |
// standard material    | luminance shader link                 | readShader | | 3100  | standard
// material    | specular colour (vector)              | specular                           | | 65
// | material data        | stored specular colour (vector)       | specular when 3100 is unreadable
// | | 1000  | colour shader 5832   | colour (vector)                       | diffuse | | 1007  |
// gradient 1011100     | gradient data (1000481)               | diffuse = knot 0 colour | | 10001
// | gradient 1012158     | gradient data (1000481)               | diffuse = knot 0 colour |
#include "convert/material_export.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "convert/export_context.h"
#include "convert/host_text.h"
#include "convert/texture_export.h"
#include "host/document.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kDisplayColorMode = 907;
constexpr host::Int32 kDisplayColor = 908;
constexpr host::Int32 kLayerColor = 1009;
constexpr host::Int32 kModeOwnColor = 1;
constexpr host::Int32 kModeLayerColor = 3;

constexpr host::Int32 kChannelColor = 0;
constexpr host::Int32 kChannelLuminance = 1;
constexpr host::Int32 kChannelReflection = 3;
constexpr host::Int32 kChannelAlpha = 7;
constexpr host::Int32 kChannelSpecular = 8;
constexpr host::Int32 kChannelSpecularColor = 9;

constexpr host::Int32 kColor = 2100;
constexpr host::Int32 kColorBrightness = 2101;
constexpr host::Int32 kColorShader = 8000;
constexpr host::Int32 kLuminanceColor = 2300;
constexpr host::Int32 kLuminanceShader = 8002;
constexpr host::Int32 kSpecularColor = 3100;
constexpr host::Int32 kStoredSpecular = 65;

constexpr host::Int32 kColorShaderColor = 1000;
constexpr host::Int32 kGradientData = 1007;
constexpr host::Int32 kGradient2Data = 10001;

constexpr double kSpecularThreshold = 1e-6;

bool readParameter(const host::BaseList2D& node, host::Int32 id, host::GeData& out) {
    return node.GetParameter(host::DescID(id), out);
}

bool readVector(const host::BaseList2D& node, host::Int32 id, host::Vector& out) {
    host::GeData data;
    if (!readParameter(node, id, data)) return false;
    out = data.GetVector();
    return true;
}

// The shader a link parameter points to, or null.
const host::BaseShader* linkedShader(const ExportContext& context, const host::BaseList2D& node,
                                     host::Int32 id) {
    host::GeData data;
    if (!readParameter(node, id, data)) return nullptr;
    return dynamic_cast<const host::BaseShader*>(data.GetLink(context.document));
}

std::array<float, 3> toFloat3(const host::Vector& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

void setFloat3(tal::talScene_api& api, const char* name, const host::Vector& v) {
    const std::array<float, 3> values = toFloat3(v);
    api.setParameter(name, tal::kFloat3, values.data());
}

void setFloat(tal::talScene_api& api, const char* name, float v) {
    api.setParameter(name, tal::kFloat, &v);
}

void setInt(tal::talScene_api& api, const char* name, std::int32_t v, int type) {
    api.setParameter(name, type, &v);
}

// The surface of a textured or specular material: a Fresnel, glossy surface
// of index 1.5 and no roughness, its diffuse input driven by the texture.
void writeAdvancedSurface(tal::talScene_api& api, const MaterialRecord& record,
                          const tal::ShaderText* texture) {
    api.beginShader(nullptr, "tal_advanced");
    setFloat3(api, "diffuse", record.diffuse);
    setFloat3(api, "specular", record.specular);
    setInt(api, "fresnel", 1, tal::kBool);
    setFloat(api, "roughness", 0.0f);
    setFloat(api, "ior", 1.5f);
    setInt(api, "glossy", 1, tal::kBool);
    setInt(api, "glossy_samples", 9, tal::kInt);
    setFloat(api, "alpha", 1.0f);
    if (texture != nullptr) api.linkShaderText("diffuse", texture);
}

}  // namespace

MaterialRecord initMaterialRecord() { return MaterialRecord{}; }

host::Vector readDisplayColor(const ExportContext& context, const host::BaseObject& object) {
    host::Vector color{0.65, 0.65, 0.65};
    host::GeData mode;
    if (!readParameter(object, kDisplayColorMode, mode)) return color;
    switch (mode.GetInt32()) {
        case kModeOwnColor:
            readVector(object, kDisplayColor, color);
            break;
        case kModeLayerColor:
            if (const host::LayerObject* layer = object.GetLayerObject(context.document))
                readVector(*layer, kLayerColor, color);
            break;
        default:
            break;
    }
    return color;
}

bool readTextureTag(const ExportContext& context, const host::BaseTag* tag,
                    MaterialRecord& record) {
    if (!tag || tag->GetType() != host::Ttexture) return false;
    const auto* texture = dynamic_cast<const host::TextureTag*>(tag);
    const host::BaseMaterial* material = texture ? texture->GetMaterial() : nullptr;
    if (!material) return false;
    record.name = toUtf8(material->GetName());
    if (material->GetType() != host::Mmaterial) return false;
    if (!readMaterialChannels(context, *material, record)) return false;
    readTexturePlacement(*texture, record);
    return true;
}

bool readMaterialChannels(const ExportContext& context, const host::BaseMaterial& material,
                          MaterialRecord& record) {
    const auto enabled = [&](host::Int32 channel) { return material.GetChannelState(channel); };
    // With the alpha channel on, the diffuse colour comes only from the
    // material's shader list.
    if (!enabled(kChannelAlpha)) {
        bool found = false;
        if (enabled(kChannelColor)) {
            readVector(material, kColor, record.diffuse);
            host::GeData brightness;
            if (readParameter(material, kColorBrightness, brightness))
                record.diffuse =
                    record.diffuse * static_cast<double>(static_cast<float>(brightness.GetFloat()));
            if (const host::BaseShader* shader = linkedShader(context, material, kColorShader))
                readShader(context, shader, record);
            found = true;
        } else if (enabled(kChannelLuminance) &&
                   readVector(material, kLuminanceColor, record.diffuse)) {
            if (const host::BaseShader* shader = linkedShader(context, material, kLuminanceShader))
                readShader(context, shader, record);
            found = true;
        }

        if (enabled(kChannelSpecular) || enabled(kChannelSpecularColor)) {
            if (readVector(material, kSpecularColor, record.specular)) return true;
        } else if (enabled(kChannelReflection)) {
            if (readVector(material, kSpecularColor, record.specular)) return true;
            const host::GeData* stored = material.GetDataInstance()->Find(kStoredSpecular);
            record.specular = stored ? stored->GetVector() : host::Vector{};
        }
        if (found) return true;
    }

    // Bitmap and gradient shaders answer false, so the scan passes them
    // (each overwriting what the previous one set) up to a colour shader.
    bool result = false;
    for (const host::BaseShader* shader = material.GetFirstShader(); shader;
         shader = shader->GetNext()) {
        result = readShader(context, shader, record);
        if (result) break;
    }
    return result;
}

bool readShader(const ExportContext& context, const host::BaseShader* shader,
                MaterialRecord& record) {
    if (!shader) return false;
    switch (shader->GetType()) {
        case host::Xcolor:
            return readVector(*shader, kColorShaderColor, record.diffuse);
        case host::Xbitmap:
            resolveTexturePath(context, *shader, record);
            return false;
        case host::Xgradient:
            readGradientKnotColor(*shader, kGradientData, record.diffuse);
            return false;
        case host::Xgradient2:
            readGradientKnotColor(*shader, kGradient2Data, record.diffuse);
            return false;
        default:
            return false;
    }
}

bool readGradientKnotColor(const host::BaseList2D& node, host::Int32 parameterId,
                           host::Vector& color) {
    host::GeData data;
    if (!readParameter(node, parameterId, data)) return false;
    const host::Gradient* gradient = data.GetCustomDataType(host::CUSTOMDATATYPE_GRADIENT);
    const host::GradientKnot* knot = gradient ? gradient->GetKnot(0) : nullptr;
    if (!knot) return false;  // no gradient data, or a gradient without knots
    color = knot->color;
    return true;
}

void exportMaterial(ExportContext& context, MaterialRecord record) {
    const std::string name = context.materialNameTable.nameFor(record);
    tal::talScene_api* api = context.scene ? context.scene->api() : nullptr;
    if (!api) return;

    const bool textured = !record.texturePath.empty();
    const tal::ShaderText* texture = textured ? writeTextureShader(*api, record) : nullptr;
    const host::Vector& s = record.specular;
    const double specularLength = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    if (textured || specularLength > kSpecularThreshold) {
        writeAdvancedSurface(*api, record, texture);
    } else {
        api->beginShader(nullptr, "tal_diffuse");
        setFloat3(*api, "diffuse", record.diffuse);
    }
    api->endShader();
    const tal::ShaderText* surface = api->currentShaderText();

    api->beginMaterial(name.c_str(), true);
    api->useShaderText(tal::kSurface, surface);
    api->endMaterial();
}

}  // namespace convert
