#include "preview/light_sampler.h"

#include <algorithm>
#include <cmath>

namespace preview {

LightSampler::LightSampler(const RenderModel& model) : model_(model) {
    const double units2 = model.metersPerUnit * model.metersPerUnit;
    double area = 0;
    for (const EmitterTriangle& e : model.emitters) areaCdf_.push_back(area += e.area);
    double power = 0;
    for (std::size_t i = 0; i < model.pointLights.size(); ++i) {
        const float p = 4 * kPiF * luminance(model.pointLights[i].intensity);
        if (!(p > 0)) continue;
        entries_.push_back({true, i});
        powerCdf_.push_back(power += p);
    }
    for (std::size_t i = 0; i < model.meshLights.size(); ++i) {
        const MeshLight& l = model.meshLights[i];
        const double p = kPiF * luminance(l.radiance) * l.area * units2;
        if (!(p > 0) || l.count == 0) continue;
        entries_.push_back({false, i});
        powerCdf_.push_back(power += p);
    }
}

std::size_t LightSampler::samplesPerPoint() const {
    return entries_.size() <= kSampleEveryLight ? entries_.size() : 1;
}

bool LightSampler::sample(std::size_t k, Vec3 at, Rng& rng, LightSample& out) const {
    float u = rng.uniform();
    const float u1 = rng.uniform(), u2 = rng.uniform();
    std::size_t chosen = k;
    out.chance = 1;
    if (entries_.size() > kSampleEveryLight) {
        // One light by power: u picks it, and is then stretched to pick within it.
        const double total = powerCdf_.back(), target = static_cast<double>(u) * total;
        chosen = std::min<std::size_t>(
            static_cast<std::size_t>(std::upper_bound(powerCdf_.begin(), powerCdf_.end(), target) -
                                     powerCdf_.begin()),
            entries_.size() - 1);
        const double below = chosen == 0 ? 0 : powerCdf_[chosen - 1];
        out.chance = static_cast<float>((powerCdf_[chosen] - below) / total);
        u = static_cast<float>(
            std::clamp((target - below) / (powerCdf_[chosen] - below), 0.0, 0.999999));
    }
    const Entry& e = entries_[chosen];
    if (e.point) {
        const PointLight& l = model_.pointLights[e.index];
        const float metres = length(l.position - at) * static_cast<float>(model_.metersPerUnit);
        out.position = l.position;
        out.arriving = l.intensity;
        out.geometry = 1 / (metres * metres);
    } else {
        meshPoint(model_.meshLights[e.index], u, u1, u2, at, out);
    }
    return out.geometry > 0 && std::isfinite(out.geometry);
}

void LightSampler::meshPoint(const MeshLight& light, float u, float u1, float u2, Vec3 at,
                             LightSample& out) const {
    const double base = light.first == 0 ? 0 : areaCdf_[light.first - 1];
    const auto first = areaCdf_.begin() + static_cast<std::ptrdiff_t>(light.first);
    const auto last = first + static_cast<std::ptrdiff_t>(light.count);
    const auto it = std::upper_bound(first, last, base + static_cast<double>(u) * light.area);
    const EmitterTriangle& t =
        model_.emitters[static_cast<std::size_t>(std::min(it, last - 1) - areaCdf_.begin())];
    const float r = std::sqrt(u1);
    out.position = t.a * (1 - r) + t.b * (r * (1 - u2)) + t.c * (r * u2);
    const Vec3 toLight = out.position - at;
    const float d2 = dot(toLight, toLight);
    const float cosLight = -dot(normalize(cross(t.b - t.a, t.c - t.a)), toLight) / std::sqrt(d2);
    out.arriving = light.radiance;
    out.geometry = cosLight > 0 ? cosLight * static_cast<float>(light.area) / d2 : 0;
}

}  // namespace preview
