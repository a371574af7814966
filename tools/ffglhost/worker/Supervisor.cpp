// Worker outcomes and the supervisor for this platform (see Supervisor.h).
#include "worker/Supervisor.h"

#include "plugin/PluginDescription.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace ffglhost {

namespace {

// Signals a process dies of when it faults; others (SIGKILL, SIGTERM) were sent by someone.
bool isCrashSignal(int signal)
{
    switch (signal) {
    case SIGSEGV:
    case SIGFPE:
    case SIGILL:
    case SIGABRT:
#ifdef SIGBUS // POSIX signals the Windows C runtime lacks
    case SIGBUS:
    case SIGTRAP:
    case SIGSYS:
#endif
        return true;
    default: return false;
    }
}

bool callInFlight(FlightPhase p)
{
    return p == FlightPhase::Loading || p == FlightPhase::Calling || p == FlightPhase::Finishing ||
           p == FlightPhase::Unloading;
}

std::string secondsText(double seconds)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", seconds);
    return buf;
}

} // namespace

bool WorkerEnd::pluginFault() const
{
    switch (kind) {
    case Kind::Signalled:
    case Kind::TimedOut: return true;
    case Kind::Exited: return callInFlight(flight.phase);
    case Kind::Interrupted: break;
    }
    return false;
}

std::string faultText(const WorkerEnd& e)
{
    const std::string where = whereText(e.flight);
    switch (e.kind) {
    case WorkerEnd::Kind::TimedOut: return "hung: no answer within " + secondsText(e.timeoutSeconds) + where;
    case WorkerEnd::Kind::Signalled:
        if (e.exception != 0)
            return "crashed (" + exceptionText(e.exception) + ")" + where;
        return std::string(isCrashSignal(e.signal) ? "crashed (" : "was killed (") + signalName(e.signal) + ")" +
               where;
    case WorkerEnd::Kind::Exited: return "exited (status " + std::to_string(e.status) + ")" + where;
    case WorkerEnd::Kind::Interrupted: break;
    }
    return "was interrupted (" + signalName(e.signal) + ")" + where;
}

std::string faultLine(const WorkerEnd& e)
{
    const std::string name = printable(e.flight.plugin);
    return (name.empty() ? std::string("the plug-in") : name) + " " + faultText(e);
}

void endWithSignal(int signal)
{
    std::fflush(stdout);
#ifdef _WIN32
    // What Windows' own Ctrl-C handling ends a program with (STATUS_CONTROL_C_EXIT).
    if (signal == SIGINT)
        _exit(static_cast<int>(0xC000013Au));
#endif
    std::signal(signal, SIG_DFL);
    raise(signal);
    _exit(128 + signal);
}

bool writeText(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace ffglhost
