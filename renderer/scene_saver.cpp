#include "renderer/scene_saver.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/regular_file.h"

namespace vxrenderer {

void SceneSaver::Buffer::keep(std::size_t offset, std::size_t length) {
    if (length == 0) return;
    if (!kept_.empty() && kept_.back().offset + kept_.back().length == offset) {
        kept_.back().length += length;
    } else {
        kept_.push_back({offset, length});
    }
}

SceneSaver::SceneSaver(std::size_t bufferSize, std::size_t buffers)
    : bufferSize_(bufferSize), maxBuffers_(buffers < 1 ? 1 : buffers) {}

SceneSaver::~SceneSaver() {
    if (fd_ >= 0) discard();
}

bool SceneSaver::open(const std::string& path, std::string& error) {
    // A FIFO or device in the way would be written in place (and a FIFO
    // waited on): refused before it is opened.
    if (const std::string kind = platform::nonRegularKind(path); !kind.empty()) {
        error = "is " + kind;
        return false;
    }
    // Scenes are the user's: owner-only whatever the folder and the umask.
    if (!file_.open(path, error, platform::AtomicFileOptions{0600, true})) return false;
    if (file_.inPlace()) {
        file_.discard();
        error = "not a regular file";
        return false;
    }
    fd_ = file_.fd();
    try {
        writer_ = std::thread([this] { write(); });
    } catch (const std::system_error& e) {
        error = std::string("no thread to write with: ") + e.what();
        file_.discard();
        fd_ = -1;
        return false;
    }
    return true;
}

std::unique_ptr<SceneSaver::Buffer> SceneSaver::take() {
    std::unique_lock lock(mutex_);
    if (free_.empty() && buffers_ < maxBuffers_) {
        ++buffers_;
        lock.unlock();
        return std::make_unique<Buffer>(bufferSize_);
    }
    changed_.wait(lock, [&] { return !free_.empty(); });
    std::unique_ptr<Buffer> buffer = std::move(free_.back());
    free_.pop_back();
    return buffer;
}

void SceneSaver::submit(std::unique_ptr<Buffer> buffer) {
    std::lock_guard lock(mutex_);
    if (buffer->kept_.empty()) {
        free_.push_back(std::move(buffer));
    } else {
        queued_.push_back(std::move(buffer));
    }
    changed_.notify_all();
}

void SceneSaver::write() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !queued_.empty() || ending_; });
        if (queued_.empty() || abandon_) return;
        std::unique_ptr<Buffer> buffer = std::move(queued_.front());
        queued_.pop_front();
        const bool failed = !failure_.empty();
        lock.unlock();
        std::string problem;
        for (const Buffer::Range& r : buffer->kept_) {
            const char* p = buffer->data() + r.offset;
            std::size_t left = failed ? 0 : r.length;
            while (left > 0) {
                const ssize_t n = ::write(fd_, p, left);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    problem = n < 0 ? std::strerror(errno) : "nothing written";
                    break;
                }
                p += n;
                left -= static_cast<std::size_t>(n);
            }
            if (!problem.empty()) break;
        }
        buffer->kept_.clear();
        lock.lock();
        if (failure_.empty() && !problem.empty()) failure_ = problem;
        free_.push_back(std::move(buffer));
        changed_.notify_all();
    }
}

void SceneSaver::stop(bool abandon) {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        abandon_ = abandon;
    }
    changed_.notify_all();
    if (writer_.joinable()) writer_.join();
}

bool SceneSaver::finish(const std::string& path, std::string& error) {
    if (fd_ < 0) {
        error = "no file open";
        return false;
    }
    stop(false);
    fd_ = -1;
    if (!failure_.empty()) {
        error = failure_;
        file_.discard();
        return false;
    }
    return file_.commitAs(path, error);
}

void SceneSaver::discard() {
    stop(true);
    fd_ = -1;
    file_.discard();
}

}  // namespace vxrenderer
