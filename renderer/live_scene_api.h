// LiveSceneApi: the live-link library's scene API. It is the scene file
// writer itself, run over a stream that goes to the renderer's socket, so the
// renderer receives exactly the bytes the file writer would write for the
// same calls.
//
// Contract. Before connect() nothing is sent: id() keeps the client id for
// the greeting, every other statement is dropped. connect() reaches a
// renderer on a loopback address and port and exchanges greetings, in which
// it presents the renderer's token from the instance record of the process
// the renderer names; it fails, sending nothing, when this user has no
// record of that process naming that port (another user's renderer). The
// attempt mode is accepted and not used: every attempt has the same time
// limits. Statements are then buffered (1 MiB) and sent in data frames.
// disconnect() sends what is buffered and the end of the scene, and waits
// for the renderer's verdict: true only when the renderer took the whole
// scene. A renderer that died, refused the scene or stopped reading breaks
// the link: the following statements are dropped at once (the exporter runs
// to its end without waiting), and disconnect() answers false. Waits are
// bounded (timeouts in link_socket.h). Nothing throws out of here.
#pragma once

#include <cstdio>
#include <string>

#include "sceneapi/scene_api_file.h"

namespace vxrenderer {

// The stream half, constructed before the writer that writes into it.
class LinkChannel {
public:
    LinkChannel();
    ~LinkChannel();
    LinkChannel(const LinkChannel&) = delete;
    LinkChannel& operator=(const LinkChannel&) = delete;

protected:
    static ssize_t writeToLink(void* cookie, const char* bytes, std::size_t size);
    bool sendFrame(const char* bytes, std::size_t size);
    void breakLink(const std::string& reason);

    std::FILE* file_ = nullptr;
    int fd_ = -1;
    bool broken_ = false;
    std::string reason_;   // why the link broke or failed, for diagnostics
    std::string refusal_;  // the renderer's own "error" reason, when it gave one
    int stallMs_;
};

class LiveSceneApi final : private LinkChannel, public tal::talScene_api_file {
public:
    LiveSceneApi();
    ~LiveSceneApi() override;

    bool connect(const char* host, int port, int attemptMode) override;
    bool disconnect() override;
    void id(unsigned int id) override;

    const std::string& lastReason() const { return reason_; }
    // Why the renderer refused the last scene, in its own words; empty when
    // it gave no reason (it died, stopped reading, or took the scene).
    const std::string& lastRefusal() const { return refusal_; }

private:
    void closeSocket();
    unsigned int clientId_ = 0;
};

}  // namespace vxrenderer
