// Loading objects with their geometry, tags, tracks, hair and caches.
//
// Host defaults set before "params" (a null entry removes them):
//   every object  901, 902 = 2 (visibility: inherit)
//   camera 5103   1008 = 0.9272952180016122 (field of view, radians)
//   light 5102    90000 = [1, 1, 1], 90001 = 1.0, 90002 = 0, 90046 = 0,
//                 100010 = 200, 100011 = 200, 100012 = 0
// Tracks: 904 = 1 (on).
#include <algorithm>
#include <limits>
#include <vector>

#include "host/loader_context.h"

namespace host {

void ApplyHostDefaults(BaseObject& o) {
    BaseContainer& p = o.params();
    p.Set(ID_BASEOBJECT_VISIBILITY_EDITOR, GeData::Integer(MODE_UNDEF));
    p.Set(ID_BASEOBJECT_VISIBILITY_RENDER, GeData::Integer(MODE_UNDEF));
    if (o.GetType() == Ocamera) p.Set(1008, GeData::Number(0.9272952180016122));
    if (o.GetType() == Olight) {
        p.Set(90000, GeData(Vector(1, 1, 1)));
        p.Set(90001, GeData::Number(1.0));
        p.Set(90002, GeData::Integer(0));
        p.Set(90046, GeData::Integer(0));
        p.Set(100010, GeData::Integer(200));
        p.Set(100011, GeData::Integer(200));
        p.Set(100012, GeData::Integer(0));
    }
}

}  // namespace host

