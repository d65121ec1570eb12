// Exports a generated grid of N x N quads (default 1000 x 1000: 1,000,000
// quads, 2,000,000 triangles) that carries a UVW tag and a phong tag with an
// angle limit, through the Export command into a scene file in $TMPDIR
// (default /tmp). In the same run it times a plain write of the same number
// of bytes (1 MiB chunks, fopen to fclose) and reads the peak memory.
//
//   mesh_bench [side] [repeats]        defaults 1000 and 3
//
// Reported: the best export and plain-write times of the repeats (and the
// host's share: its phong normals, timed alone), triangles per second, the
// scene file's MB/s (10^6 bytes), the ratio export / plain write, the
// document's memory (resident growth while it was built) and the export's
// peak memory above the resident size with the document loaded, which
// includes the buffers the controller keeps between exports. Peaks are read
// from /proc/self/status (VmHWM, reset through /proc/self/clear_refs).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/mesh/grid_document.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"

namespace {

using Clock = std::chrono::steady_clock;

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when unknown.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return 0;
}

bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

double mib(long kib) { return static_cast<double>(kib) / 1024.0; }

double plainWrite(const std::string& path, std::uintmax_t bytes) {
    std::vector<char> chunk(1 << 20, 'x');
    std::filesystem::remove(path);
    const auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return -1;
    for (std::uintmax_t left = bytes; left > 0;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uintmax_t>(left, chunk.size()));
        if (std::fwrite(chunk.data(), 1, n, file) != n) break;
        left -= n;
    }
    std::fclose(file);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp && *tmp ? tmp : "/tmp";
    const std::string scenePath = dir + "/vx_mesh_bench_" + std::to_string(::getpid()) + ".vxs";
    const std::string plainPath =
        dir + "/vx_mesh_bench_plain_" + std::to_string(::getpid()) + ".bin";

    const long before = statusKiB("VmRSS");
    const std::unique_ptr<host::BaseDocument> doc = bench::makeGrid(side);
    const long loaded = statusKiB("VmRSS");
    const long documentKiB = loaded - before;

    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(scenePath); });
    host::SetConsoleSink(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    plugin::ExportController controller;  // lives across the repeats, as in the host

    double bestExport = 1e300, bestPlain = 1e300;
    long peakKiB = 0;
    std::uintmax_t bytes = 0;
    const bool peaks = resetPeak();
    for (int r = 0; r < repeats; ++r) {
        std::filesystem::remove(scenePath);
        resetPeak();
        const auto start = Clock::now();
        controller.runExport(doc.get());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        peakKiB = std::max(peakKiB, statusKiB("VmHWM") - loaded);
        bytes = std::filesystem::file_size(scenePath);
        bestExport = std::min(bestExport, seconds);
        bestPlain = std::min(bestPlain, plainWrite(plainPath, bytes));
    }
    std::filesystem::remove(scenePath);
    std::filesystem::remove(plainPath);

    // The host's share of the export: its phong normals, asked for once per export.
    double bestPhong = 1e300;
    const auto* grid = static_cast<const host::PolygonObject*>(doc->GetFirstObject());
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        const std::vector<host::Vector32> normals = grid->CreatePhongNormals();
        bestPhong =
            std::min(bestPhong, std::chrono::duration<double>(Clock::now() - start).count());
    }

    const double triangles = 2.0 * side * side;
    std::printf(
        "grid                 %d x %d quads (%.0f triangles), UVW tag, phong tag (40 degree "
        "limit)\n",
        side, side, triangles);
    std::printf("scene file           %.1f MB (%ju bytes)\n", static_cast<double>(bytes) / 1e6,
                bytes);
    std::printf("export (best of %d)   %.3f s   %.2f M triangles/s   %.0f MB/s\n", repeats,
                bestExport, triangles / bestExport / 1e6,
                static_cast<double>(bytes) / bestExport / 1e6);
    std::printf("plain write          %.3f s   %.0f MB/s\n", bestPlain,
                static_cast<double>(bytes) / bestPlain / 1e6);
    std::printf("export / plain write %.2f   (target <= 2)\n", bestExport / bestPlain);
    std::printf("  of which the host's phong normals %.3f s; the rest / plain write %.2f\n",
                bestPhong, (bestExport - bestPhong) / bestPlain);
    std::printf("document memory      %.1f MiB\n", mib(documentKiB));
    if (peaks) {
        std::printf(
            "export peak memory   %.1f MiB above the loaded document = %.2f x the document   "
            "(target <= 2)\n",
            mib(peakKiB), static_cast<double>(peakKiB) / static_cast<double>(documentKiB));
    } else {
        std::printf("export peak memory   unknown (/proc/self/clear_refs is not writable)\n");
    }
    return 0;
}
