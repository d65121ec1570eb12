// Imports a glTF 2.0 file (.gltf with its buffers, or .glb) into a host
// document, so that the plug-in converts it like any document file.
//
// What becomes what (docs/gltf-import.md has the whole table):
//   node             object with local position, rotation (H, P, B) and scale, or
//                    its explicit matrix; a node with a mesh is a polygon object
//   mesh primitive   polygons of that object, a polygon selection "primitive K"
//                    and, when it has a material, a texture tag restricted to it
//   TEXCOORD_n       the object's UVW tag (the set the base colour texture uses)
//   NORMAL           the object's given normals, answered by CreatePhongNormals
//                    (the object carries a phong tag); flat where a primitive has none
//   material         standard material: colour channel = base colour factor, and a
//                    bitmap shader for the base colour texture
//   camera           camera object, 1008 = horizontal field of view
//   KHR_lights_punctual light object (colour, type, photometric intensity)
//   animations       position, rotation (H, P, B) and scale tracks with keys, all
//                    on the document's one timeline (the first animation in the
//                    file wins a property two of them drive), or the one named in
//                    ImportOptions::animation
//
// Space: glTF is right-handed, y up, in metres; the host is left-handed, y up,
// in centimetres. A glTF point (x, y, z) is the host point 100 * (x, y, -z);
// directions and normals are (x, y, -z); triangles are reversed to keep their
// front side. Matrices are conjugated by that mirror.
//
// Errors: a file that cannot be read, is not glTF 2.0, requires an extension
// the importer does not know, or holds an index, accessor or buffer range
// that does not fit, raises GltfError naming the glTF path and the problem
// ("meshes[0].primitives[1].indices: index 812 outside the 24 vertices").
// Nothing is written then. What glTF holds and the document cannot (skins,
// morph targets, further uv sets, vertex colours, ...) is reported as one
// warning line per kind, not silently dropped.
//
// Embedded images (data URIs, .glb buffer views) are written as files into
// ImportOptions::imageDirectory once the whole import has succeeded; images
// the glTF references by URI are used where they are.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/document_loader.h"

namespace host::gltf {

class GltfError : public DocumentError {
public:
    using DocumentError::DocumentError;
};

struct ImportOptions {
    // Where embedded images are written ("" = the folder of the glTF file).
    std::string imageDirectory;
    // The document's directory, parameter 1012 ("" = the folder of the glTF
    // file, absolute).
    std::string documentDirectory;
    // The one animation to import, for files whose animations are
    // alternatives (walk, run, idle): its name or, when no animation has that
    // name, its index ("0" is the first). None: every animation. A name the
    // file does not hold raises GltfError listing the file's animations.
    std::optional<std::string> animation;
};

struct ImportResult {
    std::unique_ptr<BaseDocument> document;
    std::vector<std::string> warnings;       // one line per kind of loss
    std::vector<std::string> writtenImages;  // embedded images written out
};

// True for a path ending in .gltf or .glb (any letter case).
bool IsGltfPath(const std::string& path);

ImportResult ImportGltfFile(const std::string& path, const ImportOptions& options = {});

}  // namespace host::gltf
