// The export controller: back end per command, scene names, import options,
// the Export dialog, and the teardown order (options, layer, factory).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/document_loader.h"
#include "host/plugin_api.h"
#include "link_factory_double.h"
#include "tests/platform/test_files.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        script.controller = &controller;
        controller.linkFactoryMaker = [this] {
            return std::make_unique<RecordingLinkFactory>(script);
        };
        document = host::LoadDocumentText(
            R"({"name": "model.final.c4d", "objects": [{"type": "null", "name": "A"}]})",
            folder.path());
    }
    void TearDown() override { host::SetFileDialogHandler(nullptr); }

    testfiles::TempDir folder{"vx-controller"};
    FactoryScript script;
    plugin::ExportController controller;
    std::unique_ptr<host::BaseDocument> document;
};

TEST_F(ControllerTest, RenderAsksForANewSceneWithViewAdjustmentAndTearsDownInOrder) {
    controller.context.updateOnly = true;
    EXPECT_TRUE(controller.runRender(document.get()));
    EXPECT_FALSE(controller.context.updateOnly);
    EXPECT_EQ(controller.context.scene, nullptr);
    EXPECT_THAT(script.events, ElementsAre("setSceneName ", "setPreferRunning false",
                                           "setVersionRange 7 8", "openApi", "beginScene",
                                           "closeApi, layer gone", "~factory, layer gone"));
    EXPECT_EQ(optionsBlock(script.text), expectedOptions(true));
    // The options precede the document, which the scene ends with.
    const std::size_t group = script.text.find("\ngroup \"model.final\" {\n");
    EXPECT_GT(group, script.text.find("load \"talrtopt.so\""));
    EXPECT_NE(group, std::string::npos);
    EXPECT_EQ(script.text.substr(script.text.size() - 2), "}\n");
}

TEST_F(ControllerTest, UpdateKeepsTheRenderersViewOnlyWhenItHoldsTheScene) {
    for (const bool matched : {true, false}) {
        SCOPED_TRACE(matched);
        script = FactoryScript();
        script.matched = matched;
        script.controller = &controller;
        controller.context.updateOnly = false;
        EXPECT_TRUE(controller.runUpdate(document.get()));
        EXPECT_TRUE(controller.context.updateOnly);
        EXPECT_EQ(controller.context.scene, nullptr);
        EXPECT_THAT(script.events, ElementsAre("setSceneName model.final", "setPreferRunning true",
                                               "setVersionRange 7 8", "openApi", "beginScene",
                                               "closeApi, layer gone", "~factory, layer gone"));
        EXPECT_EQ(optionsBlock(script.text), expectedOptions(!matched));
    }
}

TEST_F(ControllerTest, UpdateNamesTheSceneAfterTheDocumentUpToItsLastDot) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"model.final.c4d", "model.final"}, {"", "untitled"}, {"chair", "chair"}, {".c4d", ""}};
    for (const auto& [documentName, sceneName] : cases) {
        SCOPED_TRACE(documentName);
        script.events.clear();
        host::BaseDocument named;
        named.SetName(documentName);
        controller.runUpdate(&named);
        ASSERT_FALSE(script.events.empty());
        EXPECT_EQ(script.events.front(), "setSceneName " + sceneName);
    }
    script.events.clear();
    controller.runUpdate(nullptr);
    EXPECT_EQ(script.events.front(), "setSceneName untitled");
}

TEST_F(ControllerTest, NoSceneApiSkipsOptionsAndDocumentSilently) {
    script.givesApi = false;
    const host::Int32 evaluations = document->evaluationCount();
    EXPECT_TRUE(controller.runRender(document.get()));
    EXPECT_TRUE(controller.runUpdate(document.get()));
    EXPECT_EQ(controller.context.scene, nullptr);
    EXPECT_EQ(document->evaluationCount(), evaluations);
    EXPECT_TRUE(script.text.empty());
    EXPECT_EQ(script.events.back(), "~factory, layer gone");
    EXPECT_EQ(std::count(script.events.begin(), script.events.end(), "beginScene"), 0);

    // The built-in live link with no renderer installed: nothing is sent, and
    // the reason goes to the host's console, once per command.
    const std::string none = folder / "no-registry.json";
    ::setenv("TALVIK_REGISTRY_USER", none.c_str(), 1);
    ::setenv("TALVIK_REGISTRY_MACHINE", none.c_str(), 1);
    std::vector<std::string> console;
    host::SetConsoleSink([&console](const std::string& line) { console.push_back(line); });
    plugin::ExportController plain;
    EXPECT_TRUE(plain.runRender(document.get()));
    EXPECT_TRUE(plain.runUpdate(document.get()));
    host::SetConsoleSink(nullptr);
    EXPECT_EQ(plain.context.scene, nullptr);
    EXPECT_EQ(document->evaluationCount(), evaluations);
    const std::string reason =
        "Failed to connect. Could not get a scene api. Please check your Vantrix installation.";
    EXPECT_THAT(console, ElementsAre(reason, reason));
}

