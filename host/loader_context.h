// Internal to the document loader (not a public header): the state of one
// load and the readers that turn JSON values into host values, each failing
// with DocumentError("<json path>: <problem>").
//
// Links ({"link": id}, a tag's "material", an object's "layer") are recorded
// while the nodes are built and resolved once every node exists, so a link
// may point forward. Object keys are assigned after the load, in document
// order, to the objects that have none.
//
// The big numeric arrays the parser read straight into host vectors
// (document_parser.h) are handed over by their placeholder: each is taken
// once, by the node loader of the key it was read under.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/document.h"
#include "host/document_loader.h"
#include "host/document_parser.h"

namespace host::loader {

using host::kMaxObjectDepth;

enum class NodeKind { Object, Tag, Material, Shader };
enum class LinkKind { Node, Material, Layer };

std::string childPath(const std::string& path, const std::string& key);
std::string indexPath(const std::string& path, std::size_t i);

class Context {
public:
    explicit Context(BaseDocument& doc, BulkArrays* bulk = nullptr) : doc_(doc), bulk_(bulk) {}
    BaseDocument& doc() { return doc_; }

    // The host vectors read in place of `j`, moved out into `out`; false when
    // `j` is an ordinary JSON value.
    bool takePoints(const Json& j, std::vector<Vector>& out);
    bool takePolygons(const Json& j, std::vector<CPolygon>& out);
    bool takeUvw(const Json& j, BulkArrays::Uvw& out);

    [[noreturn]] void fail(const std::string& path, const std::string& message) const;

    // Shapes. `object` checks that j is a JSON object whose keys are all in
    // `allowed`; the others check the type and answer the value.
    void object(const Json& j, const std::string& path,
                std::initializer_list<const char*> allowed) const;
    const Json& array(const Json& j, const std::string& path) const;
    Float number(const Json& j, const std::string& path) const;
    // A time in seconds, within kMaxDocumentSeconds of 0.
    Float seconds(const Json& j, const std::string& path) const;
    Int64 integer(const Json& j, const std::string& path, Int64 min, Int64 max) const;
    UInt64 unsignedInteger(const Json& j, const std::string& path) const;
    bool boolean(const Json& j, const std::string& path) const;
    std::string string(const Json& j, const std::string& path) const;
    Vector vector(const Json& j, const std::string& path) const;
    Matrix matrix(const Json& j, const std::string& path) const;
    Int32 typeId(const Json& j, const std::string& path, NodeKind kind) const;

    // A "params" object (or a material's "container"): every entry is set,
    // a null entry removes the value (also a host default).
    void params(BaseContainer& target, const Json& j, const std::string& path);
    // One parameter value for `target`[id]; a link is set once resolved.
    GeData value(const Json& j, const std::string& path, BaseContainer& target, Int32 id);

    // Ids and links.
    void registerId(BaseList2D& node, const Json& j, const std::string& path);
    void deferLink(const std::string& id, LinkKind kind, const std::string& path,
                   std::function<void(BaseList2D*)> apply);
    void resolveLinks();

    // Objects in document order, with whether the file gave their key.
    void noteObject(BaseObject* object, bool hasKey) { objects_.emplace_back(object, hasKey); }
    void assignKeys();

private:
    struct PendingLink {
        std::string id;
        LinkKind kind;
        std::string path;
        std::function<void(BaseList2D*)> apply;
    };
    BaseDocument& doc_;
    BulkArrays* bulk_;
    std::map<std::string, std::pair<BaseList2D*, std::string>> ids_;  // id -> node, path
    std::vector<PendingLink> links_;
    std::vector<std::pair<BaseObject*, bool>> objects_;
};

// A document from its text, which is followed by a NUL (document_loader.cpp).
// Without `bulkArrays` the parser keeps every array as JSON: the general path
// alone, for tests that compare both.
std::unique_ptr<BaseDocument> loadText(std::string_view text, const std::string& directory,
                                       bool bulkArrays = true);

// Node loaders (load_objects.cpp, load_materials.cpp).
std::unique_ptr<BaseObject> loadObject(Context& ctx, const Json& j, const std::string& path,
                                       int depth);
std::unique_ptr<BaseMaterial> loadMaterial(Context& ctx, const Json& j, const std::string& path);
std::unique_ptr<LayerObject> loadLayer(Context& ctx, const Json& j, const std::string& path);

}  // namespace host::loader
