// Streams the mesh benchmark's grid (bench/mesh/grid_document.h; default
// 1000 x 1000 quads, 2,000,000 triangles) to a running vxrenderer through
// "Render in Vantrix", and in the same run exports the same document through
// "Export to .vxs" into a file in $TMPDIR (default /tmp).
//
//   livelink_bench [side] [repeats]        defaults 1000 and 3
//
// The benchmark sets up a private world: a registry root that installs the
// built renderer and live-link library, an instance folder, a port range of
// its own. Before each Render it starts a fresh renderer (a renderer that
// holds a scene is not idle, and Render takes only idle ones) and waits for
// it to publish itself, so the timed Render finds it at once: the time runs
// from the command's start to the renderer's answer that it read, applied
// and saved the whole scene. The renderer is stopped after each repeat.
// Reported: the best of each, the ratio stream / file (target <= 1.5), and
// whether the renderer's saved scene is the exported file less its header.
// Beside the times, where the time goes: the processor time of the
// plug-in's side (this process, over the command) and of the renderer (its
// whole life, all threads: receiving and reading on one, writing the scene
// file on another, and its start, which is a few milliseconds). With two
// cores for three busy threads, the link's wall time lies between the sum
// divided by two and the sum.
// Renderers listen on ports the kernel picks (a registry port of 0); the
// plug-in finds them through their instance records.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/mesh/grid_document.h"
#include "host/plugin_api.h"
#include "plugin/export_controller.h"
#include "renderer/instance_records.h"
#include "tests/platform/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string kFileHeader =
    "//---talvik:dal:7---\n//---import:dal:1---\n//---id:1---\n// This is a Vantrix scene file\n\n";

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

double cpuSeconds(const rusage& u) { return seconds(u.ru_utime) + seconds(u.ru_stime); }

