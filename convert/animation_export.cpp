// Host data read from an animation track:
//
// | what                    | host meaning                          | use                       |
// |-------------------------|---------------------------------------|---------------------------|
// | description id, level 1 | 903 position, 904 rotation, 905 scale | the channel matrix        |
// | description id, level 2 | 1000 x, 1001 y, 1002 z                | component; others skipped |
// | parameter 904           | track enabled (integer)               | 0: no block               |
// | curve keys              | first and last key, seconds           | sampled range             |
// | value at a time         | the component's value                 | one value per sample      |
// | name                    | the track's name                      | the block's kind          |
//
// Sampling runs in single precision from the first key: t starts there and
// grows by the float nearest 1/30 s while it does not pass the last key, so
// a one-second track has 30 samples. Timestamps are whole milliseconds since
// the first key. A track whose keys span more than kMaxSamples steps (about
// 3.9 days at 30 samples a second) is not written: the host's console names
// the object and the track, and the export goes on with the next one.
#include "convert/animation_export.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "convert/export_context.h"
#include "convert/host_text.h"
#include "convert/saturate.h"
#include "host/plugin_api.h"
#include "host/track.h"
#include "sceneapi/scene_api.h"

namespace convert {

namespace {

constexpr host::Int32 kTrackEnabled = 904;
constexpr float kSampleStep = 0.033333335f;  // the float nearest 1/30 s
// No more samples are reserved up front than this; longer tracks grow.
constexpr std::size_t kReserveLimit = 1u << 16;
// Most samples one track may produce: 10,000,000 steps of 1/30 s, over 92
// hours, about 1.3 GB of matrices. Bounds the work a few keys can ask for.
constexpr double kMaxSamples = 10'000'000;

const host::Matrix& flipZ() {
    static const host::Matrix fz = host::MatrixScale(host::Vector(1, 1, -1));
    return fz;
}

// Rank of a component (0 x, 1 y, 2 z) in the sorted order of a rotation
// order code; tracks are written from the last rank to the first.
int componentRank(host::Int32 rotationOrder, int component) {
    static constexpr std::array<std::array<int, 3>, 7> kRanks = {{
        {1, 2, 0},  // 0: Z X Y
        {0, 2, 1},  // 1: X Z Y
        {0, 1, 2},  // 2: X Y Z
        {1, 0, 2},  // 3: Y X Z
        {2, 0, 1},  // 4: Y Z X
        {2, 1, 0},  // 5: Z Y X
        {0, 1, 2},  // 6: X Y Z
    }};
    if (rotationOrder < 0 || rotationOrder > 6) return 0;  // all equal
    return kRanks[static_cast<std::size_t>(rotationOrder)][static_cast<std::size_t>(component)];
}

// 0, 1 or 2 for an x, y or z component; -1 for anything else.
int componentOf(const host::CTrack& track) {
    const host::DescID& id = track.GetDescriptionID();
    if (id.GetDepth() < 2) return -1;
    const host::Int32 c = id[1];
    return c >= host::VECTOR_X && c <= host::VECTOR_Z ? c - host::VECTOR_X : -1;
}

host::Vector withComponent(host::Float rest, int component, host::Float value) {
    host::Vector v(rest);
    (component == 0 ? v.x : component == 1 ? v.y : v.z) = value;
    return v;
}

float keySeconds(const host::CKey& key) { return toFloat(key.GetTime().Get()); }

tal::Matrix16 toMatrix16(const host::Matrix& m) {
    return {m.v1.x, m.v1.y, m.v1.z, 0, m.v2.x,  m.v2.y,  m.v2.z,  0,
            m.v3.x, m.v3.y, m.v3.z, 0, m.off.x, m.off.y, m.off.z, 1};
}

// The rest transform of the object and the factors the channel matrices
// conjugate a change with (host products: the right factor applies first).
struct Rest {
    Rest(const host::Vector& position, const host::Vector& rotation, host::Int32 order,
         const host::Vector& scale)
        : T(host::MatrixMove(position)),
          R(host::HPBToMatrix(rotation, order)),
          S(host::MatrixScale(scale)),
          Rh(host::HPBToMatrix(host::Vector(rotation.x, 0, 0), order)),
          Rp(host::HPBToMatrix(host::Vector(0, rotation.y, 0), order)),
          Rb(host::HPBToMatrix(host::Vector(0, 0, rotation.z), order)),
          iT(~T),
          iR(~R),
          iS(~S),
          iRh(~Rh),
          iRp(~Rp),
          iRb(~Rb) {}
    host::Matrix T, R, S, Rh, Rp, Rb;
    host::Matrix iT, iR, iS, iRh, iRp, iRb;
};

// The change D placed in the object's frame, for one channel and component.
host::Matrix channelMatrix(const Rest& r, host::Int32 channel, int component, bool isCamera,
                           const host::Matrix& d) {
    if (isCamera) {
        switch (channel) {
            case host::ID_BASEOBJECT_REL_POSITION:
                return r.T * d * r.iT;
            case host::ID_BASEOBJECT_REL_ROTATION:
                if (component == 0) return r.T * r.Rh * d * r.iRh * r.iT;
                if (component == 1) return r.T * r.Rh * r.Rp * d * r.iRp * r.iRh * r.iT;
                return r.T * r.Rh * r.Rp * r.Rb * d * r.iRb * r.iRp * r.iRh * r.iT;
            default:
                return r.T * r.R * r.S * d * r.iS * r.iR * r.iT;
        }
    }
    switch (channel) {
        case host::ID_BASEOBJECT_REL_POSITION:
            return r.iT * r.iR * r.iS * d * r.S * r.R * r.T;
        case host::ID_BASEOBJECT_REL_ROTATION:
            if (component == 0) return r.iRb * r.iRp * r.iRh * r.iS * d * r.S * r.Rh * r.Rp * r.Rb;
            if (component == 1) return r.iRb * r.iRp * r.iS * d * r.S * r.Rp * r.Rb;
            return r.iRb * r.iS * d * r.S * r.Rb;
        default:
            return r.iS * d * r.S;
    }
}

// The transform of one animated component alone at value x.
host::Matrix componentMatrix(host::Int32 channel, int component, host::Int32 order, float x) {
    switch (channel) {
        case host::ID_BASEOBJECT_REL_POSITION:
            return host::MatrixMove(withComponent(0, component, x));
        case host::ID_BASEOBJECT_REL_ROTATION:
            return host::HPBToMatrix(withComponent(0, component, x), order);
        default:
            return host::MatrixScale(withComponent(1, component, x));
    }
}

// One animation block of the sampled track: the block itself is the scene
// API's (the object layer has none); its values go through the layer.
void writeAnimationBlock(tal::talSceneapi_oo& scene, const std::string& name, float start,
                         float end, const std::string& folder,
                         const std::vector<tal::Matrix16>& matrices,
                         const std::vector<std::int32_t>& timestamps) {
    tal::talScene_api& api = *scene.api();
    if (!api.beginAnimation("fbx_animation", name.c_str())) return;
    scene.setParameter("start_time", truncateToInt32(start));
    scene.setParameter("duration", end - start);
    scene.setParameter("folder", folder);
    scene.setParameter("matrices", matrices);
    scene.setParameter("timestamps", timestamps);
    api.endAnimation();
}

void writeTrack(ExportContext& context, const host::CTrack& track, const Rest& rest,
                host::Int32 rotationOrder, bool isCamera, const std::string& baseName,
                const std::string& folder) {
    const int component = componentOf(track);
    const host::Int32 channel = track.GetDescriptionID()[0];
    const host::CCurve* curve = track.GetCurve();
    if (!curve || component < 0) return;
    if (channel != host::ID_BASEOBJECT_REL_POSITION &&
        channel != host::ID_BASEOBJECT_REL_ROTATION && channel != host::ID_BASEOBJECT_REL_SCALE)
        return;
    const host::Int32 keyCount = curve->GetKeyCount();
    if (keyCount < 2) return;
    const float start = keySeconds(*curve->GetKey(0));
    const float end = keySeconds(*curve->GetKey(keyCount - 1));
    host::GeData enabled;
    track.GetParameter(host::DescID(kTrackEnabled), enabled);
    if (enabled.GetInt32() == 0 || !(end - start > 0.0f)) return;
    const double span = static_cast<double>(end) - static_cast<double>(start);
    if (span > kMaxSamples * kSampleStep) {
        std::ostringstream text;
        text << "\"" << baseName << "\": animation track \"" << toUtf8(track.GetName())
             << "\" skipped: its keys span " << span
             << " s, more than the 10,000,000 samples (about 92 hours) a track may have";
        host::GePrint(host::String(text.str()));
        return;
    }

    std::vector<tal::Matrix16> matrices;
    std::vector<std::int32_t> timestamps;
    const double expected = static_cast<double>(end - start) / kSampleStep + 2.0;
    const auto reserve = static_cast<std::size_t>(std::min(expected, double{kReserveLimit}));
    matrices.reserve(reserve);
    timestamps.reserve(reserve);

    host::Matrix firstInverse;
    for (float t = start; t <= end;) {
        const float x = toFloat(track.GetValue(context.document, host::BaseTime(double{t})));
        const host::Matrix g = componentMatrix(channel, component, rotationOrder, x);
        if (matrices.empty()) firstInverse = ~g;
        host::Matrix m = channelMatrix(rest, channel, component, isCamera, g * firstInverse);
        if (isCamera) m = flipZ() * m * flipZ();
        matrices.push_back(toMatrix16(m));
        timestamps.push_back(truncateToInt32((t - start) * 1000.0f));
        const float next = t + kSampleStep;
        // Far from 0 a float step can round to nothing: stop rather than
        // sample the same time for ever.
        if (!(next > t)) break;
        t = next;
    }

    writeAnimationBlock(*context.scene, toUtf8(track.GetName()), start, end, folder, matrices,
                        timestamps);
}

}  // namespace

void exportAnimationTracks(ExportContext& context, const std::string& baseName, TrackList& tracks,
                           const std::string& label, const host::Vector& position,
                           const host::Vector& rotation, host::Int32 rotationOrder,
                           const host::Vector& scale, bool isCamera) {
    TrackList sorted;
    sorted.swap(tracks);  // consumed, whatever happens below
    if (sorted.empty() || !context.scene || !context.scene->api()) return;

    // Tracks of another component cannot be placed in a three-vector.
    std::erase_if(sorted, [](const host::CTrack* t) { return !t || componentOf(*t) < 0; });
    std::stable_sort(sorted.begin(), sorted.end(),
                     [rotationOrder](const host::CTrack* a, const host::CTrack* b) {
                         return componentRank(rotationOrder, componentOf(*a)) <
                                componentRank(rotationOrder, componentOf(*b));
                     });
    const Rest rest(position, rotation, rotationOrder, scale);
    const std::string folder = baseName + "/" + label;
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        writeTrack(context, **it, rest, rotationOrder, isCamera, baseName, folder);
    }
}

}  // namespace convert
