// Video output through the ffmpeg program: finding ffmpeg on PATH with the best codec it offers
// (findVideoTool), and VideoEncoder, which runs one ffmpeg process per video and pipes raw RGBA
// frames into its standard input, to be encoded as yuv420p H.264 (libx264) or, where this
// ffmpeg lacks libx264, MPEG-4 part 2.
//
// Ownership: a VideoEncoder owns its ffmpeg child process, the write end of the pipe into it and
// the unlinked temporary file that collects ffmpeg's error output. A video that is not finished
// (an error on the way, or the encoder destroyed first) is abandoned: ffmpeg is stopped and the
// partial file removed. One thread: writeFrame blocks SIGPIPE on the calling thread while it
// writes, so that an ffmpeg that died shows up as an error and does not kill the host. No GL.
#pragma once

#include "Status.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace ffglhost {

struct VideoTool {
    std::string ffmpeg; // path of the program
    std::string codec;  // ffmpeg encoder name: "libx264" or "mpeg4"
};

// Finds ffmpeg on PATH (bad input, one line, when there is none) and asks it for its encoders.
Status findVideoTool(VideoTool& out);

class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder() { abandon(); }
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Creates the folders above `path` and starts ffmpeg writing `path` (replacing a file there)
    // from width x height RGBA frames at `fps` frames per second. Width and height must be even.
    Status start(const VideoTool& tool, const std::string& path, int width, int height, int fps);
    // One frame, width * height * 4 bytes with rows from the top of the picture down. When
    // ffmpeg has stopped reading, the video is abandoned and the status carries ffmpeg's reason.
    Status writeFrame(const std::vector<unsigned char>& rgba);
    // Closes ffmpeg's input and waits for it to write the file. Failure (and the partial file
    // removed) when ffmpeg exits with a non-zero status or by a signal; the message ends with
    // the first line ffmpeg wrote to its error output.
    Status finish();
    // Stops an unfinished ffmpeg, waits for it and removes its partial file; nothing otherwise.
    void abandon();

    int framesWritten() const { return frames_; }

private:
    // Closes the pipe, waits for ffmpeg, and turns its end into a status.
    Status reap(const std::string& what);
    // The first line of ffmpeg's error output (its cause, where later lines are consequences).
    std::string firstErrorLine() const;

    pid_t pid_ = -1;
    int input_ = -1;  // write end of ffmpeg's standard input
    int errors_ = -1; // ffmpeg's standard error, an unlinked temporary file
    std::string path_;
    std::size_t frameBytes_ = 0;
    int frames_ = 0;
};

} // namespace ffglhost
