// A private X server for the preview tests: Xvfb started on a display number it picks itself
// (-displayfd), so that tests running side by side never share or collide on a display, and
// stopped by the destructor. Header-only; one thread.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace hosttest {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts Xvfb with one 640x480 24-bit screen and waits (up to 20 s) for it to name its
    // display. False with `error` set when it cannot be run or names none.
    bool start(std::string& error)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            error = "pipe2 failed";
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], kDisplayFd);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(kDisplayFd);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                              "-noreset", nullptr};
        const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            pid_ = -1;
            close(fds[0]);
            error = "cannot run Xvfb";
            return false;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && ::poll(&p, 1, kStartTimeoutMs) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        const std::size_t end = number.find('\n');
        if (end == std::string::npos || end == 0) {
            error = "Xvfb named no display";
            return false;
        }
        display_ = ":" + number.substr(0, end);
        return true;
    }

    // ":N", the value for DISPLAY.
    const std::string& display() const { return display_; }

private:
    static constexpr int kDisplayFd = 3;
    static constexpr int kStartTimeoutMs = 20000;
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace hosttest