// The live-link commands answer success whatever happens; the host learns of
// a failure from the console line and the command's outcome.
TEST_F(ControllerTest, ALinkFailureIsPrintedOnceAndMarksTheCommandFailed) {
    std::vector<std::string> console;
    host::SetConsoleSink([&console](const std::string& line) { console.push_back(line); });
    script.givesApi = false;
    script.errorText = "Failed to connect. The renderer said no.\n";
    host::SetCommandStatus(host::COMMANDSTATUS::OK);
    EXPECT_TRUE(controller.runRender(document.get()));
    EXPECT_EQ(host::GetCommandStatus(), host::COMMANDSTATUS::FAILED);

    script.givesApi = true;
    script.errorText.clear();
    host::SetCommandStatus(host::COMMANDSTATUS::OK);
    EXPECT_TRUE(controller.runUpdate(document.get()));
    EXPECT_EQ(host::GetCommandStatus(), host::COMMANDSTATUS::OK)
        << "a delivered scene is no failure";
    host::SetConsoleSink(nullptr);
    EXPECT_THAT(console, ElementsAre("Failed to connect. The renderer said no."));
}

class ExportTest : public ControllerTest {
protected:
    void answerDialog(std::optional<std::string> answer) {
        host::SetFileDialogHandler(
            [this, answer](const std::string& title, const std::string& suggested) {
                dialogs.push_back(title + " | " + suggested);
                return answer;
            });
    }
    void recordFileFactory() {
        controller.fileFactoryMaker = [this](const std::string& path) {
            paths.push_back(path);
            return std::make_unique<RecordingFileFactory>(script);
        };
    }
    std::vector<std::string> dialogs;
    std::vector<std::string> paths;
};

TEST_F(ExportTest, WritesTheSceneFileWithExportOptions) {
    const std::string path = folder / "controller.vxs";
    answerDialog(path);
    controller.context.updateOnly = true;
    EXPECT_TRUE(controller.runExport(document.get()));
    EXPECT_FALSE(controller.context.updateOnly);
    EXPECT_EQ(controller.context.scene, nullptr);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_THAT(dialogs[0], ::testing::StartsWith("Export to .vxs | %USERDATA%"));
    EXPECT_THAT(dialogs[0], ::testing::EndsWith("untitled.vxs"));

    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::filesystem::remove(path);
    const std::string text = content.str();
    EXPECT_EQ(text.rfind("//---talvik:dal:7---\n//---import:dal:1---\n//---id:1---\n"
                         "// This is a Vantrix scene file\n\n#print ",
                         0),
              0u);
    EXPECT_EQ(optionsBlock(text), expectedOptions(true));
    EXPECT_THAT(text, HasSubstr("\ngroup \"model.final\" {\n"));
}

TEST_F(ExportTest, CancelledOrEmptyDialogWritesNothing) {
    recordFileFactory();
    controller.runUpdate(document.get());
    answerDialog(std::nullopt);
    EXPECT_FALSE(controller.runExport(document.get()));
    EXPECT_TRUE(controller.context.updateOnly) << "a cancelled dialog changes nothing";

    answerDialog("");
    EXPECT_FALSE(controller.runExport(document.get()));
    EXPECT_FALSE(controller.context.updateOnly) << "a confirmed dialog is an Export started";
    EXPECT_TRUE(paths.empty());
}

TEST_F(ExportTest, ClosesTheFileAfterTheLayerAndRaisesAFailedClose) {
    recordFileFactory();
    answerDialog(folder / "out.vxs");
    EXPECT_TRUE(controller.runExport(document.get()));
    EXPECT_THAT(paths, ElementsAre(folder / "out.vxs"));
    EXPECT_THAT(script.events, ElementsAre("openApi", "beginScene", "closeApi, layer gone",
                                           "~factory, layer gone"));
    EXPECT_EQ(optionsBlock(script.text), expectedOptions(true));

    script = FactoryScript();
    script.failClose = true;
    script.controller = &controller;
    EXPECT_THROW(
        {
            try {
                controller.runExport(document.get());
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "could not close file");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(controller.context.scene, nullptr);
}

TEST_F(ExportTest, AFileThatCannotBeOpenedIsRaisedBeforeAnyLayer) {
    answerDialog("/nonexistent-vx-dir/out.vxs");
    const host::Int32 evaluations = document->evaluationCount();
    EXPECT_THROW(
        {
            try {
                controller.runExport(document.get());
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "could not open file: \"/nonexistent-vx-dir/out.vxs\"");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(controller.context.scene, nullptr);
    EXPECT_EQ(document->evaluationCount(), evaluations);
}

}  // namespace
}  // namespace vxtest
