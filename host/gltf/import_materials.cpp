// glTF materials into standard materials, and their images into files.
//
// | glTF                                  | host material (5703)                        |
// |---------------------------------------|---------------------------------------------|
// | name ("" -> "Material K")             | name                                        |
// | (always)                              | channel 0 (colour) on, 2101 brightness 1.0  |
// | pbrMetallicRoughness.baseColorFactor  | 2100 colour: r, g, b (alpha is not kept)    |
// | ...baseColorTexture -> image          | bitmap shader (5833), 1000 = image file;    |
// |                                       | 8000 colour shader link = that shader       |
//
// Image files: a URI is decoded (%XX) and taken relative to the glTF's
// folder; an embedded image (data URI, buffer view) is written to
// "<image directory>/<glTF stem>_image<K>.<png|jpg|...>" once the import has
// succeeded. The bitmap shader holds the absolute path either way.
#include <cctype>
#include <filesystem>

#include "host/gltf/asset_files.h"
#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

constexpr Int32 kColourChannel = 0;
constexpr Int32 kColour = 2100, kBrightness = 2101, kColourShader = 8000;
constexpr Int32 kBitmapFile = 1000;

std::string suffix(const tinygltf::Image& image) {
    const std::vector<unsigned char>& b = image.image;
    if (b.size() >= 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return "png";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "jpg";
    const std::string& mime = image.mimeType;
    const std::size_t slash = mime.find('/');
    std::string sub = slash == std::string::npos ? std::string() : mime.substr(slash + 1);
    for (const char c : sub)
        if (!std::isalnum(static_cast<unsigned char>(c))) return "bin";
    return sub.empty() ? "bin" : sub;
}

// The file of image `index`: where the URI points, or where the embedded
// bytes will be written.
std::string imageFile(Context& ctx, int index, const std::string& path) {
    if (index < 0 || static_cast<std::size_t>(index) >= ctx.model.images.size())
        ctx.fail(path, "no image " + std::to_string(index));
    const tinygltf::Image& image = ctx.model.images[static_cast<std::size_t>(index)];
    namespace fs = std::filesystem;
    if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0) {
        std::string error;
        const std::string file = fileInFolder(ctx.gltfFolder, image.uri, error);
        if (!error.empty())
            ctx.fail(indexPath("images", static_cast<std::size_t>(index)) + ".uri",
                     "\"" + image.uri + "\" " + error);
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) ctx.warnings.note(kind::kMissingImages, file);
        return file;
    }
    if (image.image.empty())
        ctx.fail(indexPath("images", static_cast<std::size_t>(index)), "no image data");
    const std::string file = (fs::path(ctx.imageDirectory) /
                              (ctx.stem + "_image" + std::to_string(index) + "." + suffix(image)))
                                 .lexically_normal()
                                 .string();
    for (const auto& pending : ctx.pendingImages)
        if (pending.first == file) return file;
    ctx.pendingImages.emplace_back(file, &image.image);
    return file;
}

void notePropertiesLost(Context& ctx, const tinygltf::Material& m, bool textured) {
    const auto& pbr = m.pbrMetallicRoughness;
    const auto note = [&](const char* what) { ctx.warnings.note(kind::kMaterialProperties, what); };
    if (m.normalTexture.index >= 0) note("normal maps");
    if (m.occlusionTexture.index >= 0) note("occlusion maps");
    if (m.emissiveTexture.index >= 0 ||
        (m.emissiveFactor.size() == 3 &&
         (m.emissiveFactor[0] > 0 || m.emissiveFactor[1] > 0 || m.emissiveFactor[2] > 0)))
        note("emission");
    if (pbr.metallicRoughnessTexture.index >= 0) note("metallic-roughness maps");
    if (m.alphaMode == "BLEND" || m.alphaMode == "MASK" ||
        (pbr.baseColorFactor.size() == 4 && pbr.baseColorFactor[3] < 1.0))
        note("transparency");
    if (textured && pbr.baseColorFactor.size() >= 3 &&
        (pbr.baseColorFactor[0] != 1.0 || pbr.baseColorFactor[1] != 1.0 ||
         pbr.baseColorFactor[2] != 1.0))
        note("base colour factors that tint a texture");
}

}  // namespace

void importMaterials(Context& ctx) {
    const auto& materials = ctx.model.materials;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const tinygltf::Material& m = materials[i];
        const std::string path = indexPath("materials", i);
        auto material = std::make_unique<BaseMaterial>(Mmaterial);
        material->SetName(String(m.name.empty() ? "Material " + std::to_string(i) : m.name));
        material->SetChannelState(kColourChannel, true);
        const std::vector<double>& factor = m.pbrMetallicRoughness.baseColorFactor;
        const Vector colour =
            factor.size() >= 3 ? Vector(factor[0], factor[1], factor[2]) : Vector(1.0);
        material->params().Set(kColour, GeData(colour));
        material->params().Set(kBrightness, GeData::Number(1.0));

        const tinygltf::TextureInfo& info = m.pbrMetallicRoughness.baseColorTexture;
        int texCoord = -1;
        if (info.index >= 0) {
            const std::string at = path + ".pbrMetallicRoughness.baseColorTexture";
            if (static_cast<std::size_t>(info.index) >= ctx.model.textures.size())
                ctx.fail(at + ".index", "no texture " + std::to_string(info.index));
            const tinygltf::Texture& texture =
                ctx.model.textures[static_cast<std::size_t>(info.index)];
            if (texture.source >= 0) {
                auto shader = std::make_unique<BaseShader>(Xbitmap);
                shader->params().Set(
                    kBitmapFile, GeData(Filename(String(imageFile(
                                     ctx, texture.source,
                                     indexPath("textures", static_cast<std::size_t>(info.index)) +
                                         ".source")))));
                material->params().Set(kColourShader,
                                       GeData::Link(material->InsertShader(std::move(shader))));
                texCoord = info.texCoord;
                const auto transform = info.extensions.find("KHR_texture_transform");
                if (transform != info.extensions.end() && transform->second.Has("texCoord") &&
                    transform->second.Get("texCoord").IsInt())
                    texCoord = transform->second.Get("texCoord").GetNumberAsInt();
            }
        }
        notePropertiesLost(ctx, m, texCoord >= 0);
        ctx.baseColourTexCoord.push_back(texCoord);
        ctx.materials.push_back(ctx.doc.InsertMaterial(std::move(material)));
    }
}

}  // namespace host::gltf::detail
