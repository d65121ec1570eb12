#include "renderer/renderer_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "renderer/instance_records.h"
#include "renderer/link_socket.h"
#include "renderer/link_token.h"
#include "renderer/model_sets.h"
#include "renderer/output_folder.h"
#include "renderer/scene_saver.h"
#include "scenefile/reader.h"

namespace vxrenderer {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBuffer = std::size_t{1} << 20;
// Receive buffers of a connection that are being written to its scene file
// at most, before it waits for the disk.
constexpr std::size_t kSaveBuffers = 8;
// Bytes taken from one connection before the others get their turn.
constexpr std::size_t kTurnBytes = std::size_t{8} << 20;
constexpr int kMaxPollMs = 250;
// Scene bytes between two looks at the free disk space.
constexpr std::uint64_t kDiskCheckBytes = std::uint64_t{4} << 20;
// The pause after a failed accept(), doubling while it keeps failing.
constexpr int kFirstAcceptPauseMs = 10;
constexpr int kLastAcceptPauseMs = 1000;

std::string mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string countsText(const Counts& c) {
    return "objects " + std::to_string(c.objects) + ", triangles " + std::to_string(c.triangles) +
           ", materials " + std::to_string(c.materials) + ", cameras " + std::to_string(c.cameras) +
           ", lights " + std::to_string(c.lights) + ", animations " + std::to_string(c.animations);
}

// A file name part from a model set name: letters, digits, '.', '-', '_'.
std::string safeName(const std::string& name) {
    std::string out;
    for (const char c : name.substr(0, 64)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += plain ? c : '_';
    }
    return out.empty() || out[0] == '.' ? "scene" + out : out;
}

// A name on one log line: control characters become blanks.
std::string printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return text;
}

}  // namespace

struct RendererServer::Connection {
    enum class Phase { hello, header, body };

    std::uint64_t number = 0;
    int fd = -1;
    std::string peer;
    Phase phase = Phase::hello;
    std::string line;
    std::uint64_t bodyLeft = 0;
    scenefile::TreeBuilder builder;
    // The model sets keep names and counts, never array values: the reader
    // checks the arrays and counts them without storing them.
    scenefile::StreamReader reader{builder, scenefile::ReaderOptions{.keepBinaryValues = false}};
    std::unique_ptr<SceneSaver> saver;              // null: the scene is not saved
    std::unique_ptr<SceneSaver::Buffer> receiving;  // the saver's buffer being received into
    std::uint64_t bytes = 0;
    std::uint64_t nextDiskCheck = 0;  // scene bytes at which to look at the disk again
    unsigned long clientId = 0;
    Clock::time_point start = Clock::now();
    Clock::time_point lastActivity = Clock::now();
};

struct RendererServer::State {
    ModelSets models;
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<char> buffer = std::vector<char>(kReadBuffer);
    Clock::time_point idleSince = Clock::now();
    std::unique_ptr<PreviewWorker> previews;  // null: previews off
};

RendererServer::RendererServer(ServerOptions options)
    : options_(std::move(options)), pid_(::getpid()), state_(std::make_unique<State>()) {
    std::string error;
    if (!prepareOutputFolder(options_.outputFolder, error)) {
        log("cannot use the output folder " + options_.outputFolder + ": " + error);
        return;
    }
    log_ = openLog(options_.outputFolder + "/vxrenderer.log", error);
    if (log_ == nullptr) {
        log("cannot write " + options_.outputFolder + "/vxrenderer.log: " + error);
    }
    if (const int removed = removeStaleIncoming(options_.outputFolder); removed > 0) {
        log("removed " + std::to_string(removed) +
            " partial scene file(s) of renderers that ended while receiving");
    }
    if (options_.preview.enabled) {
        try {
            state_->previews = std::make_unique<PreviewWorker>(
                options_.preview, [this](const std::string& line) { log(line); });
        } catch (const std::system_error& e) {
            log(std::string("previews off: no thread to draw them with: ") + e.what());
        }
    }
}

