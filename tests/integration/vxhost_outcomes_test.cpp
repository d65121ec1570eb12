// What vxhost tells the user and its caller when Render or Update cannot
// deliver the scene: the reason on the console, "failed" instead of "done",
// and exit status 1, for every way the link can fail. The renderers here are
// scripted peers in this process; the registry names no renderer that could
// be started instead.
#include <poll.h>
#include <sys/socket.h>

#include <thread>

#include "live_world.h"
#include "renderer/link_socket.h"
#include "renderer/link_token.h"

namespace vxtest {
namespace {

// The peer's side of one connection; it owns nothing and may return early.
using PeerScript = std::function<void(int client)>;

// Reads what the client sends until `end\n` closes its scene, it stops, or
// five seconds pass.
void readScene(int client) {
    std::string tail;
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        tail = (tail + std::string(buffer, static_cast<std::size_t>(n)));
        if (tail.size() > 16) tail.erase(0, tail.size() - 16);
        if (tail.size() >= 4 && tail.compare(tail.size() - 4, 4, "end\n") == 0) return;
    }
}

void say(int client, const std::string& line) {
    ::send(client, line.data(), line.size(), MSG_NOSIGNAL);
}

class VxhostOutcomes : public LiveWorld {
protected:
    VxhostOutcomes() {
        ::setenv("TALVIK_LIVELINK_TIMEOUT_MS", "2000", 1);
        // The installation stays, but its renderer is a file that cannot be
        // started.
        testfiles::writeFile(dir / "no-renderer", "not a program\n");
        nlohmann::json user = nlohmann::json::parse(testfiles::readFile(dir / "user.json"));
        user["SOFTWARE\\Talvik\\Vantrix 8"]["BinName"] = dir / "no-renderer";
        testfiles::writeFile(dir / "user.json", user.dump(2));
    }
    ~VxhostOutcomes() override {
        if (peer_.joinable()) peer_.join();
        if (listener_ >= 0) ::close(listener_);
        ::unlink(vxrenderer::recordPath(runtime, ::getpid()).c_str());
    }

    // Publishes this process as an idle renderer whose one connection runs
    // `script`.
    void scriptedRenderer(PeerScript script) {
        int port = 0;
        listener_ = listenOnFreePort(port);
        ASSERT_GE(listener_, 0);
        std::filesystem::create_directories(runtime);
        ASSERT_TRUE(vxrenderer::replaceFile(vxrenderer::sceneDescriptionPath(runtime, ::getpid()),
                                            "<scene><modelsets/></scene>"));
        // A scripted peer does not check the token, but the client presents
        // one only to a renderer whose record carries it.
        std::string noRandom;
        ASSERT_TRUE(vxrenderer::writeRecord(runtime,
                                            {8, ::getpid(), port, vxrenderer::newToken(noRandom)}));
        peer_ = std::thread([this, script = std::move(script)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            script(client);
            ::close(client);
        });
    }

    std::string greeting() const {
        return "vxlink 1 vxrenderer 8 " + std::to_string(::getpid()) + "\n";
    }

    // Runs `command` on the demo document and checks the failure's signs.
    void expectFailure(const std::string& command, const std::string& reason) {
        const ProcessResult r = runProcess({VXHOST_PATH, command});
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("on the demo document: failed\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("done"), std::string::npos) << r.err;
    }

    int listener_ = -1;
    std::thread peer_;
};

TEST_F(VxhostOutcomes, NoInstallationFailsRenderAndUpdate) {
    testfiles::writeFile(dir / "user.json", "{}");
    expectFailure("render", "Please check your Vantrix installation.");
    expectFailure("update", "Please check your Vantrix installation.");
}

TEST_F(VxhostOutcomes, BrokenRegistriesFailTheCommand) {
    testfiles::writeFile(dir / "user.json", "{\"SOFTWARE\\\\Talvik\\\\\": [");
    testfiles::writeFile(dir / "machine.json", "\x01\x02 not a registry");
    expectFailure("render", "Failed to connect.");
}

TEST_F(VxhostOutcomes, AnInstallationWhoseRendererCannotStartFailsTheCommand) {
    expectFailure("render", "Failed to connect.");
}

TEST_F(VxhostOutcomes, GarbageAnswersFailTheCommand) {
    scriptedRenderer([](int client) { say(client, "HTTP/1.1 400 Bad Request\n\n<html>"); });
    expectFailure("render", "Failed to connect.");
}

TEST_F(VxhostOutcomes, ARefusedSceneFailsTheCommand) {
    scriptedRenderer([this](int client) {
        say(client, greeting());
        readScene(client);
        say(client, "error the scene holds nothing this renderer can show\n");
    });
    expectFailure("render", "Vantrix");
}

TEST_F(VxhostOutcomes, ARendererThatDiesMidSceneFailsTheCommand) {
    scriptedRenderer([this](int client) {
        say(client, greeting());
        char buffer[4096];
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 5000) > 0) ::recv(client, buffer, sizeof buffer, 0);
        ::shutdown(client, SHUT_RDWR);  // gone after the first bytes
    });
    expectFailure("render", "Please check that Vantrix is still running.");
}

TEST_F(VxhostOutcomes, ADeliveredSceneIsDone) {
    scriptedRenderer([this](int client) {
        say(client, greeting());
        readScene(client);
        say(client, "ok 1 100\n");
    });
    const ProcessResult r = runProcess({VXHOST_PATH, "render"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("Render in Vantrix (1033591) on the demo document: done\n"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace vxtest
