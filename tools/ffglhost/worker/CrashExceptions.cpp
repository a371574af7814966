// The Windows worker's exception filter and signal handlers (see CrashExceptions.h).
#include "worker/CrashExceptions.h"

#include "worker/FlightRecord.h"

#include <windows.h>

#include <csignal>

namespace ffglhost {

namespace {

// Room kept for the filter when the plug-in overflows the stack: the dispatch of the exception
// and the filter take a few kilobytes; Wine's dispatch more than Windows'.
constexpr ULONG kStackRoomBytes = 64 * 1024;

// abort() (and std::terminate) raises SIGABRT. The C runtime's other crash signals stay at their
// default: MinGW's start-up code hands access violations, illegal instructions and divisions by
// zero to a SIGSEGV, SIGILL or SIGFPE handler when there is one, and they are to reach the filter
// by their own name. (A plug-in that raises one of those itself exits with status 3.)
const int kCrashSignals[] = {SIGABRT};
// What the C runtime exits with after abort().
constexpr UINT kSignalExitStatus = 3;

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info)
{
    const DWORD code =
        info != nullptr && info->ExceptionRecord != nullptr ? info->ExceptionRecord->ExceptionCode : 0;
    flightRecord().crashedWithException(code);
    // Ended here rather than by returning: nothing later (Wine's debugger, the error report) runs.
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

void onCrashSignal(int signal)
{
    flightRecord().crashed(signal);
    TerminateProcess(GetCurrentProcess(), kSignalExitStatus);
}

// Keeps kStackRoomBytes of the main thread's stack for the filter.
bool keepStackRoom()
{
    ULONG bytes = kStackRoomBytes;
    const bool guaranteed = SetThreadStackGuarantee(&bytes) != 0;
    // Wine commits a thread's stack whole, with one guard page at its very bottom: an overflow
    // meets it with no room left to dispatch the exception, and Wine ends the thread without a
    // word (the process then waits on its other threads, the GL driver's). A guard page where
    // the guaranteed room begins makes Wine raise the stack overflow there, with that room
    // left. On Windows the page is still only reserved there, and the guarantee works as it is.
    MEMORY_BASIC_INFORMATION stack{};
    if (VirtualQuery(&stack, &stack, sizeof stack) == 0)
        return guaranteed;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    char* const page = static_cast<char*>(stack.AllocationBase) + kStackRoomBytes;
    MEMORY_BASIC_INFORMATION at{};
    DWORD previous = 0;
    if (page + system.dwPageSize < reinterpret_cast<char*>(&stack) && VirtualQuery(page, &at, sizeof at) != 0 &&
        at.AllocationBase == stack.AllocationBase && at.State == MEM_COMMIT && (at.Protect & PAGE_GUARD) == 0)
        VirtualProtect(page, system.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &previous);
    return guaranteed;
}

} // namespace

bool installCrashHandlers()
{
    // No message box for a crash, a missing file or a failing drive: the host reports them.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(onUnhandledException);
    for (int signal : kCrashSignals)
        std::signal(signal, onCrashSignal);
    return keepStackRoom();
}

} // namespace ffglhost
