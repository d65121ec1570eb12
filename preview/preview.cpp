// The preview's entry points: options checked, the scene read and turned into
// a render model, traced, and the picture written.
#include "preview/preview.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "preview/bvh.h"
#include "preview/image_codec.h"
#include "preview/path_tracer.h"
#include "preview/scene_model.h"
#include "scenefile/reader.h"

namespace preview {

namespace {

constexpr int kMaxSide = 16384;
constexpr int kMaxSamples = 65536;

void checkOptions(const RenderOptions& o) {
    const auto range = [](const char* what, int value, int hi) {
        if (value < 1 || value > hi)
            throw RenderError(std::string("the picture's ") + what + " must be 1.." +
                              std::to_string(hi) + ", not " + std::to_string(value));
    };
    range("width", o.width, kMaxSide);
    range("height", o.height, kMaxSide);
    range("samples per pixel", o.samples, kMaxSamples);
}

unsigned threadCount(unsigned asked) {
    if (asked > 0) return std::min(asked, 1024u);
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

RenderResult renderScene(const scenefile::Document& scene, const std::string& sceneFolder,
                         const RenderOptions& options, const Progress& progress) {
    checkOptions(options);
    const unsigned threads = threadCount(options.threads);
    try {
        const float aspect = static_cast<float>(options.height) / static_cast<float>(options.width);
        RenderModel model = buildModel(scene, sceneFolder, options.camera, aspect);
        RenderResult result;
        {
            const Bvh bvh(model, threads);
            result.image = tracePicture(model, bvh, options, threads, progress);
        }
        result.warnings = std::move(model.warnings);
        return result;
    } catch (const std::bad_alloc&) {
        throw RenderError("not enough memory to render the scene as a " +
                          std::to_string(options.width) + " x " + std::to_string(options.height) +
                          " picture");
    } catch (const std::system_error& e) {
        throw RenderError(std::string("cannot start the rendering threads: ") + e.what());
    }
}

RenderResult renderSceneFile(const std::string& path, const RenderOptions& options,
                             const Progress& progress) {
    checkOptions(options);
    std::string bytes, error;
    if (!platform::readRegularFile(path, bytes, error))
        throw RenderError("cannot read the scene \"" + path + "\": " + error);
    scenefile::Document scene;
    try {
        scene = scenefile::readScene(bytes);
    } catch (const std::exception& e) {
        throw RenderError("cannot read the scene \"" + path + "\": " + e.what());
    }
    bytes.clear();
    bytes.shrink_to_fit();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return renderScene(scene, folder.empty() ? "." : folder, options, progress);
}

void writePng(const std::string& path, const Image& image) {
    const std::size_t expected = static_cast<std::size_t>(std::max(image.width, 0)) *
                                 static_cast<std::size_t>(std::max(image.height, 0)) * 3;
    if (image.width < 1 || image.height < 1 || image.width > kMaxSide || image.height > kMaxSide ||
        image.rgb.size() != expected)
        throw RenderError("cannot write \"" + path + "\": the picture is not a whole " +
                          std::to_string(image.width) + " x " + std::to_string(image.height) +
                          " RGB picture");
    std::string png, error;
    if (!encodePng(image.width, image.height, image.rgb.data(), png))
        throw RenderError("cannot write \"" + path + "\": the PNG encoder failed");
    if (!platform::writeFileAtomically(path, png.data(), png.size(), error))
        throw RenderError("cannot write \"" + path + "\": " + error);
}

}  // namespace preview
