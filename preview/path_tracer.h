// The path tracer: radiance per pixel, tone mapped into an 8-bit picture.
//
// Contract. Each pixel averages `samples` paths through random points of the
// pixel; a path bounces at most five times (Russian roulette after the
// second), lights are sampled directly at every surface (next-event
// estimation, see light_sampler.h), the sky is found by paths that leave the scene. A pixel's
// random numbers come from the seed and the pixel's index only, so the
// picture is the same for any number of threads. Rows are drawn by `threads`
// workers; the calling thread reports progress after each finished row.
// Tone mapping: 1 - exp(-radiance), then the sRGB curve, rounded.
#pragma once

#include "preview/bvh.h"
#include "preview/preview.h"
#include "preview/render_model.h"

namespace preview {

// `raysTraced`, when given, receives the number of rays traced (camera,
// bounce and shadow rays).
Image tracePicture(const RenderModel& model, const Bvh& bvh, const RenderOptions& options,
                   unsigned threads, const Progress& progress, std::uint64_t* raysTraced = nullptr);

// The 8-bit sRGB value of a linear radiance, as the picture stores it.
std::uint8_t toneMap(float radiance);

}  // namespace preview
