// PreviewWorker: draws the renderer's model sets as pictures, on a thread of
// its own, so that receiving scenes never waits for a picture.
//
// Contract. The server submits each scene it saved, after it answered the
// client. The worker reads the saved file back (its arrays included; the
// server's own reading keeps none), makes the model set's whole scene from
// it (a Render: the scene itself; an Update: the scene it holds for that
// model set merged with the update, model_merge.h), renders it and writes
// the picture whole or not at all. Scenes are taken in the order submitted;
// a scene whose model set has a later scene waiting is merged but not drawn
// (the later picture supersedes it). The worker keeps the last whole scene
// it made, arrays included, for the kHeldScenes model sets drawn last:
// previews cost that memory; an Update of a model set dropped from them is
// drawn alone.
// forget() drops a model set whose scene could not be saved, so that a later
// Update is not merged into a stale one; an Update without a held scene is
// drawn alone, saying so. Every outcome is one line through `log` (plus one
// per render warning, at most a few): a failure never ends the renderer.
// Destruction drops the scenes still waiting and waits for the picture
// being drawn. Only one thread calls submit() and forget().
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace scenefile {
struct Document;
}

namespace vxrenderer {

struct PreviewSettings {
    bool enabled = false;
    int width = 640;   // pixels
    int height = 360;  // pixels
    int samples = 16;  // paths per pixel
};

struct PreviewJob {
    std::uint64_t scene = 0;  // the server's scene number
    std::string modelSet;
    bool update = false;
    std::string scenePath;    // the saved scene
    std::string picturePath;  // where the picture goes
};

class PreviewWorker {
public:
    static constexpr std::size_t kHeldScenes = 4;
    using Log = std::function<void(const std::string& line)>;

    PreviewWorker(PreviewSettings settings, Log log);
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    void submit(PreviewJob job);
    void forget(const std::string& modelSet);

private:
    struct Task {
        PreviewJob job;
        bool forget = false;
    };
    void work();
    void run(const PreviewJob& job, bool draw);
    // The model set's whole scene after `job`; null (after a log line) when none.
    std::shared_ptr<const scenefile::Document> build(const PreviewJob& job);
    void draw(const PreviewJob& job, const scenefile::Document& scene);

    PreviewSettings settings_;
    Log log_;
    struct Held {
        std::shared_ptr<const scenefile::Document> scene;
        std::uint64_t lastUse = 0;  // the scene number that made it
    };
    std::map<std::string, Held> held_;  // the worker thread's only
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> tasks_;
    bool ending_ = false;
    std::thread thread_;
};

// The picture's path for a saved scene: its name with ".png" for ".vxs".
std::string picturePathFor(const std::string& scenePath);

}  // namespace vxrenderer
