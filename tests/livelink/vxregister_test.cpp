// The registration tool, run as a user runs it, checked through the
// installation discovery that reads what it wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "livelink/installation.h"
#include "tests/integration/process.h"
#include "tests/platform/test_files.h"

using nlohmann::json;
using testfiles::TempDir;

namespace {

class VxRegisterTest : public ::testing::Test {
protected:
    // Runs vxregister with `arguments` (shell words), answers its exit status.
    int run(const std::string& arguments) {
        const std::string command = std::string(VXREGISTER_PATH) + " --registry '" + registry +
                                    "' " + arguments + " >'" + (dir / "out") + "' 2>&1";
        const int status = std::system(command.c_str());
        output = testfiles::readFile(dir / "out");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    json root() const { return json::parse(testfiles::readFile(registry)); }

    TempDir dir;
    std::string registry = dir / "config/talvik/registry.json";
    std::string bin = dir / "install/bin/vxrenderer";
    std::string output;
};

TEST_F(VxRegisterTest, RegisteredInstallationIsFoundWithItsPorts) {
    testfiles::writeFile(bin, "#!/bin/sh\n");
    ASSERT_EQ(
        run("--bin '" + bin + "' --resources '" + (dir / "res") + "' --port 5000 --max-port 5010"),
        0)
        << output;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "res"));

    platform::JsonRegistryStore store(registry, dir / "no-machine.json");
    tal::Installation installation(store, platform::systemFileProbe(),
                                   platform::systemProcessLauncher());
    int version = -1;
    EXPECT_EQ(installation.readBinFolder(7, 8, version), dir / "install/bin");
    EXPECT_EQ(version, 8);
    EXPECT_EQ(installation.readBinName(7, 8), bin);
    EXPECT_EQ(installation.readResourceFolder(5, 20), dir / "res");
    int first = -1;
    int last = -1;
    EXPECT_EQ(installation.readLiveLinkPorts(5, 20, first, last), 0);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(5000, 5010));
    EXPECT_EQ(root()["SOFTWARE\\Talvik\\"]["VantrixVersion"], "Vantrix 8");
}

TEST_F(VxRegisterTest, MergesIntoAnExistingRootAndMakesTheRecordActive) {
    testfiles::writeFile(bin, "x");
    testfiles::writeFile(registry, R"({
        "software\\talvik\\": {"VantrixActivePath": "/old/Vantrix 7/", "Other": 1},
        "SOFTWARE\\TALVIK\\VANTRIX 7": {"BinName": "/old/bin", "Extra": "kept"},
        "Unrelated": {"A": "b"}})");
    ASSERT_EQ(run("--bin '" + bin + "' --resources '" + dir.path() +
                  "' --port 6000 --version 'Vantrix 7'"),
              0)
        << output;
    const json merged = root();
    EXPECT_EQ(merged.size(), 3u);  // same-named keys were updated, not added
    const json& base = merged["software\\talvik\\"];
    EXPECT_EQ(base, json({{"Other", 1}, {"VantrixVersion", "Vantrix 7"}}));
    const json& key = merged["SOFTWARE\\TALVIK\\VANTRIX 7"];
    EXPECT_EQ(key["BinName"], bin);
    EXPECT_EQ(key["Extra"], "kept");
    EXPECT_EQ(key["LiveLinkPort"], 6000);
    EXPECT_EQ(key["LiveLinkMaxPort"], 6000);  // defaults to the first port
    EXPECT_EQ(merged["Unrelated"]["A"], "b");
    // Only the registry file is left in its folder: no temporary files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "config/talvik"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(VxRegisterTest, RefusesBadInputAndLeavesTheFileAlone) {
    testfiles::writeFile(bin, "x");
    const std::string resources = " --resources '" + (dir / "res") + "'";
    EXPECT_EQ(run("--bin '" + (dir / "missing") + "'" + resources + " --port 5000"), 1);
    EXPECT_NE(output.find("cannot be opened"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(registry));

    EXPECT_EQ(run("--bin '" + bin + "'" + resources + " --port 0"), 1);
    EXPECT_EQ(run("--bin '" + bin + "'" + resources + " --port 5010 --max-port 5000"), 1);
    EXPECT_EQ(run("--bin '" + bin + "'" + resources + " --port 5000 --version Vantrix"), 1);
    EXPECT_EQ(run("--bin '" + bin + "'" + resources + " --port 5000 --version 'a\\b 8'"), 1);
    EXPECT_EQ(run("--bin '" + bin + "'" + resources), 2);  // usage: --port is required
    EXPECT_FALSE(std::filesystem::exists(registry));

    testfiles::writeFile(registry, "{ broken");
    EXPECT_EQ(run("--bin '" + bin + "'" + resources + " --port 5000"), 1);
    EXPECT_NE(output.find("left unchanged"), std::string::npos) << output;
    EXPECT_EQ(testfiles::readFile(registry), "{ broken");
}

TEST_F(VxRegisterTest, PreviewIsRecordedAndKeptUntilTurnedOff) {
    testfiles::writeFile(bin, "x");
    const std::string base = "--bin '" + bin + "' --resources '" + (dir / "res") + "' --port 5000";
    const auto preview = [this] { return root()["SOFTWARE\\Talvik\\Vantrix 8"]["Preview"]; };
    ASSERT_EQ(run(base), 0) << output;
    EXPECT_TRUE(preview().is_null());
    ASSERT_EQ(run(base + " --preview"), 0) << output;
    EXPECT_EQ(preview(), 1);
    EXPECT_NE(output.find("previews on"), std::string::npos) << output;
    ASSERT_EQ(run(base), 0) << output;  // a registration that does not say keeps it
    EXPECT_EQ(preview(), 1);
    ASSERT_EQ(run(base + " --no-preview"), 0) << output;
    EXPECT_EQ(preview(), 0);
}

// The renderer the plug-in starts gets no arguments: it reads the setting.
TEST_F(VxRegisterTest, TheRendererStartedWithoutArgumentsPreviewsWhenRegisteredSo) {
    ASSERT_EQ(run("--bin '" + std::string(VXRENDERER_PATH) + "' --resources '" + (dir / "res") +
                  "' --port 5000 --preview"),
              0)
        << output;
    // A kernel-chosen port, as the renderer allows and the tool does not.
    json patched = root();
    patched["SOFTWARE\\Talvik\\Vantrix 8"]["LiveLinkPort"] = 0;
    patched["SOFTWARE\\Talvik\\Vantrix 8"]["LiveLinkMaxPort"] = 0;
    testfiles::writeFile(registry, patched.dump());
    const testfiles::ScopedEnv user("TALVIK_REGISTRY_USER", registry.c_str());
    const testfiles::ScopedEnv runtime("TALVIK_RUNTIME_DIR", (dir / "run").c_str());
    std::filesystem::create_directories(dir / "run");
    ::chmod((dir / "run").c_str(), 0700);
    const pid_t renderer = vxtest::startProcess({VXRENDERER_PATH});
    ASSERT_GT(renderer, 0);
    const std::string log = dir / "run/scenes/vxrenderer.log";
    const auto start = std::chrono::steady_clock::now();
    while (testfiles::readFile(log).find("listening") == std::string::npos &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    vxtest::stopProcessGroup(renderer);
    EXPECT_NE(testfiles::readFile(log).find("; previews of 640 x 360 pixels, 16 paths per pixel"),
              std::string::npos)
        << testfiles::readFile(log);
}

}  // namespace
