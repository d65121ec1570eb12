// A conversion context whose object layer records the scene API calls, and the
// helpers the traversal tests read them with.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "convert/export_context.h"
#include "host/document_loader.h"
#include "sceneapi/light_factory.h"
#include "tests/support/recording_scene_api.h"

namespace vxtest {

class RecorderFactory : public tal::LightFactory {
public:
    explicit RecorderFactory(RecordingSceneApi& api) : api_(api) {}
    tal::talScene_api* openApi() override { return &api_; }
    void beginScene(tal::talSceneapi_oo& /*scene*/) override {}
    void closeApi() override {}

private:
    RecordingSceneApi& api_;
};

class TraversalTest : public ::testing::Test {
protected:
    void SetUp() override { context.scene = std::make_unique<tal::talSceneapi_oo>(&factory); }
    void TearDown() override { context.scene.reset(); }

    host::BaseDocument& load(const std::string& json, const std::string& directory = "/work/docs") {
        document = host::LoadDocumentText(json, directory);
        return *document;
    }
    // Converts the loaded document; the calls of this traversal only.
    void run() {
        api.calls.clear();
        convert::exportDocument(context, document.get());
    }
    std::vector<std::string> outline() const {
        return api.filtered(
            {"beginGroup", "endGroup", "progress", "flags", "transform", "attribute"});
    }
    // A leaf object's weight: the difference of its two progress statements.
    double weightOf(const std::string& name) const {
        double first = -1, last = -1;
        const std::string prefix = "progress " + name + " ";
        for (const std::string& call : api.calls) {
            if (call.rfind(prefix, 0) != 0) continue;
            const double value = std::stod(call.substr(prefix.size()));
            if (first < 0) first = value;
            last = value;
        }
        return last - first;
    }

    RecordingSceneApi api;
    RecorderFactory factory{api};
    convert::ExportContext context;
    std::unique_ptr<host::BaseDocument> document;
};

}  // namespace vxtest
