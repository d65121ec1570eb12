// Textures: a picture file decoded once, sampled as linear RGB.
//
// Contract. 8-bit pictures are taken as sRGB and returned linear; HDR
// pictures are linear already. Sampling is bilinear; (u, v) = (0, 0) is the
// top-left corner of the picture and (1, 1) the bottom-right, and coordinates
// outside repeat. A texture is immutable once loaded and shared freely
// between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/vec.h"

namespace preview {

class Texture {
public:
    Texture(int width, int height, std::vector<std::uint8_t> srgb);
    Texture(int width, int height, std::vector<float> linear);

    int width() const { return width_; }
    int height() const { return height_; }
    Vec3 sample(float u, float v) const;

private:
    Vec3 texel(int x, int y) const;

    int width_, height_;
    std::vector<std::uint8_t> srgb_;  // 3 bytes per pixel, or empty
    std::vector<float> linear_;       // 3 floats per pixel, or empty
};

// Reads and decodes the picture at `path` (a regular file only). Null with a
// reason (what is wrong, without the path) when it cannot.
std::shared_ptr<const Texture> loadTexture(const std::string& path, std::string& error);

}  // namespace preview
