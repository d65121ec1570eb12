// A conversion context whose object layer records calls with their values, a
// document loaded from JSON, and the host console captured, for the tests
// of the mesh, material and texture export.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "convert/export_context.h"
#include "convert/traversal.h"
#include "host/document_loader.h"
#include "host/plugin_api.h"
#include "scene_values.h"
#include "traversal_fixture.h"

namespace vxtest {

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
        host::SetConsoleSink([this](const std::string& line) { console.push_back(line); });
    }
    void TearDown() override {
        context.scene.reset();
        host::SetConsoleSink({});
    }
    // `directory` is the document's folder ("" for a document never saved).
    host::BaseDocument& load(const std::string& json, const std::string& directory = "") {
        document = host::LoadDocumentText(json, directory);
        return *document;
    }
    // Converts the loaded document; the mesh parts of this traversal.
    std::vector<MeshPart> run() {
        api.calls.clear();
        convert::exportDocument(context, document.get());
        return meshParts(api.calls);
    }

    ValueRecordingApi api;
    RecorderFactory factory{api};
    convert::ExportContext context;
    std::unique_ptr<host::BaseDocument> document;
    std::vector<std::string> console;
};

}  // namespace vxtest
