// Running helper programs (ffmpeg) beside the host: finding a program on PATH, starting it with
// chosen standard streams, waiting for it and describing how it ended, and a file that collects
// its error output so the first line can be quoted in a message.
//
// Ownership: the caller owns the process it started (wait for it) and the descriptors it passed;
// an ErrorCapture owns its unlinked temporary file. Linux only; any thread (one caller per
// process or capture); no GL.
#pragma once

#include "Status.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace ffglhost {

// The first executable file called `name` in the folders of PATH (the shell's default folders
// when PATH is unset), or "" when there is none.
std::string findOnPath(const std::string& name);

// Starts args[0] (a path) with args, `in`, `out` and `err` as its standard streams (-1:
// /dev/null), SIGPIPE at its default and no signal blocked. Every other descriptor of ours is
// close-on-exec. False with `error` (the system's reason) when it cannot start.
bool spawnProcess(const std::vector<std::string>& args, int in, int out, int err, pid_t& pid, std::string& error);

// Waits for `pid` (retrying on EINTR) and returns its wait status, -1 when it is lost.
int waitForProcess(pid_t pid);
// Whether a wait status is a clean exit with status 0.
bool processSucceeded(int status);
// "exit status 1", "killed by signal 9" or "lost (waitpid failed)".
std::string describeProcessEnd(int status);

// A temporary file, already unlinked, for a child's standard error.
class ErrorCapture {
public:
    ErrorCapture() = default;
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    // Makes the file; failure names the reason.
    Status open();
    // Its descriptor, to pass as the child's standard error; -1 when not open.
    int fd() const { return fd_; }
    // The first non-empty line written to it, without a leading "[component @ 0x...] " tag and
    // trailing blanks; "" when there is none.
    std::string firstLine() const;
    void close();

private:
    int fd_ = -1;
};

} // namespace ffglhost
