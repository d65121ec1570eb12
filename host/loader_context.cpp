// Readers of JSON values and the link and key bookkeeping of one load.
#include "host/loader_context.h"

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "host/material.h"

namespace host::loader {

namespace {

const char* jsonKind(const Json& j) {
    switch (j.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return "a number";
        default:
            return "an unsupported value";
    }
}

struct Alias {
    const char* name;
    Int32 id;
};

const std::vector<Alias>& aliases(NodeKind kind) {
    static const std::vector<Alias> objects = {
        {"null", 5140}, {"polygon", 5100}, {"light", 5102}, {"camera", 5103}, {"hair", 1017305}};
    static const std::vector<Alias> tags = {{"texture", 5616}, {"uvw", 5671},
                                            {"normal", 5711},  {"polygonSelection", 5673},
                                            {"phong", 5612},   {"hairMaterial", 1017729}};
    static const std::vector<Alias> materials = {{"standard", 5703}, {"hairMaterialNode", 1017730}};
    static const std::vector<Alias> shaders = {
        {"color", 5832}, {"bitmap", 5833}, {"gradient", 1011100}};
    switch (kind) {
        case NodeKind::Object:
            return objects;
        case NodeKind::Tag:
            return tags;
        case NodeKind::Material:
            return materials;
        case NodeKind::Shader:
            return shaders;
    }
    return objects;
}

const char* kindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::Object:
            return "object";
        case NodeKind::Tag:
            return "tag";
        case NodeKind::Material:
            return "material";
        case NodeKind::Shader:
            return "shader";
    }
    return "node";
}

// A parameter id written as a JSON key: decimal digits of a 32-bit id.
bool parseId(const std::string& key, Int32& out) {
    if (key.empty() || key.size() > 10) return false;
    Int64 v = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > std::numeric_limits<Int32>::max()) return false;
    out = static_cast<Int32>(v);
    return true;
}

}  // namespace

