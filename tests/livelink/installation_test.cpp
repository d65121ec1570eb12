#include "livelink/installation.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/platform/test_files.h"

using nlohmann::json;
using tal::Installation;
using testfiles::TempDir;

namespace {

class RecordingLauncher final : public platform::ProcessLauncher {
public:
    bool startDetached(const std::string& path) override {
        started.push_back(path);
        return answer;
    }
    std::vector<std::string> started;
    bool answer = true;
};

const std::string kBase = "SOFTWARE\\Talvik\\";

class InstallationTest : public ::testing::Test {
protected:
    // An installation key whose executable exists, unless told otherwise.
    json install(const std::string& tag, bool binExists = true) {
        const std::string bin = dir / ("bin-" + tag);
        if (binExists) testfiles::writeFile(bin, "renderer");
        return {{"BinName", bin},
                {"BinFolder", "/folder/" + tag},
                {"ResourceFolder", "/resources/" + tag}};
    }
    void save() {
        testfiles::writeFile(dir / "user.json", user.dump());
        testfiles::writeFile(dir / "machine.json", machine.dump());
    }
    // The tag of the chosen installation (its "BinFolder" after "/folder/").
    std::string chosen(int min, int max) {
        save();
        int version = -1;
        const std::string folder = installation.readBinFolder(min, max, version);
        return folder.empty() ? "none" : folder.substr(8) + "@" + std::to_string(version);
    }

    TempDir dir;
    json user = json::object();
    json machine = json::object();
    platform::JsonRegistryStore store{dir / "user.json", dir / "machine.json"};
    RecordingLauncher launcher;
    Installation installation{store, platform::systemFileProbe(), launcher};
};

TEST_F(InstallationTest, HighestVersionOverBothRootsAndTheUserWinsTies) {
    user[kBase + "Vantrix 8"] = install("user8");
    machine[kBase + "Vantrix 8"] = install("machine8");
    EXPECT_EQ(chosen(7, 8), "user8@8");

    user.erase(kBase + "Vantrix 8");
    user[kBase + "Vantrix 7"] = install("user7");
    EXPECT_EQ(chosen(7, 8), "machine8@8");

    machine = json::object();
    EXPECT_EQ(chosen(7, 8), "user7@7");
    EXPECT_EQ(chosen(8, 8), "none");

    // The probe goes from max down to min.
    user[kBase + "Vantrix 8"] = install("user8");
    EXPECT_EQ(chosen(5, 20), "user8@8");
}

TEST_F(InstallationTest, MethodsPerRootInOrderActivePathVersionValueProbe) {
    user[kBase + "Vantrix 6"] = install("six");
    user[kBase + "Vantrix 7"] = install("seven");
    user[kBase + "Vantrix 8"] = install("eight");
    user[kBase + "Vantrix 9"] = install("nine");

    // The active path wins over the version value and the probe.
    user[kBase] = {{"VantrixActivePath", "/opt/talvik/Vantrix 6/"},
                   {"VantrixVersion", "Vantrix 7"}};
    EXPECT_EQ(chosen(6, 8), "six@6");

    // Active path out of range: the version value decides, not the probe's 8.
    user[kBase]["VantrixActivePath"] = "/opt/talvik/Vantrix 9/";
    EXPECT_EQ(chosen(7, 8), "seven@7");

    // Version value out of range too: the probe decides.
    user[kBase]["VantrixVersion"] = "Vantrix 9";
    EXPECT_EQ(chosen(7, 8), "eight@8");

    // A version value of 0 or without digits fails that method only.
    user[kBase]["VantrixVersion"] = "Vantrix";
    EXPECT_EQ(chosen(6, 7), "seven@7");
}

TEST_F(InstallationTest, VersionValueWithoutABlankIsTheWholeKeyName) {
    user[kBase] = {{"VantrixVersion", "8"}};
    user[kBase + "8"] = install("bare");
    EXPECT_EQ(chosen(7, 8), "bare@8");
    // The key path is the base followed by the text: no "Vantrix 8" key is used.
    user[kBase + "Vantrix 8"] = install("named");
    EXPECT_EQ(chosen(7, 8), "bare@8");
}

TEST_F(InstallationTest, KeysWithoutAReadableExecutableAreNoInstallation) {
    user[kBase + "Vantrix 8"] = install("gone", /*binExists=*/false);
    user[kBase + "Vantrix 7"] = install("seven");
    EXPECT_EQ(chosen(7, 8), "seven@7");

    user[kBase + "Vantrix 8"] = {{"BinFolder", "/folder/nobin"}};  // no "BinName"
    EXPECT_EQ(chosen(7, 8), "seven@7");

    user[kBase + "Vantrix 8"] = {{"BinName", dir.path()}, {"BinFolder", "/folder/dir"}};
    EXPECT_EQ(chosen(7, 8), "seven@7");  // a folder is not an executable

    // An invalid key named by the active path or the version value does not
    // stop the probe.
    user[kBase] = {{"VantrixActivePath", "/x/Vantrix 8"}, {"VantrixVersion", "Vantrix 8"}};
    EXPECT_EQ(chosen(7, 8), "seven@7");
}

TEST_F(InstallationTest, MalformedUserRootLeavesTheMachineRoot) {
    machine[kBase + "Vantrix 8"] = install("machine8");
    save();
    testfiles::writeFile(dir / "user.json", "{ not json");
    ::testing::internal::CaptureStderr();
    int version = -1;
    EXPECT_EQ(installation.readBinFolder(7, 8, version), "/folder/machine8");
    EXPECT_EQ(version, 8);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
}

TEST(VersionFromPath, TakesTheNumberAfterTheLastProductLetter) {
    EXPECT_EQ(tal::versionFromPath("C:\\Program Files\\Vantrix 8\\"), 8);
    EXPECT_EQ(tal::versionFromPath("C:\\Program Files\\Vantrix8"), 8);
    EXPECT_EQ(tal::versionFromPath("/opt/talvik/Vantrix 12/"), 12);
    EXPECT_EQ(tal::versionFromPath("/opt/talvik/Vantrix 8"), 8);
    EXPECT_EQ(tal::versionFromPath("/opt/Vantrix/"), -1);      // separator right after
    EXPECT_EQ(tal::versionFromPath("8"), -1);                  // no letter
    EXPECT_EQ(tal::versionFromPath("Vantrix 8"), -1);          // no separator
    EXPECT_EQ(tal::versionFromPath("/opt/Vantrix 8/bin"), 0);  // "n" of bin is last
    EXPECT_EQ(tal::versionFromPath(""), -1);
}

class PortsTest : public InstallationTest {
protected:
    int read(const json& port, const json& maxPort) {
        json key = install("ports");
        if (!port.is_null()) key["LiveLinkPort"] = port;
        if (!maxPort.is_null()) key["LiveLinkMaxPort"] = maxPort;
        user[kBase + "Vantrix 8"] = key;
        save();
        first = last = -1;
        return installation.readLiveLinkPorts(5, 20, first, last);
    }
    int first = -1;
    int last = -1;
};

TEST_F(PortsTest, NumbersAndTextsGiveTheSameRange) {
    EXPECT_EQ(read(5000, 5010), tal::kPortsRead);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(5000, 5010));
    EXPECT_EQ(read("5000", "5010"), tal::kPortsRead);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(5000, 5010));
    EXPECT_EQ(read(" 5000 ", 5010), tal::kPortsRead);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(5000, 5010));
}

