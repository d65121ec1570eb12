#include "renderer/preview_worker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>
#include <utility>

#include "preview/preview.h"
#include "renderer/model_merge.h"
#include "scenefile/reader.h"

namespace vxrenderer {

namespace {

// Render warnings logged per picture; the rest are counted.
constexpr std::size_t kWarningLines = 4;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string sceneTag(const PreviewJob& job) {
    return "scene " + std::to_string(job.scene) + " preview";
}

}  // namespace

std::string picturePathFor(const std::string& scenePath) {
    const std::string stem = scenePath.size() > 4 && scenePath.ends_with(".vxs")
                                 ? scenePath.substr(0, scenePath.size() - 4)
                                 : scenePath;
    return stem + ".png";
}

PreviewWorker::PreviewWorker(PreviewSettings settings, Log log)
    : settings_(settings), log_(std::move(log)), thread_([this] { work(); }) {}

PreviewWorker::~PreviewWorker() {
    std::size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        for (const Task& t : tasks_) dropped += t.forget ? 0 : 1;
        tasks_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (dropped > 0) log_("previews of " + std::to_string(dropped) + " scene(s) not drawn: ending");
}

void PreviewWorker::submit(PreviewJob job) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back({std::move(job), false});
    }
    changed_.notify_all();
}

void PreviewWorker::forget(const std::string& modelSet) {
    {
        std::lock_guard lock(mutex_);
        PreviewJob job;
        job.modelSet = modelSet;
        tasks_.push_back({std::move(job), true});
    }
    changed_.notify_all();
}

void PreviewWorker::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return ending_ || !tasks_.empty(); });
        if (ending_) return;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        const bool superseded = std::any_of(tasks_.begin(), tasks_.end(), [&](const Task& later) {
            return !later.forget && later.job.modelSet == task.job.modelSet;
        });
        lock.unlock();
        if (task.forget) {
            held_.erase(task.job.modelSet);
        } else {
            run(task.job, !superseded);
        }
        lock.lock();
    }
}

void PreviewWorker::run(const PreviewJob& job, bool drawIt) {
    // Nothing may escape the thread: a failure is this scene's log line.
    try {
        const std::shared_ptr<const scenefile::Document> scene = build(job);
        if (scene == nullptr) return;
        if (!drawIt) {
            log_(sceneTag(job) + " not drawn: a later scene of the model set came meanwhile");
            return;
        }
        draw(job, *scene);
    } catch (const std::exception& e) {
        log_(sceneTag(job) + " failed: " + e.what());
    }
}

std::shared_ptr<const scenefile::Document> PreviewWorker::build(const PreviewJob& job) {
    scenefile::Document read;
    try {
        read = scenefile::readSceneFile(job.scenePath);
    } catch (const std::exception& e) {
        // What the worker held for the model set no longer matches it.
        held_.erase(job.modelSet);
        log_(sceneTag(job) + " failed: cannot read " + job.scenePath + ": " + e.what());
        return nullptr;
    }
    const auto held = held_.find(job.modelSet);
    std::shared_ptr<const scenefile::Document> scene;
    if (job.update && held != held_.end()) {
        scene = std::make_shared<scenefile::Document>(
            mergeUpdate(*held->second.scene, std::move(read)));
    } else {
        if (job.update)
            log_(sceneTag(job) +
                 ": the model set's earlier scene is not at hand; the update is drawn alone");
        scene = std::make_shared<scenefile::Document>(std::move(read));
    }
    held_[job.modelSet] = {scene, job.scene};
    if (held_.size() > kHeldScenes) {
        held_.erase(std::min_element(held_.begin(), held_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        }));
    }
    return scene;
}

void PreviewWorker::draw(const PreviewJob& job, const scenefile::Document& scene) {
    preview::RenderOptions options;
    options.width = settings_.width;
    options.height = settings_.height;
    options.samples = settings_.samples;
    // One core stays with the connections.
    const unsigned cores = std::thread::hardware_concurrency();
    options.threads = cores > 1 ? cores - 1 : 1;
    const auto start = std::chrono::steady_clock::now();
    preview::RenderResult result;
    try {
        result = preview::renderScene(scene, folderOf(job.scenePath), options);
        preview::writePng(job.picturePath, result.image);
    } catch (const preview::RenderError& e) {
        log_(sceneTag(job) + " failed: " + e.what());
        return;
    }
    for (std::size_t i = 0; i < std::min(result.warnings.size(), kWarningLines); ++i)
        log_(sceneTag(job) + " warning: " + result.warnings[i]);
    if (result.warnings.size() > kWarningLines)
        log_(sceneTag(job) + ": " + std::to_string(result.warnings.size() - kWarningLines) +
             " more warning(s)");
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    log_(sceneTag(job) + ": wrote " + job.picturePath + " (" + std::to_string(result.image.width) +
         " x " + std::to_string(result.image.height) + ", " + std::to_string(options.samples) +
         " paths per pixel, " + seconds + " s)");
}

}  // namespace vxrenderer
