// The preview renderer on the benchmarks' grid: N x N quads (default 1000 x
// 1000: 1,000,000 quads, 2,000,000 triangles with phong normals and uvs),
// exported through the Export command into a folder under $TMPDIR, with a
// camera looking down at it and one point light above it added to the file.
//
//   preview_bench [side] [repeats] [picture.png]      defaults 1000, 3, none
//
// Reported, best and median of `repeats` (the machine is shared): reading the
// scene file, building the render model, building the BVH, and tracing a
// 640 x 360 picture at 16 paths per pixel on every core, with the rays per
// second of that tracing (camera, bounce and shadow rays); then one whole
// renderSceneFile call, reading included, and whether one thread and every
// core draw the same picture. Target: the picture under 5 s.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/mesh/grid_document.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "preview/bvh.h"
#include "preview/path_tracer.h"
#include "preview/preview.h"
#include "preview/scene_model.h"
#include "scenefile/reader.h"
#include "tests/platform/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Times {
    std::vector<double> seconds;
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
};

double timed(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The grid spans x 0..side and (mirrored) z -side..0 in scene units of
// 1 cm: a camera above its near edge looking at its centre, a light 3 m above it.
std::string cameraAndLight(int side) {
    const std::string h = std::to_string(side / 2), far = std::to_string(-side / 2);
    return "camera \"bench\" {\nprojection \"perspective\"\nfov 60\nposition " + h + " " +
           std::to_string(side * 0.6) + " " + std::to_string(side * 0.4) + "\ndirection 0 0 -1\n" +
           "look_at " + h + " 0 " + far + "\nup 0 1 0\n}\n" +
           "group \"lamp\" {\ntransform 1 0 0 0 0 1 0 0 0 0 1 0 " + h + " 300 " + far +
           " 1\nobject \"lamp\" {\ngeometry \"triangles\" {\n" +
           "\"vertices\" [ 0 -1 0, 1 0 0, 0 0 1, -1 0 0, 0 0 -1, 0 1 0 ],\n" +
           "\"triangles\" [ 2 1 0, 1 2 5, 3 2 0, 2 3 5, 4 3 0, 3 4 5, 1 4 0, 4 1 5 ],\n}\n" +
           "material \"lamp\" {\nsurface \"tal_point_light\" {\n\"power\" 1000,\n\"color\" 1 1 "
           "1,\n}\n}\n}\n}\n";
}

std::string exportGrid(int side, const testfiles::TempDir& scratch) {
    const std::string path = scratch / "grid.vxs";
    const std::unique_ptr<host::BaseDocument> doc = bench::makeGrid(side);
    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(path); });
    plugin::ExportController controller;
    controller.runExport(doc.get());
    std::ofstream(path, std::ios::app) << cameraAndLight(side);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repeats = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const testfiles::TempDir scratch("preview-bench");
    const std::string path = exportGrid(side, scratch);
    preview::RenderOptions options;  // 640 x 360, 16 paths per pixel, every core
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());

    Times read, model, bvh, picture;
    std::uint64_t rays = 0;
    preview::Image image;
    for (int i = 0; i < repeats; ++i) {
        scenefile::Document scene;
        read.seconds.push_back(timed([&] { scene = scenefile::readSceneFile(path); }));
        preview::RenderModel m;
        model.seconds.push_back(
            timed([&] { m = preview::buildModel(scene, scratch.path(), "", 0.5625f); }));
        std::optional<preview::Bvh> accel;
        bvh.seconds.push_back(timed([&] { accel.emplace(m, threads); }));
        picture.seconds.push_back(
            timed([&] { image = preview::tracePicture(m, *accel, options, threads, {}, &rays); }));
    }
    const double whole = timed([&] { preview::renderSceneFile(path, options); });
    // The picture must not depend on the thread count, also with a BVH built in parallel.
    preview::RenderOptions check = options;
    check.width = 160;
    check.height = 90;
    check.threads = 1;
    const preview::Image one = preview::renderSceneFile(path, check).image;
    check.threads = threads;
    const bool same = one.rgb == preview::renderSceneFile(path, check).image.rgb;
    if (argc > 3) preview::writePng(argv[3], image);

    std::printf("grid %d x %d quads, %d triangles, %u threads, %d x %d at %d paths per pixel\n",
                side, side, 2 * side * side, threads, options.width, options.height,
                options.samples);
    const auto row = [](const char* what, const Times& t) {
        std::printf("%-22s %.3f s (median %.3f)\n", what, t.best(), t.median());
    };
    row("read scene file", read);
    row("render model", model);
    row("BVH build", bvh);
    row("picture", picture);
    std::printf(
        "rays                   %.1f M in the last picture, %.2f M rays/s at the best time\n",
        static_cast<double>(rays) / 1e6, static_cast<double>(rays) / 1e6 / picture.best());
    std::printf("renderSceneFile whole  %.3f s   (target for the picture: < 5 s)\n", whole);
    std::printf("1 and %u threads       %s picture\n", threads, same ? "the same" : "a DIFFERENT");
    return 0;
}
