// Binary arrays of 10 million floats and 10 million integers written through
// the scene file writer to a file in $TMPDIR (default /tmp), beside a plain
// fwrite of the same number of bytes. Each iteration opens, writes and closes
// the file, so the figures include the stream's flush. Reported as bytes/s
// of the values in memory (4 bytes a float, 8 a double), so text and binary
// forms compare directly.
//
//   BM_WriterTextFloats    10 million floats with fractions, in text form
//                          ("%g" each)
//   BM_WriterTextDoubles   10 million doubles in text form ("%16.16f" each)
//   BM_WriterTextMatrices  625,000 matrices in text form (16 "%g" each), as
//                          animations write them
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
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

// Doubles with every digit of the "%g" and "%16.16f" texts in use.
const std::vector<double>& fractions() {
    static const std::vector<double> v = [] {
        std::vector<double> out(kValues);
        for (std::int32_t i = 0; i < kValues; ++i)
            out[static_cast<std::size_t>(i)] = std::sin(0.001 * i) * (1 + i % 100);
        return out;
    }();
    return v;
}

// One parameter holding the whole array: in binary form one marker, one
// count, one block.
template <class T>
void writerParameter(benchmark::State& state, int code, const std::vector<T>& data,
                     std::int32_t count, bool binary) {
    const std::string path = scratchPath();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        {
            tal::talScene_api_file writer(file, binary);
            const tal::ArrayValue array{data.data(), count};
            writer.setParameter("values", code | tal::kArrayBit, &array);
        }
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kValues} * std::int64_t{sizeof(T)});
    std::remove(path.c_str());
}

const std::vector<float>& fractionFloats() {
    static const std::vector<float> v(fractions().begin(), fractions().end());
    return v;
}

template <class T>
void writerParameter(benchmark::State& state, int code, bool binary) {
    writerParameter(state, code, values<T>(), kValues, binary);
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

void BM_WriterBinaryFloats(benchmark::State& state) {
    writerParameter<float>(state, tal::kFloat, true);
}
void BM_WriterBinaryInts(benchmark::State& state) {
    writerParameter<std::int32_t>(state, tal::kInt, true);
}
void BM_WriterTextFloats(benchmark::State& state) {
    writerParameter(state, tal::kFloat, fractionFloats(), kValues, false);
}
void BM_WriterTextDoubles(benchmark::State& state) {
    writerParameter(state, tal::kDouble, fractions(), kValues, false);
}
void BM_WriterTextMatrices(benchmark::State& state) {
    writerParameter(state, tal::kMatrix, fractions(), kValues / 16, false);
}
void BM_WriterArrayStatementFloats(benchmark::State& state) { writerArrayStatement(state); }
void BM_PlainFwrite(benchmark::State& state) { plainFwrite(state); }

BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterBinaryFloats)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterBinaryInts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterArrayStatementFloats)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterTextFloats)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterTextDoubles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriterTextMatrices)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
