#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenefile/tree.h"

namespace preview {

// A scene that cannot be rendered (unreadable or refused by the reader), or a picture that
// cannot be written. The message names the file and says what is wrong.
class RenderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RenderOptions {
    int width = 640;         // pixels, 1..16384
    int height = 360;        // pixels, 1..16384
    int samples = 16;        // paths per pixel, 1..65536
    std::string camera;      // camera block name; empty: the file's first camera
    unsigned threads = 0;    // 0: every core
    std::uint64_t seed = 1;  // same scene + options + seed -> identical image
};

// 8-bit sRGB, 3 bytes per pixel, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

struct RenderResult {
    Image image;
    std::vector<std::string> warnings;  // one line each, e.g. a texture that could not be read
};

// Called with the finished fraction (0..1) as the picture progresses, from the calling thread.
using Progress = std::function<void(double fraction)>;

// Renders a read scene. `sceneFolder` is where relative texture paths are looked for.
// A scene without meshes renders the sky only, with a warning; without a camera (or without
// the named one) a framing camera looks at the bounding box from the front, with a warning.
// Throws RenderError for options out of range.
RenderResult renderScene(const scenefile::Document& scene, const std::string& sceneFolder,
                         const RenderOptions& options, const Progress& progress = {});

// Reads `path` (a regular file only) with the project's reader and renders it.
// Throws RenderError naming the file when it cannot be read or the reader refuses it.
RenderResult renderSceneFile(const std::string& path, const RenderOptions& options,
                             const Progress& progress = {});

// Writes `image` as PNG at `path`, whole or not at all (platform::writeFileAtomically or
// AtomicFile). Throws RenderError naming the path.
void writePng(const std::string& path, const Image& image);

}  // namespace preview
