// glTF animation into host tracks with keys.
//
// The document has one timeline, and every animation goes onto it: files
// often hold one animation per object. Where two channels drive the same
// property (node and path), the first in the file wins and the others are
// warned about; ImportOptions::animation picks one animation alone instead,
// for files whose animations are alternatives of each other. Each channel on
// an imported node's translation, rotation or scale becomes up to three
// tracks, one per component:
//
// | glTF path    | track (description id)  | key values                            |
// |--------------|-------------------------|---------------------------------------|
// | translation  | 903 position, x / y / z | 100 * (x, y, -z), centimetres         |
// | rotation     | 904 rotation, H / P / B | the mirrored quaternion's angles      |
// | scale        | 905 scale, x / y / z    | as they are                           |
//
// | glTF interpolation | host keys                                                 |
// |--------------------|-----------------------------------------------------------|
// | STEP               | one step key per glTF key                                 |
// | LINEAR             | one linear key per glTF key; rotations add keys where the |
// |                    | angles' straight line strays from the slerp (below)       |
// | CUBICSPLINE        | linear keys sampled from the curve (below)                |
//
// Sampling: a segment between two keys is halved until the host's linear
// interpolation of its ends is within tolerance of the glTF curve at a
// quarter, half and three quarters of the way (0.001 radians, 0.01 cm, 0.0001
// of scale), at most 64 pieces per segment. Angles are unwrapped key to key
// (whole turns and the equivalent (H + pi, pi - P, B + pi)), so the host
// never spins the long way round. A component that never changes gets no
// track: its value is set on the object instead. Either way, the object's
// own position, rotation or scale is set to the channel's value at its first
// key, so its components agree with the tracks at every time.
//
// Time: every track keeps the times of its glTF keys, so the merged timeline
// spans the union of the animations' ranges by itself. The document's start
// time stays 0, as with a single animation: the export reads the objects'
// rest values there and places each track by its own first key.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

enum class Path { Translation, Rotation, Scale };
enum class Mode { Linear, Step, Cubic };

constexpr int kMaxDepth = 6;

struct Curve {
    std::vector<float> times, values;
    std::size_t width = 3;
    Mode mode = Mode::Linear;
    Path path = Path::Translation;

    std::size_t count() const { return times.size(); }
    const float* key(std::size_t i) const {
        return &values[(mode == Mode::Cubic ? 3 * i + 1 : i) * width];
    }

    std::vector<double> at(double t) const {
        const std::size_t n = count();
        const auto copy = [&](const float* v) { return std::vector<double>(v, v + width); };
        if (t <= times[0]) return copy(key(0));
        if (t >= times[n - 1]) return copy(key(n - 1));
        const std::size_t i = static_cast<std::size_t>(
                                  std::upper_bound(times.begin(), times.end(), t) - times.begin()) -
                              1;
        const double t0 = times[i], dt = times[i + 1] - t0, s = (t - t0) / dt;
        const float *a = key(i), *b = key(i + 1);
        std::vector<double> out(width);
        if (mode == Mode::Step) return copy(a);
        if (mode == Mode::Cubic) {
            const float* outTangent = &values[(3 * i + 2) * width];
            const float* inTangent = &values[(3 * (i + 1)) * width];
            const double s2 = s * s, s3 = s2 * s;
            for (std::size_t c = 0; c < width; ++c)
                out[c] = (2 * s3 - 3 * s2 + 1) * a[c] + (s3 - 2 * s2 + s) * dt * outTangent[c] +
                         (-2 * s3 + 3 * s2) * b[c] + (s3 - s2) * dt * inTangent[c];
        } else if (path == Path::Rotation) {
            double dot = 0;
            for (std::size_t c = 0; c < 4; ++c) dot += double(a[c]) * b[c];
            const double sign = dot < 0 ? -1.0 : 1.0;
            dot = std::abs(dot);
            double wa = 1 - s, wb = s;
            if (dot < 0.9995) {
                const double theta = std::acos(std::min(dot, 1.0));
                wa = std::sin((1 - s) * theta) / std::sin(theta);
                wb = std::sin(s * theta) / std::sin(theta);
            }
            for (std::size_t c = 0; c < 4; ++c) out[c] = wa * a[c] + wb * sign * b[c];
        } else {
            for (std::size_t c = 0; c < width; ++c) out[c] = (1 - s) * a[c] + s * b[c];
        }
        return out;
    }
};

struct Key {
    double time;
    Vector value;
};

Vector hostValue(const Curve& curve, const std::vector<double>& v, const Vector& near) {
    switch (curve.path) {
        case Path::Translation:
            return hostPoint(v[0], v[1], v[2]);
        case Path::Scale:
            return {v[0], v[1], v[2]};
        case Path::Rotation:
            return MatrixToHPBNear(hostRotation(v[0], v[1], v[2], v[3]), near);
    }
    return {};
}

