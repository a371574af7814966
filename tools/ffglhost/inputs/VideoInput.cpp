// Videos and cameras as input sources through ffmpeg (see VideoInput.h).
#include "inputs/VideoInput.h"

#include "plugin/PluginDescription.h"
#include "worker/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace ffglhost {

namespace {

// Decoded frames kept ready ahead of the host: enough to hide a slow frame of the decoder.
constexpr std::size_t kFramesAhead = 4;

enum class SourceKind { File, Device, Other };

SourceKind kindOf(const std::string& source)
{
    struct stat st {};
    if (stat(source.c_str(), &st) != 0)
        return SourceKind::Other;
    if (S_ISCHR(st.st_mode))
        return SourceKind::Device;
    return S_ISREG(st.st_mode) ? SourceKind::File : SourceKind::Other;
}

} // namespace

// One ffmpeg run: the process, the pipe its frames come through, and the reader thread that
// keeps up to kFramesAhead of them (a camera: only the newest).
class VideoDecoder {
public:
    VideoDecoder(std::string ffmpeg, std::string source, int width, int height)
        : ffmpeg_(std::move(ffmpeg)), source_(std::move(source)), width_(width), height_(height)
    {
    }
    ~VideoDecoder() { stop(); }
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    Status start()
    {
        const SourceKind kind = kindOf(source_);
        live_ = kind == SourceKind::Device;
        Status s = errors_.open();
        if (!s.ok())
            return s;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return Status::failed(std::string("cannot make a pipe from ffmpeg: ") + std::strerror(errno));
        std::vector<std::string> args = {ffmpeg_, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
        if (kind == SourceKind::Device)
            args.insert(args.end(), {"-f", "v4l2"});
        if (kind == SourceKind::File)
            args.insert(args.end(), {"-stream_loop", "-1"});
        // "file:" keeps names with a colon from being read as protocols.
        args.insert(args.end(), {"-i", kind == SourceKind::File ? "file:" + source_ : source_});
        // GL keeps a texture's bottom row first: the frames come flipped, so they arrive upright.
        const std::string filter =
            "scale=" + std::to_string(width_) + ":" + std::to_string(height_) + ":flags=bicubic,vflip";
        args.insert(args.end(), {"-map", "0:v:0", "-an", "-sn", "-dn", "-vf", filter, "-pix_fmt", "rgba",
                                 "-fps_mode", "passthrough", "-f", "rawvideo", "pipe:1"});
        std::string error;
        const bool started = spawnProcess(args, -1, fds[1], errors_.fd(), pid_, error);
        close(fds[1]);
        if (!started) {
            close(fds[0]);
            return Status::failed("cannot run " + ffmpeg_ + ": " + error);
        }
        pipe_ = fds[0];
        reader_ = std::thread([this] { readFrames(); });
        return Status();
    }

    // The next frame; false when ffmpeg ended before one came (`frames` says how many did).
    bool next(Picture& out, int64_t& frames)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !queue_.empty() || ended_; });
        frames = read_;
        if (queue_.empty())
            return false;
        out = std::move(queue_.front());
        queue_.pop_front();
        space_.notify_one();
        return true;
    }

    // Gives a picture the host is done with back for a later frame: at 1280x720 a fresh one
    // would cost every frame 3.7 MB of new pages.
    void recycle(Picture&& p)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.size() < kFramesAhead && p.width == width_ && p.height == height_)
            spare_.push_back(std::move(p));
    }

    // ffmpeg's reason for ending, for a message.
    std::string why()
    {
        stop();
        const std::string line = printable(errors_.firstLine());
        return describeProcessEnd(status_) + (line.empty() ? "" : ": " + line);
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        space_.notify_all();
        if (pid_ > 0)
            kill(pid_, SIGKILL);
        if (reader_.joinable())
            reader_.join();
        if (pid_ > 0)
            status_ = waitForProcess(pid_);
        pid_ = -1;
        if (pipe_ >= 0)
            close(pipe_);
        pipe_ = -1;
    }