RendererServer::~RendererServer() {
    // The worker logs until it is gone.
    state_->previews.reset();
    for (auto& c : state_->connections) close(*c);
    unpublish();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (log_ != nullptr) std::fclose(log_);
}

void RendererServer::log(const std::string& line) {
    const std::string text = "vxrenderer[" + std::to_string(pid_) + "]: " + line + "\n";
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    if (log_ != nullptr) {
        std::fputs(text.c_str(), log_);
        std::fflush(log_);
    }
}

bool RendererServer::start() {
    std::string reasons;
    token_ = vxrenderer::newToken(reasons);
    if (token_.empty()) {
        log("cannot make the instance's token: " + reasons);
        return false;
    }
    for (long long port = options_.firstPort; port <= options_.lastPort; ++port) {
        std::string error;
        listenFd_ = vxrenderer::listenLoopback(static_cast<int>(port), error);
        if (listenFd_ >= 0) {
            port_ = port == 0 ? vxrenderer::boundPort(listenFd_) : static_cast<int>(port);
            break;
        }
        reasons += (reasons.empty() ? "" : "; ") + error;
    }
    if (listenFd_ < 0) {
        log("no free live-link port from " + std::to_string(options_.firstPort) + " to " +
            std::to_string(options_.lastPort) + (reasons.empty() ? "" : " (" + reasons + ")"));
        return false;
    }
    publish();
    log("listening on 127.0.0.1:" + std::to_string(port_) + " (version " +
        std::to_string(options_.versionMajor) + "), scenes saved in " + options_.outputFolder +
        (state_->previews == nullptr
             ? std::string()
             : "; previews of " + std::to_string(options_.preview.width) + " x " +
                   std::to_string(options_.preview.height) + " pixels, " +
                   std::to_string(options_.preview.samples) + " paths per pixel"));
    return true;
}

void RendererServer::publish() {
    const std::string& folder = options_.instanceFolder;
    // The description first: whoever finds the record finds the description.
    vxrenderer::replaceFile(vxrenderer::sceneDescriptionPath(folder, pid_),
                            state_->models.describe());
    if (!vxrenderer::writeRecord(folder, {options_.versionMajor, pid_, port_, token_})) {
        log("cannot publish the instance record in " + folder);
    }
}

void RendererServer::unpublish() {
    if (port_ == 0) return;
    ::unlink(vxrenderer::recordPath(options_.instanceFolder, pid_).c_str());
    ::unlink(vxrenderer::sceneDescriptionPath(options_.instanceFolder, pid_).c_str());
    port_ = 0;
}

