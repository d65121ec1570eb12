// Conversions checked on what the scene file says: a document exported
// through the real file writer (numeric arrays as text) and read back with
// the scene reader, plus a scene API that keeps the exact values of
// animation blocks, which the file spells with six digits only.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/export_context.h"
#include "host/document.h"
#include "sceneapi/light_factory.h"
#include "scenefile/tree.h"
#include "tests/support/memory_scene.h"
#include "tests/support/recording_scene_api.h"

namespace vxtest {

// Every block with `keyword` below `nodes`, in file order (inline shaders
// included).
std::vector<const scenefile::Node*> blocksOf(const std::vector<scenefile::Node>& nodes,
                                             std::string_view keyword);
// The numbers of parameter `name` of `block`; empty when it has none.
std::vector<double> numbersOf(const scenefile::Node& block, std::string_view name);
// The text of parameter `name` of `block`; "" when it has none.
std::string textOf(const scenefile::Node& block, std::string_view name);
// The words of the block's statements in order (parameter names, shader
// roles such as "reflection map", "transform", ...).
std::vector<std::string> wordsOf(const scenefile::Node& block);

class SceneTreeTest : public ::testing::Test {
protected:
    void SetUp() override { restart(); }
    void TearDown() override { context.scene.reset(); }

    host::BaseDocument& load(const std::string& json);
    // Exports the loaded document into a new scene and reads it back.
    scenefile::Document exportScene();
    // Reads what was written so far (for single exporters called directly).
    scenefile::Document readBack();
    // A new, empty scene on a new writer.
    void restart();

    std::unique_ptr<MemoryFileFactory> factory;
    convert::ExportContext context;
    std::unique_ptr<host::BaseDocument> document;
};

// One animation block with the values handed to the scene API.
struct AnimationBlock {
    std::string name, kind;
    std::int32_t startTime = -1;
    float duration = -1;
    std::string folder;
    std::vector<std::array<double, 16>> matrices;
    std::vector<std::int32_t> timestamps;
};

class AnimationRecorder : public RecordingSceneApi {
public:
    std::vector<AnimationBlock> blocks;
    bool beginAnimation(const char* name, const char* kind) override;
    void endAnimation() override;
    bool setParameter(const char* name, int type, const void* value) override;

private:
    bool open_ = false;
};

class RecorderLayerFactory : public tal::LightFactory {
public:
    explicit RecorderLayerFactory(tal::talScene_api& api) : api_(api) {}
    tal::talScene_api* openApi() override { return &api_; }
    void beginScene(tal::talSceneapi_oo&) override {}
    void closeApi() override {}

private:
    tal::talScene_api& api_;
};

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override { context.scene = std::make_unique<tal::talSceneapi_oo>(&factory); }
    void TearDown() override { context.scene.reset(); }
    host::BaseDocument& load(const std::string& json);
    // Exports the loaded document; the animation blocks it wrote.
    const std::vector<AnimationBlock>& run();

    AnimationRecorder api;
    RecorderLayerFactory factory{api};
    convert::ExportContext context;
    std::unique_ptr<host::BaseDocument> document;
};

}  // namespace vxtest
