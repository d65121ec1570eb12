// Loading materials with their channels, container and shaders, and layers.
#include <limits>

#include "host/loader_context.h"

namespace host::loader {

namespace {

std::unique_ptr<BaseShader> loadShader(Context& ctx, const Json& j, const std::string& path) {
    ctx.object(j, path, {"id", "type", "name", "params"});
    if (!j.contains("type")) ctx.fail(path, "missing \"type\"");
    auto shader = std::make_unique<BaseShader>(
        ctx.typeId(j["type"], childPath(path, "type"), NodeKind::Shader));
    if (j.contains("id")) ctx.registerId(*shader, j["id"], childPath(path, "id"));
    if (j.contains("name")) shader->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    if (j.contains("params")) ctx.params(shader->params(), j["params"], childPath(path, "params"));
    return shader;
}

}  // namespace

std::unique_ptr<BaseMaterial> loadMaterial(Context& ctx, const Json& j, const std::string& path) {
    ctx.object(j, path, {"id", "type", "name", "channels", "params", "container", "shaders"});
    const Int32 type = j.contains("type")
                           ? ctx.typeId(j["type"], childPath(path, "type"), NodeKind::Material)
                           : Mmaterial;
    auto material = std::make_unique<BaseMaterial>(type);
    if (j.contains("id")) ctx.registerId(*material, j["id"], childPath(path, "id"));
    if (j.contains("name"))
        material->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    if (j.contains("channels")) {
        const std::string cp = childPath(path, "channels");
        const Json& channels = j["channels"];
        if (!channels.is_object())
            ctx.fail(cp, "expected an object of channel states by channel id");
        for (const auto& item : channels.items()) {
            const std::string at = childPath(cp, item.key());
            const Json key = Json::parse(item.key(), nullptr, false);
            if (!key.is_number_integer() ||
                item.key().find_first_not_of("0123456789") != std::string::npos)
                ctx.fail(at, "a channel id must be a non-negative integer");
            const Int64 id = ctx.integer(key, at, 0, std::numeric_limits<Int32>::max());
            material->SetChannelState(static_cast<Int32>(id), ctx.boolean(item.value(), at));
        }
    }
    if (j.contains("params"))
        ctx.params(material->params(), j["params"], childPath(path, "params"));
    if (j.contains("container"))
        ctx.params(*material->GetDataInstance(), j["container"], childPath(path, "container"));
    if (j.contains("shaders")) {
        const std::string sp = childPath(path, "shaders");
        const Json& shaders = ctx.array(j["shaders"], sp);
        for (std::size_t i = 0; i < shaders.size(); ++i)
            material->InsertShader(loadShader(ctx, shaders[i], indexPath(sp, i)));
    }
    return material;
}

std::unique_ptr<LayerObject> loadLayer(Context& ctx, const Json& j, const std::string& path) {
    ctx.object(j, path, {"id", "name", "params"});
    auto layer = std::make_unique<LayerObject>();
    if (j.contains("id")) ctx.registerId(*layer, j["id"], childPath(path, "id"));
    if (j.contains("name")) layer->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    if (j.contains("params")) ctx.params(layer->params(), j["params"], childPath(path, "params"));
    return layer;
}

}  // namespace host::loader