int RendererServer::run(const std::atomic<bool>& stop) {
    State& s = *state_;
    while (!stop) {
        // While accepting is paused the listening socket is left out (a
        // negative descriptor is ignored by poll) and the wait ends in time.
        int waitMs = kMaxPollMs;
        if (acceptPauseMs_ > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(acceptAgainAt_ -
                                                                                    Clock::now());
            waitMs = std::clamp(static_cast<int>(left.count()) + 1, 0, waitMs);
        }
        const bool accepting = acceptPauseMs_ == 0 || Clock::now() >= acceptAgainAt_;
        std::vector<pollfd> fds{{accepting ? listenFd_ : -1, POLLIN, 0}};
        for (const auto& c : s.connections) {
            fds.push_back({c->fd, POLLIN, 0});
            const auto left = std::chrono::milliseconds(options_.timeoutMs) -
                              std::chrono::duration_cast<std::chrono::milliseconds>(
                                  Clock::now() - c->lastActivity);
            waitMs = std::clamp(static_cast<int>(left.count()) + 1, 0, waitMs);
        }
        if (::poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR) {
            log(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if ((fds[0].revents & POLLIN) || (accepting && acceptPauseMs_ > 0)) accept();
        for (std::size_t i = 1; i < fds.size(); ++i) {
            Connection& c = *s.connections[i - 1];
            if (fds[i].revents != 0 && c.fd >= 0) serve(c);
        }
        for (auto& c : s.connections) {
            if (c->fd >= 0 && secondsSince(c->lastActivity) * 1000 >= options_.timeoutMs) {
                char limit[32];
                std::snprintf(limit, sizeof limit, "%g", options_.timeoutMs / 1000.0);
                fail(*c, std::string("the client sent nothing for ") + limit + " s");
            }
        }
        std::erase_if(s.connections, [](const auto& c) { return c->fd < 0; });
        if (!s.connections.empty()) s.idleSince = Clock::now();
        if (options_.exitWhenIdleMs > 0 && s.connections.empty() &&
            secondsSince(s.idleSince) * 1000 >= options_.exitWhenIdleMs) {
            log("no client for " + std::to_string(options_.exitWhenIdleMs / 1000) + " s; ending");
            break;
        }
    }
    unpublish();
    log("ended after " + std::to_string(scenes_) + " scene(s)");
    return 0;
}

void RendererServer::accept() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (acceptPauseMs_ > 0) log("accepting connections again");
                acceptPauseMs_ = 0;
                return;
            }
            // Out of descriptors or memory, or a failure the system may
            // clear: the connection waits in the queue meanwhile.
            pauseAccepting(errno);
            return;
        }
        if (acceptPauseMs_ > 0) log("accepting connections again");
        acceptPauseMs_ = 0;
        auto c = std::make_unique<Connection>();
        c->number = ++connections_;
        c->fd = fd;
        char address[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
        c->peer = std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
        const std::string greeting = "vxlink " + std::to_string(vxrenderer::kProtocolVersion) +
                                     " vxrenderer " + std::to_string(options_.versionMajor) + " " +
                                     std::to_string(pid_) + "\n";
        // A fresh socket takes a few bytes at once; one that does not is not served.
        if (::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(greeting.size())) {
            ::close(fd);
            continue;
        }
        state_->connections.push_back(std::move(c));
    }
}

void RendererServer::pauseAccepting(int error) {
    if (acceptPauseMs_ == 0) {
        log(std::string("cannot accept a connection: ") + std::strerror(error) +
            "; accepting paused for " + std::to_string(kFirstAcceptPauseMs) +
            " ms, doubling up to " + std::to_string(kLastAcceptPauseMs) + " ms while it fails");
    }
    acceptPauseMs_ = acceptPauseMs_ == 0 ? kFirstAcceptPauseMs
                                         : std::min(acceptPauseMs_ * 2, kLastAcceptPauseMs);
    acceptAgainAt_ = Clock::now() + std::chrono::milliseconds(acceptPauseMs_);
}

void RendererServer::serve(Connection& c) {
    std::size_t taken = 0;
    while (c.fd >= 0 && taken < kTurnBytes) {
        // A connection that saves receives into the saver's buffers, which
        // then go to the disk as they are; the shared buffer serves the others.
        char* buffer = state_->buffer.data();
        std::size_t room = kReadBuffer;
        if (c.saver != nullptr) {
            c.receiving = c.saver->take();
            buffer = c.receiving->data();
            room = c.receiving->size();
        }
        const ssize_t n = ::recv(c.fd, buffer, room, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            handOver(c);
            return;
        }
        if (n <= 0) {
            const std::string why = n == 0 ? "the client closed the connection"
                                           : std::string("recv: ") + std::strerror(errno);
            if (c.bytes > 0 || c.phase == Connection::Phase::body) {
                fail(c, why + " in the middle of a scene");
            } else {
                log("connection " + std::to_string(c.number) + " from " + c.peer + ": " + why +
                    " before sending a scene");
                close(c);
            }
            return;
        }
        c.lastActivity = Clock::now();
        taken += static_cast<std::size_t>(n);
        const std::size_t size = static_cast<std::size_t>(n);
        std::size_t pos = 0;
        while (pos < size && c.fd >= 0) {
            if (c.phase == Connection::Phase::body) {
                const std::size_t k =
                    static_cast<std::size_t>(std::min<std::uint64_t>(c.bodyLeft, size - pos));
                try {
                    c.reader.feed(std::string_view(buffer + pos, k));
                } catch (const std::exception& e) {
                    fail(c, std::string("the scene does not read: ") + e.what());
                    return;
                }
                save(c, buffer, pos, k);
                c.bytes += k;
                c.bodyLeft -= k;
                pos += k;
                if (c.bodyLeft == 0) c.phase = Connection::Phase::header;
                continue;
            }
            const char* end = static_cast<const char*>(std::memchr(buffer + pos, '\n', size - pos));
            const std::size_t k =
                end != nullptr ? static_cast<std::size_t>(end - (buffer + pos)) : size - pos;
            if (c.line.size() + k > vxrenderer::kMaxLine) {
                fail(c, "a message line longer than " + std::to_string(vxrenderer::kMaxLine) +
                            " bytes: not a live-link client");
                return;
            }
            c.line.append(buffer + pos, k);
            pos += k;
            if (end != nullptr) {
                ++pos;
                const std::string line = std::move(c.line);
                c.line.clear();
                // After the scene's end (or a failure) the connection is
                // closed and `buffer` may be gone: the loop ends here then.
                handleLine(c, line);
            }
        }
        handOver(c);
        if (!checkDisk(c)) return;
    }
}