private:
    // The reader thread: whole frames from the pipe into the queue until ffmpeg ends or the
    // decoder stops.
    void readFrames()
    {
        const std::size_t bytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
        for (;;) {
            Picture p;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!spare_.empty()) {
                    p = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            if (p.rgba.size() != bytes)
                p = Picture(width_, height_);
            std::size_t done = 0;
            while (done < bytes) {
                const ssize_t n = read(pipe_, p.rgba.data() + done, bytes - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            std::unique_lock<std::mutex> lock(mutex_);
            if (done < bytes || stopping_) {
                ended_ = true;
                ready_.notify_all();
                return;
            }
            if (live_) {
                // A camera shows what it sees now.
                for (Picture& old : queue_)
                    if (spare_.size() < kFramesAhead)
                        spare_.push_back(std::move(old));
                queue_.clear();
            }
            space_.wait(lock, [this] { return queue_.size() < kFramesAhead || stopping_; });
            if (stopping_) {
                ended_ = true;
                ready_.notify_all();
                return;
            }
            queue_.push_back(std::move(p));
            ++read_;
            ready_.notify_one();
        }
    }

    std::string ffmpeg_;
    std::string source_;
    int width_;
    int height_;
    bool live_ = false;
    pid_t pid_ = -1;
    int status_ = -1;
    int pipe_ = -1;
    ErrorCapture errors_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable ready_; // a frame came, or the decoder ended
    std::condition_variable space_; // the host took a frame, or the decoder stops
    std::deque<Picture> queue_;
    std::vector<Picture> spare_; // pictures the host gave back, for the next frames
    int64_t read_ = 0;
    bool ended_ = false;
    bool stopping_ = false;
};

VideoInput::VideoInput(std::string source) : source_(std::move(source)) {}

VideoInput::~VideoInput() = default;

Status VideoInput::startDecoder()
{
    decoder_.reset();
    const std::string ffmpeg = findOnPath("ffmpeg");
    if (ffmpeg.empty())
        return Status::badInput("--input " + source_ +
                                ": reading a video needs the ffmpeg program, and there is none on PATH (Debian "
                                "package ffmpeg)");
    decoder_ = std::make_unique<VideoDecoder>(ffmpeg, source_, width_, height_);
    return decoder_->start();
}

Status VideoInput::open(int width, int height)
{
    width_ = width;
    height_ = height;
    Status s = startDecoder();
    if (!s.ok())
        return s;
    // The first frame decides whether ffmpeg can read the source at all; it is kept for frame 1.
    int64_t frames = 0;
    if (!decoder_->next(pending_, frames))
        return Status::badInput("--input " + source_ + ": ffmpeg cannot read it as a video (" + decoder_->why() + ")");
    havePending_ = true;
    return Status();
}

Status VideoInput::start(TextureLayout layout) { return texture_.create(width_, height_, layout); }

Status VideoInput::nextPicture(Picture& out)
{
    if (havePending_) {
        out = std::move(pending_);
        havePending_ = false;
        return Status();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        int64_t frames = 0;
        if (decoder_->next(out, frames))
            return Status();
        // A stream that ended after some frames starts again: the source loops.
        if (frames == 0)
            break;
        Status s = startDecoder();
        if (!s.ok())
            return s;
    }
    return Status::failed("--input " + source_ + ": ffmpeg stopped decoding it (" + decoder_->why() + ")");
}

Status VideoInput::texture(int64_t frame, FFGLTextureStructTag*& record)
{
    Status s;
    if (frame <= delivered_) {
        s = startDecoder();
        havePending_ = false;
        delivered_ = 0;
    }
    Picture picture;
    while (s.ok() && delivered_ < frame) {
        s = nextPicture(picture);
        ++delivered_;
    }
    if (s.ok())
        s = texture_.upload(picture);
    if (decoder_ != nullptr)
        decoder_->recycle(std::move(picture));
    record = texture_.record();
    return s;
}

} // namespace ffglhost
