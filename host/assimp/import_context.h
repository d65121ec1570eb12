// Internal to the asset importer: the state of one import, the warning
// collector and the mapping of assimp's space onto the host's.
#pragma once

#include <assimp/scene.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/assimp/assimp_import.h"
#include "host/import_warnings.h"

namespace host::assimp::detail {

// --- Space -------------------------------------------------------------------
// assimp: right-handed, y up, in file units. Host: left-handed, y up, in
// centimetres. `unit` is centimetres per file unit.
struct Space {
    double unit = 100.0;

    Vector point(const aiVector3D& p) const { return {unit * p.x, unit * p.y, -unit * p.z}; }
    static Vector32 normal(const aiVector3D& n);
    // A local node matrix as the host's: F M F with F = diag(1, 1, -1), offset in cm.
    Matrix matrix(const aiMatrix4x4& m) const;
    // The host rotation (matrix) of an assimp quaternion.
    static Matrix rotation(const aiQuaternion& q);
};

// --- Warnings ----------------------------------------------------------------
using Warnings = host::ImportWarnings;

// --- The import --------------------------------------------------------------
struct Context {
    const aiScene& scene;
    BaseDocument& doc;
    Warnings& warnings;
    Space space;
    std::string folder;                              // the asset's folder, absolute
    std::string stem;                                // its file name without suffix
    std::string imageDirectory;                      // where embedded textures go
    std::vector<BaseMaterial*> materials;            // per assimp material
    std::vector<unsigned> uvSet;                     // per material: the diffuse texture's set
    std::map<std::string, BaseObject*> nodeObjects;  // by node name, for animation
    // Embedded textures to write once the import succeeded: file, texture.
    std::vector<std::pair<std::string, const aiTexture*>> pendingImages;

    [[noreturn]] void fail(const std::string& problem) const { throw AssimpError(problem); }
};

std::string text(const aiString& s);

void importMaterials(Context& ctx);
// The node's meshes into `object` (a PolygonObject).
void importMeshes(Context& ctx, const aiNode& node, PolygonObject& object);
std::unique_ptr<BaseObject> importCamera(Context& ctx, const aiCamera& camera);
std::unique_ptr<BaseObject> importLight(Context& ctx, const aiLight& light);
void importAnimation(Context& ctx);

}  // namespace host::assimp::detail
