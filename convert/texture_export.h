// Texture export: the placement of a texture from its texture tag, the
// search for the texture file, and the "texture2_rgb" shader that drives a
// material's diffuse input.
//
// Contract. A texture is never an error: a file found nowhere keeps the path
// as the user stored it and is written all the same, for the renderer to
// report. The search tries, in order, the path as stored (written unchanged
// when found), then "<document folder>/tex/<file>", then
// "<document folder>/<file>" ("\" on Windows); a candidate counts when it
// opens for reading and is not a folder. A relative stored path is looked
// for from the document's folder, never from the working folder, so the
// result does not depend on where the export runs. With an unsaved document
// (no folder) the stored path is written as it is.
//
// Flat projection (mode 2) maps object coordinates to texture space through
// the inverse of the tag's texture matrix with every component halved; every
// other mode uses the mesh's own uvs.
#pragma once

#include <string>

#include "convert/material_record.h"
#include "sceneapi/sceneapi_oo.h"

namespace host {
class BaseShader;
class TextureTag;
}  // namespace host
namespace platform {
class FileProbe;
}
namespace tal {
class talScene_api;
struct ShaderText;
}  // namespace tal

namespace convert {

struct ExportContext;

// Reads the tag's projection (1004), texture matrix, offsets (1000, 1001),
// lengths (1002, 1003) and tiling (1007) into `record`; unreadable values
// stay as they were.
void readTexturePlacement(const host::TextureTag& tag, MaterialRecord& record);

// The texture file of a bitmap shader (parameter 1000) looked up as above,
// into record.texturePath. An unreadable file parameter changes nothing.
void resolveTexturePath(const ExportContext& context, const host::BaseShader& shader,
                        MaterialRecord& record);

// The search itself: `stored` as the user entered it, `leaf` its last path
// component, `documentDirectory` without a trailing separator ("" unsaved).
std::string findTextureFile(const std::string& stored, const std::string& leaf,
                            const std::string& documentDirectory, const platform::FileProbe& probe);

// The "transform_obj_to_uv" matrix of the flat projection: the affine inverse
// of `textureMatrix` (identity when its axes are singular), all twelve
// components times 0.5, as rows x axis 0, y axis 0, z axis 0, offset 1.
tal::Matrix16 flatProjectionMatrix(const host::Matrix& textureMatrix);

// Writes the anonymous "texture2_rgb" shader of `record` (which has a
// texture) and answers its captured text (null when the back end captures
// none).
const tal::ShaderText* writeTextureShader(tal::talScene_api& api, const MaterialRecord& record);

}  // namespace convert
