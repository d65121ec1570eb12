// The first assimp animation into host tracks with linear keys.
//
// The document has one timeline, so the first animation is imported (the
// others are warned about). A channel names its node; its position, rotation
// and scale keys become up to three tracks each, one per component that
// changes (903 position x, y, z in cm; 904 rotation H, P, B; 905 scale).
// Key times are ticks / ticks per second (25 when the file gives none).
// Rotations are the mirrored quaternions' angles, unwrapped key to key so
// the host never turns the long way round; between keys the host
// interpolates the angles linearly. The object's own position, rotation and
// scale are set to the values at the first key.
#include <cmath>
#include <sstream>

#include "host/assimp/import_context.h"

namespace host::assimp::detail {

namespace {

constexpr double kDefaultTicksPerSecond = 25.0;

struct Key {
    double time;
    Vector value;
};

const char* const kAnimations =
    "animations not imported (the document has one timeline; the first animation is imported)";
const char* const kUnknownNodes = "animation channels for nodes that do not exist skipped";

double seconds(const Context& ctx, double ticks, double perSecond, const std::string& at) {
    const double t = ticks / perSecond;
    if (!std::isfinite(t) || std::abs(t) > kMaxDocumentSeconds) {
        std::ostringstream message;
        message << at << ": key time " << t << " s is outside the range of " << -kMaxDocumentSeconds
                << " to " << kMaxDocumentSeconds << " s";
        ctx.fail(message.str());
    }
    return t;
}

// Keys whose time does not increase are dropped (assimp repeats a time where
// a file holds a jump).
template <typename AiKey, typename Convert>
std::vector<Key> keys(const Context& ctx, const AiKey* in, unsigned count, double perSecond,
                      const std::string& at, Convert convert) {
    std::vector<Key> out;
    out.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const double t = seconds(ctx, in[i].mTime, perSecond, at);
        if (!out.empty() && !(t > out.back().time)) continue;
        out.push_back({t, convert(in[i].mValue, out.empty() ? Vector() : out.back().value)});
    }
    return out;
}

void addTracks(BaseObject& object, Int32 param, const std::vector<Key>& keys) {
    if (keys.empty()) return;
    const auto component = [](const Vector& v, int c) {
        return c == 0 ? v.x : (c == 1 ? v.y : v.z);
    };
    for (int c = 0; c < 3; ++c) {
        const double first = component(keys.front().value, c);
        bool changes = false;
        for (const Key& k : keys) changes = changes || component(k.value, c) != first;
        if (!changes) continue;
        auto track = std::make_unique<CTrack>(DescID(param, VECTOR_X + c));
        track->params().Set(904, GeData::Integer(1));
        for (const Key& k : keys)
            track->GetCurve()->AddKey(
                CKey(BaseTime(k.time), component(k.value, c), Interpolation::Linear));
        object.InsertTrack(std::move(track));
    }
    if (param == ID_BASEOBJECT_REL_POSITION) object.SetRelPos(keys.front().value);
    if (param == ID_BASEOBJECT_REL_ROTATION) object.SetRelRot(keys.front().value);
    if (param == ID_BASEOBJECT_REL_SCALE) object.SetRelScale(keys.front().value);
}

// The object's matrix as position, rotation and scale, so tracks can drive them.
void decompose(BaseObject& object) {
    Matrix m = object.GetMl();
    const auto length = [](const Vector& v) { return std::sqrt(Dot(v, v)); };
    const Vector scale(length(m.v1), length(m.v2), length(m.v3));
    m.v1 = Normalize(m.v1), m.v2 = Normalize(m.v2), m.v3 = Normalize(m.v3);
    object.SetRelPos(m.off);
    object.SetRelRot(MatrixToHPBNear(m, Vector()));
    object.SetRelScale(scale);
}

}  // namespace

void importAnimation(Context& ctx) {
    const aiScene& scene = ctx.scene;
    for (unsigned i = 1; i < scene.mNumAnimations; ++i)
        ctx.warnings.note(kAnimations, "\"" + text(scene.mAnimations[i]->mName) + "\"");
    if (scene.mNumAnimations == 0) return;
    const aiAnimation& animation = *scene.mAnimations[0];
    const double perSecond =
        animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : kDefaultTicksPerSecond;
    const Space& space = ctx.space;
    for (unsigned k = 0; k < animation.mNumChannels; ++k) {
        const aiNodeAnim& channel = *animation.mChannels[k];
        const std::string name = text(channel.mNodeName);
        const auto found = ctx.nodeObjects.find(name);
        if (found == ctx.nodeObjects.end()) {
            ctx.warnings.note(kUnknownNodes, "\"" + name + "\"");
            continue;
        }
        BaseObject& object = *found->second;
        const std::string at = "animation channel \"" + name + "\"";
        decompose(object);
        addTracks(object, ID_BASEOBJECT_REL_POSITION,
                  keys(ctx, channel.mPositionKeys, channel.mNumPositionKeys, perSecond, at,
                       [&](const aiVector3D& v, const Vector&) { return space.point(v); }));
        addTracks(object, ID_BASEOBJECT_REL_ROTATION,
                  keys(ctx, channel.mRotationKeys, channel.mNumRotationKeys, perSecond, at,
                       [](const aiQuaternion& q, const Vector& near) {
                           return MatrixToHPBNear(Space::rotation(q), near);
                       }));
        addTracks(object, ID_BASEOBJECT_REL_SCALE,
                  keys(ctx, channel.mScalingKeys, channel.mNumScalingKeys, perSecond, at,
                       [](const aiVector3D& v, const Vector&) { return Vector(v.x, v.y, v.z); }));
    }
}

}  // namespace host::assimp::detail
