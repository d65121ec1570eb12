#include "preview/path_tracer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "preview/light_sampler.h"
#include "preview/sampling.h"

namespace preview {

namespace {

constexpr int kMaxBounces = 5;
constexpr int kRouletteFrom = 2;

// What a path needs to know about the surface it hit.
struct Surface {
    Vec3 position, normal, geometric;  // the normals face the side the ray came from
    Vec3 albedo, specular, emission;
    float exponent = 1;
    bool front = true;
};

class Tracer {
public:
    Tracer(const RenderModel& model, const Bvh& bvh, const RenderOptions& options)
        : model_(model), bvh_(bvh), options_(options), lights_(model) {}
    // The pixel's radiance; adds the rays it traced to `rays`.
    Vec3 pixel(int x, int y, std::uint64_t& rays) const;

private:
    Vec3 path(Vec3 origin, Vec3 dir, float tnear, float tfar, Rng& rng, std::uint64_t& rays) const;
    Surface surface(const Hit& hit, Vec3 origin, Vec3 dir) const;
    Vec3 brdf(const Surface& s, Vec3 wo, Vec3 wi) const;
    Vec3 direct(const Surface& s, Vec3 wo, Rng& rng, std::uint64_t& rays) const;
    Vec3 sky(Vec3 dir) const;
    Vec3 offset(const Surface& s, Vec3 towards) const;