namespace host::loader {

namespace {

constexpr Int32 kInt32Max = std::numeric_limits<Int32>::max();

void loadPoints(Context& ctx, PolygonObject& o, const Json& j, const std::string& path) {
    if (ctx.takePoints(j, o.points())) return;  // finite [x, y, z] each: nothing to check
    const Json& points = ctx.array(j, path);
    o.points().reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        o.points().push_back(ctx.vector(points[i], indexPath(path, i)));
}

// Polygons read as host polygons still have their indices checked against
// the points, in the order and with the messages of the general path.
void checkPolygons(Context& ctx, const PolygonObject& o, const std::string& path) {
    const Int64 count = o.GetPointCount();
    const CPolygon* polygons = o.GetPolygonR();
    for (Int32 i = 0; i < o.GetPolygonCount(); ++i) {
        const CPolygon& p = polygons[i];
        const Int32 idx[4] = {p.a, p.b, p.c, p.d};
        for (std::size_t k = 0; k < 4; ++k) {
            if (idx[k] < count) continue;
            const std::string at = indexPath(indexPath(path, static_cast<std::size_t>(i)), k);
            ctx.fail(at, "point index " + std::to_string(idx[k]) + " outside the " +
                             std::to_string(count) + " points");
        }
    }
}

void loadPolygons(Context& ctx, PolygonObject& o, const Json& j, const std::string& path) {
    if (ctx.takePolygons(j, o.polygons())) return checkPolygons(ctx, o, path);
    const Json& polygons = ctx.array(j, path);
    const Int64 count = o.GetPointCount();
    o.polygons().reserve(polygons.size());
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const std::string at = indexPath(path, i);
        const Json& p = polygons[i];
        if (!p.is_array() || (p.size() != 3 && p.size() != 4))
            ctx.fail(at, "expected [a, b, c] or [a, b, c, d] (point indices)");
        Int32 idx[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < p.size(); ++k) {
            const std::string ak = indexPath(at, k);
            const Int64 v = ctx.integer(p[k], ak, std::numeric_limits<Int32>::min(), kInt32Max);
            if (v < 0 || v >= count)
                ctx.fail(ak, "point index " + std::to_string(v) + " outside the " +
                                 std::to_string(count) + " points");
            idx[k] = static_cast<Int32>(v);
        }
        if (p.size() == 3) idx[3] = idx[2];  // a triangle: d = c
        o.polygons().push_back(CPolygon{idx[0], idx[1], idx[2], idx[3]});
    }
}

void loadHair(Context& ctx, BaseObject& o, const Json& j, const std::string& path) {
    ctx.object(j, path, {"segments", "guides", "rootUV"});
    if (!j.contains("segments")) ctx.fail(path, "missing \"segments\"");
    HairGuides hair;
    hair.segments =
        static_cast<Int32>(ctx.integer(j["segments"], childPath(path, "segments"), 0, 1 << 20));
    const std::size_t points = static_cast<std::size_t>(hair.segments) + 1;
    if (j.contains("guides")) {
        const std::string gp = childPath(path, "guides");
        const Json& guides = ctx.array(j["guides"], gp);
        for (std::size_t g = 0; g < guides.size(); ++g) {
            const std::string at = indexPath(gp, g);
            const Json& guide = ctx.array(guides[g], at);
            if (guide.size() != points)
                ctx.fail(at, "a guide of " + std::to_string(hair.segments) + " segments has " +
                                 std::to_string(points) + " points, found " +
                                 std::to_string(guide.size()));
            std::vector<Vector> v;
            v.reserve(points);
            for (std::size_t k = 0; k < guide.size(); ++k)
                v.push_back(ctx.vector(guide[k], indexPath(at, k)));
            hair.guides.push_back(std::move(v));
        }
    }
    if (j.contains("rootUV")) {
        const std::string rp = childPath(path, "rootUV");
        const Json& uv = ctx.array(j["rootUV"], rp);
        if (uv.size() != hair.guides.size())
            ctx.fail(rp, "expected one [u, v] per guide (" + std::to_string(hair.guides.size()) +
                             "), found " + std::to_string(uv.size()));
        for (std::size_t i = 0; i < uv.size(); ++i) {
            const std::string at = indexPath(rp, i);
            if (!uv[i].is_array() || uv[i].size() != 2) ctx.fail(at, "expected [u, v]");
            hair.rootUV.emplace_back(ctx.number(uv[i][0], indexPath(at, 0)),
                                     ctx.number(uv[i][1], indexPath(at, 1)));
        }
    } else {
        hair.rootUV.assign(hair.guides.size(), {0.0, 0.0});
    }
    o.setHairGuides(std::move(hair));
}

// UVW entries: one per polygon, four corners (three allowed for a triangle,
// whose fourth corner repeats the third). Polygons without an entry read 0.
void loadUVW(Context& ctx, UVWTag& tag, const PolygonObject* owner, const Json& j,
             const std::string& path) {
    const std::size_t polygons = owner ? static_cast<std::size_t>(owner->GetPolygonCount()) : 0;
    BulkArrays::Uvw read;
    if (ctx.takeUvw(j, read)) {
        // The first failure of the general path's order: an entry past the
        // polygons comes after every earlier entry's corner check.
        const std::size_t count = std::min(read.entries.size(), polygons);
        for (std::size_t i : read.threeCornered) {
            if (i >= count) break;
            if (!owner->GetPolygonR()[i].IsTriangle())
                ctx.fail(indexPath(path, i),
                         "polygon " + std::to_string(i) + " is a quad: four corners expected");
        }
        if (read.entries.size() > polygons)
            ctx.fail(indexPath(path, polygons),
                     "UVW entry outside the " + std::to_string(polygons) + " polygons");
        tag.data() = std::move(read.entries);
        tag.data().resize(polygons);
        return;
    }
    const Json& entries = ctx.array(j, path);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string at = indexPath(path, i);
        if (i >= polygons)
            ctx.fail(at, "UVW entry outside the " + std::to_string(polygons) + " polygons");
        const Json& e = entries[i];
        if (!e.is_array() || (e.size() != 3 && e.size() != 4))
            ctx.fail(at, "expected four [u, v, w] corners (three for a triangle)");
        const CPolygon& poly = owner->GetPolygonR()[i];
        if (e.size() == 3 && !poly.IsTriangle())
            ctx.fail(at, "polygon " + std::to_string(i) + " is a quad: four corners expected");
        UVWStruct uvw;
        uvw.a = ctx.vector(e[0], indexPath(at, 0));
        uvw.b = ctx.vector(e[1], indexPath(at, 1));
        uvw.c = ctx.vector(e[2], indexPath(at, 2));
        uvw.d = e.size() == 4 ? ctx.vector(e[3], indexPath(at, 3)) : uvw.c;
        tag.data().push_back(uvw);
    }
    tag.data().resize(polygons);
}

