// livelink_probe PORT: tries to get a scene into the renderer on PORT the two
// ways a stranger could, and says how each ended: through the live-link
// library (which presents a token only from this user's own instance
// records), and by hand with a token of its own making. Exit status 0 when
// both were refused, 1 when the renderer took a scene, 2 for usage errors.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "renderer/link_socket.h"
#include "renderer/link_token.h"
#include "renderer/live_scene_api.h"

namespace {

bool libraryRefused(int port) {
    vxrenderer::LiveSceneApi live;
    if (live.connect("127.0.0.1", port, 1)) {
        live.beginGroup("stranger", true);
        live.endGroup();
        if (live.disconnect()) return false;
    }
    std::printf("library: %s\n", live.lastReason().c_str());
    return true;
}

bool guessRefused(int port) {
    std::string error;
    const int fd = vxrenderer::connectLoopback("127.0.0.1", port, 2000, error);
    std::string line;
    if (fd < 0 || !vxrenderer::readLine(fd, line, 2000, error)) {
        std::printf("guess: %s\n", error.c_str());
        return true;
    }
    const std::string scene = "group \"stranger\" {\n}\n";
    const std::string stream = "client 1 " + vxrenderer::newToken(error) + "\ndata " +
                               std::to_string(scene.size()) + "\n" + scene + "end\n";
    vxrenderer::sendAll(fd, stream.data(), stream.size(), 2000, error);
    line.clear();
    vxrenderer::readLine(fd, line, 2000, error);
    ::close(fd);
    std::printf("guess: %s\n", line.c_str());
    return line.rfind("ok", 0) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: livelink_probe PORT\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const bool library = libraryRefused(port);
    const bool guess = guessRefused(port);
    return library && guess ? 0 : 1;
}
