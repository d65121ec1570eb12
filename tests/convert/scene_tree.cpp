#include "scene_tree.h"

#include <cstring>

#include "convert/traversal.h"
#include "host/document_loader.h"
#include "sceneapi/scene_api.h"
#include "scenefile/reader.h"

namespace vxtest {

namespace {

void collect(const std::vector<scenefile::Node>& nodes, std::string_view keyword,
             std::vector<const scenefile::Node*>& out) {
    for (const scenefile::Node& n : nodes) {
        if (n.kind == scenefile::NodeKind::Block && n.word == keyword) out.push_back(&n);
        for (const scenefile::Value& v : n.args) {
            if (const scenefile::Node* shader = v.shader()) {
                if (keyword == "shader") out.push_back(shader);
                collect(shader->children, keyword, out);
            }
        }
        collect(n.children, keyword, out);
    }
}

}  // namespace

std::vector<const scenefile::Node*> blocksOf(const std::vector<scenefile::Node>& nodes,
                                             std::string_view keyword) {
    std::vector<const scenefile::Node*> out;
    collect(nodes, keyword, out);
    return out;
}

std::vector<double> numbersOf(const scenefile::Node& block, std::string_view name) {
    std::vector<double> out;
    if (const scenefile::Node* p = block.parameter(name))
        scenefile::flattenNumbers(*p->value(), out);
    return out;
}

std::string textOf(const scenefile::Node& block, std::string_view name) {
    const scenefile::Node* p = block.parameter(name);
    const scenefile::Text* t = p && p->value() ? p->value()->text() : nullptr;
    return t ? t->bytes : std::string();
}

std::vector<std::string> wordsOf(const scenefile::Node& block) {
    std::vector<std::string> out;
    for (const scenefile::Node& c : block.children) {
        const bool worded = c.kind == scenefile::NodeKind::Parameter ||
                            c.kind == scenefile::NodeKind::Block ||
                            c.kind == scenefile::NodeKind::UseShader;
        out.push_back(worded ? c.word : scenefile::nodeKindName(c.kind));
    }
    return out;
}

host::BaseDocument& SceneTreeTest::load(const std::string& json) {
    document = host::LoadDocumentText(json, "");
    return *document;
}

void SceneTreeTest::restart() {
    context.scene.reset();
    factory = std::make_unique<MemoryFileFactory>();
    context.scene = std::make_unique<tal::talSceneapi_oo>(factory.get());
}

scenefile::Document SceneTreeTest::exportScene() {
    restart();
    convert::exportDocument(context, document.get());
    return readBack();
}

scenefile::Document SceneTreeTest::readBack() { return scenefile::readScene(factory->text()); }

bool AnimationRecorder::beginAnimation(const char* name, const char* kind) {
    RecordingSceneApi::beginAnimation(name, kind);
    AnimationBlock& block = blocks.emplace_back();
    block.name = name ? name : "";
    block.kind = kind ? kind : "";
    open_ = true;
    return true;
}

void AnimationRecorder::endAnimation() {
    RecordingSceneApi::endAnimation();
    open_ = false;
}

bool AnimationRecorder::setParameter(const char* name, int type, const void* value) {
    RecordingSceneApi::setParameter(name, type, value);
    if (!open_ || !value) return true;
    AnimationBlock& b = blocks.back();
    const std::string key = name ? name : "";
    if (key == "start_time" && type == tal::kInt) {
        b.startTime = *static_cast<const std::int32_t*>(value);
    } else if (key == "duration" && type == tal::kFloat) {
        b.duration = *static_cast<const float*>(value);
    } else if (key == "folder" && type == tal::kString) {
        b.folder = static_cast<const char*>(value);
    } else if (key == "matrices" && type == (tal::kArrayBit | tal::kMatrix)) {
        const auto& a = *static_cast<const tal::ArrayValue*>(value);
        b.matrices.resize(static_cast<std::size_t>(a.count));
        std::memcpy(b.matrices.data(), a.data, b.matrices.size() * sizeof(b.matrices[0]));
    } else if (key == "timestamps" && type == (tal::kArrayBit | tal::kInt)) {
        const auto& a = *static_cast<const tal::ArrayValue*>(value);
        const auto* t = static_cast<const std::int32_t*>(a.data);
        b.timestamps.assign(t, t + a.count);
    }
    return true;
}

host::BaseDocument& AnimationTest::load(const std::string& json) {
    document = host::LoadDocumentText(json, "");
    return *document;
}

const std::vector<AnimationBlock>& AnimationTest::run() {
    api.blocks.clear();
    api.calls.clear();
    convert::exportDocument(context, document.get());
    return api.blocks;
}

}  // namespace vxtest