// Given corner normals: exactly one entry per polygon, four corners (three
// for a triangle, whose fourth repeats the third).
void loadNormals(Context& ctx, PolygonObject& o, const Json& j, const std::string& path) {
    const Json& entries = ctx.array(j, path);
    const std::size_t polygons = static_cast<std::size_t>(o.GetPolygonCount());
    if (entries.size() != polygons)
        ctx.fail(path, "expected one entry per polygon (" + std::to_string(polygons) + "), found " +
                           std::to_string(entries.size()));
    std::vector<Vector32> normals;
    normals.reserve(4 * polygons);
    const auto corner = [&](const Json& c, const std::string& at) {
        const Vector v = ctx.vector(c, at);
        normals.push_back(
            {static_cast<Float32>(v.x), static_cast<Float32>(v.y), static_cast<Float32>(v.z)});
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string at = indexPath(path, i);
        const Json& e = entries[i];
        if (!e.is_array() || (e.size() != 3 && e.size() != 4))
            ctx.fail(at, "expected four [x, y, z] corner normals (three for a triangle)");
        if (e.size() == 3 && !o.GetPolygonR()[i].IsTriangle())
            ctx.fail(at, "polygon " + std::to_string(i) + " is a quad: four corners expected");
        for (std::size_t k = 0; k < e.size(); ++k) corner(e[k], indexPath(at, k));
        if (e.size() == 3) normals.push_back(normals.back());
    }
    o.setGivenNormals(std::move(normals));
}

std::unique_ptr<BaseTag> loadTag(Context& ctx, BaseObject& owner, const Json& j,
                                 const std::string& path) {
    ctx.object(
        j, path,
        {"type", "name", "params", "selected", "material", "textureMatrix", "uvw", "polygons"});
    if (!j.contains("type")) ctx.fail(path, "missing \"type\"");
    const Int32 type = ctx.typeId(j["type"], childPath(path, "type"), NodeKind::Tag);
    std::unique_ptr<BaseTag> tag;
    if (type == Ttexture || type == Thairmaterial)
        tag = std::make_unique<TextureTag>(type);
    else if (type == Tuvw)
        tag = std::make_unique<UVWTag>();
    else if (type == Tpolygonselection)
        tag = std::make_unique<SelectionTag>();
    else
        tag = std::make_unique<BaseTag>(type);
    const auto only = [&](const char* key, bool allowed, const char* what) {
        if (j.contains(key) && !allowed)
            ctx.fail(childPath(path, key), std::string("only ") + what + " have this key");
    };
    only("material", type == Ttexture || type == Thairmaterial, "texture and hair material tags");
    only("textureMatrix", type == Ttexture || type == Thairmaterial,
         "texture and hair material tags");
    only("uvw", type == Tuvw, "UVW tags (5671)");
    only("polygons", type == Tpolygonselection, "polygon selection tags (5673)");

    if (j.contains("name")) tag->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    if (j.contains("params")) ctx.params(tag->params(), j["params"], childPath(path, "params"));
    if (j.contains("selected") && ctx.boolean(j["selected"], childPath(path, "selected")))
        ctx.doc().SetSelected(tag.get(), true);
    auto* texture = dynamic_cast<TextureTag*>(tag.get());
    if (j.contains("material")) {
        const std::string at = childPath(path, "material");
        ctx.deferLink(ctx.string(j["material"], at), LinkKind::Material, at,
                      [texture](BaseList2D* node) {
                          texture->SetMaterial(static_cast<BaseMaterial*>(node));
                      });
    }
    if (j.contains("textureMatrix"))
        texture->SetMl(ctx.matrix(j["textureMatrix"], childPath(path, "textureMatrix")));
    const auto* polygonOwner = dynamic_cast<const PolygonObject*>(&owner);
    if (j.contains("uvw"))
        loadUVW(ctx, static_cast<UVWTag&>(*tag), polygonOwner, j["uvw"], childPath(path, "uvw"));
    if (j.contains("polygons")) {
        const std::string pp = childPath(path, "polygons");
        const Json& list = ctx.array(j["polygons"], pp);
        // A list shaped like an object's polygons was read as polygons: its
        // first entry is a list, not an index.
        std::vector<CPolygon> misread;
        if (ctx.takePolygons(list, misread) && !misread.empty())
            ctx.fail(indexPath(pp, 0), "expected an integer, found an array");
        const Int64 count = polygonOwner ? polygonOwner->GetPolygonCount() : 0;
        BaseSelect* select = static_cast<SelectionTag&>(*tag).GetBaseSelect();
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string at = indexPath(pp, i);
            const Int64 v = ctx.integer(list[i], at, std::numeric_limits<Int32>::min(), kInt32Max);
            if (v < 0 || v >= count)
                ctx.fail(at, "polygon index " + std::to_string(v) + " outside the " +
                                 std::to_string(count) + " polygons");
            select->Select(static_cast<Int32>(v));
        }
    }
    return tag;
}

