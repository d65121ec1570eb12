// The plug-in entry: start registers the three commands (each on its own),
// messages 0 and 1 are answered, end does nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/plugin_api.h"
#include "plugin/vantrixcinema4dplugin.h"
#include "tests/platform/test_files.h"

namespace {

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        host::ClearRegisteredCommands();
        host::SetPluginPath(host::Filename(host::String(VX_PLUGIN_SOURCE_DIR)));
    }
    void TearDown() override {
        host::FailNextAllocations(0);
        host::ClearRegisteredCommands();
    }
    static host::Int32 start() { return c4d_main(host::C4DPL_START, nullptr, nullptr, nullptr); }
    static std::vector<host::Int32> registeredIds() {
        std::vector<host::Int32> ids;
        for (const auto& command : host::RegisteredCommands()) ids.push_back(command.id);
        return ids;
    }
};

TEST_F(Registration, StartRegistersTheThreeCommandsWithNamesHelpAndIcons) {
    EXPECT_EQ(start(), 1);
    const auto& commands = host::RegisteredCommands();
    ASSERT_EQ(commands.size(), 3u);
    const struct {
        host::Int32 id;
        const char* name;
        const char* help;
        const char* icon;
    } expected[] = {{1033591, "Render in Vantrix", "Render", "render.png"},
                    {1034393, "Update Vantrix scene", "Update", "update.png"},
                    {1034420, "Export to .vxs", "Export", "export.png"}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(commands[i].id, expected[i].id);
        EXPECT_EQ(commands[i].name.utf8(), expected[i].name);
        EXPECT_EQ(commands[i].help.utf8(), expected[i].help);
        ASSERT_TRUE(commands[i].icon.has_value());
        EXPECT_EQ(commands[i].icon->GetString().utf8(),
                  std::string(VX_PLUGIN_SOURCE_DIR) + "/res/" + expected[i].icon);
        EXPECT_NE(commands[i].command, nullptr);
    }
    EXPECT_NE(plugin::exportController(), nullptr);
}

TEST_F(Registration, AMissingIconLeavesTheCommandWithoutOne) {
    const testfiles::TempDir empty("vx-no-icons");
    host::SetPluginPath(host::Filename(host::String(empty.path())));
    EXPECT_EQ(start(), 1);
    ASSERT_EQ(host::RegisteredCommands().size(), 3u);
    for (const auto& command : host::RegisteredCommands()) EXPECT_FALSE(command.icon.has_value());
}

TEST_F(Registration, AFailedRenderAllocationDoesNotStopTheOthers) {
    host::FailNextAllocations(1);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(registeredIds(), (std::vector<host::Int32>{1034393, 1034420}));
}

TEST_F(Registration, StartReportsSuccessWhenEveryRegistrationFails) {
    host::FailNextAllocations(3);
    EXPECT_EQ(start(), 1);
    EXPECT_TRUE(host::RegisteredCommands().empty());

    // Refused by the host (the ids are taken): success all the same, and
    // the refused command objects are released (the sanitizer build checks).
    host::FailNextAllocations(0);
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(host::RegisteredCommands().size(), 3u);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(host::RegisteredCommands().size(), 3u);
}

TEST_F(Registration, MessagesZeroAndOneAreAnsweredTrueOthersFalse) {
    auto message = [](std::intptr_t id) {
        return c4d_main(host::C4DPL_MESSAGE, reinterpret_cast<void*>(id), nullptr, nullptr);
    };
    EXPECT_EQ(message(0), 1);
    EXPECT_EQ(message(1), 1);
    EXPECT_EQ(message(2), 0);
    EXPECT_EQ(message(1000), 0);
    EXPECT_EQ(message(-1), 0);
}

TEST_F(Registration, EndLeavesControllerAndCommandsInPlace) {
    ASSERT_EQ(start(), 1);
    plugin::ExportController* controller = plugin::exportController();
    c4d_main(host::C4DPL_END, nullptr, nullptr, nullptr);
    EXPECT_EQ(plugin::exportController(), controller);
    EXPECT_EQ(host::RegisteredCommands().size(), 3u);
}

}  // namespace
