// Host data read from a hair object and its hair material tags:
//
// | what          | node              | host meaning            | written                      |
// |---------------|-------------------|-------------------------|------------------------------|
// | guides        | hair object       | the library's guides    | "p", one curve per guide     |
// | segment count | hair object       | S; S + 1 points a guide | "nvertices" (0 when S is 0)  |
// | root UV       | hair object       | per guide, x and y      | "curve_uv"                   |
// | global matrix | hair object       | guides are world space  | points in the object's frame |
// | 900           | hair material tag | tag name                | the material's name          |
// | 1000          | hair material tag | material link           | (else the tag's material)    |
// | 3009, 3010    | hair material     | root and tip thickness  | "pr", root to tip            |
// | 3000          | hair material     | colour shader link      | colour or texture            |
// | 3139          | hair material     | gradient (1000481)      | colour: knot 0               |
//
// Without a hair material the radii run from 0.5 to 0.1 and the material is
// the object's display colour.
#include "convert/hair_export.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/export_context.h"
#include "convert/host_text.h"
#include "convert/material_export.h"
#include "convert/saturate.h"
#include "host/hair_library.h"
#include "host/material.h"
#include "host/object.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kTagMaterial = 1000;
constexpr host::Int32 kRootThickness = 3009;
constexpr host::Int32 kTipThickness = 3010;
constexpr host::Int32 kHairColorShader = 3000;
constexpr host::Int32 kHairGradient = 3139;
constexpr float kRootRadius = 0.5f;
constexpr float kTipRadius = 0.1f;
constexpr float kCurveRadius = 0.5f;
constexpr std::int32_t kCurveOrder = 2;  // the renderer's order for these curves

// Holds the hair object's read lock for the length of one export.
class ReadLock {
public:
    ReadLock(host::BaseObject& hair, host::BaseDocument* document) : hair_(hair) {
        locked_ = library_.Lock(&hair_, document, nullptr, false, host::HAIR_LOCK_FLAGS_NONE);
    }
    ~ReadLock() {
        if (locked_) library_.Unlock(&hair_);
    }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;
    bool locked() const { return locked_; }
    const host::HairLibrary& library() const { return library_; }

private:
    host::HairLibrary library_;
    host::BaseObject& hair_;
    bool locked_ = false;
};

struct HairLook {
    MaterialRecord record;
    float rootRadius = kRootRadius;
    float tipRadius = kTipRadius;
};

// The material a hair material tag links: its link parameter when that
// names a node, else the tag's own material.
const host::BaseMaterial* tagMaterial(const ExportContext& context, const host::BaseTag& tag) {
    host::GeData link;
    if (tag.GetParameter(host::DescID(kTagMaterial), link)) {
        if (const host::BaseList2D* node = link.GetLink(context.document)) {
            return dynamic_cast<const host::BaseMaterial*>(node);
        }
    }
    const auto* texture = dynamic_cast<const host::TextureTag*>(&tag);
    return texture ? texture->GetMaterial() : nullptr;
}

bool readFloat(const host::BaseList2D& node, host::Int32 id, float& out) {
    host::GeData data;
    if (!node.GetParameter(host::DescID(id), data)) return false;
    out = toFloat(data.GetFloat());
    return true;
}

// Walks the tags from the last to the first, so the hair material tag
// nearest the start of the list (the outermost ancestor's) decides.
HairLook readHairLook(const ExportContext& context, const host::BaseObject& hair,
                      const TextureTagList& textureTags) {
    HairLook look;
    look.record = initMaterialRecord();
    look.record.diffuse = readDisplayColor(context, hair);
    for (auto it = textureTags.rbegin(); it != textureTags.rend(); ++it) {
        const host::BaseTag* tag = *it;
        if (!tag || tag->GetType() != host::Thairmaterial) continue;
        const std::string name = toUtf8(tag->GetName());
        if (!name.empty()) look.record.name = name;
        const host::BaseMaterial* material = tagMaterial(context, *tag);
        if (!material || material->GetType() != host::Mhair) continue;
        readFloat(*material, kRootThickness, look.rootRadius);
        readFloat(*material, kTipThickness, look.tipRadius);
        host::GeData shader;
        if (material->GetParameter(host::DescID(kHairColorShader), shader)) {
            readShader(context,
                       dynamic_cast<const host::BaseShader*>(shader.GetLink(context.document)),
                       look.record);
        }
        readGradientKnotColor(*material, kHairGradient, look.record.diffuse);
    }
    return look;
}

