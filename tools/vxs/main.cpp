// vxs: reads scene files.
//
//   vxs info FILE [--json]        counts of what the scene holds
//   vxs check FILE [--max N]      structural checks; exit status 1 on problems
//   vxs dump FILE [-o OUT]        the whole scene as readable text
//   vxs convert FILE -o OUT.gltf  hierarchy, meshes and materials as glTF 2.0 (.gltf or .glb)
//   vxs render FILE -o OUT.png    a picture of the scene, path traced
//
// Exit status: 0 done; 1 the scene is unreadable or cannot be rendered, has
// problems (check), or an output cannot be written; 2 a bad command line.
// Output files appear whole or not at all (platform/atomic_file.h).
//
// On a terminal, work that lasts about a second shows a progress bar on
// stderr ("reading NAME", "writing OUT", "rendering"), cleared before
// anything else is printed; with stderr in a pipe or a file, or with the
// output going to the same terminal, nothing of it is written.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/progress_bar.h"
#include "platform/regular_file.h"
#include "preview/preview.h"
#include "scenefile/dump.h"
#include "scenefile/reader.h"
#include "scenefile/scene_stats.h"
#include "vxs/gltf_export.h"
#include "vxs/scene_check.h"

namespace {

using platform::ProgressBar;

int fail(const std::string& message) {
    platform::clearProgressLine();
    std::fprintf(stderr, "vxs: %s\n", message.c_str());
    return 1;
}

// The label of reading `path`: its file name.
std::string readingLabel(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return "reading " + (name.empty() ? path : name);
}

// Feeds the open file `in` (of `path`) to `reader` in pieces, telling
// `bar` the fraction read (or the bytes, when the size is unknown), and finishes the reader;
// answers the number of bytes. The bar is cleared however it ends.
std::uint64_t feed(std::FILE* in, const std::string& path, scenefile::StreamReader& reader,
                   ProgressBar& bar) {
    struct stat info {};
    const double size = ::fstat(::fileno(in), &info) == 0 ? static_cast<double>(info.st_size) : 0;
    bar.setLabel(readingLabel(path));
    struct Clear {
        ProgressBar& bar;
        ~Clear() { bar.clear(); }
    } clear{bar};
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t total = 0;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        reader.feed(std::string_view(chunk.data(), n));
        total += n;
        if (size > 0)
            bar.update(static_cast<double>(total) / size);
        else
            bar.count(total);  // a size the system does not know: the bytes so far
    }
    if (std::ferror(in)) throw std::runtime_error("cannot read \"" + path + "\"");
    reader.finish();
    return total;
}

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File openScene(const std::string& path, std::string& error) {
    return File(platform::openRegularStream(path, error), &std::fclose);
}

// The scene in `path`, as scenefile::readSceneFile reads it (its messages
// too); with a bar on the terminal, read in pieces so that the bar follows.
scenefile::Document loadScene(const std::string& path, ProgressBar& bar,
                              std::uint64_t* bytes = nullptr) {
    if (!bar.enabled()) {
        std::string text = scenefile::readFileBytes(path);
        if (bytes) *bytes = text.size();
        return scenefile::readScene(text);
    }
    std::string error;
    const File in = openScene(path, error);
    if (!in) throw std::runtime_error("cannot open \"" + path + "\": " + error);
    scenefile::TreeBuilder tree;
    scenefile::StreamReader reader(tree);
    const std::uint64_t total = feed(in.get(), path, reader, bar);
    if (bytes) *bytes = total;
    return tree.take();
}

