// Baking animation of a long document: 100 null objects, each with a
// position, a rotation and a scale track keyed every second (linear and
// spline keys alternating) over the given number of minutes, converted by
// the document traversal. Every track is sampled 30 times a second, so an
// hour gives about 108,000 matrices per track and 32 million for the
// document.
//
//   BM_BakeAnimation/M        conversion only, into a scene API that drops
//                             what it gets (counts samples)
//   BM_ExportAnimationFile/M  the same into the scene file writer on
//                             /dev/null (matrices are written as text)
//
// The rate of samples (items_per_second) stays about flat as M grows: the key search is logarithmic
// and the sample lists grow by doubling, so nothing in the bake is quadratic in the length.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "convert/export_context.h"
#include "convert/traversal.h"
#include "host/document.h"
#include "sceneapi/light_factory.h"
#include "sceneapi/scene_api.h"
#include "sceneapi/scene_api_file.h"

namespace {

constexpr int kObjects = 100;

std::unique_ptr<host::BaseDocument> makeDocument(int minutes) {
    auto doc = std::make_unique<host::BaseDocument>();
    const int seconds = minutes * 60;
    for (int i = 0; i < kObjects; ++i) {
        auto object = std::make_unique<host::BaseObject>(host::Onull);
        object->SetName(host::String("Object " + std::to_string(i)));
        object->SetRelPos(host::Vector(i * 10.0, 0, 0));
        const host::DescID ids[] = {{host::ID_BASEOBJECT_REL_POSITION, host::VECTOR_Y},
                                    {host::ID_BASEOBJECT_REL_ROTATION, host::VECTOR_X},
                                    {host::ID_BASEOBJECT_REL_SCALE, host::VECTOR_Z}};
        for (const host::DescID& id : ids) {
            auto track = std::make_unique<host::CTrack>(id);
            track->SetParameter(host::DescID(904), host::GeData::Integer(1));
            for (int s = 0; s <= seconds; ++s) {
                const auto how = s % 2 ? host::Interpolation::Spline : host::Interpolation::Linear;
                const double value = 1.0 + 0.5 * std::sin(0.1 * s + i);
                track->GetCurve()->AddKey(host::CKey(host::BaseTime(double(s)), value, how));
            }
            object->InsertTrack(std::move(track));
        }
        doc->InsertObject(std::move(object));
    }
    return doc;
}

// Drops everything; counts the sampled matrices.
class DropSceneApi : public tal::talScene_api {
public:
    long long samples = 0;
    bool setParameter(const char* name, int type, const void* value) override {
        if (type == (tal::kArrayBit | tal::kMatrix) && value) {
            samples += static_cast<const tal::ArrayValue*>(value)->count;
        }
        benchmark::DoNotOptimize(name);
        return true;
    }
    bool beginGroup(const char*, bool) override { return true; }
    void endGroup() override {}
    bool beginObject(const char*, bool) override { return true; }
    void endObject() override {}
    bool beginGeometry(const char*) override { return true; }
    void endGeometry() override {}
    bool beginAnimation(const char*, const char*) override { return true; }
    void endAnimation() override {}
    bool beginLoad(const char*) override { return true; }
    void endLoad() override {}
    bool beginOptions() override { return true; }
    void endOptions() override {}
    bool beginCamera(const char*) override { return true; }
    void endCamera() override {}
    bool beginImage() override { return true; }
    void endImage() override {}
    bool beginOutput(const char*, const char*, const char*) override { return true; }
    void endOutput() override {}
    bool beginLight(const char*) override { return true; }
    void endLight() override {}
    bool beginAccel(const char*) override { return true; }
    void endAccel() override {}
    void transform(const double*) override {}
    void setTransform(const double*) override {}
    void scale(const double*, const double*, const double*) override {}
    void rotate(const double*, const double*, const double*) override {}
    void translate(const double*, const double*, const double*) override {}
    bool beginMatrix(const char*) override { return true; }
    void endMatrix() override {}
    bool beginMaterial(const char*, bool) override { return true; }
    bool useMaterial(const char*) override { return true; }
    void endMaterial() override {}
    void useShaderText(int, const tal::ShaderText*) override {}
    void useShader(int, int) override {}
    bool beginShader(const char*, const char*) override { return true; }
    bool beginShaderWithId(const char*, int) override { return true; }
    void endShader() override {}
    const tal::ShaderText* currentShaderText() override { return nullptr; }
    void pushShaderText() override {}
    void popShaderText() override {}
    bool linkShader(const char*, int) override { return true; }
    bool linkShaderText(const char*, const tal::ShaderText*) override { return true; }
    bool beginArray(const char*) override { return true; }
    void endArray() override {}
    void addArrayElement(int, const void*) override {}
    void attribute(const char*, const char*) override {}
    void rawText(const char*, ...) override {}
    void setFormatFlags(int) override {}
    void version(int) override {}
    void progress(const char*, float) override {}
    void icon(const unsigned char*, int) override {}
    void binaryParameter(const char*, const unsigned char*, int) override {}
    void id(unsigned int) override {}
    void flags(unsigned int) override {}
    bool render() override { return true; }
    void print(const char*) override {}
    void error(const char*) override {}
};

class ApiFactory : public tal::LightFactory {
public:
    explicit ApiFactory(tal::talScene_api& api) : api_(api) {}
    tal::talScene_api* openApi() override { return &api_; }
    void beginScene(tal::talSceneapi_oo&) override {}
    void closeApi() override {}

private:
    tal::talScene_api& api_;
};

void BM_BakeAnimation(benchmark::State& state) {
    const auto doc = makeDocument(static_cast<int>(state.range(0)));
    DropSceneApi api;
    ApiFactory factory(api);
    convert::ExportContext context;
    for (auto _ : state) {
        context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
        convert::exportDocument(context, doc.get());
        context.scene.reset();
    }
    state.SetItemsProcessed(api.samples);
    state.counters["samples"] =
        static_cast<double>(api.samples) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BakeAnimation)->Arg(1)->Arg(10)->Arg(60)->Unit(benchmark::kMillisecond);

void BM_ExportAnimationFile(benchmark::State& state) {
    const auto doc = makeDocument(static_cast<int>(state.range(0)));
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (!sink) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    convert::ExportContext context;
    DropSceneApi counter;  // counts the samples of one pass
    ApiFactory counting(counter);
    context.scene = std::make_unique<tal::talSceneapi_oo>(&counting);
    convert::exportDocument(context, doc.get());
    context.scene.reset();
    for (auto _ : state) {
        tal::talScene_api_file writer(sink, true);
        ApiFactory factory(writer);
        context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
        convert::exportDocument(context, doc.get());
        context.scene.reset();
    }
    std::fclose(sink);
    state.SetItemsProcessed(counter.samples * state.iterations());
}
BENCHMARK(BM_ExportAnimationFile)
    ->Arg(1)
    ->Arg(10)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
