// The import: reading the file with tinygltf, the scene's node tree into
// host objects with their transforms, then materials, meshes, cameras,
// lights and animation; embedded images are written last.
//
// | glTF node                  | host object                                        |
// |----------------------------|----------------------------------------------------|
// | mesh                       | polygon object (5100)                              |
// | camera (no mesh)           | camera object (5103)                               |
// | KHR_lights_punctual light  | light object (5102); a child of the node's object  |
// |                            | when the node also has a mesh or camera            |
// | camera beside a mesh       | a camera child with the identity transform         |
// | none of these              | null object (5140)                                 |
// | name ("": mesh, camera or  | name                                               |
// | light name)                |                                                    |
// | translation, rotation,     | position 100 * (x, y, -z); rotation H, P, B of the |
// | scale                      | mirrored quaternion (order 6); scale as it is      |
// | matrix                     | explicit local matrix F M F, offset * 100          |
// | children                   | children, in order                                 |
//
// The scene imported is "scene" (else scenes[0]; without scenes, every node
// that is no node's child). Object keys are 1, 2, 3, ... in document order,
// as the document loader gives them. The document is named after the file
// (parameter 1013, so the scene is named after its stem) and its directory
// (1012) is ImportOptions::documentDirectory or the glTF's folder.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>

#include "host/gltf/asset_files.h"
#include "host/gltf/import_context.h"
#include "platform/atomic_file.h"

