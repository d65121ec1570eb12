// The document file writer: a BaseDocument as the JSON the loader reads.
// Structure first (an ordered JSON tree of everything but the big arrays),
// then the printer (document_printer.h), which prints the big arrays straight
// from the document.
#include "host/document_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "host/document_loader.h"
#include "host/document_printer.h"
#include "platform/atomic_file.h"

namespace host {

namespace {

using writer::BulkArray;
using writer::Json;
using writer::Output;

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
    Writer(const BaseDocument& doc, writer::Printer& printer) : doc_(doc), printer_(&printer) {
        collectIds();
    }

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
        if (const auto* uvw = dynamic_cast<const UVWTag*>(&t)) j["uvw"] = uvwEntries(*uvw, polygon);
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

    // Three corners for a triangle whose fourth repeats the third, else four.
    static std::size_t corners(const CPolygon& polygon, bool lastRepeats) {
        return polygon.IsTriangle() && lastRepeats ? 3 : 4;
    }

    Json uvwEntries(const UVWTag& uvw, const PolygonObject* polygon) const {
        BulkArray a;
        if (polygon)
            a.count = std::min(static_cast<std::size_t>(polygon->GetPolygonCount()),
                               static_cast<std::size_t>(uvw.GetDataCount()));
        const UVWStruct* e = uvw.GetDataAddressR();
        const CPolygon* p = polygon ? polygon->GetPolygonR() : nullptr;
        a.numbers = [=](std::size_t i) { return 3 * corners(p[i], e[i].d == e[i].c); };
        a.entry = [=](Output& out, std::size_t i) {
            const std::size_t n = corners(p[i], e[i].d == e[i].c);
            const Vector* c[4] = {&e[i].a, &e[i].b, &e[i].c, &e[i].d};
            out.put('[');
            for (std::size_t k = 0; k < n; ++k) {
                if (k > 0) out.put(", ");
                out.vector(*c[k]);
            }
            out.put(']');
        };
        return printer_->defer(std::move(a));
    }

    void geometry(Json& j, const PolygonObject& p) const {
        const Vector* points = p.GetPointR();
        const CPolygon* polygons = p.GetPolygonR();
        BulkArray a;
        a.count = static_cast<std::size_t>(p.GetPointCount());
        a.numbers = [](std::size_t) { return std::size_t{3}; };
        a.entry = [=](Output& out, std::size_t i) { out.vector(points[i]); };
        j["points"] = printer_->defer(std::move(a));
        BulkArray b;
        b.count = static_cast<std::size_t>(p.GetPolygonCount());
        b.numbers = [=](std::size_t i) { return std::size_t{polygons[i].IsTriangle() ? 3u : 4u}; };
        b.entry = [=](Output& out, std::size_t i) {
            const CPolygon& q = polygons[i];
            const Int32 index[4] = {q.a, q.b, q.c, q.d};
            out.put('[');
            for (std::size_t k = 0; k < (q.IsTriangle() ? 3u : 4u); ++k) {
                if (k > 0) out.put(", ");
                out.number(static_cast<Int64>(index[k]));
            }
            out.put(']');
        };
        j["polygons"] = printer_->defer(std::move(b));
        const std::vector<Vector32>& normals = p.givenNormals();
        if (normals.empty() || normals.size() != 4 * static_cast<std::size_t>(p.GetPolygonCount()))
            return;
        const Vector32* n = normals.data();
        BulkArray c;
        c.count = normals.size() / 4;
        c.numbers = [=](std::size_t i) {
            return 3 * corners(polygons[i], n[4 * i + 3] == n[4 * i + 2]);
        };
        c.entry = [=](Output& out, std::size_t i) {
            out.put('[');
            for (std::size_t k = 0; k < corners(polygons[i], n[4 * i + 3] == n[4 * i + 2]); ++k) {
                if (k > 0) out.put(", ");
                const Vector32& v = n[4 * i + k];
                out.vector(Vector(static_cast<double>(v.x), static_cast<double>(v.y),
                                  static_cast<double>(v.z)));
            }
            out.put(']');
        };
        j["normals"] = printer_->defer(std::move(c));
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
    writer::Printer* printer_;
    std::map<const BaseList2D*, std::string> ids_;
    std::set<const BaseList2D*> linked_;
};

}  // namespace

std::string WriteDocumentText(const BaseDocument& doc, const std::string& fileFolder) {
    writer::Printer printer;
    const Json tree = Writer(doc, printer).document(fileFolder);
    Output out;
    printer.print(out, tree, 0);
    out.put('\n');
    return out.finish();
}

void WriteDocumentFile(const BaseDocument& doc, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    const std::string folder = absolute.lexically_normal().parent_path().string();
    writer::Printer printer;
    const Json tree = Writer(doc, printer).document(folder);
    std::string error;
    platform::AtomicFile file;
    if (!file.open(path, error)) throw DocumentError("cannot write the file: " + error);
    std::FILE* stream = file.stream();
    if (!stream) throw DocumentError("cannot write the file: " + std::string(std::strerror(errno)));
    // A failed write leaves the stream's error set, which commit() reports.
    Output out(
        [stream](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stream); });
    printer.print(out, tree, 0);
    out.put('\n');
    out.finish();
    if (!file.commit(error)) throw DocumentError("cannot write the file: " + error);
}

}  // namespace host
