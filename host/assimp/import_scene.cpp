// The import: assimp reads the asset through the fenced file system, then the
// node tree becomes host objects with their transforms, followed by the
// materials, meshes, cameras, lights and the animation; embedded textures
// are written last.
//
// | assimp node                  | host object                                   |
// |------------------------------|-----------------------------------------------|
// | with meshes                  | polygon object (5100); a camera or light of   |
// |                              | the same name becomes a child                 |
// | camera of the same name      | camera object (5103)                          |
// | light of the same name       | light object (5102)                           |
// | none of these                | null object (5140)                            |
// | transformation               | explicit local matrix F M F, offset in cm     |
// | children                     | children, in order                            |
//
// The root node is left out when it is only a container (no meshes and the
// identity transform, as for OBJ, PLY and STL): its children are the
// top-level objects. Object keys are 1, 2, 3, ... in document order.
#include <assimp/postprocess.h>

#include <assimp/Importer.hpp>
#include <filesystem>

#include "host/assimp/asset_io.h"
#include "host/assimp/declared_counts.h"
#include "host/assimp/import_context.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace host::assimp {

namespace detail {

namespace {

namespace fs = std::filesystem;

struct Named {
    std::map<std::string, const aiCamera*> cameras;
    std::map<std::string, const aiLight*> lights;
};

std::unique_ptr<BaseObject> importNode(Context& ctx, const Named& named, const aiNode& node,
                                       int depth) {
    const std::string name = text(node.mName);
    if (depth > kMaxObjectDepth)
        ctx.fail("node \"" + name + "\": nodes nested deeper than " +
                 std::to_string(kMaxObjectDepth) + " levels");
    const Matrix local = ctx.space.matrix(node.mTransformation);
    const auto camera = named.cameras.find(name);
    const auto light = named.lights.find(name);
    std::unique_ptr<BaseObject> attached;  // a camera or light of this node
    if (camera != named.cameras.end())
        attached = importCamera(ctx, *camera->second);
    else if (light != named.lights.end())
        attached = importLight(ctx, *light->second);
    std::unique_ptr<BaseObject> object;
    if (node.mNumMeshes > 0) {
        auto polygon = std::make_unique<PolygonObject>();
        ApplyHostDefaults(*polygon);
        importMeshes(ctx, node, *polygon);
        object = std::move(polygon);
        if (attached) object->InsertChild(std::move(attached));
        object->SetMl(local);
    } else if (attached) {
        object = std::move(attached);
        object->SetMl(local * object->GetMl());
    } else {
        object = std::make_unique<BaseObject>(Onull);
        ApplyHostDefaults(*object);
        object->SetMl(local);
    }
    object->SetName(String(name));
    ctx.nodeObjects.emplace(name, object.get());
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        object->InsertChild(importNode(ctx, named, *node.mChildren[i], depth + 1));
    return object;
}

void assignKeys(BaseObject* first, UInt64& next) {
    for (BaseObject* o = first; o; o = o->GetNext()) {
        o->SetGUID(next++);
        assignKeys(o->GetDown(), next);
    }
}

// Centimetres per file unit: FBX states its unit in centimetres; COLLADA's
// unit assimp applies itself, to metres; other formats have none (a metre).
double unitOf(const aiScene& scene) {
    double factor = 0;
    if (scene.mMetaData && scene.mMetaData->Get("UnitScaleFactor", factor) && factor > 0 &&
        std::isfinite(factor))
        return factor;
    float single = 0;
    if (scene.mMetaData && scene.mMetaData->Get("UnitScaleFactor", single) && single > 0 &&
        std::isfinite(single))
        return single;
    return 100.0;
}

// The first refused file (the one the asset names; assimp then looks for it
// under other names too) and how many more.
std::string refusedList(const FencedIO& io) {
    const auto& [file, reason] = io.refused().front();
    const std::size_t more = io.refused().size() - 1;
    return file + " " + reason +
           (more ? " (and " + std::to_string(more) + " more names looked for)" : "");
}

constexpr unsigned kSteps =
    aiProcess_ValidateDataStructure | aiProcess_FlipUVs | aiProcess_JoinIdenticalVertices;

const aiScene* readScene(Assimp::Importer& importer, const std::string& file,
                         const std::string& folder) {
    auto* io = new FencedIO(folder);
    importer.SetIOHandler(io);  // the importer owns it
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* scene = nullptr;
    std::string error;
    try {
        scene = importer.ReadFile(file, kSteps);
        if (!scene) error = importer.GetErrorString();
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!io->refused().empty())
        throw AssimpError("the asset needs a file that cannot be read: " + refusedList(*io));
    if (!scene)
        throw AssimpError("not a file the asset importer can read: " +
                          (error.empty() ? std::string("unknown reason") : error));
    if (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE || !scene->mRootNode)
        throw AssimpError("the file holds no complete scene");
    return scene;
}

// The counts a PLY header or a COLLADA file declares, against its size. A
// PLY header is at the start; a COLLADA file is checked whole.
void checkCounts(const std::string& file) {
    std::string head(64 * 1024, '\0'), error;
    std::FILE* stream = platform::openRegularStream(file, error);
    if (!stream) throw AssimpError("cannot read the file: " + error);
    head.resize(std::fread(head.data(), 1, head.size(), stream));
    std::fclose(stream);
    std::error_code ec;
    const std::uint64_t size = fs::file_size(file, ec);
    if (head.find("<COLLADA") != std::string::npos && !platform::readRegularFile(file, head, error))
        throw AssimpError("cannot read the file: " + error);
    if (const std::string problem = checkDeclaredCounts(head, ec ? head.size() : size);
        !problem.empty())
        throw AssimpError(problem);
}

void writeImages(const Context& ctx, ImportResult& result) {
    for (const auto& [file, texture] : ctx.pendingImages) {
        std::error_code ec;
        fs::create_directories(fs::path(file).parent_path(), ec);
        std::string error;
        if (!platform::writeFileAtomically(file, texture->pcData, texture->mWidth, error))
            throw AssimpError("cannot write the embedded texture " + file + ": " + error);
        result.writtenImages.push_back(file);
    }
}

}  // namespace

}  // namespace detail

