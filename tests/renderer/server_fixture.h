// A renderer's server on a thread of the test, with its own instance and
// output folders, and the library pointed at those folders: what the live-link
// tests of the renderer share.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "renderer/instance_records.h"
#include "renderer/renderer_server.h"
#include "tests/platform/test_files.h"

namespace vxtest {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A loopback socket on a free port chosen by the system.
inline int listenAnywhere(int& port) {
    std::string error;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("TALVIK_LIVELINK_TIMEOUT_MS", "400", 1); }
    void TearDown() override {
        stopServer();
        ::unsetenv("TALVIK_LIVELINK_TIMEOUT_MS");
    }

    void startServer(int timeoutMs = 5000, std::int64_t diskReserve = -1,
                     vxrenderer::PreviewSettings preview = {}) {
        // Port 0: the kernel picks a free one; the server reports which.
        vxrenderer::ServerOptions options;
        options.firstPort = 0;
        options.lastPort = 0;
        options.outputFolder = dir / "scenes";
        options.instanceFolder = dir.path();
        options.timeoutMs = timeoutMs;
        options.diskReserveBytes = diskReserve;
        options.preview = preview;
        server = std::make_unique<vxrenderer::RendererServer>(options);
        ASSERT_TRUE(server->start());
        port = server->port();
        thread = std::thread([this] { server->run(stop); });
    }
    void stopServer() {
        stop = true;
        if (thread.joinable()) thread.join();
        server.reset();
    }
    std::vector<std::string> savedScenes() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir / "scenes")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string logText() const { return testfiles::readFile(dir / "scenes/vxrenderer.log"); }
    // The running server's token, as its record holds it.
    std::string token() const {
        const auto record = vxrenderer::liveRecord(dir.path(), ::getpid());
        return record ? record->token : std::string();
    }

    testfiles::TempDir dir;
    // Where the library finds the records, and so the tokens, of renderers.
    testfiles::ScopedEnv runtime{"TALVIK_RUNTIME_DIR", dir.path().c_str()};
    std::unique_ptr<vxrenderer::RendererServer> server;
    std::atomic<bool> stop{false};
    std::thread thread;
    int port = 0;
};

}  // namespace vxtest
