// Video output through ffmpeg (see VideoEncoder.h).
#include "output/VideoEncoder.h"

#include "plugin/PluginDescription.h"
#include "worker/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace ffglhost {

namespace {

// How much of ffmpeg's encoder list is read.
constexpr std::size_t kEncoderListLimit = 1 << 20;

// ffmpeg's encoder list: "ffmpeg -encoders" prints one line per encoder, "<flags> <name> <text>".
bool offersEncoder(const std::string& list, const std::string& name)
{
    std::stringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        std::stringstream words(line);
        std::string flags, encoder;
        if (words >> flags >> encoder && encoder == name && flags.size() == 6 && flags[0] == 'V')
            return true;
    }
    return false;
}

} // namespace

Status findVideoTool(VideoTool& out)
{
    out = VideoTool();
    out.ffmpeg = findOnPath("ffmpeg");
    if (out.ffmpeg.empty())
        return Status::badInput("--video needs the ffmpeg program, and there is none on PATH (Debian package "
                                "ffmpeg)");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return Status::failed(std::string("cannot make a pipe to ask ffmpeg for its encoders: ") +
                              std::strerror(errno));
    pid_t pid = -1;
    std::string error;
    const bool started = spawnProcess({out.ffmpeg, "-hide_banner", "-encoders"}, -1, fds[1], -1, pid, error);
    close(fds[1]);
    std::string list;
    if (started) {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (list.size() < kEncoderListLimit)
                list.append(buf, static_cast<std::size_t>(n));
        }
    }
    close(fds[0]);
    if (!started)
        return Status::failed("cannot run " + out.ffmpeg + ": " + error);
    const int status = waitForProcess(pid);
    if (!processSucceeded(status))
        return Status::failed(out.ffmpeg + " -encoders failed (" + describeProcessEnd(status) + ")");
    if (offersEncoder(list, "libx264"))
        out.codec = "libx264";
    else if (offersEncoder(list, "mpeg4"))
        out.codec = "mpeg4";
    else
        return Status::failed(out.ffmpeg + " offers neither the libx264 nor the mpeg4 encoder");
    return Status();
}

Status VideoEncoder::start(const VideoTool& tool, const std::string& path, int width, int height, int fps)
{
    abandon();
    if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0)
        return Status::badInput("--video needs an even width and height, not " + std::to_string(width) + "x" +
                                std::to_string(height));
    if (Status s = createParentFolder(path); !s.ok())
        return s;
    if (Status s = errors_.open(); !s.ok())
        return s;

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        const std::string why = std::strerror(errno);
        errors_.close();
        return Status::failed("cannot make a pipe to ffmpeg: " + why);
    }
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> args = {tool.ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-r", std::to_string(fps),
                                     "-i", "pipe:0", "-an", "-c:v", tool.codec, "-pix_fmt", "yuv420p"};
    if (tool.codec == "libx264")
        args.insert(args.end(), {"-preset", "medium", "-crf", "18"});
    else
        args.insert(args.end(), {"-q:v", "3"});
    // "file:" keeps names with a colon or a leading '-' from being read as protocols or options;
    // ffmpeg still picks the container from the extension.
    file_ = std::make_unique<PendingFile>(path);
    args.push_back("file:" + file_->temporaryPath());

    std::string error;
    const bool started = spawnProcess(args, fds[0], -1, errors_.fd(), pid_, error);
    close(fds[0]);
    if (!started) {
        close(fds[1]);
        errors_.close();
        file_.reset();
        return Status::failed("cannot run " + tool.ffmpeg + ": " + error);
    }
    input_ = fds[1];
    frameBytes_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    frames_ = 0;
    return Status();
}

Status VideoEncoder::writeFrame(const std::vector<unsigned char>& rgba)
{
    if (pid_ < 0)
        return Status::failed("no video is being written");
    if (rgba.size() != frameBytes_) {
        abandon();
        return Status::failed("a video frame of " + std::to_string(rgba.size()) + " bytes, expected " +
                              std::to_string(frameBytes_));
    }
    sigset_t pipeSignal, saved;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &saved);
    std::size_t done = 0;
    int writeError = 0;
    while (done < rgba.size()) {
        const ssize_t n = write(input_, rgba.data() + done, rgba.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            writeError = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (writeError == EPIPE) {
        // Take the SIGPIPE this write raised before the old mask lets it through.
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    if (writeError != 0) {
        const std::string what = "stopped reading frames after " + std::to_string(frames_);
        Status s = reap(what);
        file_.reset();
        return s.ok() ? Status::failed("ffmpeg " + what + ": " + std::strerror(writeError)) : s;
    }
    ++frames_;
    return Status();
}

Status VideoEncoder::finish()
{
    if (pid_ < 0)
        return Status::failed("no video is being written");
    return reap("failed writing " + file_->path());
}

Status VideoEncoder::commit()
{
    if (file_ == nullptr || pid_ >= 0)
        return Status::failed("no finished video to put in place");
    Status s = file_->commit();
    file_.reset();
    return s;
}

Status VideoEncoder::reap(const std::string& what)
{
    close(input_);
    input_ = -1;
    const int status = waitForProcess(pid_);
    pid_ = -1;
    Status s;
    if (!processSucceeded(status)) {
        const std::string line = printable(errors_.firstLine());
        s = Status::failed("ffmpeg " + what + " (" + describeProcessEnd(status) + ")" + (line.empty() ? "" : ": " + line));
        file_.reset();
    }
    errors_.close();
    return s;
}

void VideoEncoder::abandon()
{
    if (pid_ >= 0) {
        kill(pid_, SIGTERM);
        close(input_);
        input_ = -1;
        (void)waitForProcess(pid_);
        pid_ = -1;
        errors_.close();
    }
    file_.reset(); // a finished video that was never committed goes too
}

} // namespace ffglhost
