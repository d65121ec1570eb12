// What keeps a renderer its user's own and its disk from filling: the token
// in every client's greeting, the disk reserve, owner-only output files, and
// the partial scenes of killed renderers cleared at start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "renderer/link_socket.h"
#include "renderer/link_token.h"
#include "renderer/live_scene_api.h"
#include "renderer/output_folder.h"
#include "server_fixture.h"

namespace {

using namespace vxtest;

class RendererGuard : public ServerFixture {
protected:
    // A small good scene through the library; true when the renderer took it.
    bool sendScene(vxrenderer::LiveSceneApi& live, const char* name) {
        if (!live.connect("127.0.0.1", port, 1)) return false;
        live.beginGroup(name, true);
        live.endGroup();
        return live.disconnect();
    }
    // Sends a whole scene after `hello` by hand; the renderer's answer line.
    std::string rawScene(const std::string& hello) {
        std::string error;
        const int fd = vxrenderer::connectLoopback("127.0.0.1", port, 1000, error);
        std::string line;
        EXPECT_TRUE(vxrenderer::readLine(fd, line, 1000, error)) << error;
        const std::string scene = "group \"intruder\" {\n}\n";
        const std::string stream =
            hello + "\ndata " + std::to_string(scene.size()) + "\n" + scene + "end\n";
        vxrenderer::sendAll(fd, stream.data(), stream.size(), 1000, error);
        line.clear();
        vxrenderer::readLine(fd, line, 2000, error);
        ::close(fd);
        return line;
    }
    std::string description() const {
        return testfiles::readFile(vxrenderer::sceneDescriptionPath(dir.path(), ::getpid()));
    }
    static mode_t modeOf(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

TEST_F(RendererGuard, ClientsWithoutTheTokenAreRefusedLoggedAndChangeNothing) {
    startServer();
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(sendScene(live, "kept")) << live.lastReason();
    const std::string before = description();
    const std::vector<std::string> savedBefore = savedScenes();
    std::string error;
    const std::string guess = vxrenderer::newToken(error);

    EXPECT_EQ(rawScene("client 1"),
              "error refused: the client presented no token; this renderer serves only its own "
              "user");
    EXPECT_EQ(rawScene("client 1 " + guess)
                  .rfind("error refused: the client presented a wrong "
                         "token",
                         0),
              0u);
    EXPECT_EQ(rawScene("client 1 " + token().substr(0, 63)).rfind("error refused", 0), 0u);
    EXPECT_EQ(description(), before);
    EXPECT_EQ(savedScenes(), savedBefore);
    const std::string log = logText();
    EXPECT_NE(log.find("from 127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find(": refused: the client presented no token"), std::string::npos) << log;
    EXPECT_NE(log.find(": refused: the client presented a wrong token"), std::string::npos) << log;
    EXPECT_EQ(log.find("intruder"), std::string::npos) << log;
}

TEST_F(RendererGuard, TheTokenIsShownOnlyToTheListenerItsRecordNames) {
    startServer();
    // A listener that claims to be the running renderer's process.
    int decoy = 0;
    const int fd = listenAnywhere(decoy);
    std::string heard;
    std::thread impostor([&] {
        const int client = ::accept(fd, nullptr, nullptr);
        const std::string greeting = "vxlink 1 vxrenderer 8 " + std::to_string(::getpid()) + "\n";
        ::send(client, greeting.data(), greeting.size(), MSG_NOSIGNAL);
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0) heard.append(buffer, n);
        ::close(client);
    });
    vxrenderer::LiveSceneApi live;
    EXPECT_FALSE(live.connect("127.0.0.1", decoy, 1));
    EXPECT_NE(live.lastReason().find("is not one of this user's"), std::string::npos)
        << live.lastReason();
    impostor.join();
    ::close(fd);
    EXPECT_EQ(heard, "");
}

TEST_F(RendererGuard, ASceneIsRefusedWhenTheDiskHasLessThanTheReserve) {
    startServer(5000, std::int64_t{1} << 62);
    vxrenderer::LiveSceneApi live;
    EXPECT_FALSE(sendScene(live, "big"));
    EXPECT_EQ(live.lastRefusal().rfind("not enough free disk for the scene in ", 0), 0u)
        << live.lastRefusal();
    EXPECT_NE(live.lastRefusal().find("MiB kept free"), std::string::npos) << live.lastRefusal();
    EXPECT_EQ(savedScenes(), std::vector<std::string>{"vxrenderer.log"});
}

TEST_F(RendererGuard, ASceneIsDroppedAsSoonAsTheDiskFallsBelowTheReserveWhileItArrives) {
    std::filesystem::create_directories(dir / "scenes");
    vxrenderer::DiskSpace space;
    std::string error;
    ASSERT_TRUE(vxrenderer::diskSpace(dir / "scenes", space, error)) << error;
    // Room for about 24 MiB of the scene, which brings 96 MiB.
    const std::uint64_t room = std::uint64_t{24} << 20;
    if (space.available < room * 8) GTEST_SKIP() << "too little free disk for this test";
    startServer(5000, static_cast<std::int64_t>(space.available - room));
    vxrenderer::LiveSceneApi live;
    ASSERT_TRUE(live.connect("127.0.0.1", port, 1)) << live.lastReason();
    const std::vector<float> chunk(1 << 20, 1.0f);
    const tal::ArrayValue array{chunk.data(), static_cast<std::int32_t>(chunk.size())};
    live.beginGroup("filling", true);
    for (int i = 0; i < 24; ++i) live.setParameter("p", tal::kFloat | tal::kArrayBit, &array);
    live.endGroup();
    EXPECT_FALSE(live.disconnect());
    EXPECT_EQ(live.lastRefusal().rfind("not enough free disk", 0), 0u) << live.lastReason();
    stopServer();
    EXPECT_EQ(savedScenes(), std::vector<std::string>{"vxrenderer.log"});
    // The disk is shared with whatever else runs: when other writers took the
    // room before the scene began, it was refused at its start instead.
    const std::string log = logText();
    if (log.find("scene discarded") == std::string::npos &&
        log.find("not enough free disk for the scene") != std::string::npos) {
        GTEST_SKIP() << "the free space fell below the reserve before the scene began";
    }
    EXPECT_NE(log.find("scene discarded"), std::string::npos) << log;
}

TEST_F(RendererGuard, SavedScenesAndTheLogAreOwnerOnlyWhateverTheUmask) {
    // A log that an earlier renderer left readable to all.
    testfiles::writeFile(dir / "scenes/vxrenderer.log", "earlier\n");
    ::chmod((dir / "scenes/vxrenderer.log").c_str(), 0644);
    const mode_t mask = ::umask(0);
    startServer();
    vxrenderer::LiveSceneApi live;
    const bool sent = sendScene(live, "private");
    ::umask(mask);
    ASSERT_TRUE(sent) << live.lastReason();
    for (const std::string& name : savedScenes()) {
        EXPECT_EQ(modeOf(dir / ("scenes/" + name)), 0600u) << name;
    }
    EXPECT_EQ(savedScenes().size(), 2u);
    EXPECT_EQ(modeOf(vxrenderer::recordPath(dir.path(), ::getpid())), 0600u);
}

// The process id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST_F(RendererGuard, PartialScenesOfEndedRenderersAreClearedAtStartAndNothingElse) {
    const std::string ended = std::to_string(endedProcess());
    const std::string running = std::to_string(::getpid());
    const std::vector<std::string> stale = {
        ".incoming-" + ended + "-3.vxs", "..incoming-" + ended + "-4.vxs.part-" + ended + "-abc123",
        ".scene-" + ended + "-5-chair.vxs.part-" + ended + "-x1y2z3"};
    const std::vector<std::string> kept = {
        ".incoming-" + running + "-1.vxs",  // a renderer sharing the folder, still receiving
        ".incoming-notapid.vxs", "scene-" + ended + "-1-chair.vxs", ".other-" + ended + "-1"};
    for (const std::string& name : stale) testfiles::writeFile(dir / ("scenes/" + name), "x");
    for (const std::string& name : kept) testfiles::writeFile(dir / ("scenes/" + name), "x");
    std::filesystem::create_directory(dir / ("scenes/.incoming-" + ended + "-9.vxs"));
    startServer();
    for (const std::string& name : stale) {
        EXPECT_FALSE(std::filesystem::exists(dir / ("scenes/" + name))) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(std::filesystem::exists(dir / ("scenes/" + name))) << name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / ("scenes/.incoming-" + ended + "-9.vxs")));
    EXPECT_NE(logText().find("removed 3 partial scene file(s)"), std::string::npos) << logText();
}

TEST(InstanceFolder, IsMadeOwnerOnlyAndRefusedWhenItIsAnotherUsers) {
    testfiles::TempDir dir;
    const std::string open = dir / "open";
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0755);
    ::setenv("TALVIK_RUNTIME_DIR", open.c_str(), 1);
    std::string error;
    EXPECT_EQ(vxrenderer::instanceFolder(&error), open) << error;
    struct stat info {};
    ::stat(open.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    if (::geteuid() == 0) {
        const std::string theirs = dir / "theirs";
        std::filesystem::create_directory(theirs);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        ::setenv("TALVIK_RUNTIME_DIR", theirs.c_str(), 1);
        EXPECT_EQ(vxrenderer::instanceFolder(&error), "");
        EXPECT_NE(error.find("is not a folder of this user"), std::string::npos) << error;
    }
    ::unsetenv("TALVIK_RUNTIME_DIR");
}

TEST(LinkToken, TokensAreFreshWellFormedAndMatchOnlyThemselves) {
    std::string error;
    const std::string a = vxrenderer::newToken(error);
    const std::string b = vxrenderer::newToken(error);
    ASSERT_TRUE(vxrenderer::wellFormedToken(a)) << error;
    EXPECT_NE(a, b);
    EXPECT_TRUE(vxrenderer::tokensMatch(a, a));
    EXPECT_FALSE(vxrenderer::tokensMatch(a, b));
    std::string flipped = a;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    EXPECT_FALSE(vxrenderer::tokensMatch(flipped, a));
    EXPECT_FALSE(vxrenderer::tokensMatch("", ""));
    EXPECT_FALSE(vxrenderer::tokensMatch(std::string(64, 'G'), std::string(64, 'G')));
}

}  // namespace
