// The live link between the library's scene API and the renderer, in one
// process: the bytes that arrive, and every way a peer can fail. Each test
// runs the renderer's server on a thread with its own instance and output
// folders; fake renderers are plain sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "renderer/instance_records.h"
#include "renderer/link_socket.h"
#include "renderer/link_token.h"
#include "renderer/live_scene_api.h"
#include "renderer/renderer_server.h"
#include "server_fixture.h"
#include "tests/platform/test_files.h"
#include "tests/scenefile/call_script.h"
#include "tests/scenefile/scene_samples.h"
#include "tests/support/memory_scene.h"

namespace {

using namespace vxtest;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class LiveLinkTest : public ServerFixture {};

TEST_F(LiveLinkTest, TheRendererSavesExactlyWhatTheFileWriterWrites) {
    startServer();
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        vxtest::MemoryStream expected;
        {
            tal::talScene_api_file file(expected.stream(), true);
            vxtest::CallScript(seed).run(file, 600);
            // Arrays larger than the stream buffer and than one data message.
            const std::vector<float> big(3'000'000, 0.5f);
            const tal::ArrayValue array{big.data(), static_cast<std::int32_t>(big.size())};
            file.setParameter("big", tal::kFloat | tal::kArrayBit, &array);
        }
        vxrenderer::LiveSceneApi live;
        live.id(7);
        ASSERT_TRUE(live.connect("localhost", port, 4)) << live.lastReason();
        vxtest::CallScript(seed).run(live, 600);
        const std::vector<float> big(3'000'000, 0.5f);
        const tal::ArrayValue array{big.data(), static_cast<std::int32_t>(big.size())};
        live.setParameter("big", tal::kFloat | tal::kArrayBit, &array);
        ASSERT_TRUE(live.disconnect()) << live.lastReason();
        const std::vector<std::string> saved = savedScenes();
        ASSERT_FALSE(saved.empty());
        const std::string name = saved[saved.size() - 2];  // the last scene before the log
        EXPECT_TRUE(testfiles::readFile(dir / ("scenes/" + name)) == expected.text()) << name;
    }
    EXPECT_NE(logText().find("from client 7: "), std::string::npos) << logText();
}

TEST_F(LiveLinkTest, OnlyLoopbackAddressesAreReached) {
    vxrenderer::LiveSceneApi live;
    EXPECT_FALSE(live.connect("192.0.2.1", 5000, 1));
    EXPECT_NE(live.lastReason().find("loopback"), std::string::npos) << live.lastReason();
    EXPECT_FALSE(live.disconnect());
}

TEST_F(LiveLinkTest, APortThatAcceptsAndNeverAnswersIsGivenUp) {
    int silent = 0;
    const int fd = listenAnywhere(silent);
    vxrenderer::LiveSceneApi live;
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(live.connect("127.0.0.1", silent, 1));
    EXPECT_LT(secondsSince(start), 3.0);
    EXPECT_NE(live.lastReason().find("no greeting"), std::string::npos) << live.lastReason();
    ::close(fd);
}

// A fake renderer that greets and then never reads, or reads a little and
// vanishes.
class FakeRenderer {
public:
    // Publishes a record of this process naming its port in `folder`.
    FakeRenderer(std::size_t readBeforeClose, const std::string& folder) {
        listen_ = listenAnywhere(port);
        std::string error;
        vxrenderer::writeRecord(folder, {8, ::getpid(), port, vxrenderer::newToken(error)});
        thread_ = std::thread([this, readBeforeClose] {
            const int fd = ::accept(listen_, nullptr, nullptr);
            const std::string greeting =
                "vxlink 1 vxrenderer 8 " + std::to_string(::getpid()) + "\n";
            ::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL);
            std::vector<char> buffer(65536);
            std::size_t taken = 0;
            while (readBeforeClose > 0 && taken < readBeforeClose) {
                const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) break;
                taken += static_cast<std::size_t>(n);
            }
            if (readBeforeClose == 0) {
                while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ::close(fd);
        });
    }
    ~FakeRenderer() {
        done_ = true;
        thread_.join();
        ::close(listen_);
    }
    int port = 0;

private:
    int listen_ = -1;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Sends about 64 MB; answers how long the calls took.
double sendLargeScene(tal::talScene_api& api) {
    const Clock::time_point start = Clock::now();
    const std::vector<float> chunk(1'000'000, 1.0f);
    const tal::ArrayValue array{chunk.data(), static_cast<std::int32_t>(chunk.size())};
    api.beginGroup("doc", true);
    for (int i = 0; i < 16; ++i) api.setParameter("p", tal::kFloat | tal::kArrayBit, &array);
    api.endGroup();
    return secondsSince(start);
}

TEST_F(LiveLinkTest, ARendererThatStopsReadingBreaksTheLinkWithoutHangingTheExporter) {
    FakeRenderer stalled(0, dir.path());
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(live.connect("127.0.0.1", stalled.port, 1));
    EXPECT_LT(sendLargeScene(live), 3.0);  // one stall limit, then the rest is dropped
    EXPECT_NE(live.lastReason().find("took nothing"), std::string::npos) << live.lastReason();
    EXPECT_FALSE(live.disconnect());
}

