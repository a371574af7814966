// `--input SOURCE` for a video file, a camera (a V4L2 device such as /dev/video0) or anything
// else the ffmpeg program opens (a URL, an animated image). An ffmpeg process decodes it beside
// the host, scaled to the frame size and turned upright for GL, and a reader thread of this
// source keeps a few decoded frames ready, so decoding overlaps rendering instead of adding its
// time to every frame. Frame i of a file feeds host frame i, and the file loops at its end; a
// camera feeds whatever it shows when the frame is asked for (the newest picture).
//
// Ownership: the source owns its ffmpeg process, the pipe from it, the reader thread and the
// decoded frames; destroying it stops ffmpeg and joins the thread (no GL call). The reader thread
// never touches GL or the texture. Linux only. Main thread for the InputSource calls (see
// InputSource.h for which need the GL context).
#pragma once

#include "inputs/InputSource.h"

#include <memory>

namespace ffglhost {

class VideoDecoder;

class VideoInput : public InputSource {
public:
    explicit VideoInput(std::string source);
    ~VideoInput() override;

    std::string label() const override { return source_; }
    // Starts ffmpeg and waits for its first frame: bad input when there is no ffmpeg on PATH or
    // it cannot decode the source (the message ends with ffmpeg's first error line).
    Status open(int width, int height) override;
    Status start(TextureLayout layout) override;
    // The next decoded frame; a frame number that goes back (a new run of frames) starts the
    // file from its beginning again, one that skips ahead skips as many frames.
    Status texture(int64_t frame, FFGLTextureStructTag*& record) override;
    void stop() override { texture_.release(); }

private:
    // A new ffmpeg run from the start of the source.
    Status startDecoder();
    // The next frame of the run: the one open() kept, or one from the decoder.
    Status nextPicture(Picture& out);

    std::string source_;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<VideoDecoder> decoder_;
    int64_t delivered_ = 0; // frames taken from this run of the source
    Picture pending_;       // the first frame, read by open()
    bool havePending_ = false;
    HostTexture texture_;
};

} // namespace ffglhost