bool close(const Curve& curve, const Vector& straight, const std::vector<double>& exact) {
    if (curve.path == Path::Rotation)
        return rotationDistance(HPBToMatrix(straight, ROTATIONORDER_DEFAULT),
                                hostRotation(exact[0], exact[1], exact[2], exact[3])) <= 1e-3;
    const Vector e = hostValue(curve, exact, {});
    const double tolerance = curve.path == Path::Translation ? 1e-2 : 1e-4;
    return std::abs(straight.x - e.x) <= tolerance && std::abs(straight.y - e.y) <= tolerance &&
           std::abs(straight.z - e.z) <= tolerance;
}

// Keys strictly between `a` and `b` that bring the straight line within
// tolerance of the curve.
void refine(const Curve& curve, const Key& a, const Key& b, int depth, std::vector<Key>& out) {
    const auto lerp = [&](double s) { return a.value * (1 - s) + b.value * s; };
    bool good = true;
    for (const double s : {0.25, 0.5, 0.75})
        good = good && close(curve, lerp(s), curve.at(a.time + s * (b.time - a.time)));
    if (good || depth >= kMaxDepth) return;
    const double t = (a.time + b.time) / 2;
    const Key middle{t, hostValue(curve, curve.at(t), lerp(0.5))};
    refine(curve, a, middle, depth + 1, out);
    out.push_back(middle);
    refine(curve, middle, b, depth + 1, out);
}

std::vector<Key> hostKeys(const Curve& curve) {
    std::vector<Key> keys;
    const auto value = [&](std::size_t i, const Vector& near) {
        const float* v = curve.key(i);
        return hostValue(curve, std::vector<double>(v, v + curve.width), near);
    };
    keys.push_back({curve.times[0], value(0, {})});
    const bool sampled =
        curve.mode == Mode::Cubic || (curve.mode == Mode::Linear && curve.path == Path::Rotation);
    for (std::size_t i = 1; i < curve.count(); ++i) {
        const Key next{curve.times[i], value(i, keys.back().value)};
        if (sampled) refine(curve, keys.back(), next, 0, keys);
        keys.push_back(next);
    }
    return keys;
}

Curve readCurve(const Context& ctx, const tinygltf::AnimationSampler& s, Path path,
                const std::string& at) {
    Curve curve;
    curve.path = path;
    curve.width = path == Path::Rotation ? 4 : 3;
    if (s.interpolation == "STEP")
        curve.mode = Mode::Step;
    else if (s.interpolation == "CUBICSPLINE")
        curve.mode = Mode::Cubic;
    else if (s.interpolation != "LINEAR" && !s.interpolation.empty())
        ctx.fail(at + ".interpolation", "unknown interpolation \"" + s.interpolation + "\"");
    curve.times = readFloats(ctx, s.input, 1, at + ".input");
    curve.values = readFloats(ctx, s.output, static_cast<int>(curve.width), at + ".output");
    if (curve.times.empty()) ctx.fail(at + ".input", "no keys");
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        const double t = curve.times[i];
        if (!std::isfinite(t) || std::abs(t) > kMaxDocumentSeconds) {
            std::ostringstream text;
            text << "key " << i << ": time " << t << " s is outside the range of "
                 << -kMaxDocumentSeconds << " to " << kMaxDocumentSeconds << " s";
            ctx.fail(at + ".input", text.str());
        }
    }
    for (std::size_t i = 1; i < curve.times.size(); ++i)
        if (!(curve.times[i] > curve.times[i - 1]))
            ctx.fail(at + ".input", "key times do not increase at key " + std::to_string(i));
    const std::size_t expected =
        curve.times.size() * curve.width * (curve.mode == Mode::Cubic ? 3 : 1);
    if (curve.values.size() != expected)
        ctx.fail(at + ".output", std::to_string(curve.values.size() / curve.width) +
                                     " values for " + std::to_string(curve.times.size()) +
                                     " key times");
    return curve;
}

void addTracks(BaseObject& object, Path path, const std::vector<Key>& keys, Interpolation how) {
    const Int32 param = path == Path::Translation ? ID_BASEOBJECT_REL_POSITION
                        : path == Path::Rotation  ? ID_BASEOBJECT_REL_ROTATION
                                                  : ID_BASEOBJECT_REL_SCALE;
    Vector rest = keys.front().value;
    const auto component = [](const Vector& v, int c) {
        return c == 0 ? v.x : (c == 1 ? v.y : v.z);
    };
    for (int c = 0; c < 3; ++c) {
        const double first = component(keys.front().value, c);
        const bool changes = std::any_of(
            keys.begin(), keys.end(), [&](const Key& k) { return component(k.value, c) != first; });
        if (!changes) continue;
        auto track = std::make_unique<CTrack>(DescID(param, VECTOR_X + c));
        track->params().Set(904, GeData::Integer(1));
        for (const Key& k : keys)
            track->GetCurve()->AddKey(CKey(BaseTime(k.time), component(k.value, c), how));
        object.InsertTrack(std::move(track));
    }
    if (path == Path::Translation) object.SetRelPos(rest);
    if (path == Path::Rotation) object.SetRelRot(rest);
    if (path == Path::Scale) object.SetRelScale(rest);
}