Interpolation interpolation(Context& ctx, const Json& j, const std::string& path) {
    const std::string name = ctx.string(j, path);
    if (name == "linear") return Interpolation::Linear;
    if (name == "step") return Interpolation::Step;
    if (name == "spline") return Interpolation::Spline;
    ctx.fail(path, "unknown interpolation \"" + name + "\" (expected linear, step or spline)");
}

std::unique_ptr<CTrack> loadTrack(Context& ctx, const Json& j, const std::string& path) {
    ctx.object(j, path, {"param", "name", "params", "keys"});
    if (!j.contains("param")) ctx.fail(path, "missing \"param\"");
    const std::string pp = childPath(path, "param");
    const Json& param = ctx.array(j["param"], pp);
    if (param.empty() || param.size() > 3)
        ctx.fail(pp, "expected [parameter, component] (e.g. [903, 1000])");
    Int32 ids[3] = {0, 0, 0};
    for (std::size_t i = 0; i < param.size(); ++i)
        ids[i] = static_cast<Int32>(ctx.integer(param[i], indexPath(pp, i), 0, kInt32Max));
    const DescID id = param.size() == 1   ? DescID(ids[0])
                      : param.size() == 2 ? DescID(ids[0], ids[1])
                                          : DescID(ids[0], ids[1], ids[2]);
    auto track = std::make_unique<CTrack>(id);
    track->params().Set(904, GeData::Integer(1));
    if (j.contains("name")) track->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    if (j.contains("params")) ctx.params(track->params(), j["params"], childPath(path, "params"));
    if (j.contains("keys")) {
        const std::string kp = childPath(path, "keys");
        const Json& keys = ctx.array(j["keys"], kp);
        std::vector<CKey> sorted;
        sorted.reserve(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const std::string at = indexPath(kp, i);
            ctx.object(keys[i], at, {"time", "value", "interpolation"});
            if (!keys[i].contains("time")) ctx.fail(at, "missing \"time\"");
            if (!keys[i].contains("value")) ctx.fail(at, "missing \"value\"");
            const Float time = ctx.seconds(keys[i]["time"], childPath(at, "time"));
            const Float value = ctx.number(keys[i]["value"], childPath(at, "value"));
            const Interpolation how =
                keys[i].contains("interpolation")
                    ? interpolation(ctx, keys[i]["interpolation"], childPath(at, "interpolation"))
                    : Interpolation::Linear;
            sorted.emplace_back(BaseTime(time), value, how);
        }
        // Sorted here, stably, so that each key is appended: inserting keys
        // in file order would cost the square of their count for a file that
        // lists them backwards.
        std::stable_sort(sorted.begin(), sorted.end(), [](const CKey& a, const CKey& b) {
            return a.GetTime().Get() < b.GetTime().Get();
        });
        for (const CKey& key : sorted) track->GetCurve()->AddKey(key);
    }
    return track;
}

void loadTransform(Context& ctx, BaseObject& o, const Json& j, const std::string& path) {
    if (j.contains("rotationOrder"))
        o.SetRotationOrder(static_cast<Int32>(
            ctx.integer(j["rotationOrder"], childPath(path, "rotationOrder"), 0, 6)));
    if (j.contains("matrix")) {
        for (const char* key : {"position", "rotation", "scale"})
            if (j.contains(key))
                ctx.fail(childPath(path, key),
                         "an object with \"matrix\" takes no position, rotation or scale");
        o.SetMl(ctx.matrix(j["matrix"], childPath(path, "matrix")));
        return;
    }
    if (j.contains("position")) o.SetRelPos(ctx.vector(j["position"], childPath(path, "position")));
    if (j.contains("rotation")) o.SetRelRot(ctx.vector(j["rotation"], childPath(path, "rotation")));
    if (j.contains("scale")) o.SetRelScale(ctx.vector(j["scale"], childPath(path, "scale")));
}

}  // namespace