// Processor time of this process so far, user and system.
double ownCpu() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return cpuSeconds(u);
}

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A renderer of our own, ready to receive; its process id, or -1. Spawned
// rather than forked: a fork would write-protect every page of the big
// document, and the timed export that follows would pay a copy-on-write
// fault per page.
pid_t startRenderer(const std::string& runtime, const std::string& output) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const char* args[] = {VXRENDERER_PATH, "--port",           "0",   "--output",
                          output.c_str(),  "--exit-when-idle", "600", nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, VXRENDERER_PATH, &actions, nullptr,
                                     const_cast<char* const*>(args), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return -1;
    const Clock::time_point start = Clock::now();
    while (since(start) < 10) {
        for (const vxrenderer::InstanceRecord& r : vxrenderer::liveRecords(runtime)) {
            if (r.processId == pid) return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Stops the renderer; its processor time over its whole life, in seconds.
double stopRenderer(pid_t pid) {
    ::kill(pid, SIGTERM);
    rusage u{};
    ::wait4(pid, nullptr, 0, &u);
    return cpuSeconds(u);
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string world = testfiles::makeTempDir("vx-livelink-bench").string();
    const std::string runtime = world + "/run";
    const std::string output = world + "/scenes";
    const std::string scenePath = world + "/grid.vxs";
    fs::create_directories(output);
    fs::create_directories(world + "/resources");
    {
        std::ofstream registry(world + "/user.json");
        registry << "{\"SOFTWARE\\\\Talvik\\\\Vantrix 8\": {\"BinName\": \"" << VXRENDERER_PATH
                 << "\", \"BinFolder\": \"" << LIVE_LIBRARY_DIR << "\", \"ResourceFolder\": \""
                 << world << "/resources\", \"LiveLinkPort\": 0, \"LiveLinkMaxPort\": 0}}\n";
    }
    ::setenv("TALVIK_REGISTRY_USER", (world + "/user.json").c_str(), 1);
    ::setenv("TALVIK_REGISTRY_MACHINE", (world + "/machine.json").c_str(), 1);
    ::setenv("TALVIK_RUNTIME_DIR", runtime.c_str(), 1);

    const std::unique_ptr<host::BaseDocument> doc = bench::makeGrid(side);
    host::SetFileDialogHandler(
        [&](const std::string&, const std::string&) { return std::optional(scenePath); });
    std::vector<std::string> console;
    host::SetConsoleSink([&](const std::string& line) { console.push_back(line); });
    // One controller per command, each living across the repeats as in the
    // host. (A controller's conversion state carries over between commands:
    // progress keeps counting, so only commands of fresh controllers give
    // the same bytes.)
    plugin::ExportController fileController;
    plugin::ExportController linkController;

    double bestFile = 1e300, bestStream = 1e300;
    double fileCpu = 1e300, pluginCpu = 1e300, rendererCpu = 1e300;  // least of the repeats
    std::uintmax_t bytes = 0;
    bool same = true;
    for (int r = 0; r < repeats; ++r) {
        fs::remove(scenePath);
        Clock::time_point start = Clock::now();
        double cpu = ownCpu();
        fileController.runExport(doc.get());
        bestFile = std::min(bestFile, since(start));
        fileCpu = std::min(fileCpu, ownCpu() - cpu);
        bytes = fs::file_size(scenePath);

        const pid_t renderer = startRenderer(runtime, output);
        if (renderer < 0) {
            std::fprintf(stderr, "livelink_bench: the renderer did not start\n");
            return 1;
        }
        start = Clock::now();
        cpu = ownCpu();
        linkController.runRender(doc.get());
        const double seconds = since(start);
        pluginCpu = std::min(pluginCpu, ownCpu() - cpu);
        rendererCpu = std::min(rendererCpu, stopRenderer(renderer));
        if (!console.empty()) {
            std::fprintf(stderr, "livelink_bench: %s\n", console.back().c_str());
            return 1;
        }
        bestStream = std::min(bestStream, seconds);
        std::vector<fs::path> saved;
        for (const auto& e : fs::directory_iterator(output)) {
            if (e.path().filename().string().rfind("scene-", 0) == 0) saved.push_back(e.path());
        }
        if (r == 0) {
            const std::string exported = readFile(scenePath);
            same = saved.size() == 1 && exported.rfind(kFileHeader, 0) == 0 &&
                   readFile(saved[0].string()) == exported.substr(kFileHeader.size());
        }
        for (const fs::path& p : saved) fs::remove(p);
    }
    std::string summary;
    {
        std::ifstream log(output + "/vxrenderer.log");
        for (std::string line; std::getline(log, line);) {
            if (line.find("]: scene ") != std::string::npos) summary = line;
        }
    }
    fs::remove_all(world);

    const double triangles = 2.0 * side * side;
    std::printf("grid                 %d x %d quads (%.0f triangles), UVW tag, phong tag\n", side,
                side, triangles);
    std::printf("scene                %.1f MB (%ju bytes)\n", static_cast<double>(bytes) / 1e6,
                bytes);
    std::printf("file export (best of %d)  %.3f s   %.0f MB/s\n", repeats, bestFile,
                static_cast<double>(bytes) / bestFile / 1e6);
    std::printf("live link (best of %d)    %.3f s   %.0f MB/s   (to vxrenderer's answer)\n",
                repeats, bestStream, static_cast<double>(bytes) / bestStream / 1e6);
    std::printf("live link / file export   %.2f   (target <= 1.5)\n", bestStream / bestFile);
    std::printf(
        "processor time (least)    file export %.3f s; live link: plug-in %.3f s + "
        "renderer %.3f s = %.3f s\n",
        fileCpu, pluginCpu, rendererCpu, pluginCpu + rendererCpu);
    std::printf("received scene = exported file less its header: %s\n", same ? "yes" : "NO");
    std::printf("renderer's last summary: %s\n", summary.c_str());
    return same ? 0 : 1;
}
