// The registration tool, run as a user runs it, checked through the
// installation discovery that reads what it wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "livelink/installation.h"
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

}  // namespace
