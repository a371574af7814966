// Writing PNG files on worker threads, so that the render thread hands a frame over and goes on
// rendering while zlib compresses it.
//
// The writer owns its worker threads, the queued images and a small pool of pixel buffers that
// finished images return to (so steady frames reuse their memory). At most `maxQueued` images
// wait at a time; submit() blocks while the queue is full. The first failed write is kept:
// later submits refuse to queue more, and finish() reports it. Call the public functions from one
// thread (the render thread); the workers never touch GL. The destructor finishes what is
// queued and joins the workers.
#pragma once

#include "Status.h"
#include "output/PngWriter.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ffglhost {

class AsyncPngWriter {
public:
    // `workers` threads (at least one); `maxQueued` images waiting at most (at least one).
    AsyncPngWriter(int workers, std::size_t maxQueued);
    ~AsyncPngWriter();
    AsyncPngWriter(const AsyncPngWriter&) = delete;
    AsyncPngWriter& operator=(const AsyncPngWriter&) = delete;

    // A buffer of `bytes` bytes for the next image: one a finished image gave back, when there
    // is one (its contents are stale).
    std::vector<unsigned char> buffer(std::size_t bytes);

    // Queues `rgba` (width * height * 4 bytes, rows in `order`) for writing to `path`; with
    // `opaque` every alpha byte is set to 255 first. Returns the failure of an earlier write,
    // if any, and then queues nothing.
    Status submit(std::string path, int width, int height, std::vector<unsigned char> rgba, RowOrder order,
                  bool opaque);

    // Waits until every queued image is written; the first failure, if any.
    Status finish();

private:
    struct Job {
        std::string path;
        int width = 0;
        int height = 0;
        std::vector<unsigned char> rgba;
        RowOrder order = RowOrder::TopDown;
        bool opaque = false;
    };

    void work();

    const std::size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable wake_;    // workers: a job or the stop request
    std::condition_variable settled_; // submit and finish: room in the queue, or all written
    std::deque<Job> queue_;
    std::vector<std::vector<unsigned char>> spare_;
    std::size_t busy_ = 0; // jobs taken by workers and not yet written
    bool stopping_ = false;
    Status failure_;
    std::vector<std::thread> workers_;
};

// Worker threads that leave the render thread and the GL driver's own threads room on this
// machine: half the hardware threads, one at least and four at most.
int pngWorkerCount();

} // namespace ffglhost
