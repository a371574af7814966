// Jobs in a worker process started from ffglhost.exe itself (see SpawnedSupervisor.h).
#include "worker/SpawnedSupervisor.h"

#include "worker/OutputTail.h"
#include "worker/SpawnedWorker.h"
#include "worker/WindowsCommandLine.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>

namespace ffglhost {

namespace {

// Longest the host sleeps between looks at the flight record while no call is in flight, and
// while the worker's output is captured (read between looks: anonymous pipes cannot be waited on).
constexpr DWORD kIdleLookMs = 100;
constexpr DWORD kOutputLookMs = 20;
// The captured output pipe's buffer: a plug-in printing between two looks rarely waits.
constexpr DWORD kPipeBytes = 64 * 1024;
constexpr DWORD kReadChunk = 4096;
// How long the host keeps reading the output pipe after the worker's job is gone.
constexpr int64_t kDrainMs = 500;
// How long a terminated worker may take to go, and how long the host waits for the rest of its
// job (one stuck in the kernel may never go).
constexpr DWORD kKillGraceMs = 5000;
constexpr int64_t kReapMs = 2000;
constexpr DWORD kReapPollMs = 5;
// The exit status the host gives the processes of a job it terminates.
constexpr UINT kTerminatedStatus = 1;

// A handle closed when it goes.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(HANDLE h = nullptr)
    {
        if (h_ != nullptr)
            CloseHandle(h_);
        h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
    }

private:
    HANDLE h_ = nullptr;
};

std::atomic<bool> g_interrupted{false};

// Ctrl-C and Ctrl-Break reach the worker too (it shares the console) and end it; the host stays
// to clean up. Closing the console still ends the host (and with it the job).
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_interrupted.store(true);
    return TRUE;
}

class ConsoleInterrupts {
public:
    ConsoleInterrupts()
    {
        g_interrupted.store(false);
        installed_ = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
    }
    ~ConsoleInterrupts()
    {
        if (installed_)
            SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    }
    ConsoleInterrupts(const ConsoleInterrupts&) = delete;
    ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

private:
    bool installed_ = false;
};

// The host's own arguments exactly as its command line holds them: what follows the program's
// name (which the C runtime reads up to the closing quote, or the first blank without one).
std::wstring hostArguments()
{
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

std::wstring programPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// An inheritable duplicate of `h`, or none where there is no handle.
HANDLE inheritableCopy(HANDLE h)
{
    HANDLE copy = nullptr;
    if (h == nullptr || h == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

std::wstring handleText(HANDLE h) { return std::to_wstring(reinterpret_cast<uintptr_t>(h)); }

// Passes what the pipe holds now (at most a pipe's buffer, so that a plug-in printing without
// end does not keep the watchdog from its next look) on to standard error and into `tail`;
// false at its end.
bool forward(HANDLE pipe, OutputTail& tail)
{
    char buf[kReadChunk];
    for (DWORD done = 0; done < kPipeBytes;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            return false; // broken: every writer is gone and nothing is left
        if (available == 0)
            return true;
        DWORD n = 0;
        if (!ReadFile(pipe, buf, available < sizeof buf ? available : sizeof buf, &n, nullptr) || n == 0)
            return false;
        tail.add(buf, n);
        // As the worker wrote them: its line ends are already the console's.
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), buf, n, &written, nullptr);
        done += n;
    }
    return true;
}

void drain(HANDLE pipe, OutputTail& tail)
{
    const int64_t end = monotonicNs() + kDrainMs * 1000000;
    while (forward(pipe, tail) && monotonicNs() < end)
        Sleep(kReapPollMs);
}

// Waits (a bounded time) until no process of `job` is left: then nothing can write an output
// file any more.
void reapJob(HANDLE job)
{
    const int64_t end = monotonicNs() + kReapMs * 1000000;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr) ||
            info.ActiveProcesses == 0 || monotonicNs() > end)
            return;
        Sleep(kReapPollMs);
    }
}

// Whether a process's exit status is a structured exception's code (an NTSTATUS error): the
// process died of it without our filter seeing it (a fail-fast, a C runtime of the plug-in's own
// that ends on abort(), a crash in the filter itself).
bool isExceptionStatus(DWORD status) { return (status & 0xF0000000u) == 0xC0000000u; }

} // namespace

SpawnedSupervisor::SpawnedSupervisor()
{
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(sizeof(WorkerShared)), nullptr);
    void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (view != nullptr) {
        mapping_ = mapping;
        shared_ = new (view) WorkerShared();
        mapped_ = true;
    } else {
        if (mapping != nullptr)
            CloseHandle(mapping);
        shared_ = new WorkerShared();
    }
}

SpawnedSupervisor::~SpawnedSupervisor()
{
    if (mapped_) {
        shared_->~WorkerShared();
        UnmapViewOfFile(shared_);
        CloseHandle(mapping_);
    } else {
        delete shared_;
    }
}

