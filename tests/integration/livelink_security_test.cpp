// A renderer only its user can reach, seen from outside its process: another
// user's client is refused, a renderer out of descriptors waits instead of
// spinning, and the renderer's own reason for refusing a scene reaches the
// host's console.
#include <sys/resource.h>
#include <sys/socket.h>

#include <cstring>
#include <sstream>

#include "live_world.h"
#include "renderer/link_socket.h"

namespace vxtest {
namespace {

const std::string kStudio = std::string(VX_SOURCE_DIR) + "/examples/studio.json";

using LiveSecurity = LiveWorld;

// Seconds of processor time `pid` has used, from /proc.
double processorSeconds(pid_t pid) {
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::size_t openDescriptors(pid_t pid) {
    std::size_t n = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end;
         !ec && it != end; it.increment(ec)) {
        ++n;
    }
    return n;
}

TEST_F(LiveSecurity, AnotherUsersConnectionIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "running a client as another user (nobody, with setpriv) needs root";
    }
    const pid_t renderer = startRenderer();
    const std::string idle = readFile(vxrenderer::sceneDescriptionPath(runtime, renderer));
    const int port = renderers().at(0).liveLinkPort;
    const ProcessResult probe =
        runProcess({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                    LIVELINK_PROBE_PATH, std::to_string(port)});
    EXPECT_EQ(probe.exitStatus, 0) << probe.out << probe.err;
    EXPECT_NE(probe.out.find("library: the renderer on port " + std::to_string(port)),
              std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("guess: error refused: the client presented a wrong token"),
              std::string::npos)
        << probe.out;
    stopProcessGroup(renderer);
    EXPECT_NE(rendererLog().find("refused: the client presented a wrong token"), std::string::npos)
        << rendererLog();
    EXPECT_EQ(rendererLog().find("stranger"), std::string::npos) << rendererLog();
    EXPECT_TRUE(savedScenes().empty());
    EXPECT_NE(idle.find("<modelsets>\n</modelsets>"), std::string::npos) << idle;
}

TEST_F(LiveSecurity, ARendererOutOfDescriptorsPausesAcceptingAndRecovers) {
#ifdef __SANITIZE_ADDRESS__
    // The undefined-behaviour sanitizer checks a member call's object through
    // a pipe; in a renderer without a free descriptor that check fails and
    // reports a fault that is not there.
    GTEST_SKIP() << "the sanitizers' own checks need the descriptors this test takes away";
#endif
    const pid_t renderer = startRenderer();
    const int port = renderers().at(0).liveLinkPort;
    // Room for two more descriptors: the third waiting client cannot be accepted.
    const rlim_t room = openDescriptors(renderer) + 2;
    const rlimit limit{room, room};
    ASSERT_EQ(::prlimit(renderer, RLIMIT_NOFILE, &limit, nullptr), 0) << std::strerror(errno);
    std::vector<int> clients;
    for (int i = 0; i < 6; ++i) {
        std::string error;
        clients.push_back(vxrenderer::connectLoopback("127.0.0.1", port, 1000, error));
        ASSERT_GE(clients.back(), 0) << error;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double before = processorSeconds(renderer);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double used = processorSeconds(renderer) - before;
    EXPECT_LT(used, 0.3) << "seconds of processor time in one second of waiting";
    for (const int fd : clients) ::close(fd);
    // The clients' queued connections are accepted once descriptors are free
    // again; a slow build may take a while to get there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (rendererLog().find("accepting connections again") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Then a scene goes through.
    const ProcessResult render = runProcess({VXHOST_PATH, "render", kStudio});
    EXPECT_NE((render.out + render.err).find(": done"), std::string::npos)
        << render.out << render.err;
    stopProcessGroup(renderer);
    const std::string log = rendererLog();
    EXPECT_NE(log.find("cannot accept a connection: Too many open files; accepting paused"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("accepting connections again"), std::string::npos) << log;
    EXPECT_EQ(savedScenes().size(), 1u);
}

TEST_F(LiveSecurity, TheRenderersRefusalReasonReachesTheConsole) {
    startRenderer({"--disk-reserve", "1000000000"});
    const ProcessResult render = runProcess({VXHOST_PATH, "render", kStudio});
    const std::string console = render.out + render.err;
    EXPECT_NE(console.find("Vantrix refused the scene: not enough free disk for the scene in "),
              std::string::npos)
        << console;
    EXPECT_EQ(console.find("Please check that Vantrix is still running"), std::string::npos)
        << console;
    EXPECT_TRUE(savedScenes().empty());
}

}  // namespace
}  // namespace vxtest