std::string RendererServer::diskShortage() const {
    DiskSpace space;
    std::string error;
    // A filesystem that cannot be asked is not taken to be full; the writes
    // themselves then say whether there is room.
    if (!diskSpace(options_.outputFolder, space, error)) return {};
    const std::uint64_t reserve = diskReserve(options_.diskReserveBytes, space);
    if (space.available >= reserve) return {};
    return "not enough free disk for the scene in " + options_.outputFolder + ": " +
           mebibytes(space.available) + " free, " + mebibytes(reserve) + " kept free";
}

bool RendererServer::checkDisk(Connection& c) {
    if (c.fd < 0 || c.saver == nullptr || c.bytes < c.nextDiskCheck) return true;
    c.nextDiskCheck = c.bytes + kDiskCheckBytes;
    const std::string shortage = diskShortage();
    if (shortage.empty()) return true;
    fail(c, shortage);  // drops the partial file
    return false;
}

void RendererServer::save(Connection& c, const char* buffer, std::size_t offset,
                          std::size_t length) {
    if (c.saver == nullptr) return;
    if (c.receiving != nullptr && buffer == c.receiving->data()) {
        c.receiving->keep(offset, length);
        return;
    }
    // Scene bytes that came in the shared buffer, with the line that opened
    // the file: copied into buffers of the saver's.
    while (length > 0) {
        std::unique_ptr<SceneSaver::Buffer> copy = c.saver->take();
        const std::size_t k = std::min(length, copy->size());
        std::memcpy(copy->data(), buffer + offset, k);
        copy->keep(0, k);
        c.saver->submit(std::move(copy));
        offset += k;
        length -= k;
    }
}

void RendererServer::handOver(Connection& c) {
    if (c.receiving != nullptr && c.saver != nullptr) c.saver->submit(std::move(c.receiving));
    c.receiving.reset();
}

void RendererServer::handleLine(Connection& c, const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (c.phase == Connection::Phase::hello) {
        if (word != "client" || !(words >> c.clientId)) {
            fail(c, "no client greeting: not a live-link client");
            return;
        }
        greet(c, words);
        return;
    }
    std::uint64_t size = 0;
    if (word == "data" && (words >> size) && size > 0 && size <= vxrenderer::kMaxFrame) {
        c.bodyLeft = size;
        c.phase = Connection::Phase::body;
    } else if (word == "end" && line == "end") {
        endScene(c);
    } else {
        fail(c, "unexpected message \"" + line.substr(0, 40) + "\"");
    }
}

