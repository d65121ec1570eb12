// Binary arrays of 10 million floats and 10 million integers written through
// the scene file writer to a file in $TMPDIR (default /tmp), beside a plain
// fwrite of the same number of bytes. Each iteration opens, writes and closes
// the file, so the figures include the stream's flush. Reported as bytes/s.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sceneapi/scene_api_file.h"
#include "tests/platform/test_files.h"

namespace {

constexpr std::int32_t kValues = 10'000'000;

std::string scratchPath() {
    static const testfiles::TempDir dir("vx-writer-bench");
    return dir / "scene.vxs";
}

template <class T>
const std::vector<T>& values() {
    static const std::vector<T> v = [] {
        std::vector<T> out(kValues);
        for (std::int32_t i = 0; i < kValues; ++i)
            out[static_cast<std::size_t>(i)] = static_cast<T>(i % 1000);
        return out;
    }();
    return v;
}

// One parameter holding the whole array: one marker, one count, one block.
template <class T>
void writerParameter(benchmark::State& state, int code) {
    const std::string path = scratchPath();
    const std::vector<T>& data = values<T>();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        {
            tal::talScene_api_file writer(file, true);
            const tal::ArrayValue array{data.data(), kValues};
            writer.setParameter("values", code | tal::kArrayBit, &array);
        }
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kValues} * std::int64_t{sizeof(T)});
    std::remove(path.c_str());
}

// An array statement fed one value per call, collected and written at its end.
void writerArrayStatement(benchmark::State& state) {
    const std::string path = scratchPath();
    const std::vector<float>& data = values<float>();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        {
            tal::talScene_api_file writer(file, true);
            writer.beginArray("values");
            for (const float& v : data) writer.addArrayElement(tal::kFloat, &v);
            writer.endArray();
        }
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kValues} * 4);
    std::remove(path.c_str());
}

void plainFwrite(benchmark::State& state) {
    const std::string path = scratchPath();
    const std::vector<float>& data = values<float>();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), sizeof(float), data.size(), file);
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kValues} * 4);
    std::remove(path.c_str());
}

void BM_WriterBinaryFloats(benchmark::State& state) { writerParameter<float>(state, tal::kFloat); }
void BM_WriterBinaryInts(benchmark::State& state) {
    writerParameter<std::int32_t>(state, tal::kInt);
}
void BM_WriterArrayStatementFloats(benchmark::State& state) { writerArrayStatement(state); }
void BM_PlainFwrite(benchmark::State& state) { plainFwrite(state); }

BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterBinaryFloats)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterBinaryInts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterArrayStatementFloats)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
