// Video output through ffmpeg (see VideoEncoder.h).
#include "output/VideoEncoder.h"

#include "plugin/PluginDescription.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

extern char** environ;

namespace ffglhost {

namespace {

// How much of ffmpeg's error output is searched for its first line, and how much of its
// encoder list is read.
constexpr std::size_t kErrorHeadBytes = 4096;
constexpr std::size_t kEncoderListLimit = 1 << 20;
// Where to look when PATH is unset: what the shell would use.
constexpr const char* kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";

std::string findOnPath(const std::string& name)
{
    const char* env = std::getenv("PATH");
    std::stringstream dirs(env != nullptr ? env : kDefaultSearchPath);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

// Starts argv[0] with `in`, `out` and `err` as its standard streams (-1: /dev/null), SIGPIPE
// at its default and nothing blocked. Every other descriptor of ours is close-on-exec.
bool spawn(const std::vector<std::string>& args, int in, int out, int err, pid_t& pid, std::string& error)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    const int fds[3] = {in, out, err};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] >= 0)
            posix_spawn_file_actions_adddup2(&actions, fds[target], target);
        else
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_RDWR, 0);
    }
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid = -1;
        error = std::strerror(rc);
        return false;
    }
    return true;
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

// "exit status 1" or "killed by signal 9".
std::string describeEnd(int status)
{
    if (status < 0)
        return "lost (waitpid failed)";
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

bool succeeded(int status) { return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

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
    const bool started = spawn({out.ffmpeg, "-hide_banner", "-encoders"}, -1, fds[1], -1, pid, error);
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
    const int status = waitFor(pid);
    if (!succeeded(status))
        return Status::failed(out.ffmpeg + " -encoders failed (" + describeEnd(status) + ")");
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
    std::error_code ec;

    std::string errorsPath = (std::filesystem::temp_directory_path(ec) / "ffglhost-ffmpeg-XXXXXX").string();
    errors_ = mkostemp(errorsPath.data(), O_CLOEXEC);
    if (errors_ < 0)
        return Status::failed(std::string("cannot create a temporary file for ffmpeg's messages: ") +
                              std::strerror(errno));
    unlink(errorsPath.c_str());

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        const std::string why = std::strerror(errno);
        close(errors_);
        errors_ = -1;
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
    const bool started = spawn(args, fds[0], -1, errors_, pid_, error);
    close(fds[0]);
    if (!started) {
        close(fds[1]);
        close(errors_);
        errors_ = -1;
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
    const int status = waitFor(pid_);
    pid_ = -1;
    Status s;
    if (!succeeded(status)) {
        const std::string line = firstErrorLine();
        s = Status::failed("ffmpeg " + what + " (" + describeEnd(status) + ")" + (line.empty() ? "" : ": " + line));
        file_.reset();
    }
    close(errors_);
    errors_ = -1;
    return s;
}

void VideoEncoder::abandon()
{
    if (pid_ >= 0) {
        kill(pid_, SIGTERM);
        close(input_);
        input_ = -1;
        (void)waitFor(pid_);
        pid_ = -1;
        close(errors_);
        errors_ = -1;
    }
    file_.reset(); // a finished video that was never committed goes too
}

std::string VideoEncoder::firstErrorLine() const
{
    std::string head(kErrorHeadBytes, '\0');
    const ssize_t n = pread(errors_, head.data(), head.size(), 0);
    head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::stringstream lines(head);
    for (std::string line; std::getline(lines, line);) {
        // "[webm @ 0x55d0c0] Only VP8 or VP9 ..." reads better without the component's address.
        const std::size_t tag = line.find("] ");
        if (!line.empty() && line[0] == '[' && tag != std::string::npos)
            line = line.substr(tag + 2);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            return printable(line);
    }
    return std::string();
}

} // namespace ffglhost
