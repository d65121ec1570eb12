// Reading speed of the scene file reader on a 2,000,000-triangle mesh written
// by the file writer as the plug-in writes meshes: a "triangles" geometry of
// a 1000 x 1000 grid with binary arrays of vertices, per-corner normals and
// uvs and their three index arrays (about 200 MB). Beside it, a plain read of
// the same file into memory. The file is written once into $TMPDIR (default
// /tmp) and removed at exit; after the first pass it is in the page cache, so
// the plain read measures copying from the cache, the floor of any reader.
// Reported as bytes/s of the file; a text-array variant of 200,000 triangles
// shows the speed of numbers in text: read into the tree (numbers kept flat,
// with the tuples' shape), and tokenised alone, which is the speed at which
// the lexer turns the text into tokens. The file reads also report the
// tree's heap bytes per byte of the file (tree_bytes_per_file_byte).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sceneapi/scene_api_file.h"
#include "scenefile/large_pages.h"
#include "scenefile/lexer.h"
#include "scenefile/reader.h"
#include "tests/platform/test_files.h"

namespace {

std::string scratchPath(const char* name) {
    static const testfiles::TempDir dir("vx-reader-bench");
    return dir / (std::string(name) + ".vxs");
}

void arrayParameter(tal::talScene_api& api, const char* name, int code, const void* data,
                    std::size_t count) {
    tal::ArrayValue value{data, static_cast<std::int32_t>(count)};
    api.setParameter(name, code | tal::kArrayBit, &value);
}

// A grid of cells x cells quads, each split into two triangles with three
// corners of their own (normals and uvs per corner, vertices shared).
void writeGrid(const std::string& path, int cells, bool binaryArrays) {
    const int side = cells + 1;
    std::vector<float> vertices, normals, uvs;
    std::vector<std::int32_t> triangles, corners;
    vertices.reserve(static_cast<std::size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            vertices.insert(vertices.end(), {static_cast<float>(x), 0.0f, static_cast<float>(y)});
    std::size_t cornerCount = static_cast<std::size_t>(cells) * cells * 6;
    triangles.reserve(cornerCount);
    corners.reserve(cornerCount);
    normals.reserve(cornerCount * 3);
    uvs.reserve(cornerCount * 2);
    for (int y = 0; y < cells; ++y)
        for (int x = 0; x < cells; ++x) {
            std::int32_t a = y * side + x, b = a + 1, d = a + side, c = d + 1;
            for (std::int32_t v : {a, d, b, c, b, d}) {
                triangles.push_back(v);
                corners.push_back(static_cast<std::int32_t>(corners.size()));
                normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
                uvs.insert(uvs.end(), {static_cast<float>(v % side) / static_cast<float>(cells),
                                       static_cast<float>(v / side) / static_cast<float>(cells)});
            }
        }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    {
        tal::talScene_api_file api(file, binaryArrays);
        api.beginGroup("grid", true);
        api.beginObject("Grid", true);
        api.beginGeometry("triangles");
        arrayParameter(api, "vertices", tal::kFloat3, vertices.data(), vertices.size() / 3);
        arrayParameter(api, "normals", tal::kFloat3, normals.data(), normals.size() / 3);
        arrayParameter(api, "triangles_norm", tal::kInt, corners.data(), corners.size());
        arrayParameter(api, "uv_tex", tal::kFloat, uvs.data(), uvs.size());
        arrayParameter(api, "triangles_uv", tal::kInt, corners.data(), corners.size());
        arrayParameter(api, "triangles", tal::kInt, triangles.data(), triangles.size());
        api.endGeometry();
        api.endObject();
        api.endGroup();
    }
    if (std::fclose(file) != 0) std::abort();
}

// A scene file written on first use and removed at exit.
struct SceneFile {
    SceneFile(const char* name, int cells, bool binaryArrays) : path(scratchPath(name)) {
        writeGrid(path, cells, binaryArrays);
        size = static_cast<std::int64_t>(scenefile::readFileBytes(path).size());
    }
    ~SceneFile() { std::remove(path.c_str()); }
    std::string path;
    std::int64_t size;
};

const SceneFile& bigMesh() {
    static const SceneFile file("binary", 1000, true);  // 2,000,000 triangles
    return file;
}

const SceneFile& textMesh() {
    static const SceneFile file("text", 316, false);  // 199,712 triangles
    return file;
}

void plainRead(benchmark::State& state, const SceneFile& file) {
    for (auto _ : state) benchmark::DoNotOptimize(scenefile::readFileBytes(file.path));
    state.SetBytesProcessed(state.iterations() * file.size);
}

// The heap's bytes in use and the reader's blocks mapped on their own.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd + scenefile::largePageBytesInUse.load();
}

// Read from the file and parse into the tree.
void readSceneFile(benchmark::State& state, const SceneFile& file) {
    for (auto _ : state) benchmark::DoNotOptimize(scenefile::readSceneFile(file.path));
    state.SetBytesProcessed(state.iterations() * file.size);
    const std::size_t before = heapInUse();
    const scenefile::Document tree = scenefile::readSceneFile(file.path);
    state.counters["tree_bytes_per_file_byte"] =
        static_cast<double>(heapInUse() - before) / static_cast<double>(file.size);
}

// Parse bytes already in memory into the tree.
void parseInMemory(benchmark::State& state, const SceneFile& file) {
    const std::string bytes = scenefile::readFileBytes(file.path);
    for (auto _ : state) benchmark::DoNotOptimize(scenefile::readScene(bytes));
    state.SetBytesProcessed(state.iterations() * file.size);
}

// The stream reader fed 64 KiB chunks, as a live link would deliver them.
void streamInChunks(benchmark::State& state, const SceneFile& file) {
    const std::string bytes = scenefile::readFileBytes(file.path);
    constexpr std::size_t kChunk = 64 * 1024;
    for (auto _ : state) {
        scenefile::TreeBuilder tree;
        scenefile::StreamReader reader(tree);
        for (std::size_t at = 0; at < bytes.size(); at += kChunk)
            reader.feed(std::string_view(bytes).substr(at, kChunk));
        reader.finish();
        benchmark::DoNotOptimize(tree.take());
    }
    state.SetBytesProcessed(state.iterations() * file.size);
}

// The lexer alone over bytes in memory: every token, numbers converted.
void tokenize(benchmark::State& state, const SceneFile& file) {
    using scenefile::detail::TokenKind;
    const std::string bytes = scenefile::readFileBytes(file.path);
    for (auto _ : state) {
        scenefile::detail::Lexer lex(bytes, 0, 1, true);
        double sum = 0;
        for (auto t = lex.nextSkippingNewlines(); t.kind != TokenKind::End;
             t = lex.nextSkippingNewlines())
            sum += t.number;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * file.size);
}

void BM_PlainRead(benchmark::State& s) { plainRead(s, bigMesh()); }
void BM_ReadSceneFile(benchmark::State& s) { readSceneFile(s, bigMesh()); }
void BM_ParseInMemory(benchmark::State& s) { parseInMemory(s, bigMesh()); }
void BM_StreamIn64KiBChunks(benchmark::State& s) { streamInChunks(s, bigMesh()); }
void BM_TextArrays_PlainRead(benchmark::State& s) { plainRead(s, textMesh()); }
void BM_TextArrays_ReadSceneFile(benchmark::State& s) { readSceneFile(s, textMesh()); }
void BM_TextArrays_ParseInMemory(benchmark::State& s) { parseInMemory(s, textMesh()); }
void BM_TextArrays_StreamIn64KiBChunks(benchmark::State& s) { streamInChunks(s, textMesh()); }
void BM_TextArrays_Tokenize(benchmark::State& s) { tokenize(s, textMesh()); }

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSceneFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StreamIn64KiBChunks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextArrays_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextArrays_ReadSceneFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextArrays_ParseInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextArrays_StreamIn64KiBChunks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextArrays_Tokenize)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
