// Exports a generated grid of N x N quads (default 1000 x 1000: 1,000,000
// quads, 2,000,000 triangles) that carries a UVW tag and a phong tag with an
// angle limit, through the Export command into a scene file in $TMPDIR
// (default /tmp), and compares it with a plain write of the same bytes to the
// same directory, and reads the peak memory.
//
//   mesh_bench [side] [repeats]        defaults 1000 and 5
//
// Two phases. First `repeats` exports alone: their peak memory (above the
// resident size with the document loaded, so including the buffers the
// controller keeps between exports; read from /proc/self/status, VmHWM reset
// through /proc/self/clear_refs) and their times. Then the scene file's bytes
// are read into memory and `repeats` rounds alternate a plain write of them
// (fopen, fwrite in 1 MiB pieces, fclose, as cold in the cache as the
// export's arrays) with another export, so that both meet the same load.
// For comparison with older figures the plain write of one hot 1 MiB block
// repeated to the same size is timed too.
//
// Reported: best and median times (the best is the figure to compare; the
// machine is shared), triangles per second, the scene file's MB/s (10^6
// bytes), the ratio export / plain write, the host's share (its phong
// normals, timed alone), the document's memory (resident growth while it was
// built), the export's peak memory, and the load average before and after.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/mesh/grid_document.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "tests/platform/test_files.h"

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

constexpr std::size_t kPiece = std::size_t{1} << 20;

// Seconds to write `bytes` bytes to a new file at `path` in 1 MiB fwrite
// calls, from `data` (the whole content) or, when `data` is null, from one
// block of kPiece bytes written again and again (hot in the cache).
double plainWrite(const std::string& path, const char* data, std::size_t bytes) {
    const std::vector<char> block(data ? 0 : kPiece, 'x');
    std::filesystem::remove(path);
    const auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return -1;
    for (std::size_t done = 0; done < bytes;) {
        const std::size_t n = std::min(bytes - done, kPiece);
        if (std::fwrite(data ? data + done : block.data(), 1, n, file) != n) break;
        done += n;
    }
    std::fclose(file);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

// Best and median of a list of seconds.
struct Times {
    std::vector<double> seconds;
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        const std::size_t n = s.size();
        return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const testfiles::TempDir scratch("vx-mesh-bench");
    const std::string scenePath = scratch / "grid.vxs";
    const std::string plainPath = scratch / "plain.bin";
    const std::string loadBefore = loadAverage();

    const long before = statusKiB("VmRSS");
    const std::unique_ptr<host::BaseDocument> doc = bench::makeGrid(side);
    const long loaded = statusKiB("VmRSS");
    const long documentKiB = loaded - before;

    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(scenePath); });
    host::SetConsoleSink(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    plugin::ExportController controller;  // lives across the repeats, as in the host
    const auto timedExport = [&] {
        std::filesystem::remove(scenePath);
        const auto start = Clock::now();
        controller.runExport(doc.get());
        return std::chrono::duration<double>(Clock::now() - start).count();
    };

    // Exports alone: peak memory and times.
    Times exports, plain, hotPlain;
    long peakKiB = 0;
    const bool peaks = resetPeak();
    for (int r = 0; r < repeats; ++r) {
        resetPeak();
        exports.seconds.push_back(timedExport());
        peakKiB = std::max(peakKiB, statusKiB("VmHWM") - loaded);
    }
    // The file's bytes from memory, alternating with exports.
    const std::vector<char> bytes = readFile(scenePath);
    for (int r = 0; r < repeats; ++r) {
        plain.seconds.push_back(plainWrite(plainPath, bytes.data(), bytes.size()));
        exports.seconds.push_back(timedExport());
        hotPlain.seconds.push_back(plainWrite(plainPath, nullptr, bytes.size()));
    }
    std::filesystem::remove(scenePath);
    std::filesystem::remove(plainPath);

    // The host's share of the export: its phong normals, asked for once per export.
    Times phong;
    const auto* grid = static_cast<const host::PolygonObject*>(doc->GetFirstObject());
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        const std::vector<host::Vector32> normals = grid->CreatePhongNormals();
        phong.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }

    const double triangles = 2.0 * side * side;
    const double megabytes = static_cast<double>(bytes.size()) / 1e6;
    std::printf(
        "grid                 %d x %d quads (%.0f triangles), UVW tag, phong tag (40 degree "
        "limit)\n",
        side, side, triangles);
    std::printf("scene file           %.1f MB (%zu bytes)\n", megabytes, bytes.size());
    std::printf("load average         %s before, %s after\n", loadBefore.c_str(),
                loadAverage().c_str());
    std::printf("times                best of %d (median)\n", 2 * repeats);
    std::printf("export               %.3f s (%.3f)   %.2f M triangles/s   %.0f MB/s\n",
                exports.best(), exports.median(), triangles / exports.best() / 1e6,
                megabytes / exports.best());
    std::printf("plain write          %.3f s (%.3f)   %.0f MB/s   the same bytes from memory\n",
                plain.best(), plain.median(), megabytes / plain.best());
    std::printf("export / plain write %.2f   (target <= 2)\n", exports.best() / plain.best());
    std::printf("  of which the host's phong normals %.3f s (%.3f); the rest / plain write %.2f\n",
                phong.best(), phong.median(), (exports.best() - phong.best()) / plain.best());
    std::printf("  hot 1 MiB block written to the same size: %.3f s (%.3f); export / it %.2f\n",
                hotPlain.best(), hotPlain.median(), exports.best() / hotPlain.best());
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
