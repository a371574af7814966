// The kept frames of a render as PNG files: read back through FrameReader without waiting for
// each copy, and compressed and written by AsyncPngWriter off the render thread, opaque (the
// frame as it looks over the black the framebuffer starts with).
//
// FrameFiles owns its reader (GL pixel buffers) and writer (worker threads). open(), keep() and
// finish() need the render thread with the GL context current; destroy it there, before the
// context. Files may still be written after keep() returns, until finish().
#pragma once

#include "Status.h"
#include "output/AsyncPngWriter.h"
#include "output/FrameReader.h"

#include "HeadlessGL.h"

#include <functional>
#include <memory>
#include <string>

namespace ffglhost {

class FrameFiles {
public:
    // The file a frame number is written to.
    using Namer = std::function<std::string(int frame)>;

    // Ready to keep frames of width x height, named by `name`.
    Status open(int width, int height, Namer name);
    // Keeps the current contents of `framebuffer` as frame `frame`. Returns the failure of an
    // earlier read or write, if any.
    Status keep(const kxhost::Framebuffer& framebuffer, int frame);
    // Writes every kept frame and waits for the files. Returns `failure` when it is one (the
    // frames kept before it are still written), else the first failed read or write.
    Status finish(Status failure = Status());

private:
    FrameReader reader_;
    std::unique_ptr<AsyncPngWriter> writer_;
    FrameReader::Delivery deliver_;
    Namer name_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace ffglhost