TEST_F(LiveLinkTest, ARendererThatVanishesMidSceneBreaksTheLink) {
    FakeRenderer dying(1 << 20, dir.path());
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(live.connect("127.0.0.1", dying.port, 1));
    EXPECT_LT(sendLargeScene(live), 3.0);
    EXPECT_FALSE(live.disconnect());
}

TEST_F(LiveLinkTest, ASceneThatDoesNotReadIsRefusedAndTheNextOneServed) {
    startServer();
    {
        vxrenderer::LiveSceneApi live;
        ASSERT_TRUE(live.connect("localhost", port, 4));
        live.rawText("this is { not a scene\n");
        live.rawText("}}}\n");
        EXPECT_FALSE(live.disconnect());
        EXPECT_NE(live.lastReason().find("does not read"), std::string::npos) << live.lastReason();
    }
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(live.connect("localhost", port, 4));
    live.beginGroup("fine", true);
    live.endGroup();
    EXPECT_TRUE(live.disconnect()) << live.lastReason();
    EXPECT_EQ(savedScenes().size(), 2u);  // the good scene and the log
}

// A raw client of the renderer: connects and reads the greeting.
int rawClient(int port) {
    std::string error;
    const int fd = vxrenderer::connectLoopback("127.0.0.1", port, 1000, error);
    std::string greeting;
    EXPECT_TRUE(vxrenderer::readLine(fd, greeting, 1000, error)) << error;
    EXPECT_EQ(greeting.rfind("vxlink 1 vxrenderer 8 ", 0), 0u) << greeting;
    return fd;
}

TEST_F(LiveLinkTest, SilentBrokenAndStrangeClientsEndOnlyTheirOwnConnection) {
    startServer(300);
    const int silent = rawClient(port);
    const int halfScene = rawClient(port);
    const std::string half = "client 2 " + token() + "\ndata 100\ngroup \"a\" {\n";
    ::send(halfScene, half.data(), half.size(), MSG_NOSIGNAL);
    const int stranger = rawClient(port);
    const std::string junk = "GET / HTTP/1.1\n";
    ::send(stranger, junk.data(), junk.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::close(halfScene);

    // A good client is served meanwhile.
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(live.connect("localhost", port, 4));
    live.beginGroup("good", true);
    live.endGroup();
    EXPECT_TRUE(live.disconnect()) << live.lastReason();

    // The silent one is told why and closed once its time is up.
    std::string line;
    std::string error;
    EXPECT_TRUE(vxrenderer::readLine(silent, line, 2000, error)) << error;
    EXPECT_EQ(line, "error the client sent nothing for 0.3 s");
    ::close(silent);
    ::close(stranger);
    stopServer();
    const std::string log = logText();
    EXPECT_NE(log.find("in the middle of a scene; connection ended, scene discarded"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("no client greeting"), std::string::npos) << log;
    EXPECT_NE(log.find("scene 1 \"good\" (render)"), std::string::npos) << log;
    // Only the good scene was saved; nothing is left of the others.
    const std::vector<std::string> saved = savedScenes();
    EXPECT_EQ(saved.size(), 2u);
    for (const std::string& name : saved) EXPECT_NE(name.rfind(".incoming", 0), 0u) << name;
}

// A scene in data messages of awkward sizes, sent at once: the first bytes
// arrive together with the client line, values of binary arrays are cut by
// message boundaries. The answer comes when the file is complete under its
// name. Then a scene broken off inside a binary array leaves no file.
TEST_F(LiveLinkTest, ScenesInAwkwardMessagesAreSavedWholeBeforeTheAnswer) {
    startServer();
    const std::string scene = vxtest::gridScene(80, 60, true);
    std::string stream = "client 3 " + token() + "\n";
    std::size_t at = 0;
    for (std::size_t size :
         {std::size_t{1}, std::size_t{7}, std::size_t{3001}, std::size_t{65536}}) {
        stream += "data " + std::to_string(size) + "\n" + scene.substr(at, size);
        at += size;
    }
    stream += "data " + std::to_string(scene.size() - at) + "\n" + scene.substr(at) + "end\n";
    const int fd = rawClient(port);
    std::string error;
    ASSERT_TRUE(vxrenderer::sendAll(fd, stream.data(), stream.size(), 2000, error)) << error;
    std::string answer;
    ASSERT_TRUE(vxrenderer::readLine(fd, answer, 2000, error)) << error;
    EXPECT_EQ(answer, "ok 1 " + std::to_string(scene.size()));
    ::close(fd);
    std::vector<std::string> saved = savedScenes();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_TRUE(testfiles::readFile(dir / ("scenes/" + saved[0])) == scene) << saved[0];

    const int broken = rawClient(port);
    const std::size_t inArray = scene.find("\x01\x02\x03") + 1000;
    const std::string half = "client 4 " + token() + "\ndata " + std::to_string(scene.size()) +
                             "\n" + scene.substr(0, inArray);
    ASSERT_TRUE(vxrenderer::sendAll(broken, half.data(), half.size(), 2000, error)) << error;
    ::close(broken);
    const Clock::time_point start = Clock::now();
    while (logText().find("scene discarded (" + std::to_string(inArray)) == std::string::npos &&
           secondsSince(start) < 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stopServer();  // the connection is logged as ended before its file goes
    EXPECT_NE(logText().find("in the middle of a scene"), std::string::npos) << logText();
    EXPECT_EQ(savedScenes(), saved);
}

}  // namespace