std::unique_ptr<BaseObject> loadObject(Context& ctx, const Json& j, const std::string& path,
                                       int depth) {
    ctx.object(j, path, {"type",        "id",    "name",          "key",      "position",
                         "rotation",    "scale", "rotationOrder", "matrix",   "params",
                         "bits",        "layer", "selected",      "points",   "polygons",
                         "normals",     "tags",  "tracks",        "children", "cache",
                         "deformCache", "hair"});
    if (depth > kMaxObjectDepth)
        ctx.fail(path, "objects nested deeper than " + std::to_string(kMaxObjectDepth) + " levels");
    if (!j.contains("type")) ctx.fail(path, "missing \"type\"");
    const Int32 type = ctx.typeId(j["type"], childPath(path, "type"), NodeKind::Object);
    std::unique_ptr<BaseObject> o =
        type == Opolygon ? std::make_unique<PolygonObject>() : std::make_unique<BaseObject>(type);
    auto* polygon = dynamic_cast<PolygonObject*>(o.get());
    for (const char* key : {"points", "polygons", "normals"})
        if (j.contains(key) && !polygon)
            ctx.fail(childPath(path, key), "only polygon objects (5100) have this key");
    if (j.contains("hair") && type != Ohair)
        ctx.fail(childPath(path, "hair"), "only hair objects (1017305) have this key");

    if (j.contains("id")) ctx.registerId(*o, j["id"], childPath(path, "id"));
    if (j.contains("name")) o->SetName(String(ctx.string(j["name"], childPath(path, "name"))));
    const bool hasKey = j.contains("key");
    if (hasKey) o->SetGUID(ctx.unsignedInteger(j["key"], childPath(path, "key")));
    ctx.noteObject(o.get(), hasKey);
    loadTransform(ctx, *o, j, path);
    ApplyHostDefaults(*o);
    if (j.contains("params")) ctx.params(o->params(), j["params"], childPath(path, "params"));
    if (j.contains("bits"))
        o->SetAllBits(
            static_cast<Int32>(ctx.integer(j["bits"], childPath(path, "bits"), 0, kInt32Max)));
    if (j.contains("layer")) {
        const std::string at = childPath(path, "layer");
        BaseObject* target = o.get();
        ctx.deferLink(ctx.string(j["layer"], at), LinkKind::Layer, at, [target](BaseList2D* node) {
            target->SetLayerObject(static_cast<LayerObject*>(node));
        });
    }
    if (j.contains("selected") && ctx.boolean(j["selected"], childPath(path, "selected")))
        ctx.doc().SetSelected(o.get(), true);
    if (j.contains("points")) loadPoints(ctx, *polygon, j["points"], childPath(path, "points"));
    if (j.contains("polygons"))
        loadPolygons(ctx, *polygon, j["polygons"], childPath(path, "polygons"));
    if (j.contains("normals")) loadNormals(ctx, *polygon, j["normals"], childPath(path, "normals"));
    if (j.contains("hair")) loadHair(ctx, *o, j["hair"], childPath(path, "hair"));
    if (j.contains("tags")) {
        const std::string tp = childPath(path, "tags");
        const Json& tags = ctx.array(j["tags"], tp);
        for (std::size_t i = 0; i < tags.size(); ++i)
            o->InsertTag(loadTag(ctx, *o, tags[i], indexPath(tp, i)));
    }
    if (j.contains("tracks")) {
        const std::string tp = childPath(path, "tracks");
        const Json& tracks = ctx.array(j["tracks"], tp);
        for (std::size_t i = 0; i < tracks.size(); ++i)
            o->InsertTrack(loadTrack(ctx, tracks[i], indexPath(tp, i)));
    }
    // Document order: the object, its cache, its deform cache, its children.
    if (j.contains("cache"))
        o->SetCache(loadObject(ctx, j["cache"], childPath(path, "cache"), depth + 1));
    if (j.contains("deformCache"))
        o->SetDeformCache(
            loadObject(ctx, j["deformCache"], childPath(path, "deformCache"), depth + 1));
    if (j.contains("children")) {
        const std::string cp = childPath(path, "children");
        const Json& children = ctx.array(j["children"], cp);
        for (std::size_t i = 0; i < children.size(); ++i)
            o->InsertChild(loadObject(ctx, children[i], indexPath(cp, i), depth + 1));
    }
    return o;
}

}  // namespace host::loader
