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
    const fs::path outFile = scratch / "stdout.txt";
    const fs::path errFile = scratch / "stderr.txt";
    HANDLE out = inheritableFile(outFile);
    HANDLE err = inheritableFile(errFile);
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (err != INVALID_HANDLE_VALUE)
            CloseHandle(err);
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
    CloseHandle(out);
    CloseHandle(err);
    if (!started)
        return r;
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
