#include "preview/texture.h"

#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "platform/regular_file.h"
#include "preview/image_codec.h"

namespace preview {

namespace {

// A picture file larger than this is refused before it is read.
constexpr std::uint64_t kMaxTextureFileBytes = 512ull << 20;

const std::array<float, 256>& srgbToLinear() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

// `x` wrapped into 0..n-1.
int wrapIndex(int x, int n) {
    const int r = x % n;
    return r < 0 ? r + n : r;
}

}  // namespace

Texture::Texture(int width, int height, std::vector<std::uint8_t> srgb)
    : width_(width), height_(height), srgb_(std::move(srgb)) {}

Texture::Texture(int width, int height, std::vector<float> linear)
    : width_(width), height_(height), linear_(std::move(linear)) {}

Vec3 Texture::texel(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                           static_cast<std::size_t>(x)) *
                          3;
    if (!linear_.empty()) return {linear_[i], linear_[i + 1], linear_[i + 2]};
    const auto& lut = srgbToLinear();
    return {lut[srgb_[i]], lut[srgb_[i + 1]], lut[srgb_[i + 2]]};
}

Vec3 Texture::sample(float u, float v) const {
    if (!std::isfinite(u) || !std::isfinite(v)) return texel(0, 0);
    u -= std::floor(u);
    v -= std::floor(v);
    const float fx = u * static_cast<float>(width_) - 0.5f;
    const float fy = v * static_cast<float>(height_) - 0.5f;
    const float x0f = std::floor(fx), y0f = std::floor(fy);
    const float tx = fx - x0f, ty = fy - y0f;
    const int x0 = wrapIndex(static_cast<int>(x0f), width_);
    const int y0 = wrapIndex(static_cast<int>(y0f), height_);
    const int x1 = wrapIndex(x0 + 1, width_), y1 = wrapIndex(y0 + 1, height_);
    const Vec3 top = texel(x0, y0) * (1 - tx) + texel(x1, y0) * tx;
    const Vec3 bottom = texel(x0, y1) * (1 - tx) + texel(x1, y1) * tx;
    return top * (1 - ty) + bottom * ty;
}

std::shared_ptr<const Texture> loadTexture(const std::string& path, std::string& error) {
    std::string bytes;
    if (!platform::readRegularFile(path, bytes, error, kMaxTextureFileBytes)) return nullptr;
    DecodedImage image;
    if (!decodeImage(bytes, image, error)) return nullptr;
    if (!image.rgbLinear.empty())
        return std::make_shared<Texture>(image.width, image.height, std::move(image.rgbLinear));
    return std::make_shared<Texture>(image.width, image.height, std::move(image.rgb8));
}

}  // namespace preview
