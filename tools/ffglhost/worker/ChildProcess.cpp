// Helper programs beside the host (see ChildProcess.h).
#include "worker/ChildProcess.h"

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

extern char** environ;

namespace ffglhost {

namespace {

// Where to look when PATH is unset: what the shell would use.
constexpr const char* kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";
// How much of a child's error output is searched for its first line.
constexpr std::size_t kErrorHeadBytes = 4096;

} // namespace

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

bool spawnProcess(const std::vector<std::string>& args, int in, int out, int err, pid_t& pid, std::string& error)
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

int waitForProcess(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

bool processSucceeded(int status) { return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

std::string describeProcessEnd(int status)
{
    if (status < 0)
        return "lost (waitpid failed)";
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

ErrorCapture::~ErrorCapture() { close(); }

Status ErrorCapture::open()
{
    close();
    std::error_code ec;
    std::string path = (std::filesystem::temp_directory_path(ec) / "ffglhost-errors-XXXXXX").string();
    fd_ = mkostemp(path.data(), O_CLOEXEC);
    if (fd_ < 0)
        return Status::failed(std::string("cannot create a temporary file for a helper's messages: ") +
                              std::strerror(errno));
    unlink(path.c_str());
    return Status();
}

std::string ErrorCapture::firstLine() const
{
    if (fd_ < 0)
        return std::string();
    std::string head(kErrorHeadBytes, '\0');
    const ssize_t n = pread(fd_, head.data(), head.size(), 0);
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
            return line;
    }
    return std::string();
}

void ErrorCapture::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace ffglhost