ImportResult ImportAssetFile(const std::string& path, const ImportOptions& options) {
    namespace fs = std::filesystem;
    using namespace detail;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    absolute = absolute.lexically_normal();
    const std::string folder = absolute.parent_path().string();
    if (const std::string kind = platform::nonRegularKind(absolute.string()); !kind.empty())
        throw AssimpError("cannot read the file: it is " + kind + ", not a regular file");
    checkCounts(absolute.string());
    Assimp::Importer importer;
    const aiScene& scene = *readScene(importer, absolute.string(), folder);

    ImportResult result;
    result.document = std::make_unique<BaseDocument>();
    BaseDocument& doc = *result.document;
    Warnings warnings;
    Context ctx{scene,
                doc,
                warnings,
                Space{unitOf(scene)},
                folder,
                absolute.stem().string(),
                options.imageDirectory.empty() ? folder : options.imageDirectory,
                {},
                {},
                {},
                {}};
    const std::string name = absolute.filename().string();
    doc.SetName(String(name));
    doc.SetParameter(DescID(DOCUMENT_FILENAME), GeData(Filename(String(name))));
    doc.SetParameter(DescID(DOCUMENT_PATH),
                     GeData(Filename(String(
                         options.documentDirectory.empty() ? folder : options.documentDirectory))));
    importMaterials(ctx);
    Named named;
    for (unsigned i = 0; i < scene.mNumCameras; ++i)
        named.cameras.emplace(text(scene.mCameras[i]->mName), scene.mCameras[i]);
    for (unsigned i = 0; i < scene.mNumLights; ++i)
        named.lights.emplace(text(scene.mLights[i]->mName), scene.mLights[i]);
    const aiNode& root = *scene.mRootNode;
    if (root.mNumMeshes == 0 && root.mTransformation.IsIdentity() &&
        !named.cameras.count(text(root.mName)) && !named.lights.count(text(root.mName))) {
        for (unsigned i = 0; i < root.mNumChildren; ++i)
            doc.InsertObject(importNode(ctx, named, *root.mChildren[i], 1));
    } else {
        doc.InsertObject(importNode(ctx, named, root, 1));
    }
    importAnimation(ctx);
    UInt64 key = 1;
    assignKeys(doc.GetFirstObject(), key);
    writeImages(ctx, result);
    result.warnings = warnings.lines();
    return result;
}

}  // namespace host::assimp