    const RenderModel& model_;
    const Bvh& bvh_;
    const RenderOptions& options_;
    LightSampler lights_;
};

Vec3 Tracer::pixel(int x, int y, std::uint64_t& rays) const {
    const Camera& c = model_.camera;
    const float aspect = static_cast<float>(options_.height) / static_cast<float>(options_.width);
    const float top = c.fixedAspect ? c.top : c.rightEdge * aspect;
    const float bottom = c.fixedAspect ? c.bottom : c.left * aspect;
    Rng rng(options_.seed,
            static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(options_.width) +
                static_cast<std::uint64_t>(x));
    Vec3 sum;
    for (int s = 0; s < options_.samples; ++s) {
        const float fx =
            (static_cast<float>(x) + rng.uniform()) / static_cast<float>(options_.width);
        const float fy =
            (static_cast<float>(y) + rng.uniform()) / static_cast<float>(options_.height);
        const float sx = -c.left + fx * (c.left + c.rightEdge);
        const float sy = top - fy * (top + bottom);
        const Vec3 dir = normalize(c.forward + c.right * sx + c.up * sy);
        const float along = dot(dir, c.forward);
        const float tnear = c.clipFar > 0 ? c.clipNear / along : 0.0f;
        const float tfar = c.clipFar > 0 ? c.clipFar / along : INFINITY;
        const Vec3 l = path(c.position, dir, tnear, tfar, rng, rays);
        if (finite(l)) sum += l;
    }
    return sum * (1.0f / static_cast<float>(options_.samples));
}

Vec3 Tracer::path(Vec3 origin, Vec3 dir, float tnear, float tfar, Rng& rng,
                  std::uint64_t& rays) const {
    Vec3 radiance, throughput{1, 1, 1};
    for (int bounce = 0;; ++bounce) {
        Hit hit;
        ++rays;
        if (!bvh_.intersect(origin, dir, tnear, tfar, hit)) return radiance + throughput * sky(dir);
        const Surface s = surface(hit, origin, dir);
        if (bounce == 0 && s.front) radiance += s.emission;
        const Vec3 wo = -dir;
        radiance += throughput * direct(s, wo, rng, rays);
        if (bounce == kMaxBounces) break;
        const float diffuseWeight = luminance(s.albedo), glossyWeight = luminance(s.specular);
        if (!(diffuseWeight + glossyWeight > 0)) break;
        const float glossyChance = glossyWeight / (diffuseWeight + glossyWeight);
        const float u = rng.uniform(), u1 = rng.uniform(), u2 = rng.uniform();
        if (u < glossyChance) {
            dir = sampleLobe(reflect(-wo, s.normal), s.exponent, u1, u2);
            throughput = throughput * s.specular * (1.0f / glossyChance);
        } else {
            dir = sampleLobe(s.normal, 1.0f, u1, u2);
            throughput = throughput * s.albedo * (1.0f / (1.0f - glossyChance));
        }
        if (dot(dir, s.geometric) <= 0) break;
        if (bounce >= kRouletteFrom) {
            const float keep = std::min(0.95f, maxComponent(throughput));
            if (rng.uniform() >= keep) break;
            throughput = throughput * (1.0f / keep);
        }
        origin = offset(s, dir);
        tnear = 0;
        tfar = INFINITY;
    }
    return radiance;
}

Surface Tracer::surface(const Hit& hit, Vec3 origin, Vec3 dir) const {
    const Mesh& mesh = model_.meshes[hit.mesh];
    const Material& material = model_.materials[static_cast<std::size_t>(mesh.material)];
    const std::size_t corner = 3 * static_cast<std::size_t>(hit.triangle);
    const auto position = [&](std::size_t k) {
        const std::size_t i = 3 * static_cast<std::size_t>(mesh.triangles[corner + k]);
        return Vec3{mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2]};
    };
    const float w = 1.0f - hit.u - hit.v;
    Surface s;
    s.position = origin + dir * hit.t;
    const Vec3 p0 = position(0);
    Vec3 ng = normalize(cross(position(1) - p0, position(2) - p0));
    s.front = dot(ng, dir) < 0;
    if (!s.front) ng = -ng;
    s.geometric = ng;
    s.normal = ng;
    if (!mesh.triNormals.empty()) {
        const auto normal = [&](std::size_t k) {
            const std::size_t i = 3 * static_cast<std::size_t>(mesh.triNormals[corner + k]);
            return Vec3{mesh.normals[i], mesh.normals[i + 1], mesh.normals[i + 2]};
        };
        Vec3 n = normalize(normal(0) * w + normal(1) * hit.u + normal(2) * hit.v);
        if (!s.front) n = -n;
        if (dot(n, ng) > 0.05f) s.normal = n;  // a zero or backwards normal: drawn flat
    }
    s.albedo = material.diffuse;
    const TextureMapping& map = material.map;
    if (map.texture >= 0 && !mesh.triUvs.empty()) {
        const auto uv = [&](std::size_t k, int axis) {
            return mesh.uvs[2 * static_cast<std::size_t>(mesh.triUvs[corner + k]) +
                            static_cast<std::size_t>(axis)];
        };
        const float u =
            (uv(0, 0) * w + uv(1, 0) * hit.u + uv(2, 0) * hit.v - map.shiftU) / map.scaleU;
        const float v =
            (uv(0, 1) * w + uv(1, 1) * hit.u + uv(2, 1) * hit.v - map.shiftV) / map.scaleV;
        const bool inside = u >= 0 && u <= 1 && v >= 0 && v <= 1;
        s.albedo = map.wrap || inside
                       ? model_.textures[static_cast<std::size_t>(map.texture)]->sample(u, v)
                       : map.outside;
    }
    s.specular = material.specular;
    s.exponent = material.exponent;
    s.emission = material.emission;
    return s;
}

Vec3 Tracer::brdf(const Surface& s, Vec3 wo, Vec3 wi) const {
    Vec3 f = s.albedo * (1.0f / kPiF);
    if (maxComponent(s.specular) > 0) {
        const float c = dot(reflect(-wo, s.normal), wi);
        if (c > 0) f += s.specular * ((s.exponent + 2) / (2 * kPiF) * std::pow(c, s.exponent));
    }
    return f;
}

// Light arriving straight from the lights (see LightSampler), reflected towards `wo`.
Vec3 Tracer::direct(const Surface& s, Vec3 wo, Rng& rng, std::uint64_t& rays) const {
    Vec3 sum;
    for (std::size_t k = 0, n = lights_.samplesPerPoint(); k < n; ++k) {
        LightSample l;
        if (!lights_.sample(k, s.position, rng, l)) continue;
        const Vec3 toLight = l.position - s.position;
        const float distance = length(toLight);
        const Vec3 wi = toLight * (1 / distance);
        const float cosSurface = dot(s.normal, wi);
        if (!(cosSurface > 0) || dot(s.geometric, wi) <= 0) continue;
        const Vec3 origin = offset(s, wi);
        ++rays;
        if (bvh_.occluded(origin, wi, 0, length(l.position - origin) * 0.999f)) continue;
        sum += brdf(s, wo, wi) * l.arriving * (cosSurface * l.geometry / l.chance);
    }
    return sum;
}

Vec3 Tracer::sky(Vec3 dir) const {
    const Sky& sky = model_.sky;
    if (!sky.map) return sky.color;
    // Latitude-longitude: u turns with the azimuth from -z towards +x, v runs from +y down.
    const float u = 0.5f + std::atan2(dir.x, -dir.z) / (2 * kPiF);
    const float v = std::acos(std::clamp(dir.y, -1.0f, 1.0f)) / kPiF;
    return sky.map->sample(u, v);
}

// A start just off the surface, on the side `towards` leaves to.
Vec3 Tracer::offset(const Surface& s, Vec3 towards) const {
    const float scale =
        std::max({1.0f, std::fabs(s.position.x), std::fabs(s.position.y), std::fabs(s.position.z)});
    const Vec3 n = dot(towards, s.geometric) >= 0 ? s.geometric : -s.geometric;
    return s.position + n * (scale * 1e-4f);
}

}  // namespace

