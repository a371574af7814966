// Kept frames as PNG files (see FrameFiles.h).
#include "output/FrameFiles.h"

#include <cstring>
#include <utility>
#include <vector>

namespace ffglhost {

namespace {

// Frames waiting for a worker at most: bounds the memory held while compression lags behind.
constexpr std::size_t kQueuedFrames = 3;

} // namespace

Status FrameFiles::open(int width, int height, Namer name)
{
    width_ = width;
    height_ = height;
    name_ = std::move(name);
    writer_ = std::make_unique<AsyncPngWriter>(pngWorkerCount(), kQueuedFrames);
    deliver_ = [this](int frame, const unsigned char* rgba, std::size_t bytes) {
        std::vector<unsigned char> copy = writer_->buffer(bytes);
        std::memcpy(copy.data(), rgba, bytes);
        return writer_->submit(name_(frame), width_, height_, std::move(copy), RowOrder::BottomUp, true);
    };
    return reader_.create(width, height);
}

Status FrameFiles::keep(const kxhost::Framebuffer& framebuffer, int frame)
{
    if (!writer_)
        return Status::failed("cannot keep frame " + std::to_string(frame) + ": no output was opened");
    return reader_.start(framebuffer, frame, deliver_);
}

Status FrameFiles::finish(Status failure)
{
    if (!writer_)
        return failure;
    Status read = reader_.drain(deliver_);
    Status written = writer_->finish();
    if (!failure.ok())
        return failure;
    return !read.ok() ? read : written;
}

} // namespace ffglhost