// How messages name animation `i`: its name in quotes, else "animation i".
std::string animationLabel(const Context& ctx, std::size_t i) {
    const std::string& name = ctx.model.animations[i].name;
    return name.empty() ? "animation " + std::to_string(i) : "\"" + name + "\"";
}

std::string nodeLabel(const Context& ctx, int node) {
    const std::string& name = ctx.model.nodes[static_cast<std::size_t>(node)].name;
    return name.empty() ? indexPath("nodes", static_cast<std::size_t>(node)) : "\"" + name + "\"";
}

// The animation `wanted` names: the first with that name, else the one at
// that index. Raises GltfError listing the file's animations when neither.
std::size_t pickAnimation(const Context& ctx, const std::string& wanted) {
    const auto& animations = ctx.model.animations;
    for (std::size_t i = 0; i < animations.size(); ++i)
        if (!wanted.empty() && animations[i].name == wanted) return i;
    std::size_t index = 0;
    const char* end = wanted.data() + wanted.size();
    const auto [stop, error] = std::from_chars(wanted.data(), end, index);
    if (!wanted.empty() && error == std::errc() && stop == end && index < animations.size())
        return index;
    std::string known;
    for (std::size_t i = 0; i < animations.size(); ++i)
        known += (i ? ", " : "") + animationLabel(ctx, i);
    ctx.fail("animations", "no animation \"" + wanted + "\" in the file; " +
                               (animations.empty() ? "it has none" : "it has " + known));
}

// Who drives a node's property: (node, glTF path) -> animation index.
using Drivers = std::map<std::pair<int, std::string>, std::size_t>;

void importChannel(Context& ctx, std::size_t index, std::size_t k, Drivers& drivers) {
    const tinygltf::Animation& animation = ctx.model.animations[index];
    const tinygltf::AnimationChannel& channel = animation.channels[k];
    const std::string animationPath = indexPath("animations", index);
    const std::string at = animationPath + indexPath(".channels", k);
    if (channel.target_path == "weights") {
        ctx.warnings.note(kind::kMorphTargets, "their weight animation");
        return;
    }
    Path path = Path::Translation;
    if (channel.target_path == "rotation")
        path = Path::Rotation;
    else if (channel.target_path == "scale")
        path = Path::Scale;
    else if (channel.target_path != "translation")
        ctx.fail(at + ".target.path", "unknown path \"" + channel.target_path + "\"");
    if (channel.target_node < 0 ||
        static_cast<std::size_t>(channel.target_node) >= ctx.nodeObjects.size())
        ctx.fail(at + ".target.node", "no node " + std::to_string(channel.target_node));
    if (channel.sampler < 0 ||
        static_cast<std::size_t>(channel.sampler) >= animation.samplers.size())
        ctx.fail(at + ".sampler", "no sampler " + std::to_string(channel.sampler));
    BaseObject* object = ctx.nodeObjects[static_cast<std::size_t>(channel.target_node)];
    if (!object) return;
    const auto [driver, first] =
        drivers.emplace(std::make_pair(channel.target_node, channel.target_path), index);
    if (!first) {
        ctx.warnings.note(kind::kAnimationOverlaps, animationLabel(ctx, index) + " on " +
                                                        nodeLabel(ctx, channel.target_node) + " " +
                                                        channel.target_path + " (kept " +
                                                        animationLabel(ctx, driver->second) + ")");
        return;
    }
    const std::string samplerPath =
        animationPath + indexPath(".samplers", static_cast<std::size_t>(channel.sampler));
    const Curve curve = readCurve(
        ctx, animation.samplers[static_cast<std::size_t>(channel.sampler)], path, samplerPath);
    addTracks(*object, path, hostKeys(curve),
              curve.mode == Mode::Step ? Interpolation::Step : Interpolation::Linear);
}

void importOne(Context& ctx, std::size_t index, Drivers& drivers) {
    for (std::size_t k = 0; k < ctx.model.animations[index].channels.size(); ++k)
        importChannel(ctx, index, k, drivers);
}

}  // namespace

void importAnimation(Context& ctx, const std::optional<std::string>& only) {
    Drivers drivers;
    if (only) {
        importOne(ctx, pickAnimation(ctx, *only), drivers);
        return;
    }
    for (std::size_t i = 0; i < ctx.model.animations.size(); ++i) importOne(ctx, i, drivers);
}

}  // namespace host::gltf::detail
