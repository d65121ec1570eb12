// Faults while the scene goes out, in the plug-in's own process: the
// controller runs Render with the real factory, loader and live-link library
// against a renderer that is killed mid-scene, a renderer that stops
// reading, and a port that never answers. Each time the command ends in
// bounded time, reports success, keeps the failure text in the factory,
// prints it on the host's console and marks the command's outcome failed;
// the process goes on.
#include <sys/socket.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <thread>

#include "host/document.h"
#include "host/plugin_api.h"
#include "live_world.h"
#include "livelink/repeat_link_factory.h"
#include "plugin/export_controller.h"
#include "renderer/link_socket.h"
#include "renderer/link_token.h"

namespace vxtest {
namespace {

using Clock = std::chrono::steady_clock;

// Hands the controller a factory the test keeps, so its text can be read
// after the command.
class ForwardingFactory final : public tal::LinkFactory {
public:
    explicit ForwardingFactory(tal::RepeatLinkFactory& real) : real_(real) {}
    tal::talScene_api* openApi() override { return real_.openApi(); }
    void beginScene(tal::talSceneapi_oo& scene) override { real_.beginScene(scene); }
    void closeApi() override { real_.closeApi(); }
    void setSceneName(const std::string& name) override { real_.setSceneName(name); }
    void setPreferRunning(bool prefer) override { real_.setPreferRunning(prefer); }
    void setVersionRange(int a, int b) override { real_.setVersionRange(a, b); }
    bool sceneMatched() const override { return real_.sceneMatched(); }
    const std::string& errorText() const override { return real_.errorText(); }

private:
    tal::RepeatLinkFactory& real_;
};

// Bytes `pid` has written with write(2) so far: its saved scenes and logs.
std::uint64_t bytesWritten(pid_t pid) {
    std::istringstream io(readFile("/proc/" + std::to_string(pid) + "/io"));
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    return 0;
}

// A side x side grid of quads: a scene of tens of megabytes.
std::unique_ptr<host::BaseDocument> grid(int side) {
    auto doc = std::make_unique<host::BaseDocument>();
    doc->SetName("grid.c4d");
    auto mesh = std::make_unique<host::PolygonObject>();
    mesh->SetName("Grid");
    const int row = side + 1;
    for (int z = 0; z < row; ++z)
        for (int x = 0; x < row; ++x)
            mesh->points().push_back({x * 1.0, std::sin(x * 0.1), z * 1.0});
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const int a = z * row + x;
            mesh->polygons().push_back({a, a + row, a + row + 1, a + 1});
        }
    doc->InsertObject(std::move(mesh));
    return doc;
}

class LiveFaults : public LiveWorld {
protected:
    LiveFaults() {
        ::setenv("TALVIK_LIVELINK_TIMEOUT_MS", "500", 1);
        controller.linkFactoryMaker = [this] {
            return std::make_unique<ForwardingFactory>(factory);
        };
        host::SetConsoleSink([this](const std::string& line) { console.push_back(line); });
    }
    ~LiveFaults() override {
        host::SetConsoleSink(nullptr);
        ::unlink(vxrenderer::recordPath(runtime, ::getpid()).c_str());
    }

    // Renders the document; answers the seconds it took.
    double render(host::BaseDocument& doc) {
        const Clock::time_point start = Clock::now();
        host::SetCommandStatus(host::COMMANDSTATUS::OK);
        EXPECT_TRUE(controller.runRender(&doc));
        EXPECT_EQ(controller.context.scene, nullptr);
        EXPECT_EQ(host::GetCommandStatus(), host::COMMANDSTATUS::FAILED) << "the host hears of it";
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    // Publishes this process as an idle renderer listening on `fd`'s port.
    int fakeInstance() {
        int port = 0;
        const int fd = listenOnFreePort(port);
        std::filesystem::create_directories(runtime);
        vxrenderer::replaceFile(vxrenderer::sceneDescriptionPath(runtime, ::getpid()),
                                "<scene><modelsets/></scene>");
        std::string noRandom;
        vxrenderer::writeRecord(runtime, {8, ::getpid(), port, vxrenderer::newToken(noRandom)});
        return fd;
    }

    tal::RepeatLinkFactory factory;
    plugin::ExportController controller;
    std::vector<std::string> console;
};

TEST_F(LiveFaults, ARendererKilledInTheMiddleOfASceneEndsTheCommandWithItsText) {
    const pid_t renderer = startRenderer();
    const std::unique_ptr<host::BaseDocument> doc = grid(500);
    // Killed as soon as a megabyte of the scene is on its way to the disk.
    const std::uint64_t writtenBefore = bytesWritten(renderer);
    std::atomic<bool> killed{false};
    std::thread killer([&] {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!killed && Clock::now() < deadline) {
            if (bytesWritten(renderer) > writtenBefore + (1u << 20)) {
                ::kill(renderer, SIGKILL);
                killed = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const double seconds = render(*doc);
    killer.join();
    ASSERT_TRUE(killed) << "the scene was never under way";
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(factory.errorText(), tal::kLinkLostText);
    EXPECT_EQ(console, std::vector<std::string>{tal::kLinkLostText});
    EXPECT_TRUE(savedScenes().empty());
    // Not even a partial file: the scene had no name in the folder yet.
    for (const auto& e : std::filesystem::directory_iterator(scenes)) {
        EXPECT_EQ(e.path().filename(), "vxrenderer.log");
    }
}

TEST_F(LiveFaults, ARendererThatStopsReadingEndsTheCommandWithItsText) {
    const int fd = fakeInstance();
    std::atomic<bool> done{false};
    std::thread stalled([&] {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const int client = ::accept(fd, nullptr, nullptr);
        const std::string greeting = "vxlink 1 vxrenderer 8 " + std::to_string(::getpid()) + "\n";
        ::send(client, greeting.data(), greeting.size(), MSG_NOSIGNAL);
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::close(client);
    });
    const std::unique_ptr<host::BaseDocument> doc = grid(400);
    const double seconds = render(*doc);
    done = true;
    stalled.join();
    ::close(fd);
    EXPECT_LT(seconds, 20.0);
    EXPECT_EQ(factory.errorText(), tal::kLinkLostText);
    EXPECT_EQ(console, std::vector<std::string>{tal::kLinkLostText});
}

TEST_F(LiveFaults, APortThatAcceptsAndNeverAnswersEndsTheCommandWithItsText) {
    const int fd = fakeInstance();
    const std::unique_ptr<host::BaseDocument> doc = grid(2);
    const double seconds = render(*doc);
    ::close(fd);
    EXPECT_LT(seconds, 5.0);
    const std::string text = std::string(tal::kFailedToConnectPrefix) + tal::kNoPortText;
    EXPECT_EQ(factory.errorText(), text);
    EXPECT_EQ(console, std::vector<std::string>{text});
    EXPECT_EQ(doc->evaluationCount(), 0) << "nothing was converted";
}

}  // namespace
}  // namespace vxtest
