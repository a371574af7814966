// Running a Windows program from a Windows test: CreateProcess with the arguments quoted the way
// the C runtime splits them again, in a given folder, standard output and error captured into
// files and read back whole (with the CRLF line ends the C runtime writes in text mode). One
// thread; no GL.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace programrun {

struct Result {
    int status = -1; // the exit code, -1 when the program could not be started
    std::string out;
    std::string err;
};

// Runs `program` with `args` in `folder` and waits for it. The captured output goes through
// `scratch` (two new files there on every run). When it cannot run the program, the status is -1
// and `err` says why.
Result run(const std::filesystem::path& program, const std::vector<std::string>& args,
           const std::filesystem::path& folder, const std::filesystem::path& scratch);

// The lines of `text`, without their "\n" or "\r\n" ends.
std::vector<std::string> lines(const std::string& text);

} // namespace programrun
