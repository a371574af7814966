// The outcome of one step of the host: success, or the one-line message and exit status the
// program ends with. Every function of the host that can fail returns a Status; nothing throws.
//
// Exit statuses: 0 success; 1 a plug-in call, the GL context or an output file failed while
// running; 2 bad usage or input (arguments, the plug-in file, an unsupported plug-in), no EGL
// display at all (render), no X display (preview), no ffmpeg (render --video) or a feature this
// platform lacks (HostPlatform.h). Plain value type, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace ffglhost {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

class [[nodiscard]] Status {
public:
    Status() = default; // success

    // "ffglhost: error: <what>", exit status 2: the user's input cannot be run.
    static Status badInput(const std::string& what);
    // "ffglhost: error: <what>", exit status 1: something failed while running.
    static Status failed(const std::string& what);
    // "ffglhost: plug-in call failed: code 17 (process OpenGL) <what>", exit status 1.
    static Status callFailed(uint32_t functionCode, const std::string& what);

    bool ok() const { return exitCode_ == kExitOk; }
    int exitCode() const { return exitCode_; }
    // The whole message line, without a newline; empty on success.
    const std::string& message() const { return message_; }

private:
    Status(int exitCode, std::string message) : exitCode_(exitCode), message_(std::move(message)) {}

    int exitCode_ = kExitOk;
    std::string message_;
};

// Human name of an FFGL function code for messages ("process OpenGL"); "unknown" when unnamed.
const char* functionName(uint32_t functionCode);

} // namespace ffglhost