std::int32_t countOf(std::size_t n) {
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::length_error("hair too large for the scene API");
    return static_cast<std::int32_t>(n);
}

void setArray(tal::talScene_api& api, const char* name, int base, const void* data,
              std::size_t count) {
    const tal::ArrayValue array{data, countOf(count)};
    api.setParameter(name, tal::kArrayBit | base, &array);
}

}  // namespace

void exportHair(ExportContext& context, host::BaseObject& hair, const TextureTagList& textureTags,
                float /*weight*/) {
    if (!context.scene || !context.scene->api()) return;
    tal::talScene_api& api = *context.scene->api();
    const ReadLock lock(hair, context.document);
    if (!lock.locked()) return;  // another writer holds it: nothing safe to read
    const auto guides =
        lock.library().GenerateGuides(&hair, host::HAIR_GENERATE_FLAGS_NONE, -1, -1);
    if (!guides || guides->GetCount() <= 0) return;

    // The library answers world space; the curves sit inside the object's
    // group, whose transform composes the ancestors' and the object's own.
    const host::Matrix toObject = ~hair.GetMg();
    const std::size_t segments = static_cast<std::size_t>(std::max(0, guides->GetSegmentCount()));
    const std::size_t perHair = segments == 0 ? 0 : segments + 1;
    const std::size_t hairCount = static_cast<std::size_t>(guides->GetCount());
    const std::size_t available = static_cast<std::size_t>(guides->GetPointCount());
    const host::Vector* points = guides->GetPoints();

    const HairLook look = readHairLook(context, hair, textureTags);
    const auto step = toFloat(static_cast<double>(look.tipRadius - look.rootRadius) /
                              (static_cast<double>(static_cast<float>(perHair)) - 1.0));

    std::vector<float> positions;
    std::vector<float> radii;
    std::vector<float> curveUV;
    std::vector<std::int32_t> vertexCounts;
    positions.reserve(hairCount * perHair * 3);
    radii.reserve(hairCount * perHair);
    curveUV.reserve(hairCount * 2);
    vertexCounts.reserve(hairCount);
    for (std::size_t i = 0; i < hairCount; ++i) {
        float r = look.rootRadius;
        std::size_t written = 0;
        for (std::size_t j = 0; j < perHair && i * perHair + j < available && points; ++j) {
            const host::Vector p = toObject * points[i * perHair + j];
            positions.insert(positions.end(), {toFloat(p.x), toFloat(p.y), toFloat(p.z)});
            radii.push_back(r);
            r += step;
            ++written;
        }
        vertexCounts.push_back(countOf(written));
        const host::Vector uv = guides->GetRootUV(static_cast<host::Int32>(i));
        curveUV.insert(curveUV.end(), {toFloat(uv.x), toFloat(uv.y)});
    }

    api.beginObject(toUtf8(hair.GetName()).c_str(), true);
    api.beginGeometry("tal_bezier_curves");
    api.setParameter("radius", tal::kFloat, &kCurveRadius);
    api.setParameter("order", tal::kInt, &kCurveOrder);
    setArray(api, "p", tal::kFloat3, positions.data(), positions.size() / 3);
    setArray(api, "pr", tal::kFloat, radii.data(), radii.size());
    setArray(api, "curve_uv", tal::kFloat, curveUV.data(), curveUV.size());
    setArray(api, "nvertices", tal::kInt, vertexCounts.data(), vertexCounts.size());
    api.endGeometry();
    exportMaterial(context, look.record);
    api.endObject();
}

}  // namespace convert
