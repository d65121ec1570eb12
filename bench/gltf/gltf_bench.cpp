// Converts a glTF file to a scene file (import into a host document, then
// the plug-in's "Export to .vxs") and, in the same run, has assimp export the
// same file to binary PLY, so that the two can be compared on one machine.
//
//   gltf_bench [model.gltf|.glb] [repeats]   defaults: the ToyCar sample, 5
//
// Reported: the best of the repeats for our import, our export and their
// sum, and for `assimp export MODEL OUT.ply -fplyb` as a whole process
// (start, its import, its PLY write); triangles, vertices and file sizes.
// Every file goes to a temporary folder that is removed at the end.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/gltf/gltf_import.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "tests/platform/test_files.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs argv with its output discarded; the exit status, -1 when it did not run.
int quietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 01, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 01, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t countTriangles(const host::BaseObject* o, std::size_t& points) {
    std::size_t triangles = 0;
    for (; o; o = o->GetNext()) {
        if (const auto* p = dynamic_cast<const host::PolygonObject*>(o)) {
            points += static_cast<std::size_t>(p->GetPointCount());
            for (int i = 0; i < p->GetPolygonCount(); ++i)
                triangles += p->GetPolygonR()[i].IsTriangle() ? 1 : 2;
        }
        triangles += countTriangles(o->GetDown(), points);
    }
    return triangles;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string model = argc > 1 ? argv[1] : GLTF_BENCH_MODEL;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string assimp = GLTF_BENCH_ASSIMP;
    const fs::path dir = testfiles::makeTempDir("gltf-bench");
    fs::create_directories(dir);
    const std::string scenePath = (dir / "model.vxs").string();
    const std::string plyPath = (dir / "model.ply").string();

    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(scenePath); });
    host::SetConsoleSink(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    plugin::ExportController controller;

    double bestImport = 1e300, bestExport = 1e300, bestTotal = 1e300, bestAssimp = 1e300;
    std::size_t triangles = 0, points = 0;
    bool assimpRan = !assimp.empty();
    try {
        for (int r = 0; r < repeats; ++r) {
            auto start = Clock::now();
            host::gltf::ImportOptions options;
            options.imageDirectory = dir.string();
            host::gltf::ImportResult imported = host::gltf::ImportGltfFile(model, options);
            const double importSeconds = since(start);
            fs::remove(scenePath);
            const auto exportStart = Clock::now();
            controller.runExport(imported.document.get());
            const double exportSeconds = since(exportStart);
            bestImport = std::min(bestImport, importSeconds);
            bestExport = std::min(bestExport, exportSeconds);
            bestTotal = std::min(bestTotal, importSeconds + exportSeconds);
            points = 0;
            triangles = countTriangles(imported.document->GetFirstObject(), points);

            if (assimpRan) {
                fs::remove(plyPath);
                start = Clock::now();
                assimpRan = quietly({assimp, "export", model, plyPath, "-fplyb"}) == 0;
                bestAssimp = std::min(bestAssimp, since(start));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gltf_bench: %s: %s\n", model.c_str(), e.what());
        fs::remove_all(dir);
        return 1;
    }
    std::error_code ec;
    const auto sceneBytes = fs::file_size(scenePath, ec);
    const auto plyBytes = assimpRan ? fs::file_size(plyPath, ec) : 0;
    fs::remove_all(dir);

    std::printf("model: %s (%zu triangles, %zu points), best of %d\n", model.c_str(), triangles,
                points, repeats);
    std::printf("ours:   import %.1f ms + export %.1f ms = %.1f ms, scene file %.2f MB\n",
                bestImport * 1e3, bestExport * 1e3, bestTotal * 1e3,
                static_cast<double>(sceneBytes) / 1e6);
    if (assimpRan)
        std::printf(
            "assimp: export to binary PLY %.1f ms (whole process), PLY file %.2f MB; ours / assimp "
            "= %.2f\n",
            bestAssimp * 1e3, static_cast<double>(plyBytes) / 1e6, bestTotal / bestAssimp);
    else
        std::printf("assimp: not run (%s)\n",
                    assimp.empty() ? "not installed: assimp-utils" : "its export failed");
    return 0;
}
