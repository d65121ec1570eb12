// Hair guides from the "hair" data the document keeps on a hair object, and
// the read/write lock the library holds per object.
#include "host/hair_library.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "host/object.h"

namespace host {

namespace {

constexpr Int32 kWriteLocked = -1;
constexpr Int32 kMaxSegments = 1 << 20;

// Locks per object: the count of read locks, or kWriteLocked. Everything
// runs on the host's main thread.
std::unordered_map<const BaseObject*, Int32>& locks() {
    static std::unordered_map<const BaseObject*, Int32> table;
    return table;
}

// The point at parameter u (0 .. points-1) along a guide's polyline.
Vector pointAt(const std::vector<Vector>& guide, double u) {
    const double last = static_cast<double>(guide.size() - 1);
    u = std::clamp(u, 0.0, last);
    const auto i = static_cast<std::size_t>(std::floor(u));
    if (i + 1 >= guide.size()) return guide.back();
    const double f = u - static_cast<double>(i);
    return guide[i] + (guide[i + 1] - guide[i]) * f;
}

}  // namespace

HairGuideSet::HairGuideSet(Int32 segments, std::vector<Vector> points, std::vector<Vector> rootUV)
    : segments_(segments), points_(std::move(points)), rootUV_(std::move(rootUV)) {}

Vector HairGuideSet::GetRootUV(Int32 i) const {
    if (i < 0 || i >= GetCount()) return Vector{};
    return rootUV_[static_cast<std::size_t>(i)];
}

bool HairLibrary::Lock(BaseObject* hair, BaseDocument*, BaseThread*, bool write, Int32) {
    if (!hair || hair->GetType() != Ohair) return false;
    auto& table = locks();
    const auto it = table.find(hair);
    const Int32 held = it == table.end() ? 0 : it->second;
    if (write) {
        if (held != 0) return false;
        table[hair] = kWriteLocked;
        return true;
    }
    if (held == kWriteLocked) return false;
    table[hair] = held + 1;
    return true;
}

void HairLibrary::Unlock(BaseObject* hair) {
    auto& table = locks();
    const auto it = table.find(hair);
    if (it == table.end()) return;
    if (it->second == kWriteLocked || it->second <= 1) {
        table.erase(it);
    } else {
        --it->second;
    }
}

Int32 HairLibrary::GetLockCount(const BaseObject* hair) const {
    const auto it = locks().find(hair);
    return it == locks().end() ? 0 : it->second;
}

std::unique_ptr<HairGuideSet> HairLibrary::GenerateGuides(BaseObject* hair, Int32, Int32 count,
                                                          Int32 segments) const {
    if (!hair || GetLockCount(hair) == 0) return nullptr;
    const HairGuides* data = hair->hairGuides();
    if (!data || data->guides.empty()) return nullptr;
    std::size_t guides = data->guides.size();
    if (count >= 0) guides = std::min(guides, static_cast<std::size_t>(count));
    if (guides == 0) return nullptr;

    const Int32 own = data->segments;
    const Int32 wanted = segments < 0 ? own : std::min(segments, kMaxSegments);
    const std::size_t perGuide = static_cast<std::size_t>(wanted) + 1;
    std::vector<Vector> points;
    points.reserve(guides * perGuide);
    std::vector<Vector> rootUV;
    rootUV.reserve(guides);
    for (std::size_t g = 0; g < guides; ++g) {
        const std::vector<Vector>& guide = data->guides[g];
        if (wanted == own) {
            points.insert(points.end(), guide.begin(), guide.end());
        } else {
            // Resampled at even steps of the guide's own point parameter.
            for (std::size_t k = 0; k < perGuide; ++k) {
                const double u = wanted == 0 ? 0.0 : static_cast<double>(k) * own / wanted;
                points.push_back(pointAt(guide, u));
            }
        }
        const auto [u, v] = g < data->rootUV.size() ? data->rootUV[g] : std::pair<Float, Float>{};
        rootUV.emplace_back(u, v, 0.0);
    }
    return std::make_unique<HairGuideSet>(wanted, std::move(points), std::move(rootUV));
}

}  // namespace host
