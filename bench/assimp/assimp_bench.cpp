// Converts an asset to a scene file (the asset importer into a host
// document, then the plug-in's "Export to .vxs") and, in the same run, has
// assimp export the same file to binary PLY, so that the two can be compared
// on one machine.
//
//   assimp_bench [asset] [repeats]   defaults: a generated OBJ, 3 repeats
//
// The generated OBJ is a 710 x 710 grid of quads, each written as two
// triangles (1,008,200 triangles) with positions, texture coordinates and
// normals, the shape of a scanned or sculpted mesh. Reported: the best of
// the repeats for our import, our export and their sum, and for
// `assimp export ASSET OUT.ply -fplyb` as a whole process (start, its
// import, its PLY write). Every file goes to a temporary folder that is
// removed at the end.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/assimp/assimp_import.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "tests/platform/test_files.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kGrid = 710;  // quads per side: 2 * 710 * 710 triangles

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

// A wavy grid: (kGrid + 1)^2 vertices, two triangles per cell.
void writeGridObj(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) throw std::runtime_error("cannot write " + path);
    const int n = kGrid + 1;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            std::fprintf(f, "v %.5f %.5f %.5f\n", i * 0.01, 0.05 * std::sin(i * 0.05 + j * 0.03),
                         j * 0.01);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            std::fprintf(f, "vt %.5f %.5f\n", i / double(kGrid), j / double(kGrid));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double s = 0.05 * 0.05 * std::cos(i * 0.05 + j * 0.03) / 0.01;
            const double l = std::sqrt(1 + s * s);
            std::fprintf(f, "vn %.5f %.5f %.5f\n", -s / l, 1 / l, 0.0);
        }
    for (int j = 0; j < kGrid; ++j)
        for (int i = 0; i < kGrid; ++i) {
            const int a = j * n + i + 1, b = a + 1, c = a + n + 1, d = a + n;
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c, c);
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, b, b, b);
        }
    if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
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

struct Best {
    double import = 1e300, exported = 1e300, total = 1e300, assimp = 1e300;
    std::size_t triangles = 0, points = 0;
};

// One round: our import and export, then assimp's conversion.
void round(const std::string& model, const fs::path& dir, const std::string& assimp,
           bool& assimpRan, plugin::ExportController& controller, Best& best) {
    const std::string scenePath = (dir / "model.vxs").string();
    const std::string plyPath = (dir / "model.ply").string();
    auto start = Clock::now();
    host::assimp::ImportResult imported = host::assimp::ImportAssetFile(model, {dir.string(), ""});
    const double importSeconds = since(start);
    fs::remove(scenePath);
    const auto exportStart = Clock::now();
    controller.runExport(imported.document.get());
    const double exportSeconds = since(exportStart);
    best.import = std::min(best.import, importSeconds);
    best.exported = std::min(best.exported, exportSeconds);
    best.total = std::min(best.total, importSeconds + exportSeconds);
    best.points = 0;
    best.triangles = countTriangles(imported.document->GetFirstObject(), best.points);
    imported.document.reset();
    if (!assimpRan) return;
    fs::remove(plyPath);
    start = Clock::now();
    assimpRan = quietly({assimp, "export", model, plyPath, "-fplyb"}) == 0;
    best.assimp = std::min(best.assimp, since(start));
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string assimp = ASSET_BENCH_ASSIMP;
    const fs::path dir = testfiles::makeTempDir("assimp-bench");
    const std::string scenePath = (dir / "model.vxs").string();
    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(scenePath); });
    host::SetConsoleSink(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    plugin::ExportController controller;
    Best best;
    bool assimpRan = !assimp.empty();
    std::string model = argc > 1 ? argv[1] : "";
    try {
        if (model.empty()) writeGridObj(model = (dir / "grid.obj").string());
        for (int r = 0; r < repeats; ++r) round(model, dir, assimp, assimpRan, controller, best);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assimp_bench: %s: %s\n", model.c_str(), e.what());
        fs::remove_all(dir);
        return 1;
    }
    std::error_code ec;
    const auto modelBytes = fs::file_size(model, ec);
    const auto sceneBytes = fs::file_size(scenePath, ec);
    const auto plyBytes = assimpRan ? fs::file_size(dir / "model.ply", ec) : 0;
    fs::remove_all(dir);
    std::printf("model: %s (%.1f MB, %zu triangles, %zu points), best of %d\n", model.c_str(),
                static_cast<double>(modelBytes) / 1e6, best.triangles, best.points, repeats);
    std::printf("ours:   import %.1f ms + export %.1f ms = %.1f ms, scene file %.2f MB\n",
                best.import * 1e3, best.exported * 1e3, best.total * 1e3,
                static_cast<double>(sceneBytes) / 1e6);
    if (assimpRan)
        std::printf(
            "assimp: export to binary PLY %.1f ms (whole process), PLY file %.2f MB; ours / assimp "
            "= %.2f\n",
            best.assimp * 1e3, static_cast<double>(plyBytes) / 1e6, best.total / best.assimp);
    else
        std::printf("assimp: not run (%s)\n",
                    assimp.empty() ? "not installed: assimp-utils" : "its export failed");
    return 0;
}
