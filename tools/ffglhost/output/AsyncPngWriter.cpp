// PNG files written on worker threads (see AsyncPngWriter.h).
#include "output/AsyncPngWriter.h"

#include <algorithm>
#include <utility>

namespace ffglhost {

namespace {

// Buffers kept for reuse beyond those in flight.
constexpr std::size_t kSpareBuffers = 4;

} // namespace

int pngWorkerCount()
{
    const unsigned threads = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(threads / 2), 1, 4);
}

AsyncPngWriter::AsyncPngWriter(int workers, std::size_t maxQueued) : maxQueued_(std::max<std::size_t>(maxQueued, 1))
{
    const int count = std::max(workers, 1);
    workers_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        workers_.emplace_back([this] { work(); });
}

AsyncPngWriter::~AsyncPngWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

std::vector<unsigned char> AsyncPngWriter::buffer(std::size_t bytes)
{
    std::vector<unsigned char> b;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_.empty()) {
            b = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    b.resize(bytes);
    return b;
}

Status AsyncPngWriter::submit(std::string path, int width, int height, std::vector<unsigned char> rgba,
                              RowOrder order, bool opaque)
{
    std::unique_lock<std::mutex> lock(mutex_);
    settled_.wait(lock, [this] { return queue_.size() < maxQueued_ || !failure_.ok(); });
    if (!failure_.ok())
        return failure_;
    Job job;
    job.path = std::move(path);
    job.width = width;
    job.height = height;
    job.rgba = std::move(rgba);
    job.order = order;
    job.opaque = opaque;
    queue_.push_back(std::move(job));
    lock.unlock();
    wake_.notify_one();
    return Status();
}

Status AsyncPngWriter::finish()
{
    std::unique_lock<std::mutex> lock(mutex_);
    settled_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
    return failure_;
}

void AsyncPngWriter::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and nothing left to write
        Job job = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        const bool skip = !failure_.ok(); // after a failure the rest is not written
        lock.unlock();

        Status s;
        if (!skip) {
            // The framebuffer starts cleared to black, so its colours are the frame as it looks
            // over black; pictures for people are written opaque rather than with the plug-in's
            // coverage alpha (which viewers show over white).
            if (job.opaque)
                for (std::size_t i = 3; i < job.rgba.size(); i += 4)
                    job.rgba[i] = 255;
            s = writePng(job.path, job.width, job.height, job.rgba.data(), job.rgba.size(), job.order);
        }

        lock.lock();
        --busy_;
        if (!s.ok() && failure_.ok())
            failure_ = s;
        if (spare_.size() < kSpareBuffers)
            spare_.push_back(std::move(job.rgba));
        settled_.notify_all();
    }
}

} // namespace ffglhost
