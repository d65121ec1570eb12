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
// until everything submitted was written and closes the file: true when
// every byte reached it, else false with the reason (the first failure; the
// bytes after it are dropped). discard() stops at once and removes the file;
// a saver destroyed unfinished discards. Only one thread calls the saver.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

    // Creates the file (replacing one of that name) and starts the writer.
    bool open(const std::string& path, std::string& error);
    const std::string& path() const { return path_; }

    std::unique_ptr<Buffer> take();
    void submit(std::unique_ptr<Buffer> buffer);
    bool finish(std::string& error);
    void discard();

private:
    void write();  // the writer thread
    void stop(bool abandon);

    std::size_t bufferSize_;
    std::size_t maxBuffers_;
    std::size_t buffers_ = 0;  // made so far
    std::string path_;
    int fd_ = -1;
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
