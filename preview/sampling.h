// Random numbers and direction sampling for the path tracer.
//
// Contract. Rng is PCG32: a stream fully determined by its seed, so a pixel
// whose generator is seeded from the picture's seed and the pixel's index
// gets the same samples whichever thread draws it.
#pragma once

#include <cmath>
#include <cstdint>

#include "preview/vec.h"

namespace preview {

inline std::uint64_t mix64(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

class Rng {
public:
    Rng(std::uint64_t seed, std::uint64_t stream) : state_(mix64(seed ^ mix64(stream))) {}
    std::uint32_t next() {
        const std::uint64_t old = state_;
        state_ = old * 6364136223846793005ull + 1442695040888963407ull;
        const auto shifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rot = static_cast<std::uint32_t>(old >> 59u);
        return (shifted >> rot) | (shifted << ((32u - rot) & 31u));
    }
    // Uniform in [0, 1).
    float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }

private:
    std::uint64_t state_;
};

constexpr float kPiF = 3.14159265358979f;

// Two unit vectors that make a right-handed frame with `n`.
inline void basis(Vec3 n, Vec3& t, Vec3& b) {
    const float sign = std::copysign(1.0f, n.z);
    const float a = -1.0f / (sign + n.z);
    const float c = n.x * n.y * a;
    t = {1.0f + sign * n.x * n.x * a, sign * c, -sign * n.x};
    b = {c, sign + n.y * n.y * a, -n.y};
}

// A direction around `axis` with density proportional to cos^exponent.
inline Vec3 sampleLobe(Vec3 axis, float exponent, float u1, float u2) {
    const float cosTheta = std::pow(1.0f - u1, 1.0f / (exponent + 1.0f));
    const float sinTheta = std::sqrt(std::fmax(0.0f, 1.0f - cosTheta * cosTheta));
    const float phi = 2.0f * kPiF * u2;
    Vec3 t, b;
    basis(axis, t, b);
    return t * (sinTheta * std::cos(phi)) + b * (sinTheta * std::sin(phi)) + axis * cosTheta;
}

inline Vec3 reflect(Vec3 d, Vec3 n) { return d - n * (2.0f * dot(d, n)); }

}  // namespace preview