namespace host::gltf {

namespace detail {

namespace {

namespace fs = std::filesystem;

// Extensions whose meaning the import keeps (or that change nothing it reads).
const std::set<std::string> kUnderstood = {"KHR_lights_punctual", "KHR_texture_transform",
                                           "KHR_mesh_quantization"};

tinygltf::Model readModel(const std::string& path, const std::string& folder, bool binary) {
    tinygltf::Model model = readAssetFiles(path, folder, binary);
    if (model.asset.version.rfind("2.", 0) != 0)
        throw GltfError("asset.version: glTF " + model.asset.version +
                        " is not supported (2.0 expected)");
    for (const std::string& required : model.extensionsRequired)
        if (!kUnderstood.count(required))
            throw GltfError("extensionsRequired: the file needs " + required +
                            ", which the import does not support");
    return model;
}

bool finite(const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

void setTransform(const Context& ctx, const tinygltf::Node& node, BaseObject& object,
                  const std::string& path) {
    if (!finite(node.matrix) || !finite(node.translation) || !finite(node.rotation) ||
        !finite(node.scale))
        ctx.fail(path, "a transform value is not a finite number");
    if (!node.matrix.empty()) {
        if (node.matrix.size() != 16) ctx.fail(path + ".matrix", "expected 16 numbers");
        object.SetMl(hostMatrix(node.matrix));
        return;
    }
    const auto& t = node.translation;
    const auto& r = node.rotation;
    const auto& s = node.scale;
    if (!t.empty()) {
        if (t.size() != 3) ctx.fail(path + ".translation", "expected 3 numbers");
        object.SetRelPos(hostPoint(t[0], t[1], t[2]));
    }
    if (!r.empty()) {
        if (r.size() != 4) ctx.fail(path + ".rotation", "expected 4 numbers (x, y, z, w)");
        object.SetRelRot(MatrixToHPBNear(hostRotation(r[0], r[1], r[2], r[3]), Vector()));
    }
    if (!s.empty()) {
        if (s.size() != 3) ctx.fail(path + ".scale", "expected 3 numbers");
        object.SetRelScale(Vector(s[0], s[1], s[2]));
    }
}

int lightOf(const Context& ctx, const tinygltf::Node& node, const std::string& path) {
    const auto it = node.extensions.find("KHR_lights_punctual");
    if (it == node.extensions.end()) return -1;
    if (!it->second.Has("light") || !it->second.Get("light").IsInt())
        ctx.fail(path + ".extensions.KHR_lights_punctual", "expected {\"light\": index}");
    return it->second.Get("light").GetNumberAsInt();
}

std::unique_ptr<BaseObject> importNode(Context& ctx, int index, int depth) {
    const std::string path = indexPath("nodes", static_cast<std::size_t>(index));
    if (depth > kMaxObjectDepth)
        ctx.fail(path, "nodes nested deeper than " + std::to_string(kMaxObjectDepth) + " levels");
    const tinygltf::Node& node = ctx.model.nodes[static_cast<std::size_t>(index)];
    const int light = lightOf(ctx, node, path);
    std::unique_ptr<BaseObject> object;
    std::string fallbackName;
    if (node.mesh >= 0) {
        auto polygon = std::make_unique<PolygonObject>();
        ApplyHostDefaults(*polygon);
        importMesh(ctx, node.mesh, *polygon, path);
        fallbackName = ctx.model.meshes[static_cast<std::size_t>(node.mesh)].name;
        if (node.skin >= 0)
            ctx.warnings.note(kind::kSkins, node.name.empty() ? path : "\"" + node.name + "\"");
        object = std::move(polygon);
        if (node.camera >= 0) object->InsertChild(importCamera(ctx, node.camera, path + ".camera"));
    } else if (node.camera >= 0) {
        object = importCamera(ctx, node.camera, path + ".camera");
        fallbackName = object->GetName().utf8();
    } else if (light >= 0) {
        object = importLight(ctx, light, path + ".extensions.KHR_lights_punctual.light");
        fallbackName = object->GetName().utf8();
    } else {
        object = std::make_unique<BaseObject>(Onull);
        ApplyHostDefaults(*object);
    }
    if (light >= 0 && object->GetType() != Olight)
        object->InsertChild(
            importLight(ctx, light, path + ".extensions.KHR_lights_punctual.light"));
    object->SetName(String(node.name.empty() ? fallbackName : node.name));
    setTransform(ctx, node, *object, path);
    ctx.nodeObjects[static_cast<std::size_t>(index)] = object.get();
    for (const int child : node.children) object->InsertChild(importNode(ctx, child, depth + 1));
    return object;
}

// The root nodes of the imported scene, with the node tree checked: every
// child index exists and no node has two parents or is a root and a child.
std::vector<int> sceneRoots(Context& ctx) {
    const auto& nodes = ctx.model.nodes;
    std::vector<int> parent(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        for (const int child : nodes[i].children) {
            const std::string at = indexPath("nodes", i) + ".children";
            if (child < 0 || static_cast<std::size_t>(child) >= nodes.size())
                ctx.fail(at, "no node " + std::to_string(child));
            if (parent[static_cast<std::size_t>(child)] >= 0 ||
                static_cast<std::size_t>(child) == i)
                ctx.fail(at, "node " + std::to_string(child) + " has more than one parent");
            parent[static_cast<std::size_t>(child)] = static_cast<int>(i);
        }
    const auto& scenes = ctx.model.scenes;
    int scene = ctx.model.defaultScene;
    if (scene >= 0 && static_cast<std::size_t>(scene) >= scenes.size())
        ctx.fail("scene", "no scene " + std::to_string(scene));
    if (scene < 0 && !scenes.empty()) scene = 0;
    std::vector<int> roots;
    if (scene < 0) {
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (parent[i] < 0) roots.push_back(static_cast<int>(i));
        return roots;
    }
    for (std::size_t i = 0; i < scenes.size(); ++i)
        if (static_cast<int>(i) != scene)
            ctx.warnings.note(kind::kScenes, scenes[i].name.empty() ? indexPath("scenes", i)
                                                                    : "\"" + scenes[i].name + "\"");
    const std::string at = indexPath("scenes", static_cast<std::size_t>(scene)) + ".nodes";
    for (const int root : scenes[static_cast<std::size_t>(scene)].nodes) {
        if (root < 0 || static_cast<std::size_t>(root) >= nodes.size())
            ctx.fail(at, "no node " + std::to_string(root));
        if (parent[static_cast<std::size_t>(root)] >= 0)
            ctx.fail(at, "node " + std::to_string(root) +
                             " is a root of the scene and a child of node " +
                             std::to_string(parent[static_cast<std::size_t>(root)]));
        roots.push_back(root);
    }
    return roots;
}

void assignKeys(BaseObject* first, UInt64& next) {
    for (BaseObject* o = first; o; o = o->GetNext()) {
        o->SetGUID(next++);
        assignKeys(o->GetCache(), next);
        assignKeys(o->GetDeformCache(), next);
        assignKeys(o->GetDown(), next);
    }
}

std::string lowerSuffix(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

}  // namespace

}  // namespace detail

bool IsGltfPath(const std::string& path) {
    const std::string ext = detail::lowerSuffix(path);
    return ext == ".gltf" || ext == ".glb";
}

ImportResult ImportGltfFile(const std::string& path, const ImportOptions& options) {
    namespace fs = std::filesystem;
    using namespace detail;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    absolute = absolute.lexically_normal();
    const tinygltf::Model model =
        readModel(path, absolute.parent_path().string(), lowerSuffix(path) == ".glb");

    ImportResult result;
    result.document = std::make_unique<BaseDocument>();
    BaseDocument& doc = *result.document;
    Warnings warnings;
    Context ctx{
        model, doc, warnings, absolute.parent_path().string(), absolute.stem().string(), {}, {},
        {},    {},  {}};
    ctx.imageDirectory = options.imageDirectory.empty() ? ctx.gltfFolder : options.imageDirectory;
    ctx.nodeObjects.assign(model.nodes.size(), nullptr);

    const std::string name = absolute.filename().string();
    doc.SetName(String(name));
    doc.SetParameter(DescID(DOCUMENT_FILENAME), GeData(Filename(String(name))));
    doc.SetParameter(
        DescID(DOCUMENT_PATH),
        GeData(Filename(String(options.documentDirectory.empty() ? ctx.gltfFolder
                                                                 : options.documentDirectory))));
    for (const std::string& used : model.extensionsUsed)
        if (!kUnderstood.count(used)) warnings.note(kind::kExtensions, used);

    importMaterials(ctx);
    for (const int root : sceneRoots(ctx)) doc.InsertObject(importNode(ctx, root, 1));
    importAnimation(ctx, options.animation);
    UInt64 key = 1;
    assignKeys(doc.GetFirstObject(), key);

    // Only now that everything is known to convert: the embedded images.
    for (const auto& [file, bytes] : ctx.pendingImages) {
        fs::create_directories(fs::path(file).parent_path(), ec);
        // Whole or not at all: an image cut short would pass for a picture.
        std::string error;
        if (!platform::writeFileAtomically(file, bytes->data(), bytes->size(), error))
            throw GltfError("cannot write the embedded image " + file + ": " + error);
        result.writtenImages.push_back(file);
    }
    result.warnings = warnings.lines();
    return result;
}

}  // namespace host::gltf
