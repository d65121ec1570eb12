// RendererServer: the stand-in renderer's live-link side. It listens on
// 127.0.0.1, publishes its instance record and scene description, receives
// scenes from any number of clients at once, parses them with the scene
// reader as they arrive, keeps the model sets, saves every complete scene
// as a scene file and writes one summary line per scene.
//
// Contract. run() serves until stop() is asked (a signal handler may ask)
// or, with `exitWhenIdleMs`, until no client was connected for that long; it
// then removes the instance record and scene description. Only the
// renderer's own user is served: every client must present the token of the
// instance record (owner-only, see instance_records.h) in its greeting; any
// other is refused with a message and a log line, before it can touch the
// model sets or the disk. A scene is refused, and its partial file dropped,
// as soon as the output folder's filesystem has less than the disk reserve
// free (output_folder.h); there is no other limit on a scene's size. When
// accept() fails (no descriptors, no memory) the renderer stops accepting
// for 10 ms, doubling up to 1 s while it keeps failing, instead of spinning.
// Partial scenes left by renderers that were killed are removed at start.
// Each connection has a time limit: a client that sends nothing for `timeoutMs`, closes in
// the middle of a scene, sends something that is not a scene, or does not
// take the renderer's answer, ends only its own connection, with a message
// in the log; its partial scene is discarded and no file is left of it.
// Messages go to the standard output and to "vxrenderer.log" in the output
// folder. The saved file holds exactly the bytes received: the scene file
// that the file writer would write for the same calls, less the header
// lines only the file factory writes. A thread per connection writes it
// while the scene arrives (SceneSaver); everything else, parsing included,
// runs on the thread of run(). The answer "ok" goes out once the scene was
// read, applied, and written completely under its final name.
// With previews on, each saved scene's model set is then drawn as a picture
// beside the scene file, "NAME.png" for "NAME.vxs", by a PreviewWorker
// (preview_worker.h): the summary line names the picture to come, a later
// line says how its drawing went.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

#include "renderer/preview_worker.h"

namespace vxrenderer {

struct ServerOptions {
    int firstPort = 0;
    int lastPort = 0;
    int versionMajor = 8;
    std::string outputFolder;
    std::string instanceFolder;
    int timeoutMs = 60000;
    int exitWhenIdleMs = 0;  // 0: serve until stopped
    // Bytes of the output filesystem kept free; negative: the default rule.
    std::int64_t diskReserveBytes = -1;
    PreviewSettings preview;  // off unless enabled
};

class RendererServer {
public:
    explicit RendererServer(ServerOptions options);
    ~RendererServer();
    RendererServer(const RendererServer&) = delete;
    RendererServer& operator=(const RendererServer&) = delete;

    // Binds the first free port of the range and publishes the instance.
    // False (with a message written) when no port could be bound.
    bool start();
    // Serves until stopped; answers the process exit status.
    int run(const std::atomic<bool>& stop);
    int port() const { return port_; }

    void log(const std::string& line);

private:
    struct Connection;
    void accept();
    void serve(Connection& c);
    void handleLine(Connection& c, const std::string& line);
    void greet(Connection& c, std::istringstream& words);
    // Empty while the output filesystem has its reserve free, else why not.
    std::string diskShortage() const;
    // Every kDiskCheckBytes of a scene being saved: false (the connection
    // failed) when the disk is below its reserve.
    bool checkDisk(Connection& c);
    // After accept() failed with `error`: no accepting for a while.
    void pauseAccepting(int error);
    // Scene bytes at `buffer` + `offset` for the connection's file.
    void save(Connection& c, const char* buffer, std::size_t offset, std::size_t length);
    // The buffer received into goes to the saver with the scene bytes marked in it.
    void handOver(Connection& c);
    void endScene(Connection& c);
    void fail(Connection& c, const std::string& reason);
    void close(Connection& c);
    void publish();
    void unpublish();

    ServerOptions options_;
    int listenFd_ = -1;
    int port_ = 0;
    std::int64_t pid_ = 0;
    std::string token_;
    int acceptPauseMs_ = 0;  // 0: accepting
    std::chrono::steady_clock::time_point acceptAgainAt_;
    std::uint64_t connections_ = 0;
    std::uint64_t scenes_ = 0;
    std::FILE* log_ = nullptr;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vxrenderer
