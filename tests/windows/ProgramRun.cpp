// Running Windows programs from tests (see ProgramRun.h).
#include "ProgramRun.h"

#include "worker/WindowsCommandLine.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace programrun {

namespace {

HANDLE inheritableFile(const fs::path& p)
{
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    return CreateFileW(p.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string readWhole(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

Result run(const fs::path& program, const std::vector<std::string>& args, const fs::path& folder,
           const fs::path& scratch)
{
    Result r;
    std::wstring commandLine = ffglhost::quotedArgument(program.wstring());
    for (const std::string& a : args)
        commandLine += L" " + ffglhost::quotedArgument(ffglhost::widened(a));
    // New files for every run: a process of an earlier run that still holds its output open
    // (a worker on its way out) cannot keep this run from starting.
    static unsigned runs = 0;
    ++runs;
    const fs::path outFile = scratch / ("stdout-" + std::to_string(runs) + ".txt");
    const fs::path errFile = scratch / ("stderr-" + std::to_string(runs) + ".txt");
    HANDLE out = inheritableFile(outFile);
    const DWORD outError = GetLastError();
    HANDLE err = inheritableFile(errFile);
    const DWORD errError = GetLastError();
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (err != INVALID_HANDLE_VALUE)
            CloseHandle(err);
        r.err = "programrun: cannot create the output files (Windows error " +
                std::to_string(out == INVALID_HANDLE_VALUE ? outError : errError) + ")";
        return r;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const std::wstring directory = folder.wstring();
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        directory.c_str(), &si, &pi);
    const DWORD startError = GetLastError();
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        r.err = "programrun: CreateProcessW failed (Windows error " + std::to_string(startError) + ")";
        return r;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code))
        r.status = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    r.out = readWhole(outFile);
    r.err = readWhole(errFile);
    return r;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

} // namespace programrun
