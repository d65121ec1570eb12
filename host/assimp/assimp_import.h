// Imports the interchange formats the installed assimp reads (OBJ with its
// MTL, FBX, COLLADA, PLY, STL, 3DS and the rest; glTF stays on host/gltf)
// into a host document, the same model the glTF importer builds.
//
// What becomes what (docs/asset-import.md has the whole table):
//   node             object with its explicit local matrix (position, rotation,
//                    scale when the node is animated); children in order
//   node's meshes    one polygon object: triangles and quads kept as they are,
//                    larger polygons split into triangles; per mesh K a
//                    polygon selection "mesh K" and a texture tag restricted to it
//   uv set           the object's UVW tag (the set the diffuse texture uses)
//   normals          the object's given normals and a phong tag; flat without
//   material         standard material: colour = diffuse colour, bitmap shader
//                    for the diffuse texture
//   camera, light    camera object (horizontal field of view), light object
//                    (point, spot, directional)
//   animation 0      position, rotation (H, P, B) and scale tracks
//
// Space: assimp hands every format over right-handed with y up; the file's
// unit is taken as a metre unless the format says otherwise (COLLADA's unit,
// which assimp applies; FBX's unit scale factor in centimetres). A point p
// becomes the host point s * (x, y, -z) with s centimetres per unit; matrices
// are conjugated by that mirror and faces are reversed to keep their front.
//
// Files: the asset and every file it names (MTL, textures, external
// references) are read only when they are regular files inside the asset's
// folder. A file the asset needs and that is missing, refused or unreadable,
// a file assimp cannot read or does not know, or a structure that does not
// fit raises AssimpError with the reason. Nothing is written then.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/document_loader.h"

namespace host::assimp {

class AssimpError : public DocumentError {
public:
    using DocumentError::DocumentError;
};

struct ImportOptions {
    // Where embedded textures are written ("" = the folder of the asset).
    std::string imageDirectory;
    // The document's directory, parameter 1012 ("" = the asset's folder).
    std::string documentDirectory;
};

struct ImportResult {
    std::unique_ptr<BaseDocument> document;
    std::vector<std::string> warnings;       // one line per kind of loss
    std::vector<std::string> writtenImages;  // embedded textures written out
};

ImportResult ImportAssetFile(const std::string& path, const ImportOptions& options = {});

}  // namespace host::assimp
