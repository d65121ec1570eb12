// Internal to the glTF importer: the state of one import, the warning
// collector, accessor reading and the mapping of glTF space onto the host's.
//
// Every reader validates what it touches (indices, accessor and buffer
// ranges, component types) and raises GltfError("<glTF path>: <problem>");
// tinygltf itself parses the JSON and resolves buffers and images but does
// not check accessor ranges.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/gltf/gltf_import.h"
#include "host/import_warnings.h"

namespace host::gltf::detail {

// glTF metres to host centimetres.
constexpr double kUnitsPerMetre = 100.0;

// --- Space ------------------------------------------------------------------
Vector hostPoint(double x, double y, double z);     // 100 * (x, y, -z)
Vector32 hostNormal(double x, double y, double z);  // (x, y, -z), normalised
// A glTF column-major 4x4 node matrix as the host's local matrix.
Matrix hostMatrix(const std::vector<double>& m);
// The host rotation matrix of a glTF rotation quaternion (x, y, z, w);
// normalised first, a zero quaternion is the identity.
Matrix hostRotation(double x, double y, double z, double w);
// The angle (radians) between two rotation matrices.
double rotationDistance(const Matrix& a, const Matrix& b);

// --- Warnings ----------------------------------------------------------------
using Warnings = host::ImportWarnings;

namespace kind {
inline const char* const kSkins = "skins not imported, skinned meshes keep their rest shape";
inline const char* const kMorphTargets = "morph targets not imported, meshes keep their base shape";
inline const char* const kUvSets =
    "uv sets not imported (an object keeps the set its base colour texture uses)";
inline const char* const kVertexColours = "vertex colours not imported";
inline const char* const kMaterialProperties =
    "material properties not imported (materials keep base colour and its texture)";
inline const char* const kExtensions = "extensions not imported";
inline const char* const kPrimitives = "primitives other than triangles skipped";
inline const char* const kOrthographic = "orthographic cameras imported as perspective cameras";
inline const char* const kAspect =
    "cameras without an aspect ratio: horizontal field of view taken for 4:3";
inline const char* const kLightProperties = "light properties not imported";
inline const char* const kAnimationOverlaps =
    "animations that drive the same property: the first in the file is kept (--animation picks "
    "one animation alone)";
inline const char* const kScenes = "scenes not imported (the default scene is imported)";
inline const char* const kMissingImages = "image files not found (their paths are kept)";
}  // namespace kind

// --- The import --------------------------------------------------------------
struct Context {
    const tinygltf::Model& model;
    BaseDocument& doc;
    Warnings& warnings;
    std::string gltfFolder;                // absolute, for relative image URIs
    std::string stem;                      // file name without suffix
    std::vector<BaseMaterial*> materials;  // per glTF material
    std::vector<int> baseColourTexCoord;   // per glTF material: TEXCOORD set, -1 none
    std::vector<BaseObject*> nodeObjects;  // per glTF node, null when not imported
    // Embedded images to write once the import succeeded: file path, bytes.
    std::vector<std::pair<std::string, const std::vector<unsigned char>*>> pendingImages;
    std::string imageDirectory;

    [[noreturn]] void fail(const std::string& path, const std::string& problem) const;
};

std::string indexPath(const char* array, std::size_t index);  // "meshes[3]"

// Accessor `index` as floats, `components` per element (2, 3 or 4 for
// VEC2..4, 1 for SCALAR); integer components are normalised when the
// accessor says so, otherwise taken as they are. Sparse accessors are
// applied. `path` names the accessor's user for messages.
std::vector<float> readFloats(const Context& ctx, int index, int components,
                              const std::string& path);
// Accessor `index` as vertex indices (unsigned byte, short or int scalars).
std::vector<std::uint32_t> readIndices(const Context& ctx, int index, const std::string& path);
// Element count of accessor `index` (checked to exist).
std::size_t accessorCount(const Context& ctx, int index, const std::string& path);

// --- Parts of the import -----------------------------------------------------
void importMaterials(Context& ctx);
// The node's mesh into `object` (a PolygonObject).
void importMesh(Context& ctx, int meshIndex, PolygonObject& object, const std::string& nodePath);
// Camera and light objects; null when the index does not exist (after fail).
std::unique_ptr<BaseObject> importCamera(Context& ctx, int cameraIndex, const std::string& path);
std::unique_ptr<BaseObject> importLight(Context& ctx, int lightIndex, const std::string& path);
// Every animation onto the document's one timeline, or only the one that
// `only` names (ImportOptions::animation).
void importAnimation(Context& ctx, const std::optional<std::string>& only);

}  // namespace host::gltf::detail
