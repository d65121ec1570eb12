// LiveWorld: a private world for live-link tests. A temporary registry user
// root that installs the built vxrenderer and live-link library with a
// "LiveLinkPort" of 0, so that every renderer listens on a port the kernel
// picks and advertises it in its instance record; an empty machine root; a
// temporary instance folder; all through the environment (restored when the
// world ends), so that vxhost, the plug-in and the renderers started from it
// see only this world. When the world ends it stops every renderer found in
// its instance folder or started with it as theirs, and every program it
// started itself; renderers also end on their own after a minute without
// clients.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "renderer/instance_records.h"
#include "renderer/link_socket.h"
#include "tests/platform/test_files.h"
#include "tests/support/process_sweep.h"

namespace vxtest {

inline const std::string kFileHeader =
    "//---talvik:dal:7---\n//---import:dal:1---\n//---id:1---\n// This is a Vantrix scene file\n\n";

class LiveWorld : public ::testing::Test {
protected:
    LiveWorld() {
        nlohmann::json user = {{"SOFTWARE\\Talvik\\Vantrix 8",
                                {{"BinName", VXRENDERER_PATH},
                                 {"BinFolder", LIVE_LIBRARY_DIR},
                                 {"ResourceFolder", dir / "resources"},
                                 {"LiveLinkPort", 0},
                                 {"LiveLinkMaxPort", 0}}}};
        std::filesystem::create_directories(dir / "resources");
        testfiles::writeFile(dir / "user.json", user.dump(2));
    }
    ~LiveWorld() override {
        // Renderers the plug-in started detach themselves: they are found by
        // their records and by the instance folder they were given.
        std::vector<pid_t> found = markedProcesses("TALVIK_RUNTIME_DIR", runtime);
        for (const vxrenderer::InstanceRecord& r : vxrenderer::liveRecords(runtime)) {
            if (r.processId != ::getpid()) found.push_back(static_cast<pid_t>(r.processId));
        }
        stopProcesses(found, 3000);
        for (const pid_t child : children) stopProcessGroup(child);
    }

    // A loopback socket listening on a port the kernel picked; -1 on failure.
    static int listenOnFreePort(int& port) {
        std::string error;
        const int fd = vxrenderer::listenLoopback(0, error);
        EXPECT_GE(fd, 0) << error;
        port = fd >= 0 ? vxrenderer::boundPort(fd) : 0;
        return fd;
    }

    // Starts vxrenderer with these extra arguments and waits (at most 10 s)
    // until it has published its instance; its process id.
    pid_t startRenderer(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv = {VXRENDERER_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const pid_t pid = startProcess(argv);
        if (pid < 0) {
            ADD_FAILURE() << "cannot start vxrenderer";
            return pid;
        }
        children.push_back(pid);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const vxrenderer::InstanceRecord& r : vxrenderer::liveRecords(runtime)) {
                if (r.processId == pid) return pid;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "vxrenderer did not publish its instance";
        return pid;
    }

    std::vector<vxrenderer::InstanceRecord> renderers() const {
        return vxrenderer::liveRecords(runtime);
    }

    // The scenes saved so far, oldest first (by renderer, then number).
    std::vector<std::string> savedScenes() const {
        std::vector<std::string> paths;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(scenes, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("scene-", 0) == 0) paths.push_back(e.path().string());
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    std::string rendererLog() const { return testfiles::readFile(scenes + "/vxrenderer.log"); }

    std::string writeDocument(const std::string& name, const std::string& json) const {
        const std::string path = dir / name;
        testfiles::writeFile(path, json);
        return path;
    }

    testfiles::TempDir dir;
    std::string runtime = dir / "run";
    std::string scenes = dir / "run/scenes";
    std::vector<pid_t> children;

private:
    testfiles::ScopedEnv userRoot_{"TALVIK_REGISTRY_USER", (dir / "user.json").c_str()};
    testfiles::ScopedEnv machineRoot_{"TALVIK_REGISTRY_MACHINE", (dir / "machine.json").c_str()};
    testfiles::ScopedEnv instances_{"TALVIK_RUNTIME_DIR", runtime.c_str()};
    testfiles::ScopedEnv idle_{"VXRENDERER_EXIT_WHEN_IDLE", "60"};
};

}  // namespace vxtest
