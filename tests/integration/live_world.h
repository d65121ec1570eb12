// LiveWorld: a private world for live-link tests. A temporary registry user
// root that installs the built vxrenderer and live-link library with a port
// range of its own, an empty machine root, a temporary instance folder, all
// through the environment, so that vxhost, the plug-in and the renderers
// started from it see only this world. Every renderer found in the instance
// folder when the world ends is stopped; renderers started from it also end
// on their own after a minute without clients.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
#include "tests/platform/test_files.h"

namespace vxtest {

inline const std::string kFileHeader =
    "//---talvik:dal:7---\n//---import:dal:1---\n//---id:1---\n// This is a Vantrix scene file\n\n";

class LiveWorld : public ::testing::Test {
protected:
    LiveWorld() {
        // Sixteen ports of this process's own; the renderer takes the first free one.
        firstPort = 30000 + static_cast<int>(::getpid() % 2000) * 16;
        nlohmann::json user = {{"SOFTWARE\\Talvik\\Vantrix 8",
                                {{"BinName", VXRENDERER_PATH},
                                 {"BinFolder", LIVE_LIBRARY_DIR},
                                 {"ResourceFolder", dir / "resources"},
                                 {"LiveLinkPort", firstPort},
                                 {"LiveLinkMaxPort", firstPort + 15}}}};
        std::filesystem::create_directories(dir / "resources");
        testfiles::writeFile(dir / "user.json", user.dump(2));
        ::setenv("TALVIK_REGISTRY_USER", (dir / "user.json").c_str(), 1);
        ::setenv("TALVIK_REGISTRY_MACHINE", (dir / "machine.json").c_str(), 1);
        ::setenv("TALVIK_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("VXRENDERER_EXIT_WHEN_IDLE", "60", 1);
    }
    ~LiveWorld() override {
        for (const vxlink::InstanceRecord& r : vxlink::liveRecords(runtime)) {
            if (r.processId != ::getpid()) stopProcess(static_cast<pid_t>(r.processId));
        }
        for (const pid_t child : children) stopProcess(child);
    }

    // Stops a renderer (TERM, then KILL after 3 s) and reaps it when it is ours.
    void stopProcess(pid_t pid) {
        ::kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid || ::kill(pid, 0) != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }

    // Starts vxrenderer as a child with these extra arguments and waits (at
    // most 10 s) until it has published its instance; its process id.
    pid_t startRenderer(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv = {VXRENDERER_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        children.push_back(pid);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const vxlink::InstanceRecord& r : vxlink::liveRecords(runtime)) {
                if (r.processId == pid) return pid;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "vxrenderer did not publish its instance";
        return pid;
    }

    std::vector<vxlink::InstanceRecord> renderers() const { return vxlink::liveRecords(runtime); }

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
    int firstPort = 0;
    std::vector<pid_t> children;
};

}  // namespace vxtest
