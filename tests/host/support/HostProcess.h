// Running programs from the host tests: shell quoting, a command run to its end with its exit
// status and output, a command left running in the background, polling for a condition, and
// reading text files and lists. Header-only; one thread per object.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace hosttest {

namespace fs = std::filesystem;

struct Result {
    int status = -1; // exit status; -1 when killed by a signal or not run
    std::string out;
    std::string err;
};

inline std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);)
        out.push_back(line);
    return out;
}

inline int exitStatus(int raw) { return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

// Runs `command` with /bin/sh, its output collected through files in `scratch`.
inline Result run(const std::string& command, const fs::path& scratch)
{
    const fs::path out = scratch / "run.stdout", err = scratch / "run.stderr";
    const std::string cmd = "( " + command + " ) >" + quote(out.string()) + " 2>" + quote(err.string());
    Result r;
    r.status = exitStatus(std::system(cmd.c_str()));
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

// "a,b,,c" as {"a", "b", "c"}: lists handed over from the build.
inline std::vector<std::string> commaList(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream items(text);
    for (std::string item; std::getline(items, item, ',');)
        if (!item.empty())
            out.push_back(item);
    return out;
}

// Whether `name` is a program on PATH.
inline bool haveProgram(const std::string& name)
{
    return std::system(("command -v " + quote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Polls `done` every 50 ms until it holds or `timeout` passes; returns its last answer.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// A shell command running in the background with its output in files; killed by the
// destructor if still running. Begin the command with "exec" where the program itself (not the
// shell) should receive the kill.
class Background {
public:
    Background(const std::string& command, fs::path outPath, fs::path errPath)
        : out_(std::move(outPath)), err_(std::move(errPath))
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (posix_spawn(&pid_, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool started() const { return pid_ > 0; }
    std::string out() const { return readFile(out_); }
    std::string err() const { return readFile(err_); }
    // Waits for the end; after `timeout` kills it and reports -1.
    int wait(std::chrono::milliseconds timeout)
    {
        if (pid_ <= 0)
            return -1;
        int raw = 0;
        const bool ended = waitUntil([&] { return waitpid(pid_, &raw, WNOHANG) == pid_; }, timeout);
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &raw, 0);
            pid_ = -1;
            return -1;
        }
        pid_ = -1;
        return exitStatus(raw);
    }

private:
    pid_t pid_ = -1;
    fs::path out_, err_;
};

} // namespace hosttest
