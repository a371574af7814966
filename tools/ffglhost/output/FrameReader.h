// Reading rendered frames back from the host framebuffer through pixel buffer objects.
//
// start() only queues the copy of the colour buffer into one of a few pixel buffers; the pixels
// are taken out later (when every buffer is in use, or by drain()), so the GL implementation can
// copy one frame while the host renders the next. Pixels are handed over as GL stores them,
// bottom row first, RGBA8, width * height * 4 bytes.
//
// FrameReader owns its buffer names; release() (also run by the destructor) deletes them.
// Every call needs the GL context it was created in, current on the calling thread. The GL
// bindings and pixel-pack state in force are restored after each call.
#pragma once

#include "Status.h"

#include "HeadlessGL.h"

#include <array>
#include <cstddef>
#include <functional>

namespace ffglhost {

class FrameReader {
public:
    // Receives one frame's pixels (valid only during the call) and its number.
    using Delivery = std::function<Status(int frame, const unsigned char* bottomUpRgba, std::size_t bytes)>;

    FrameReader() = default;
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // Pixel buffers for frames of width x height. Fails (holding nothing) when GL refuses.
    Status create(int width, int height);

    // Queues the read-back of `framebuffer`'s colour buffer as frame `frame`. When all buffers
    // are in use the oldest frame is handed to `deliver` first; its failure is returned.
    Status start(const kxhost::Framebuffer& framebuffer, int frame, const Delivery& deliver);
    // Hands every queued frame to `deliver`, oldest first; stops at the first failure.
    Status drain(const Delivery& deliver);

    void release();

private:
    static constexpr std::size_t kSlots = 2;

    struct Slot {
        unsigned buffer = 0;
        int frame = 0;
        bool queued = false;
    };

    Status deliverOldest(const Delivery& deliver);

    std::array<Slot, kSlots> slots_{};
    std::size_t next_ = 0;   // slot of the next start()
    std::size_t queued_ = 0; // frames queued, the oldest at slot (next_ - queued_) mod kSlots
    std::size_t bytes_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace ffglhost
