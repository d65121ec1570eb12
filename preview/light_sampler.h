// Choosing points on the lights for next-event estimation.
//
// Contract. With at most kSampleEveryLight lights, every light is sampled at
// every surface point (no noise from the choice); with more, one light is
// chosen by its power and its sample weighed by the chance it had. A mesh
// light's point is uniform over its area (a triangle chosen by area, then a
// uniform point in it). A sample's light reaching the point, before the
// surface's cosine and its reflectance, is arriving * geometry / chance.
#pragma once

#include <cstddef>
#include <vector>

#include "preview/render_model.h"
#include "preview/sampling.h"

namespace preview {

struct LightSample {
    Vec3 position;       // on the light
    Vec3 arriving;       // intensity (point light) or radiance (mesh light)
    float geometry = 0;  // 1 / metres^2 for a point, cos * area / distance^2 for an area
    float chance = 1;
};

class LightSampler {
public:
    static constexpr std::size_t kSampleEveryLight = 16;

    explicit LightSampler(const RenderModel& model);

    // How many samples each surface point takes: one per light, or one.
    std::size_t samplesPerPoint() const;
    // The k-th sample for a surface point at `at`; false when it gives no light.
    bool sample(std::size_t k, Vec3 at, Rng& rng, LightSample& out) const;

private:
    struct Entry {
        bool point = true;
        std::size_t index = 0;  // a point light, or a mesh light
    };
    void meshPoint(const MeshLight& light, float u, float u1, float u2, Vec3 at,
                   LightSample& out) const;

    const RenderModel& model_;
    std::vector<Entry> entries_;
    std::vector<double> powerCdf_;  // per entry
    std::vector<double> areaCdf_;   // per emitter triangle, over all of them
};

}  // namespace preview
