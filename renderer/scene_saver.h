// SceneSaver: writes one connection's scene to its file on a thread of its
// own, while the connection goes on receiving and parsing the next bytes.
//
// Contract. The receiving thread takes a buffer (take), receives into it,
// marks the ranges of it that belong to the scene (Buffer::keep) and hands
// it over (submit); from then on the buffer is the writer's until take()
// gives it out again. Ranges reach the file in the order submitted and
// kept, with write(2), so the file holds exactly the kept bytes. At most
// `buffers` buffers exist; take() waits while all of them are waiting for
// the disk, which bounds the memory a connection holds. finish() waits
// until everything submitted was written, closes the file and puts it under
// its final name, owner-only (0600): true when every byte reached it, else
// false with the reason (the first failure; the bytes after it are dropped)
// and no file. Until then the scene has no name in the folder where the
// system allows it (platform::AtomicFile), so even a SIGKILL leaves nothing;
// elsewhere a hidden temporary that names this process. discard() stops at
// once and drops the file; a saver destroyed unfinished discards. Only one
// thread calls the saver.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"

namespace vxrenderer {

class SceneSaver {
public:
    class Buffer {
    public:
        explicit Buffer(std::size_t size) : bytes_(new char[size]), size_(size) {}
        char* data() { return bytes_.get(); }
        std::size_t size() const { return size_; }
        void keep(std::size_t offset, std::size_t length);

    private:
        friend class SceneSaver;
        struct Range {
            std::size_t offset, length;
        };
        std::unique_ptr<char[]> bytes_;
        std::size_t size_;
        std::vector<Range> kept_;
    };

    SceneSaver(std::size_t bufferSize, std::size_t buffers);
    ~SceneSaver();
    SceneSaver(const SceneSaver&) = delete;
    SceneSaver& operator=(const SceneSaver&) = delete;

    // Creates the file for the folder of `path` and starts the writer.
    // Refuses a path that names something other than a regular file.
    bool open(const std::string& path, std::string& error);

    std::unique_ptr<Buffer> take();
    void submit(std::unique_ptr<Buffer> buffer);
    // `path`: the final name, in the folder of the path opened.
    bool finish(const std::string& path, std::string& error);
    void discard();

private:
    void write();  // the writer thread
    void stop(bool abandon);

    std::size_t bufferSize_;
    std::size_t maxBuffers_;
    std::size_t buffers_ = 0;  // made so far
    platform::AtomicFile file_;
    int fd_ = -1;  // file_'s, while the writer may use it
    std::thread writer_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Buffer>> queued_;  // for the writer, in order
    std::vector<std::unique_ptr<Buffer>> free_;   // written, ready for take()
    bool ending_ = false;                         // nothing more will be submitted
    bool abandon_ = false;                        // drop what is queued
    std::string failure_;                         // the writer's first failure
};

}  // namespace vxrenderer