int info(const std::string& path, bool json, ProgressBar& bar) {
    std::uint64_t size = 0;
    scenefile::Document scene = loadScene(path, bar, &size);
    scenefile::SceneStats stats = scenefile::collectStats(scene, size);
    std::string text = json ? scenefile::statsJson(stats) : scenefile::formatStats(stats);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int check(const std::string& path, std::size_t max, ProgressBar& bar) {
    std::vector<vxs::Problem> problems;
    try {
        problems = vxs::checkScene(loadScene(path, bar), max);
    } catch (const scenefile::ParseError& e) {
        problems.push_back({e.pos(), e.problem()});
    }
    for (const vxs::Problem& p : problems)
        std::printf("%s: %s\n", path.c_str(), vxs::formatProblem(p).c_str());
    if (problems.empty()) std::printf("%s: ok\n", path.c_str());
    return problems.empty() ? 0 : 1;
}

// Streams the file through the reader, so the dump needs no more memory than a statement.
int dump(const std::string& path, const std::string& outPath, ProgressBar& bar) {
    std::string error;
    const File in = openScene(path, error);
    if (!in) return fail("cannot open \"" + path + "\": " + error);
    platform::AtomicFile file;  // dropped unless the whole dump was written
    if (!outPath.empty() && (!file.open(outPath, error) || file.stream() == nullptr))
        return fail("cannot write \"" + outPath + "\": " + (error.empty() ? "no stream" : error));
    {
        // The sink flushes when it goes, so it goes before the file is completed.
        scenefile::DumpSink sink(outPath.empty() ? stdout : file.stream());
        scenefile::StreamReader reader(sink);
        feed(in.get(), path, reader, bar);
        if (!sink.flush()) return fail("cannot write the dump");
    }
    if (!outPath.empty() && !file.commit(error))
        return fail("cannot write \"" + outPath + "\": " + error);
    return 0;
}

int convert(const std::string& path, const std::string& outPath, ProgressBar& bar) {
    const scenefile::Document scene = loadScene(path, bar);
    bar.setLabel("writing " + outPath);
    bar.show();
    vxs::GltfSummary s = vxs::writeGltf(scene, outPath);
    bar.clear();
    for (const std::string& w : s.warnings) std::fprintf(stderr, "vxs: warning: %s\n", w.c_str());
    std::printf(
        "%s: %zu nodes, %zu meshes, %zu primitives, %zu vertices, %zu triangles, %zu materials, "
        "%zu textures\n",
        outPath.c_str(), s.nodes, s.meshes, s.primitives, s.vertices, s.triangles, s.materials,
        s.textures);
    return 0;
}

// The progress bar goes to the terminal only; a log or pipe gets the summary alone.
int render(const std::string& path, const std::string& outPath,
           const preview::RenderOptions& options, ProgressBar& bar) {
    const auto start = std::chrono::steady_clock::now();
    bar.setLabel("rendering");
    preview::RenderResult result =
        preview::renderSceneFile(path, options, [&](double f) { bar.update(f); });
    bar.clear();
    for (const std::string& w : result.warnings)
        std::fprintf(stderr, "vxs: warning: %s\n", w.c_str());
    preview::writePng(outPath, result.image);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d x %d pixels, %d paths per pixel, %.2f s\n", outPath.c_str(),
                result.image.width, result.image.height, options.samples, seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::installOutputSignalCleanup();
    CLI::App app{"vxs: reads scene files (.vxs): summary, checks, readable dump, glTF conversion"};
    app.require_subcommand(1);
    std::string file, out;
    bool json = false;
    std::size_t max = 20;

    auto* infoCmd = app.add_subcommand(
        "info", "Counts of objects, groups, triangles, materials, ... and the file size");
    infoCmd->add_option("FILE", file, "scene file")->required();
    infoCmd->add_flag("--json", json, "print one JSON object");
    auto* checkCmd = app.add_subcommand(
        "check", "Structural checks; exit status 1 with the first problems listed");
    checkCmd->add_option("FILE", file, "scene file")->required();
    checkCmd->add_option("--max", max, "list at most this many problems (0: all)")
        ->capture_default_str();
    auto* dumpCmd =
        app.add_subcommand("dump", "The whole scene as readable text, binary arrays expanded");
    dumpCmd->add_option("FILE", file, "scene file")->required();
    dumpCmd->add_option("-o,--output", out, "write here instead of the standard output");
    auto* convertCmd =
        app.add_subcommand("convert", "Hierarchy, meshes, base colours and textures as glTF 2.0");
    convertCmd->add_option("FILE", file, "scene file")->required();
    convertCmd->add_option("-o,--output", out, "OUT.gltf or OUT.glb")->required();
    preview::RenderOptions picture;
    auto* renderCmd = app.add_subcommand(
        "render", "A path-traced picture of the scene from one of its cameras, as PNG");
    renderCmd->add_option("FILE", file, "scene file")->required();
    renderCmd->add_option("-o,--output", out, "OUT.png")->required();
    renderCmd->add_option("--width", picture.width, "pixels")
        ->check(CLI::Range(1, 16384))
        ->capture_default_str();
    renderCmd->add_option("--height", picture.height, "pixels")
        ->check(CLI::Range(1, 16384))
        ->capture_default_str();
    renderCmd->add_option("--samples", picture.samples, "paths per pixel")
        ->check(CLI::Range(1, 65536))
        ->capture_default_str();
    renderCmd->add_option("--camera", picture.camera,
                          "camera block name (default: the scene's first camera)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help answers 0; a bad command line 2, apart from the failures below.
        return app.exit(e) == 0 ? 0 : 2;
    }
    // A dump to the terminal's own screen would be torn by the bar.
    const bool screenTaken = *dumpCmd && out.empty() && platform::isTerminal(stdout);
    ProgressBar bar(stderr, platform::isTerminal(stderr) && !screenTaken, "");
    try {
        if (*infoCmd) return info(file, json, bar);
        if (*checkCmd) return check(file, max, bar);
        if (*dumpCmd) return dump(file, out, bar);
        if (*convertCmd) return convert(file, out, bar);
        if (*renderCmd) return render(file, out, picture, bar);
    } catch (const scenefile::ParseError& e) {
        return fail(file + ": " + e.what());
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    return 0;
}
