// assimp materials into standard materials.
//
// | assimp                      | host material (5703)                          |
// |-----------------------------|-----------------------------------------------|
// | name ("" -> "Material K")   | name                                          |
// | (always)                    | channel 0 (colour) on, 2101 brightness 1.0    |
// | diffuse colour (else white) | 2100 colour r, g, b                           |
// | diffuse texture 0           | bitmap shader (5833), 1000 = the image file;  |
// |                             | 8000 colour shader link = that shader         |
//
// A texture file is taken relative to the asset's folder and must lie in it
// and exist as a regular file. An embedded texture ("*K", or a name the
// asset embeds) is written as "<image directory>/<stem>_image<K>.<hint>"
// once the import has succeeded.
#include <assimp/material.h>

#include <filesystem>

#include "host/assimp/asset_io.h"
#include "host/assimp/import_context.h"

namespace host::assimp::detail {

namespace {

constexpr Int32 kColourChannel = 0;
constexpr Int32 kColour = 2100, kBrightness = 2101, kColourShader = 8000;
constexpr Int32 kBitmapFile = 1000;

const char* const kRawTextures = "uncompressed embedded textures not imported";
const char* const kProperties =
    "material properties not imported (materials keep diffuse colour and texture)";

std::string embeddedFile(Context& ctx, const aiTexture& texture, unsigned index) {
    std::string hint = texture.achFormatHint;
    for (const char c : hint)
        if (!std::isalnum(static_cast<unsigned char>(c))) hint = "bin";
    if (hint.empty()) hint = "bin";
    const std::string file = (std::filesystem::path(ctx.imageDirectory) /
                              (ctx.stem + "_image" + std::to_string(index) + "." + hint))
                                 .lexically_normal()
                                 .string();
    for (const auto& pending : ctx.pendingImages)
        if (pending.first == file) return file;
    ctx.pendingImages.emplace_back(file, &texture);
    return file;
}

// The image file of a texture path, "" when none can be used (warned).
std::string imageFile(Context& ctx, const std::string& name, const std::string& material) {
    const aiTexture* embedded = ctx.scene.GetEmbeddedTexture(name.c_str());
    if (embedded) {
        unsigned index = 0;
        while (index < ctx.scene.mNumTextures && ctx.scene.mTextures[index] != embedded) ++index;
        if (embedded->mHeight != 0) {
            ctx.warnings.note(kRawTextures, material);
            return "";
        }
        return embeddedFile(ctx, *embedded, index);
    }
    if (!name.empty() && name[0] == '*')
        ctx.fail(material + ": texture " + name + " does not exist");
    std::string reason;
    const std::string file = fileInFolder(ctx.folder, name, reason);
    std::error_code ec;
    if (reason.empty() && !std::filesystem::is_regular_file(file, ec))
        reason = std::filesystem::exists(file, ec) ? "is not a regular file" : "does not exist";
    if (!reason.empty())
        ctx.fail(material + ": the texture \"" + name + "\" " + reason +
                 (file.empty() ? "" : " (" + file + ")"));
    return file;
}

void noteLosses(Context& ctx, const aiMaterial& m, const std::string& label) {
    for (const aiTextureType type :
         {aiTextureType_NORMALS, aiTextureType_SPECULAR, aiTextureType_OPACITY,
          aiTextureType_HEIGHT, aiTextureType_EMISSIVE, aiTextureType_SHININESS})
        if (m.GetTextureCount(type) > 0) ctx.warnings.note(kProperties, label + " maps");
    float opacity = 1.0f;
    if (m.Get(AI_MATKEY_OPACITY, opacity) == aiReturn_SUCCESS && opacity < 1.0f)
        ctx.warnings.note(kProperties, label + " transparency");
}

}  // namespace

void importMaterials(Context& ctx) {
    for (unsigned i = 0; i < ctx.scene.mNumMaterials; ++i) {
        const aiMaterial& m = *ctx.scene.mMaterials[i];
        aiString aiName;
        m.Get(AI_MATKEY_NAME, aiName);
        const std::string name = text(aiName);
        const std::string label = "material \"" + (name.empty() ? std::to_string(i) : name) + "\"";
        auto material = std::make_unique<BaseMaterial>(Mmaterial);
        material->SetName(String(name.empty() ? "Material " + std::to_string(i) : name));
        material->SetChannelState(kColourChannel, true);
        aiColor3D diffuse(1, 1, 1);
        m.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
        material->params().Set(kColour, GeData(Vector(diffuse.r, diffuse.g, diffuse.b)));
        material->params().Set(kBrightness, GeData::Number(1.0));
        unsigned uvSet = 0;
        aiString path;
        if (m.GetTexture(aiTextureType_DIFFUSE, 0, &path, nullptr, &uvSet) == aiReturn_SUCCESS) {
            if (uvSet >= AI_MAX_NUMBER_OF_TEXTURECOORDS) uvSet = 0;
            const std::string file = imageFile(ctx, text(path), label);
            if (!file.empty()) {
                auto shader = std::make_unique<BaseShader>(Xbitmap);
                shader->params().Set(kBitmapFile, GeData(Filename(String(file))));
                material->params().Set(kColourShader,
                                       GeData::Link(material->InsertShader(std::move(shader))));
            }
        }
        noteLosses(ctx, m, label);
        ctx.uvSet.push_back(uvSet);
        ctx.materials.push_back(ctx.doc.InsertMaterial(std::move(material)));
    }
}

}  // namespace host::assimp::detail
