// The document file writer: a BaseDocument as the JSON the loader reads.
// Structure first (an ordered JSON tree), then a printer that keeps small
// numeric arrays on one line.
#include "host/document_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "host/document_loader.h"
#include "platform/atomic_file.h"

namespace host {

namespace {

using Json = nlohmann::ordered_json;

const char* objectAlias(Int32 type) {
    switch (type) {
        case Opolygon:
            return "polygon";
        case Olight:
            return "light";
        case Ocamera:
            return "camera";
        case Onull:
            return "null";
        case Ohair:
            return "hair";
        default:
            return nullptr;
    }
}

const char* tagAlias(Int32 type) {
    switch (type) {
        case Ttexture:
            return "texture";
        case Tuvw:
            return "uvw";
        case Tnormal:
            return "normal";
        case Tpolygonselection:
            return "polygonSelection";
        case Tphong:
            return "phong";
        case Thairmaterial:
            return "hairMaterial";
        default:
            return nullptr;
    }
}

const char* shaderAlias(Int32 type) {
    switch (type) {
        case Xcolor:
            return "color";
        case Xbitmap:
            return "bitmap";
        case Xgradient:
            return "gradient";
        default:
            return nullptr;
    }
}

Json typeJson(Int32 type, const char* alias) { return alias ? Json(alias) : Json(type); }

Json vec(const Vector& v) { return Json::array({v.x, v.y, v.z}); }
Json vec(const Vector32& v) {
    return Json::array(
        {static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z)});
}

bool finite(const Vector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool sameValue(const GeData& a, const GeData& b) {
    if (a.GetType() != b.GetType()) return false;
    switch (a.GetType()) {
        case GeData::Type::None:
            return true;
        case GeData::Type::Number:
            return a.IsInteger() == b.IsInteger() &&
                   (a.IsInteger() ? a.GetInt64() == b.GetInt64() : a.GetFloat() == b.GetFloat());
        case GeData::Type::Vector:
            return a.GetVector() == b.GetVector();
        case GeData::Type::String:
            return a.GetString() == b.GetString();
        case GeData::Type::Filename:
            return a.GetFilename() == b.GetFilename();
        case GeData::Type::Time:
            return a.GetTime() == b.GetTime();
        case GeData::Type::Link:
            return a.GetLink() == b.GetLink();
        case GeData::Type::Gradient:
            return a.GetCustomDataType(CUSTOMDATATYPE_GRADIENT) ==
                   b.GetCustomDataType(CUSTOMDATATYPE_GRADIENT);
    }
    return false;
}

class Writer {
public:
    explicit Writer(const BaseDocument& doc) : doc_(doc) { collectIds(); }

    Json document(const std::string& fileFolder) const {
        Json j = Json::object();
        const std::string name = doc_.GetName().utf8();
        if (!name.empty()) j["name"] = name;
        GeData data;
        const std::string directory = doc_.GetParameter(DescID(DOCUMENT_PATH), data)
                                          ? data.GetFilename().GetString().utf8()
                                          : std::string();
        if (fileFolder.empty() || directory != fileFolder) j["directory"] = directory;
        if (doc_.GetFps() != 30) j["fps"] = doc_.GetFps();
        Json time = Json::object();
        if (doc_.GetTime().Get() != 0.0) time["current"] = doc_.GetTime().Get();
        if (doc_.GetParameter(DescID(DOCUMENT_MINTIME), data) && data.GetTime().Get() != 0.0)
            time["start"] = data.GetTime().Get();
        if (!time.empty()) j["time"] = time;
        if (!doc_.layers().empty()) {
            Json& layers = j["layers"] = Json::array();
            for (const auto& layer : doc_.layers()) layers.push_back(this->layer(*layer));
        }
        if (doc_.GetFirstMaterial()) {
            Json& materials = j["materials"] = Json::array();
            for (const BaseMaterial* m = doc_.GetFirstMaterial(); m; m = m->GetNext())
                materials.push_back(material(*m));
        }
        if (doc_.GetFirstObject()) {
            Json& objects = j["objects"] = Json::array();
            for (const BaseObject* o = doc_.GetFirstObject(); o; o = o->GetNext())
                objects.push_back(object(*o));
        }
        return j;
    }

private:
    // Ids: every layer and material gets one (tags and objects refer to
    // them); shaders and objects keep theirs and get one when linked.
    void collectIds() {
        std::vector<const BaseList2D*> nodes;
        const auto noteLinks = [&](const BaseContainer& c) {
            for (const auto& [id, value] : c.values())
                if (value.GetType() == GeData::Type::Link && value.GetLink())
                    linked_.insert(value.GetLink());
        };
        std::function<void(const BaseObject*)> walk = [&](const BaseObject* o) {
            for (; o; o = o->GetNext()) {
                nodes.push_back(o);
                noteLinks(o->params());
                if (o->GetLayerObject(&doc_)) linked_.insert(o->GetLayerObject(&doc_));
                for (const BaseTag* t = o->GetFirstTag(); t; t = t->GetNext()) {
                    noteLinks(t->params());
                    if (const auto* tt = dynamic_cast<const TextureTag*>(t);
                        tt && tt->GetMaterial())
                        linked_.insert(tt->GetMaterial());
                }
                for (const CTrack* t = o->GetFirstCTrack(); t; t = t->GetNext())
                    noteLinks(t->params());
                walk(o->GetCache());
                walk(o->GetDeformCache());
                walk(o->GetDown());
            }
        };
        for (const auto& layer : doc_.layers()) {
            nodes.push_back(layer.get());
            linked_.insert(layer.get());
            noteLinks(layer->params());
        }
        for (const BaseMaterial* m = doc_.GetFirstMaterial(); m; m = m->GetNext()) {
            nodes.push_back(m);
            linked_.insert(m);
            noteLinks(m->params());
            noteLinks(*m->GetDataInstance());
            for (const BaseShader* s = m->GetFirstShader(); s; s = s->GetNext()) {
                nodes.push_back(s);
                noteLinks(s->params());
            }
        }
        walk(doc_.GetFirstObject());

        std::set<std::string> taken;
        for (const BaseList2D* n : nodes)
            if (!n->fileId().empty() && taken.insert(n->fileId()).second) ids_[n] = n->fileId();
        std::map<std::string, int> counters;
        for (const BaseList2D* n : nodes) {
            if (ids_.count(n) || !linked_.count(n)) continue;
            const char* kind = dynamic_cast<const BaseMaterial*>(n)  ? "material"
                               : dynamic_cast<const BaseShader*>(n)  ? "shader"
                               : dynamic_cast<const LayerObject*>(n) ? "layer"
                                                                     : "object";
            std::string id;
            do {
                id = std::string(kind) + "-" + std::to_string(++counters[kind]);
            } while (!taken.insert(id).second);
            ids_[n] = id;
        }
    }

    // The node's id, or null when it has none (and so cannot be linked).
    Json idOf(const BaseList2D* node) const {
        const auto it = ids_.find(node);
        return it == ids_.end() ? Json() : Json(it->second);
    }

    void putId(Json& j, const BaseList2D& node) const {
        Json id = idOf(&node);
        if (!id.is_null()) j["id"] = id;
    }

    void putName(Json& j, const BaseList2D& node) const {
        if (!node.GetName().IsEmpty()) j["name"] = node.GetName().utf8();
    }

    // The file form of a value; null when it has none.
    Json value(const GeData& v) const {
        switch (v.GetType()) {
            case GeData::Type::None:
                return {};
            case GeData::Type::Number:
                if (v.IsInteger()) return v.GetInt64();
                if (!std::isfinite(v.GetFloat())) return {};
                return v.GetFloat();
            case GeData::Type::Vector:
                return finite(v.GetVector()) ? vec(v.GetVector()) : Json();
            case GeData::Type::String:
                return v.GetString().utf8();
            case GeData::Type::Filename:
                return {{"file", v.GetFilename().GetString().utf8()}};
            case GeData::Type::Time:
                return {{"time", v.GetTime().Get()}};
            case GeData::Type::Link: {
                Json id = idOf(v.GetLink());
                return id.is_null() ? Json() : Json{{"link", id}};
            }
            case GeData::Type::Gradient: {
                Json knots = Json::array();
                if (const Gradient* g = v.GetCustomDataType(CUSTOMDATATYPE_GRADIENT))
                    for (const GradientKnot& k : g->knots)
                        knots.push_back({{"position", k.position},
                                         {"color", vec(k.color)},
                                         {"brightness", k.brightness}});
                return {{"gradient", knots}};
            }
        }
        return {};
    }

    // Parameters by id; `defaults` are what the loader sets before them.
    Json params(const BaseContainer& c, const BaseContainer& defaults) const {
        Json j = Json::object();
        for (const auto& [id, v] : c.values()) {
            if (id == ID_BASELIST_NAME) continue;
            const GeData* preset = defaults.Find(id);
            if (preset && sameValue(*preset, v)) continue;
            Json written = value(v);
            if (!written.is_null()) j[std::to_string(id)] = std::move(written);
        }
        for (const auto& [id, v] : defaults.values())
            if (!c.Has(id)) j[std::to_string(id)] = nullptr;
        return j;
    }

    void putParams(Json& j, const BaseContainer& c, const BaseContainer& defaults = {}) const {
        Json p = params(c, defaults);
        if (!p.empty()) j["params"] = std::move(p);
    }

    void putSelected(Json& j, const BaseList2D& node) const {
        if (doc_.IsSelected(&node)) j["selected"] = true;
    }

    static Json matrix(const Matrix& m) {
        return {{"off", vec(m.off)}, {"v1", vec(m.v1)}, {"v2", vec(m.v2)}, {"v3", vec(m.v3)}};
    }

    Json layer(const LayerObject& l) const {
        Json j = Json::object();
        putId(j, l);
        putName(j, l);
        putParams(j, l.params());
        return j;
    }

    Json material(const BaseMaterial& m) const {
        Json j = Json::object();
        putId(j, m);
        if (m.GetType() != Mmaterial)
            j["type"] = typeJson(m.GetType(), m.GetType() == Mhair ? "hairMaterialNode" : nullptr);
        putName(j, m);
        if (!m.channels().empty()) {
            Json& channels = j["channels"] = Json::object();
            for (const auto& [id, on] : m.channels()) channels[std::to_string(id)] = on;
        }
        putParams(j, m.params());
        Json container = params(*m.GetDataInstance(), {});
        if (!container.empty()) j["container"] = std::move(container);
        if (m.GetFirstShader()) {
            Json& shaders = j["shaders"] = Json::array();
            for (const BaseShader* s = m.GetFirstShader(); s; s = s->GetNext()) {
                Json sj = Json::object();
                putId(sj, *s);
                sj["type"] = typeJson(s->GetType(), shaderAlias(s->GetType()));
                putName(sj, *s);
                putParams(sj, s->params());
                shaders.push_back(std::move(sj));
            }
        }
        return j;
    }

    Json tag(const BaseTag& t, const BaseObject& owner) const {
        Json j = Json::object();
        j["type"] = typeJson(t.GetType(), tagAlias(t.GetType()));
        putName(j, t);
        putParams(j, t.params());
        putSelected(j, t);
        const auto* polygon = dynamic_cast<const PolygonObject*>(&owner);
        const std::size_t polygons =
            polygon ? static_cast<std::size_t>(polygon->GetPolygonCount()) : 0;
        const auto* texture = dynamic_cast<const TextureTag*>(&t);
        if (texture && (t.GetType() == Ttexture || t.GetType() == Thairmaterial)) {
            if (texture->GetMaterial()) j["material"] = idOf(texture->GetMaterial());
            if (!(texture->GetMl() == Matrix())) j["textureMatrix"] = matrix(texture->GetMl());
        }
        if (const auto* uvw = dynamic_cast<const UVWTag*>(&t)) {
            Json& entries = j["uvw"] = Json::array();
            const std::size_t count =
                std::min(polygons, static_cast<std::size_t>(uvw->GetDataCount()));
            for (std::size_t i = 0; i < count; ++i) {
                const UVWStruct& e = uvw->GetDataAddressR()[i];
                const bool three = polygon->GetPolygonR()[i].IsTriangle() && e.d == e.c;
                Json corners = Json::array({vec(e.a), vec(e.b), vec(e.c)});
                if (!three) corners.push_back(vec(e.d));
                entries.push_back(std::move(corners));
            }
        }
        if (const auto* selection = dynamic_cast<const SelectionTag*>(&t)) {
            Json& list = j["polygons"] = Json::array();
            for (const auto& [first, last] : selection->GetBaseSelect()->ranges())
                for (Int32 i = first; i <= last && static_cast<std::size_t>(i) < polygons; ++i)
                    list.push_back(i);
        }
        return j;
    }

    Json track(const CTrack& t) const {
        Json j = Json::object();
        const DescID& id = t.GetDescriptionID();
        Json param = Json::array();
        for (Int32 level = 0; level < id.GetDepth(); ++level) param.push_back(id[level]);
        j["param"] = param;
        putName(j, t);
        BaseContainer defaults;
        defaults.Set(904, GeData::Integer(1));
        putParams(j, t.params(), defaults);
        Json keys = Json::array();
        const CCurve* curve = t.GetCurve();
        for (Int32 i = 0; i < curve->GetKeyCount(); ++i) {
            const CKey* k = curve->GetKey(i);
            Json key = {{"time", k->GetTime().Get()}, {"value", k->GetValue()}};
            if (k->GetInterpolation() == Interpolation::Step) key["interpolation"] = "step";
            if (k->GetInterpolation() == Interpolation::Spline) key["interpolation"] = "spline";
            keys.push_back(std::move(key));
        }
        if (!keys.empty()) j["keys"] = std::move(keys);
        return j;
    }

    void transform(Json& j, const BaseObject& o) const {
        if (o.GetRotationOrder() != ROTATIONORDER_DEFAULT)
            j["rotationOrder"] = o.GetRotationOrder();
        if (o.explicitMl()) {
            j["matrix"] = matrix(*o.explicitMl());
            return;
        }
        if (!(o.GetRelPos() == Vector())) j["position"] = vec(o.GetRelPos());
        if (!(o.GetRelRot() == Vector())) j["rotation"] = vec(o.GetRelRot());
        if (!(o.GetRelScale() == Vector(1, 1, 1))) j["scale"] = vec(o.GetRelScale());
    }

    static void geometry(Json& j, const PolygonObject& p) {
        Json& points = j["points"] = Json::array();
        for (Int32 i = 0; i < p.GetPointCount(); ++i) points.push_back(vec(p.GetPointR()[i]));
        Json& polygons = j["polygons"] = Json::array();
        for (Int32 i = 0; i < p.GetPolygonCount(); ++i) {
            const CPolygon& q = p.GetPolygonR()[i];
            polygons.push_back(q.IsTriangle() ? Json::array({q.a, q.b, q.c})
                                              : Json::array({q.a, q.b, q.c, q.d}));
        }
        const std::vector<Vector32>& normals = p.givenNormals();
        if (normals.empty() || normals.size() != 4 * static_cast<std::size_t>(p.GetPolygonCount()))
            return;
        Json& entries = j["normals"] = Json::array();
        for (std::size_t i = 0; i < normals.size() / 4; ++i) {
            const Vector32* n = &normals[4 * i];
            Json corners = Json::array({vec(n[0]), vec(n[1]), vec(n[2])});
            if (!(p.GetPolygonR()[i].IsTriangle() && n[3] == n[2])) corners.push_back(vec(n[3]));
            entries.push_back(std::move(corners));
        }
    }

    static Json hair(const HairGuides& h) {
        Json j = {{"segments", h.segments}};
        Json guides = Json::array();
        for (const auto& guide : h.guides) {
            Json g = Json::array();
            for (const Vector& p : guide) g.push_back(vec(p));
            guides.push_back(std::move(g));
        }
        j["guides"] = std::move(guides);
        Json uv = Json::array();
        for (const auto& [u, v] : h.rootUV) uv.push_back(Json::array({u, v}));
        if (uv.size() == h.guides.size()) j["rootUV"] = std::move(uv);
        return j;
    }

    Json object(const BaseObject& o) const {
        Json j = Json::object();
        j["type"] = typeJson(o.GetType(), objectAlias(o.GetType()));
        putId(j, o);
        putName(j, o);
        j["key"] = o.GetGUID();
        transform(j, o);
        BaseObject preset(o.GetType());
        ApplyHostDefaults(preset);
        putParams(j, o.params(), preset.params());
        if (o.GetAllBits() > 0) j["bits"] = o.GetAllBits();
        if (const LayerObject* layer = o.GetLayerObject(&doc_)) j["layer"] = idOf(layer);
        putSelected(j, o);
        if (const auto* p = dynamic_cast<const PolygonObject*>(&o)) geometry(j, *p);
        if (o.GetType() == Ohair && o.hairGuides()) j["hair"] = hair(*o.hairGuides());
        if (o.GetFirstTag()) {
            Json& tags = j["tags"] = Json::array();
            for (const BaseTag* t = o.GetFirstTag(); t; t = t->GetNext())
                tags.push_back(tag(*t, o));
        }
        if (o.GetFirstCTrack()) {
            Json& tracks = j["tracks"] = Json::array();
            for (const CTrack* t = o.GetFirstCTrack(); t; t = t->GetNext())
                tracks.push_back(track(*t));
        }
        if (o.GetCache()) j["cache"] = object(*o.GetCache());
        if (o.GetDeformCache()) j["deformCache"] = object(*o.GetDeformCache());
        if (o.GetDown()) {
            Json& children = j["children"] = Json::array();
            for (const BaseObject* c = o.GetDown(); c; c = c->GetNext())
                children.push_back(object(*c));
        }
        return j;
    }

    const BaseDocument& doc_;
    std::map<const BaseList2D*, std::string> ids_;
    std::set<const BaseList2D*> linked_;
};

// One line: an array without objects and with at most 16 numbers in all, or
// an object of at most four plain values (a key, a channel list).
bool fitsOnOneLine(const Json& j, int& scalars) {
    if (j.is_object()) {
        if (j.size() > 4) return false;
        for (const auto& item : j.items())
            if (item.value().is_structured()) return false;
        return true;
    }
    if (!j.is_array()) return ++scalars <= 16;
    for (const Json& e : j)
        if (e.is_object() || !fitsOnOneLine(e, scalars)) return false;
    return true;
}

void print(std::string& out, const Json& j, int indent) {
    int scalars = 0;
    if (!j.is_structured()) {
        out += j.dump();
        return;
    }
    const bool object = j.is_object();
    if (j.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    const bool inline_ = fitsOnOneLine(j, scalars);
    const std::string inner(static_cast<std::size_t>(indent + 2), ' ');
    out += object ? '{' : '[';
    if (!inline_) out += '\n';
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += inline_ ? ", " : ",\n";
        first = false;
        if (!inline_) out += inner;
        if (object) out += Json(it.key()).dump() + ": ";
        print(out, *it, indent + 2);
    }
    if (!inline_) out += '\n' + std::string(static_cast<std::size_t>(indent), ' ');
    out += object ? '}' : ']';
}

}  // namespace

std::string WriteDocumentText(const BaseDocument& doc, const std::string& fileFolder) {
    std::string out;
    print(out, Writer(doc).document(fileFolder), 0);
    out += '\n';
    return out;
}

void WriteDocumentFile(const BaseDocument& doc, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    const std::string folder = absolute.lexically_normal().parent_path().string();
    const std::string text = WriteDocumentText(doc, folder);
    std::string error;
    if (!platform::writeFileAtomically(path, text.data(), text.size(), error))
        throw DocumentError("cannot write the file: " + error);
}

}  // namespace host