std::string childPath(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string indexPath(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

namespace {

template <class Map, class Value>
bool take(Map* map, const Json& j, Value& out) {
    if (!map) return false;
    const auto it = map->find(&j);
    if (it == map->end()) return false;
    out = std::move(it->second);
    map->erase(it);
    return true;
}

}  // namespace

bool Context::takePoints(const Json& j, std::vector<Vector>& out) {
    return take(bulk_ ? &bulk_->points : nullptr, j, out);
}

bool Context::takePolygons(const Json& j, std::vector<CPolygon>& out) {
    return take(bulk_ ? &bulk_->polygons : nullptr, j, out);
}

bool Context::takeUvw(const Json& j, BulkArrays::Uvw& out) {
    return take(bulk_ ? &bulk_->uvw : nullptr, j, out);
}

void Context::fail(const std::string& path, const std::string& message) const {
    // Deep hierarchies make long paths: keep their head and tail.
    std::string where = path;
    if (where.size() > 240)
        where = where.substr(0, 100) + " ... " + where.substr(where.size() - 100);
    throw DocumentError(where.empty() ? message : where + ": " + message);
}

void Context::object(const Json& j, const std::string& path,
                     std::initializer_list<const char*> allowed) const {
    if (!j.is_object()) fail(path, std::string("expected an object, found ") + jsonKind(j));
    for (const auto& item : j.items()) {
        bool known = false;
        for (const char* k : allowed) known = known || item.key() == k;
        if (known) continue;
        std::string list;
        for (const char* k : allowed) list += (list.empty() ? "" : ", ") + std::string(k);
        fail(childPath(path, item.key()), "unknown key (expected one of: " + list + ")");
    }
}

const Json& Context::array(const Json& j, const std::string& path) const {
    if (!j.is_array()) fail(path, std::string("expected an array, found ") + jsonKind(j));
    return j;
}

Float Context::number(const Json& j, const std::string& path) const {
    if (!j.is_number()) fail(path, std::string("expected a number, found ") + jsonKind(j));
    const Float v = j.get<Float>();
    if (!std::isfinite(v)) fail(path, "number out of range");
    return v;
}

Float Context::seconds(const Json& j, const std::string& path) const {
    const Float v = number(j, path);
    if (std::abs(v) > kMaxDocumentSeconds) {
        std::ostringstream text;
        text << "time " << v << " s is outside the range of " << -kMaxDocumentSeconds << " to "
             << kMaxDocumentSeconds << " s";
        fail(path, text.str());
    }
    return v;
}

Int64 Context::integer(const Json& j, const std::string& path, Int64 min, Int64 max) const {
    Int64 v = 0;
    if (j.is_number_unsigned()) {
        const UInt64 u = j.get<UInt64>();
        if (u > static_cast<UInt64>(max))
            fail(path, "integer out of range " + std::to_string(min) + ".." + std::to_string(max));
        v = static_cast<Int64>(u);
    } else if (j.is_number_integer()) {
        v = j.get<Int64>();
    } else if (j.is_number_float()) {
        const Float f = j.get<Float>();
        if (!std::isfinite(f) || f != std::trunc(f) || std::fabs(f) > 9e15)
            fail(path, "expected an integer, found " + j.dump());
        v = static_cast<Int64>(f);
    } else {
        fail(path, std::string("expected an integer, found ") + jsonKind(j));
    }
    if (v < min || v > max)
        fail(path, "integer out of range " + std::to_string(min) + ".." + std::to_string(max));
    return v;
}

UInt64 Context::unsignedInteger(const Json& j, const std::string& path) const {
    if (j.is_number_unsigned()) return j.get<UInt64>();
    if (j.is_number_integer()) fail(path, "expected an unsigned 64-bit integer, found " + j.dump());
    return static_cast<UInt64>(integer(j, path, 0, std::numeric_limits<Int64>::max()));
}

bool Context::boolean(const Json& j, const std::string& path) const {
    if (!j.is_boolean()) fail(path, std::string("expected true or false, found ") + jsonKind(j));
    return j.get<bool>();
}

std::string Context::string(const Json& j, const std::string& path) const {
    if (!j.is_string()) fail(path, std::string("expected a string, found ") + jsonKind(j));
    return j.get<std::string>();
}

Vector Context::vector(const Json& j, const std::string& path) const {
    if (!j.is_array() || j.size() != 3) fail(path, "expected [x, y, z] (three numbers)");
    return {number(j[0], indexPath(path, 0)), number(j[1], indexPath(path, 1)),
            number(j[2], indexPath(path, 2))};
}

Matrix Context::matrix(const Json& j, const std::string& path) const {
    object(j, path, {"off", "v1", "v2", "v3"});
    Matrix m;  // a missing part keeps the identity's
    if (j.contains("off")) m.off = vector(j["off"], childPath(path, "off"));
    if (j.contains("v1")) m.v1 = vector(j["v1"], childPath(path, "v1"));
    if (j.contains("v2")) m.v2 = vector(j["v2"], childPath(path, "v2"));
    if (j.contains("v3")) m.v3 = vector(j["v3"], childPath(path, "v3"));
    return m;
}

Int32 Context::typeId(const Json& j, const std::string& path, NodeKind kind) const {
    if (j.is_string()) {
        const std::string name = j.get<std::string>();
        for (const Alias& a : aliases(kind))
            if (name == a.name) return a.id;
        std::string list;
        for (const Alias& a : aliases(kind))
            list += (list.empty() ? "" : ", ") + std::string(a.name);
        fail(path, "unknown " + std::string(kindName(kind)) + " type \"" + name +
                       "\" (expected a type id or one of: " + list + ")");
    }
    return static_cast<Int32>(integer(j, path, 1, std::numeric_limits<Int32>::max()));
}

void Context::params(BaseContainer& target, const Json& j, const std::string& path) {
    if (!j.is_object())
        fail(path, std::string("expected an object of parameters by id, found ") + jsonKind(j));
    for (const auto& item : j.items()) {
        const std::string at = childPath(path, item.key());
        Int32 id = 0;
        if (!parseId(item.key(), id))
            fail(at, "a parameter id must be a non-negative 32-bit integer");
        if (id == ID_BASELIST_NAME) fail(at, "parameter 900 is the name: use \"name\"");
        if (item.value().is_null()) {
            target.Remove(id);
            continue;
        }
        target.Set(id, value(item.value(), at, target, id));
    }
}

GeData Context::value(const Json& j, const std::string& path, BaseContainer& target, Int32 id) {
    if (j.is_boolean()) return GeData::Integer(j.get<bool>() ? 1 : 0);
    if (j.is_number_integer() &&
        !(j.is_number_unsigned() && j.get<UInt64>() > static_cast<UInt64>(INT64_MAX)))
        return GeData::Integer(j.get<Int64>());
    if (j.is_number()) return GeData::Number(number(j, path));
    if (j.is_string()) return GeData(String(j.get<std::string>()));
    if (j.is_array()) return GeData(vector(j, path));
    if (!j.is_object() || j.size() != 1)
        fail(path,
             "expected a number, [x, y, z], a string, or one of {\"file\"}, {\"link\"}, "
             "{\"time\"}, {\"gradient\"}");
    const auto first = j.begin();
    const std::string& key = first.key();
    const Json& inner = first.value();
    const std::string at = childPath(path, key);
    if (key == "file") return GeData(Filename(String(string(inner, at))));
    if (key == "time") return GeData(BaseTime(seconds(inner, at)));
    if (key == "link") {
        BaseContainer* container = &target;
        deferLink(string(inner, at), LinkKind::Node, at,
                  [container, id](BaseList2D* node) { container->Set(id, GeData::Link(node)); });
        return GeData::Link(nullptr);
    }
    if (key == "gradient") {
        auto gradient = std::make_shared<Gradient>();
        const Json& knots = array(inner, at);
        for (std::size_t i = 0; i < knots.size(); ++i) {
            const std::string k = indexPath(at, i);
            object(knots[i], k, {"position", "color", "brightness"});
            if (!knots[i].contains("position")) fail(k, "missing \"position\"");
            if (!knots[i].contains("color")) fail(k, "missing \"color\"");
            GradientKnot knot;
            knot.position = number(knots[i]["position"], childPath(k, "position"));
            knot.color = vector(knots[i]["color"], childPath(k, "color"));
            if (knots[i].contains("brightness"))
                knot.brightness = number(knots[i]["brightness"], childPath(k, "brightness"));
            gradient->knots.push_back(knot);
        }
        return GeData::MakeGradient(std::move(gradient));
    }
    fail(at, "unknown value form (expected one of: file, link, time, gradient)");
}

void Context::registerId(BaseList2D& node, const Json& j, const std::string& path) {
    const std::string id = string(j, path);
    if (id.empty()) fail(path, "an id must not be empty");
    const auto [it, added] = ids_.emplace(id, std::make_pair(&node, path));
    if (!added) fail(path, "duplicate id \"" + id + "\" (first used at " + it->second.second + ")");
    node.setFileId(id);
}

void Context::deferLink(const std::string& id, LinkKind kind, const std::string& path,
                        std::function<void(BaseList2D*)> apply) {
    links_.push_back({id, kind, path, std::move(apply)});
}

void Context::resolveLinks() {
    for (const PendingLink& link : links_) {
        const auto it = ids_.find(link.id);
        BaseList2D* node = it == ids_.end() ? nullptr : it->second.first;
        switch (link.kind) {
            case LinkKind::Material:
                if (!dynamic_cast<BaseMaterial*>(node))
                    fail(link.path, "no material with id \"" + link.id + "\"");
                break;
            case LinkKind::Layer:
                if (!dynamic_cast<LayerObject*>(node))
                    fail(link.path, "no layer with id \"" + link.id + "\"");
                break;
            case LinkKind::Node:
                if (!node)
                    fail(link.path,
                         "no material, shader, object or layer with id \"" + link.id + "\"");
                break;
        }
        link.apply(node);
    }
}

void Context::assignKeys() {
    std::set<UInt64> taken;
    for (const auto& [object, hasKey] : objects_)
        if (hasKey) taken.insert(object->GetGUID());
    UInt64 next = 1;
    for (const auto& [object, hasKey] : objects_) {
        if (hasKey) continue;
        while (taken.count(next)) ++next;
        object->SetGUID(next++);
    }
}

}  // namespace host::loader
