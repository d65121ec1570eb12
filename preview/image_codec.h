// Picture files in and out, through stb: PNG and JPEG (8-bit) and Radiance
// HDR (linear floats) decoded from bytes in memory, PNG encoded to bytes.
//
// Contract. Decoding never reads past the bytes given and refuses a picture
// whose stated size exceeds kMaxImagePixels before allocating it, so a small
// file cannot claim a huge picture. Failures answer false with a reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace preview {

constexpr std::uint64_t kMaxImagePixels = 8192ull * 8192ull;

struct DecodedImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb8;  // 8-bit files: 3 bytes per pixel, rows top to bottom
    std::vector<float> rgbLinear;    // HDR files: 3 linear floats per pixel
};

bool decodeImage(std::string_view bytes, DecodedImage& out, std::string& error);

// PNG bytes of an 8-bit RGB picture (3 bytes per pixel, rows top to bottom).
bool encodePng(int width, int height, const std::uint8_t* rgb, std::string& png);

}  // namespace preview