void RendererServer::greet(Connection& c, std::istringstream& words) {
    std::string token;
    words >> token;
    if (!vxrenderer::tokensMatch(token, token_)) {
        fail(c, token.empty() ? "refused: the client presented no token; this renderer serves "
                                "only its own user"
                              : "refused: the client presented a wrong token; this renderer "
                                "serves only its own user");
        return;
    }
    c.phase = Connection::Phase::header;
    if (const std::string shortage = diskShortage(); !shortage.empty()) {
        fail(c, shortage);
        return;
    }
    c.nextDiskCheck = kDiskCheckBytes;
    // Named only once complete; the name here only gives the folder.
    const std::string path = options_.outputFolder + "/.incoming-" + std::to_string(pid_) + "-" +
                             std::to_string(c.number) + ".vxs";
    auto saver = std::make_unique<SceneSaver>(kReadBuffer, kSaveBuffers);
    std::string error;
    if (saver->open(path, error)) {
        c.saver = std::move(saver);
    } else {
        log("cannot save scenes in " + options_.outputFolder + ": " + error);
    }
}

void RendererServer::endScene(Connection& c) {
    scenefile::Document document;
    try {
        c.reader.finish();
        document = c.builder.take();
    } catch (const std::exception& e) {
        fail(c, std::string("the scene does not read: ") + e.what());
        return;
    }
    const Applied applied = state_->models.apply(document);
    const std::uint64_t number = ++scenes_;
    std::string saved = "not saved";
    PreviewJob picture{number, applied.name, applied.update, {}, {}};
    if (c.saver != nullptr) {
        // The answer waits until the whole scene is in its file, under its name.
        handOver(c);
        std::string error;
        const std::string path = options_.outputFolder + "/scene-" + std::to_string(pid_) + "-" +
                                 std::to_string(number) + "-" + safeName(applied.name) + ".vxs";
        if (c.saver->finish(path, error)) {
            saved = "saved " + path;
            picture.scenePath = path;
            picture.picturePath = picturePathFor(path);
        } else {
            log("connection " + std::to_string(c.number) + ": cannot save to " + path + ": " +
                error);
        }
        c.saver.reset();
    }
    publish();
    if (state_->previews != nullptr) {
        saved += picture.scenePath.empty() ? "; no preview (the scene was not saved)"
                                           : "; preview " + picture.picturePath;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", secondsSince(c.start));
    log("scene " + std::to_string(number) + " \"" + printable(applied.name) + "\" (" +
        (applied.update ? "update" : "render") + ") from client " + std::to_string(c.clientId) +
        ": " + countsText(applied.scene) + ", bytes " + std::to_string(c.bytes) + ", seconds " +
        seconds + "; model set: " + countsText(applied.modelSet) + "; " + saved);
    const std::string answer =
        "ok " + std::to_string(number) + " " + std::to_string(c.bytes) + "\n";
    // A few bytes on a socket the client only wrote to: they go out at once,
    // or the client is not waited for.
    if (::send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
        static_cast<ssize_t>(answer.size())) {
        log("connection " + std::to_string(c.number) +
            ": the answer did not go out: " + std::strerror(errno));
    }
    close(c);
    // Drawn after the answer: the client never waits for a picture.
    if (state_->previews == nullptr) return;
    if (picture.scenePath.empty()) {
        state_->previews->forget(applied.name);
    } else {
        state_->previews->submit(std::move(picture));
    }
}

void RendererServer::fail(Connection& c, const std::string& reason) {
    if (c.fd < 0) return;
    log("connection " + std::to_string(c.number) + " from " + c.peer + ": " + reason +
        "; connection ended" +
        (c.bytes > 0 ? ", scene discarded (" + std::to_string(c.bytes) + " bytes received)" : ""));
    // One try at telling the client why; a client that does not read is not waited for.
    const std::string message = "error " + reason + "\n";
    [[maybe_unused]] const ssize_t sent =
        ::send(c.fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(c);
}

void RendererServer::close(Connection& c) {
    c.receiving.reset();
    c.saver.reset();  // an unfinished scene's file is removed
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
}

}  // namespace vxrenderer