std::uint8_t toneMap(float radiance) {
    if (!(radiance > 0)) return 0;
    const float x = 1.0f - std::exp(-radiance);
    const float srgb = x <= 0.0031308f ? 12.92f * x : 1.055f * std::pow(x, 1 / 2.4f) - 0.055f;
    return static_cast<std::uint8_t>(std::lround(std::clamp(srgb, 0.0f, 1.0f) * 255.0f));
}

Image tracePicture(const RenderModel& model, const Bvh& bvh, const RenderOptions& options,
                   unsigned threads, const Progress& progress, std::uint64_t* raysTraced) {
    Image image;
    image.width = options.width;
    image.height = options.height;
    image.rgb.resize(static_cast<std::size_t>(options.width) *
                     static_cast<std::size_t>(options.height) * 3);
    const Tracer tracer(model, bvh, options);
    std::atomic<int> nextRow{0};
    std::mutex mutex;
    std::condition_variable changed;
    int rowsDone = 0;
    std::uint64_t rays = 0;
    std::exception_ptr failure;
    const auto work = [&] {
        try {
            for (int y; (y = nextRow++) < options.height;) {
                std::uint8_t* out = &image.rgb[static_cast<std::size_t>(y) *
                                               static_cast<std::size_t>(options.width) * 3];
                std::uint64_t rowRays = 0;
                for (int x = 0; x < options.width; ++x) {
                    const Vec3 l = tracer.pixel(x, y, rowRays);
                    out[3 * x] = toneMap(l.x), out[3 * x + 1] = toneMap(l.y),
                            out[3 * x + 2] = toneMap(l.z);
                }
                const std::lock_guard<std::mutex> lock(mutex);
                rays += rowRays;
                ++rowsDone;
                changed.notify_one();
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!failure) failure = std::current_exception();
            nextRow = options.height;
            rowsDone = options.height;
            changed.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const auto stop = [&] {
        nextRow = options.height;
        for (std::thread& t : workers) t.join();
    };
    try {
        for (unsigned i = 0; i < threads; ++i) workers.emplace_back(work);
        std::unique_lock<std::mutex> lock(mutex);
        for (int reported = 0; reported < options.height;) {
            changed.wait(lock, [&] { return rowsDone > reported; });
            reported = rowsDone;
            if (progress && !failure) {
                lock.unlock();
                progress(static_cast<double>(reported) / options.height);
                lock.lock();
            }
        }
    } catch (...) {  // a thread that cannot start, or a progress callback that threw
        stop();
        throw;
    }
    stop();
    if (failure) std::rethrow_exception(failure);
    if (raysTraced) *raysTraced = rays;
    return image;
}

}  // namespace preview