TEST_F(PortsTest, MissingValuesHaveTheirOwnCodes) {
    EXPECT_EQ(read(5000, nullptr), tal::kMaxPortMissing);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(5000, -1));
    EXPECT_EQ(read(nullptr, 5010), tal::kPortMissing);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(-1, -1));

    user = json::object();
    save();
    first = last = 7;
    EXPECT_EQ(installation.readLiveLinkPorts(5, 20, first, last), tal::kNoInstallation);
    EXPECT_EQ(std::make_pair(first, last), std::make_pair(7, 7));
}

TEST_F(PortsTest, ValuesThatAreNoPortNumbersCountAsMissing) {
    EXPECT_EQ(read("none", 5010), tal::kPortMissing);
    EXPECT_EQ(read(0, 5010), tal::kPortMissing);
    EXPECT_EQ(read(5000, 70000), tal::kMaxPortMissing);
    EXPECT_EQ(read(5000, "-1"), tal::kMaxPortMissing);
    EXPECT_EQ(read(4294967295u, 5010), tal::kPortMissing);
}

TEST_F(InstallationTest, ResourceFolderAndItsMessage) {
    save();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(installation.readResourceFolder(5, 20), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // no installation: silent

    user[kBase + "Vantrix 8"] = install("res");
    save();
    EXPECT_EQ(installation.readResourceFolder(5, 20), "/resources/res");

    user[kBase + "Vantrix 8"].erase("ResourceFolder");
    save();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(installation.readResourceFolder(5, 20), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Could not find Vantrix resource folder\n");
}

TEST_F(InstallationTest, ReadersOfAFoundInstallation) {
    save();
    int version = 42;
    EXPECT_EQ(installation.readBinFolder(7, 8, version), "");
    EXPECT_EQ(version, 42);  // unchanged without an installation
    EXPECT_EQ(installation.readBinName(7, 8), "");
    EXPECT_EQ(installation.findInstallation(7, 8).status, tal::kErrorNotFound);

    user[kBase + "Vantrix 7"] = install("seven");
    save();
    const tal::FoundInstallation found = installation.findInstallation(7, 8);
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.version, 7);
    ASSERT_TRUE(found.key);
    EXPECT_EQ(installation.readBinName(7, 8), dir / "bin-seven");
}

TEST_F(InstallationTest, LaunchStartsTheExecutableOfTheInstallation) {
    save();
    EXPECT_FALSE(installation.launchRenderer(7, 8));
    EXPECT_TRUE(launcher.started.empty());  // nothing tried without an installation

    user[kBase + "Vantrix 8"] = install("eight");
    save();
    EXPECT_TRUE(installation.launchRenderer(7, 8));
    EXPECT_EQ(launcher.started, std::vector<std::string>{dir / "bin-eight"});
    launcher.answer = false;
    EXPECT_FALSE(installation.launchRenderer(7, 8));
}

}  // namespace
