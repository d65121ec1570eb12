// Material export: gathers a material assignment from the host into a
// MaterialRecord and writes it as one material block inside the object block
// the caller has open.
//
// Contract. The geometry exporters (meshes, hair) call, per object part:
//   MaterialRecord r = initMaterialRecord();
//   r.diffuse = readDisplayColor(context, object);
//   [mesh] if (tag && !readTextureTag(context, tag, r)) skip the part;
//   [hair] readShader / readGradientKnotColor from the hair material;
//   ... write the geometry block and close it ...
//   exportMaterial(context, r);   // then close the object block
// Only the host's standard material (5703) is understood: a diffuse colour
// (colour or luminance channel, colour shader, first gradient knot), a
// specular colour and one bitmap texture. Host reads that fail leave the
// field as it was; nothing here reports or throws, and the scene API's
// answers are ignored. Without an object layer or scene API nothing is
// written (the name is still entered in the table).
//
// Written: an optional "texture2_rgb" shader (texture_export.h), then one
// anonymous surface shader, "tal_advanced" when there is a texture or a
// specular colour longer than 1e-6, else "tal_diffuse", and the material,
// named by the context's MaterialNameTable, binding that surface.
#pragma once

#include "convert/material_record.h"
#include "host/types.h"

namespace host {
class BaseList2D;
class BaseMaterial;
class BaseObject;
class BaseShader;
class BaseTag;
}  // namespace host
namespace convert {

struct ExportContext;

// A record with the defaults: no name, diffuse 0.65 grey, no specular, no
// texture, identity placement, scale 1, shift 0, wrap on, projection 0.
MaterialRecord initMaterialRecord();

// The object's display colour: its own colour (907 = 1: parameter 908), its
// layer's colour (907 = 3: layer parameter 1009), else 0.65 grey.
host::Vector readDisplayColor(const ExportContext& context, const host::BaseObject& object);

// Fills `record` from a texture tag (5616): the material's name, its
// channels and the tag's texture placement. False when the tag is not a
// texture tag, has no material, the material is not a standard material, or
// its channels give nothing; the parts of such a tag are not written.
bool readTextureTag(const ExportContext& context, const host::BaseTag* tag, MaterialRecord& record);

// Diffuse, specular and texture from a standard material's channels and
// shaders; false when it gives no colour.
bool readMaterialChannels(const ExportContext& context, const host::BaseMaterial& material,
                          MaterialRecord& record);

// Takes a colour shader (5832, answers true), a bitmap shader (5833: the
// texture file, answers false) or a gradient shader (1011100, 1012158: the
// first knot's colour, answers false) into the record. Null or any other
// shader: false, nothing changed.
bool readShader(const ExportContext& context, const host::BaseShader* shader,
                MaterialRecord& record);

// The colour of knot 0 of the gradient in parameter `parameterId` of `node`
// (its brightness not applied); false, `color` unchanged, when there is none.
bool readGradientKnotColor(const host::BaseList2D& node, host::Int32 parameterId,
                           host::Vector& color);

// Names `record` in the context's table and writes its shaders and its
// material into the open object block.
void exportMaterial(ExportContext& context, MaterialRecord record);

}  // namespace convert
