#include "preview/image_codec.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_HDR
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 65536
#include <stb_image.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace preview {

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::string*>(context);
    if (size > 0) out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

bool decodeImage(std::string_view bytes, DecodedImage& out, std::string& error) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        error = "the file is larger than 2 GiB";
        return false;
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int length = static_cast<int>(bytes.size());
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &w, &h, &channels)) {
        error =
            std::string("not a readable PNG, JPEG or HDR picture (") + stbi_failure_reason() + ")";
        return false;
    }
    if (w <= 0 || h <= 0 ||
        static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > kMaxImagePixels) {
        error = "a picture of " + std::to_string(w) + " x " + std::to_string(h) +
                " pixels is larger than the preview takes";
        return false;
    }
    const bool hdr = stbi_is_hdr_from_memory(data, length) != 0;
    void* pixels =
        hdr ? static_cast<void*>(stbi_loadf_from_memory(data, length, &w, &h, &channels, 3))
            : static_cast<void*>(stbi_load_from_memory(data, length, &w, &h, &channels, 3));
    if (!pixels) {
        error = std::string("cannot decode the picture (") + stbi_failure_reason() + ")";
        return false;
    }
    const std::size_t values = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
    out.width = w;
    out.height = h;
    if (hdr) {
        const auto* f = static_cast<const float*>(pixels);
        out.rgbLinear.assign(f, f + values);
    } else {
        const auto* b = static_cast<const std::uint8_t*>(pixels);
        out.rgb8.assign(b, b + values);
    }
    stbi_image_free(pixels);
    return true;
}

bool encodePng(int width, int height, const std::uint8_t* rgb, std::string& png) {
    png.clear();
    return stbi_write_png_to_func(appendBytes, &png, width, height, 3, rgb, width * 3) != 0;
}

}  // namespace preview