WorkerEnd SpawnedSupervisor::run(const WorkerJob&, const WorkerOptions& options)
{
    WorkerEnd end;
    const std::wstring program = programPath();
    if (!mapped_ || program.empty()) {
        std::fprintf(stderr, "ffglhost: error: cannot %s\n",
                     mapped_ ? "find ffglhost's own program file" : "map memory to share with a worker process");
        end.status = 1;
        return end;
    }
    shared_->flight.reset();
    shared_->files.clear();
    std::fflush(stdout);
    std::fflush(stderr);

    Handle outputRead, outputWrite;
    if (options.captureOutput) {
        SECURITY_ATTRIBUTES sa{};
        sa.nLength = sizeof sa;
        sa.bInheritHandle = TRUE;
        HANDLE r = nullptr, w = nullptr;
        if (CreatePipe(&r, &w, &sa, kPipeBytes)) {
            outputRead.reset(r);
            outputWrite.reset(w);
            SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
        }
    }
    const bool captured = static_cast<bool>(outputWrite);
    Handle input(inheritableCopy(GetStdHandle(STD_INPUT_HANDLE)));
    Handle output(inheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE)));
    Handle error(captured ? nullptr : inheritableCopy(GetStdHandle(STD_ERROR_HANDLE)));

    // The worker's argument, the job's words, then the host's own arguments (SpawnedWorker.h).
    std::wstring command = quotedArgument(program) + L" " + widened(kWorkerArgument) + L" " +
                           handleText(mapping_) + L"," + (captured && output ? handleText(output.get()) : L"0") + L" " +
                           std::to_wstring(options.jobWords.size());
    for (const std::string& word : options.jobWords)
        command += L" " + quotedArgument(widened(word));
    const std::wstring arguments = hostArguments();
    if (!arguments.empty())
        command += L" " + arguments;

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = input.get();
    si.hStdOutput = captured ? outputWrite.get() : output.get();
    si.hStdError = captured ? outputWrite.get() : error.get();
    // The job ends the worker and whatever it starts, also when the host dies without a word.
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
            job.reset();
    }
    ConsoleInterrupts interrupts;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                        nullptr, nullptr, &si, &pi);
    const DWORD startError = GetLastError();
    input.reset();
    output.reset();
    error.reset();
    outputWrite.reset(); // the worker holds the only write end now: the pipe breaks when it is gone
    if (!started) {
        std::fprintf(stderr, "ffglhost: error: cannot start a worker process (Windows error %lu)\n",
                     static_cast<unsigned long>(startError));
        end.status = 1;
        return end;
    }
    Handle process(pi.hProcess);
    Handle thread(pi.hThread);
    // Where the host itself runs in a job that allows no other (before Windows 8), the worker
    // alone is terminated.
    const bool inJob = job && AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
    thread.reset();

    OutputTail tail;
    const int64_t timeoutNs = static_cast<int64_t>(options.timeoutSeconds * 1e9);
    bool timedOut = false;
    for (;;) {
        DWORD waitMs = captured ? kOutputLookMs : kIdleLookMs;
        if (timeoutNs > 0) {
            int64_t leftNs = -1;
            if (shared_->flight.overdue(monotonicNs(), timeoutNs, leftNs)) {
                timedOut = true;
                break;
            }
            if (leftNs >= 0 && leftNs / 1000000 + 1 < waitMs)
                waitMs = static_cast<DWORD>(leftNs / 1000000 + 1);
        }
        if (g_interrupted.load())
            break;
        const DWORD woke = WaitForSingleObject(process.get(), waitMs);
        if (outputRead && !forward(outputRead.get(), tail))
            outputRead.reset();
        if (woke != WAIT_TIMEOUT)
            break;
    }
    // Whatever the worker left running goes with it.
    if (inJob)
        TerminateJobObject(job.get(), kTerminatedStatus);
    else
        TerminateProcess(process.get(), kTerminatedStatus);
    WaitForSingleObject(process.get(), kKillGraceMs);
    if (inJob)
        reapJob(job.get());
    if (outputRead)
        drain(outputRead.get(), tail);
    DWORD status = 1;
    GetExitCodeProcess(process.get(), &status);

    end.flight = shared_->flight.snapshot();
    end.lastOutput = tail.lines();
    end.timeoutSeconds = options.timeoutSeconds;
    if (g_interrupted.load()) {
        end.kind = WorkerEnd::Kind::Interrupted;
        end.signal = SIGINT;
    } else if (timedOut) {
        end.kind = WorkerEnd::Kind::TimedOut;
    } else if (end.flight.signal != 0) {
        end.kind = WorkerEnd::Kind::Signalled;
        end.signal = end.flight.signal;
    } else if (end.flight.exception != 0 || isExceptionStatus(status)) {
        end.kind = WorkerEnd::Kind::Signalled;
        end.exception = end.flight.exception != 0 ? end.flight.exception : status;
    } else {
        end.status = static_cast<int>(status);
    }
    shared_->files.removeAll();
    return end;
}

} // namespace ffglhost
