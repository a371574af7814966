// Video output through the ffmpeg program: finding ffmpeg on PATH with the best codec it offers
// (findVideoTool), and VideoEncoder, which runs one ffmpeg process per video and pipes raw RGBA
// frames into its standard input, to be encoded as yuv420p H.264 (libx264) or, where this
// ffmpeg lacks libx264, MPEG-4 part 2.
//
// Ownership: a VideoEncoder owns its ffmpeg child process, the write end of the pipe into it, the
// unlinked temporary file that collects ffmpeg's error output and the video itself, which ffmpeg
// writes under a temporary name (PendingFile.h) until commit() puts it in place: the video at
// the path is finished or absent, never truncated, and one already there stays untouched until
// the new one is committed. A video that is not committed (an error on the way, or the encoder
// destroyed first) is abandoned: ffmpeg is stopped and the partial file removed. One thread:
// writeFrame blocks SIGPIPE on the calling thread while it writes, so that an ffmpeg that died
// shows up as an error and does not kill the host. No GL.
#pragma once

#include "Status.h"
#include "output/PendingFile.h"
#include "worker/ChildProcess.h"

#include <sys/types.h>

#include <memory>
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

    // Creates the folders above `path` and starts ffmpeg writing the video for `path` from
    // width x height RGBA frames at `fps` frames per second. Width and height must be even.
    Status start(const VideoTool& tool, const std::string& path, int width, int height, int fps);
    // One frame, width * height * 4 bytes with rows from the top of the picture down. When
    // ffmpeg has stopped reading, the video is abandoned and the status carries ffmpeg's reason.
    Status writeFrame(const std::vector<unsigned char>& rgba);
    // Closes ffmpeg's input and waits for it to write the file. Failure (and the partial file
    // removed) when ffmpeg exits with a non-zero status or by a signal; the message ends with
    // the first line ffmpeg wrote to its error output.
    Status finish();
    // Puts the finished video in place at the path given to start(), replacing a file there.
    Status commit();
    // Stops an unfinished ffmpeg, waits for it and removes the video that was not committed.
    void abandon();

    int framesWritten() const { return frames_; }

private:
    // Closes the pipe, waits for ffmpeg, and turns its end into a status.
    Status reap(const std::string& what);

    pid_t pid_ = -1;
    int input_ = -1;  // write end of ffmpeg's standard input
    ErrorCapture errors_; // ffmpeg's standard error; its first line is the cause
    std::unique_ptr<PendingFile> file_; // the video until it is committed
    std::size_t frameBytes_ = 0;
    int frames_ = 0;
};

} // namespace ffglhost
