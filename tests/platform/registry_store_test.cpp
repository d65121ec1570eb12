#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "tests/platform/test_files.h"

using platform::JsonRegistryStore;
using platform::RegistryRoot;
using testfiles::TempDir;
using testfiles::writeFile;

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string user = dir / "user.json";
    std::string machine = dir / "machine.json";
    JsonRegistryStore store{user, machine};
};

TEST_F(RegistryStoreTest, ReadsTextsAndNumbersOfTheRightRoot) {
    writeFile(user, R"({"SOFTWARE\\Talvik\\Vantrix 8": {"BinName": "/r/bin", "LiveLinkPort": 5000,
                        "Big": 4294967295, "Zero": "a\u0000b"}})");
    writeFile(machine, R"({"SOFTWARE\\Talvik\\Vantrix 7": {"BinName": "/m/bin"}})");

    auto key = store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\Vantrix 8");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readText("BinName"), "/r/bin");
    EXPECT_EQ(key->readNumber("LiveLinkPort"), 5000u);
    EXPECT_EQ(key->readNumber("Big"), 4294967295u);
    EXPECT_EQ(key->readText("Zero"), "a");  // a text ends at its first zero
    // A value is one kind: a number does not read as text, nor the reverse.
    EXPECT_FALSE(key->readText("LiveLinkPort"));
    EXPECT_FALSE(key->readNumber("BinName"));
    EXPECT_FALSE(key->readText("Missing"));

    EXPECT_FALSE(store.openKey(RegistryRoot::machine, "SOFTWARE\\Talvik\\Vantrix 8"));
    EXPECT_TRUE(store.openKey(RegistryRoot::machine, "SOFTWARE\\Talvik\\Vantrix 7"));
}

TEST_F(RegistryStoreTest, NamesIgnoreCaseAndTrailingSeparatorsAndParentsExist) {
    writeFile(user, R"({"SOFTWARE\\Talvik\\": {"VantrixVersion": "Vantrix 8"},
                        "Software\\Talvik\\Vantrix 8\\Sub": {"X": 1}})");
    auto base = store.openKey(RegistryRoot::user, "software\\TALVIK");
    ASSERT_TRUE(base);
    EXPECT_EQ(base->readText("vantrixversion"), "Vantrix 8");

    // Not listed itself, but the parent of a listed key: opens, holds nothing.
    auto parent = store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\Vantrix 8");
    ASSERT_TRUE(parent);
    EXPECT_FALSE(parent->readNumber("X"));
    EXPECT_FALSE(store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\Vantrix"));
    EXPECT_FALSE(store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\Vantrix 8\\Sub\\Deeper"));
}

TEST_F(RegistryStoreTest, MissingFileIsAnEmptyRootWithoutAMessage) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\"));
    std::filesystem::create_directory(user);  // a folder where the file should be
    EXPECT_FALSE(store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(RegistryStoreTest, AFifoOrADeviceIsAnEmptyRootReadWithoutWaiting) {
    ASSERT_EQ(::mkfifo(user.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", machine.c_str()), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(store.openKey(RegistryRoot::user, "SOFTWARE\\Talvik\\"));
    EXPECT_FALSE(store.openKey(RegistryRoot::machine, "SOFTWARE\\Talvik\\"));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
}

TEST_F(RegistryStoreTest, MalformedFilesAreEmptyRootsWithOneLineEach) {
    const char* malformed[] = {
        "{\"SOFTWARE\\\\Talvik\\\\\": {\"A\": 1},\n  oops}",  // syntax
        "[1, 2]",                                             // not an object
        R"({"K": {"A": true}})",                              // neither kind
        R"({"K": {"A": 1.5}})",
        R"({"K": {"A": -1}})",
        R"({"K": {"A": 4294967296}})",
        R"({"K": "text"})",                   // key not an object
        R"({"K": {"A": 1}, "k": {"B": 2}})",  // same key twice
        R"({"K": {"A": 1, "a": 2}})",         // same value twice
    };
    for (const char* text : malformed) {
        SCOPED_TRACE(text);
        writeFile(user, text);
        writeFile(machine, R"({"K": {"A": 7}})");
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(store.openKey(RegistryRoot::user, "K"));
        EXPECT_FALSE(store.openKey(RegistryRoot::user, "K"));  // read again: no second line
        auto machineKey = store.openKey(RegistryRoot::machine, "K");
        const std::string err = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(machineKey);  // the other root is unaffected
        EXPECT_EQ(machineKey->readNumber("A"), 7u);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(user), std::string::npos) << err;
    }
    // The syntax error is located.
    writeFile(user, "{\n \"K\": {\"A\": 1},\n oops\n}");
    ::testing::internal::CaptureStderr();
    store.openKey(RegistryRoot::user, "K");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("line 3"), std::string::npos);
}

TEST_F(RegistryStoreTest, ChangesToTheFileAreSeenAtTheNextOpen) {
    writeFile(user, R"({"K": {"A": 1}})");
    EXPECT_EQ(store.openKey(RegistryRoot::user, "K")->readNumber("A"), 1u);
    writeFile(user, R"({"K": {"A": 2}})");
    EXPECT_EQ(store.openKey(RegistryRoot::user, "K")->readNumber("A"), 2u);
}

TEST(RegistryPaths, FollowTheEnvironmentThenTheDefaults) {
    TempDir dir;
    {
        testfiles::ScopedEnv userEnv("TALVIK_REGISTRY_USER", (dir / "u.json").c_str());
        testfiles::ScopedEnv machineEnv("TALVIK_REGISTRY_MACHINE", (dir / "m.json").c_str());
        EXPECT_EQ(platform::defaultRegistryPath(RegistryRoot::user), dir / "u.json");
        EXPECT_EQ(platform::defaultRegistryPath(RegistryRoot::machine), dir / "m.json");

        // The default store reads whatever the environment names at each open.
        writeFile(dir / "u.json", R"({"K": {"A": 3}})");
        auto key = platform::systemRegistryStore().openKey(RegistryRoot::user, "K");
        ASSERT_TRUE(key);
        EXPECT_EQ(key->readNumber("A"), 3u);
    }
    testfiles::ScopedEnv userEnv("TALVIK_REGISTRY_USER", nullptr);
    testfiles::ScopedEnv machineEnv("TALVIK_REGISTRY_MACHINE", nullptr);
    testfiles::ScopedEnv home("HOME", dir.path().c_str());
    EXPECT_EQ(platform::defaultRegistryPath(RegistryRoot::user),
              dir / ".config/talvik/registry.json");
    EXPECT_EQ(platform::defaultRegistryPath(RegistryRoot::machine), "/etc/talvik/registry.json");
}

}  // namespace
