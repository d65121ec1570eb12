#include "renderer/live_scene_api.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>

#include "renderer/instance_records.h"
#include "renderer/link_socket.h"

namespace vxrenderer {

namespace {

// Time limits of the client, in milliseconds.
constexpr int kConnectMs = 2000;
constexpr int kDefaultAnswerMs = 15000;

int answerMs() { return timeoutFromEnvironment(kDefaultAnswerMs); }

}  // namespace

LinkChannel::LinkChannel() : stallMs_(answerMs()) {
    const cookie_io_functions_t functions{nullptr, &LinkChannel::writeToLink, nullptr, nullptr};
    file_ = ::fopencookie(this, "w", functions);
    // The writer hands over whole blocks of its own: no second buffer.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
}

LinkChannel::~LinkChannel() {
    fd_ = -1;  // whatever is still buffered has nowhere to go
    if (file_ != nullptr) std::fclose(file_);
}

ssize_t LinkChannel::writeToLink(void* cookie, const char* bytes, std::size_t size) {
    auto* channel = static_cast<LinkChannel*>(cookie);
    // Unconnected or broken: the bytes are dropped, and the stream stays
    // usable, so the exporter goes on at full speed to its end.
    if (channel->fd_ >= 0 && !channel->broken_) {
        for (std::size_t done = 0; done < size && !channel->broken_;) {
            const std::size_t piece = std::min(size - done, kClientFrame);
            channel->sendFrame(bytes + done, piece);
            done += piece;
        }
    }
    return static_cast<ssize_t>(size);
}

bool LinkChannel::sendFrame(const char* bytes, std::size_t size) {
    char header[32];
    const int length = std::snprintf(header, sizeof header, "data %zu\n", size);
    std::string error;
    if (!sendAll(fd_, header, static_cast<std::size_t>(length), stallMs_, error) ||
        !sendAll(fd_, bytes, size, stallMs_, error)) {
        breakLink(error);
        return false;
    }
    return true;
}

void LinkChannel::breakLink(const std::string& reason) {
    broken_ = true;
    reason_ = reason;
    // The renderer may have said why before it went.
    std::string line;
    std::string ignored;
    if (readLine(fd_, line, 1, ignored) && line.rfind("error ", 0) == 0) {
        reason_ = line.substr(6);
        refusal_ = reason_;
    }
}

LiveSceneApi::LiveSceneApi() : LinkChannel(), talScene_api_file(LinkChannel::file_, true) {}

LiveSceneApi::~LiveSceneApi() { closeSocket(); }

namespace {

// The token of the renderer process `processId` listening on `port`, from
// its record, which only this user can read; empty when there is none. A
// record that names another port is not that listener's: the token is never
// shown to a process that merely claims a renderer's process id.
std::string tokenFor(std::int64_t processId, int port) {
    const std::string folder = instanceFolder();
    if (folder.empty()) return {};
    const std::optional<InstanceRecord> record = liveRecord(folder, processId);
    return record && record->liveLinkPort == port ? record->token : std::string();
}

}  // namespace

bool LiveSceneApi::connect(const char* host, int port, int /*attemptMode*/) {
    if (fd_ >= 0) return !broken_;
    if (file_ == nullptr) return false;
    std::string error;
    const int fd = connectLoopback(host, port, kConnectMs, error);
    if (fd < 0) {
        reason_ = error;
        return false;
    }
    // The renderer speaks first: "vxlink <protocol> vxrenderer <major> <pid>".
    std::string greeting;
    if (!readLine(fd, greeting, stallMs_, error)) {
        reason_ = "no greeting: " + error;
        ::close(fd);
        return false;
    }
    std::istringstream words(greeting);
    std::string word;
    std::string program;
    int protocol = 0;
    int major = 0;
    std::int64_t processId = 0;
    if (!(words >> word) || word != "vxlink" || !(words >> protocol) ||
        protocol != kProtocolVersion || !(words >> program >> major >> processId)) {
        reason_ = "not a renderer of this protocol: " + greeting.substr(0, 80);
        ::close(fd);
        return false;
    }
    const std::string token = tokenFor(processId, port);
    if (token.empty()) {
        reason_ = "the renderer on port " + std::to_string(port) + " (process " +
                  std::to_string(processId) +
                  ") is not one of this user's: no instance record "
                  "of it names that port";
        ::close(fd);
        return false;
    }
    const std::string hello = "client " + std::to_string(clientId_) + " " + token + "\n";
    if (!sendAll(fd, hello.data(), hello.size(), stallMs_, error)) {
        reason_ = error;
        ::close(fd);
        return false;
    }
    flushOutput();
    std::fflush(file_);  // drops anything written before the link stood
    std::clearerr(file_);
    fd_ = fd;
    broken_ = false;
    reason_.clear();
    refusal_.clear();
    return true;
}

bool LiveSceneApi::disconnect() {
    if (fd_ < 0) return false;
    flushOutput();
    std::fflush(file_);
    bool complete = false;
    if (!broken_) {
        std::string error;
        std::string answer;
        static constexpr char kEnd[] = "end\n";
        if (!sendAll(fd_, kEnd, sizeof kEnd - 1, stallMs_, error) ||
            !readLine(fd_, answer, stallMs_, error)) {
            reason_ = error;
        } else if (answer.rfind("ok", 0) == 0) {
            complete = true;
        } else if (answer.rfind("error ", 0) == 0) {
            reason_ = answer.substr(6);
            refusal_ = reason_;
        } else {
            reason_ = "an answer that is not of this protocol: " + answer.substr(0, 80);
        }
    }
    closeSocket();
    return complete;
}

void LiveSceneApi::id(unsigned int id) {
    if (fd_ < 0) {
        clientId_ = id;
        return;
    }
    talScene_api_file::id(id);
}

void LiveSceneApi::closeSocket() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    broken_ = false;
}

}  // namespace vxrenderer
