// Executing the commands: always success for the host, and any error raised
// below is shown with the host's message box instead of leaving Execute.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/document_loader.h"
#include "host/plugin_api.h"
#include "plugin/commands.h"
#include "plugin/export_controller.h"
#include "plugin/vantrixcinema4dplugin.h"
#include "tests/platform/test_files.h"

namespace {

struct Shown {
    std::string text;
    host::Int32 flags;
};

class Execute : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetMessageBoxHandler([this](const std::string& text, host::Int32 flags) {
            shown.push_back({text, flags});
        });
        document = host::LoadDocumentText(R"({"objects": [{"type": "null"}]})", folder.path());
    }
    void TearDown() override {
        host::SetMessageBoxHandler(nullptr);
        host::SetFileDialogHandler(nullptr);
        host::ClearRegisteredCommands();
    }
    void answerDialog(const std::string& path) {
        host::SetFileDialogHandler([path](const std::string&, const std::string&) { return path; });
    }
    testfiles::TempDir folder{"vx-execute"};
    std::vector<Shown> shown;
    std::unique_ptr<host::BaseDocument> document;
};

TEST_F(Execute, EveryRegisteredCommandReportsSuccess) {
    host::ClearRegisteredCommands();
    ASSERT_EQ(c4d_main(host::C4DPL_START, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(host::RegisteredCommands().size(), 3u);
    // No renderer to link to, and a cancelled dialog: still success.
    for (const auto& command : host::RegisteredCommands()) {
        SCOPED_TRACE(command.name.utf8());
        EXPECT_TRUE(command.command->Execute(document.get()));
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(Execute, ARaisedFileErrorIsShownAsAnExclamation) {
    plugin::ExportController controller;
    plugin::VantrixCinema4DExport command(&controller);
    answerDialog("/nonexistent-vx-dir/scene.vxs");
    host::SetCommandStatus(host::COMMANDSTATUS::OK);
    EXPECT_TRUE(command.Execute(document.get()));
    EXPECT_EQ(host::GetCommandStatus(), host::COMMANDSTATUS::FAILED);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "could not open file: \"/nonexistent-vx-dir/scene.vxs\"");
    EXPECT_EQ(shown[0].flags, host::GEMB_ICONEXCLAMATION);
    EXPECT_EQ(controller.context.scene, nullptr);
}

TEST_F(Execute, ErrorsOfAnyKindStopAtTheCommandsEdge) {
    plugin::ExportController controller;
    controller.linkFactoryMaker = []() -> std::unique_ptr<tal::LinkFactory> {
        throw std::logic_error("link exploded");
    };
    controller.fileFactoryMaker = [](const std::string&) -> std::unique_ptr<tal::LightFactory> {
        throw 42;
    };
    answerDialog(folder / "never.vxs");
    EXPECT_TRUE(plugin::VantrixCinema4DRender(&controller).Execute(document.get()));
    EXPECT_TRUE(plugin::VantrixCinema4DUpdate(&controller).Execute(document.get()));
    EXPECT_TRUE(plugin::VantrixCinema4DExport(&controller).Execute(document.get()));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "link exploded");
    EXPECT_EQ(shown[1].text, "link exploded");
    EXPECT_FALSE(shown[2].text.empty());
    for (const Shown& s : shown) EXPECT_EQ(s.flags, host::GEMB_ICONEXCLAMATION);
}

}  // namespace
