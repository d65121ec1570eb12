// The world of the loader and log tests: a temporary registry store with one
// installation, the real shared-library loader behind a recorder, and a clock
// the test drives. Installed as the live services for the test's duration.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "livelink/live_services.h"
#include "livelink/vantrixlive_loader.h"
#include "tests/platform/test_files.h"

namespace livetest {

class FakeClock final : public platform::Clock {
public:
    std::optional<platform::TimeOfDay> localTimeOfDay() const override { return time; }
    std::uint32_t tickCount() const override { return ticks; }
    void sleepMilliseconds(std::uint32_t milliseconds) override { ticks += milliseconds; }

    std::optional<platform::TimeOfDay> time = platform::TimeOfDay{14, 3, 7};
    std::uint32_t ticks = 1000;
};

// Forwards to the system's loader and records what was asked of it.
class RecordingLibraries final : public platform::SharedLibraries {
public:
    platform::LibraryHandle open(const std::string& path) override {
        attempts.push_back(path);
        platform::LibraryHandle handle = real.open(path);
        if (handle != nullptr) loaded.push_back(path);
        return handle;
    }
    void* symbol(platform::LibraryHandle handle, const char* name) override {
        return real.symbol(handle, name);
    }
    void close(platform::LibraryHandle handle) override {
        if (void* probe = real.symbol(handle, "vxtest_roots_destroyed")) {
            rootsDestroyedAtClose = reinterpret_cast<int (*)()>(probe)();
        }
        ++closes;
        real.close(handle);
    }
    std::string lastError() const override { return real.lastError(); }

    platform::SharedLibraries& real = platform::systemSharedLibraries();
    std::vector<std::string> attempts;
    std::vector<std::string> loaded;
    int closes = 0;
    int rootsDestroyedAtClose = -1;
};

class NoLauncher final : public platform::ProcessLauncher {
public:
    bool startDetached(const std::string&) override { return false; }
};

class LiveTest : public ::testing::Test {
protected:
    LiveTest() {
        std::filesystem::create_directories(binFolder);
        std::filesystem::create_directories(resources);
        registerVersion(8);
    }
    ~LiveTest() override {
        tal::tal_free_live_loader();
        tal::setLiveServices(nullptr);
    }
    void SetUp() override { tal::setLiveServices(&services); }

    // One installation of that major version in the user root, or none (0).
    void registerVersion(int version, const std::string& resourceFolder = "") {
        nlohmann::json root = nlohmann::json::object();
        if (version > 0) {
            testfiles::writeFile(dir / "vxrenderer", "renderer");
            root["SOFTWARE\\Talvik\\Vantrix " + std::to_string(version)] = {
                {"BinName", dir / "vxrenderer"},
                {"BinFolder", binFolder},
                {"ResourceFolder", resourceFolder.empty() ? resources : resourceFolder}};
        }
        testfiles::writeFile(dir / "user.json", root.dump());
    }
    std::string logText() const { return testfiles::readFile(resources + "/sceneapi.log"); }
    std::vector<std::string> logLines() const { return testfiles::lines(logText()); }

    testfiles::TempDir dir;
    std::string binFolder = dir / "bin";
    std::string resources = dir / "resources";
    platform::JsonRegistryStore store{dir / "user.json", dir / "machine.json"};
    NoLauncher launcher;
    tal::Installation installation{store, platform::systemFileProbe(), launcher};
    RecordingLibraries libraries;
    FakeClock clock;
    tal::LiveServices services{&installation, &libraries, &clock};
};

}  // namespace livetest
