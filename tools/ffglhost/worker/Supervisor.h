// Running plug-in work in a worker the host outlives. The host's main() parses the command line
// and hands everything that loads a plug-in or touches GL to a Supervisor as a WorkerJob. On
// Linux the supervisor (ForkedSupervisor.h) runs the job in a forked process with a watchdog on
// every plug-in call and reads the shared flight record when the process crashes, hangs or exits
// in the middle of a call; InProcessSupervisor.h runs the job in the host's own process (no
// isolation: for debuggers, for measuring the cost of isolation, and on Windows, where it is the
// only supervisor). Both share a WorkerShared block with the job.
//
// Ownership: the supervisor owns its shared block. Main thread only; a job runs to its end
// before run() returns.
#pragma once

#include "worker/FlightRecord.h"
#include "worker/WorkerShared.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

// What a worker runs: everything that touches the plug-in and GL. It writes what belongs on
// standard output to `reportFd` (the host's standard output; with captured output the plug-in's
// standard output and error go elsewhere), its messages to standard error, and returns the exit
// status.
using WorkerJob = std::function<int(int reportFd)>;

struct WorkerOptions {
    double timeoutSeconds = 0.0; // longest a plug-in call may take; 0: no watchdog
    // The worker's standard output and error go to the host's standard error, and their last
    // lines come back in WorkerEnd::lastOutput (where the supervisor can capture them).
    bool captureOutput = false;
};

// How a worker ended.
struct WorkerEnd {
    enum class Kind {
        Exited,      // returned or called exit(): `status`
        Signalled,   // died of `signal`
        TimedOut,    // a call was in flight longer than the timeout; the worker was killed
        Interrupted, // the host received `signal` (Ctrl-C, a kill) and passed it on
    };
    Kind kind = Kind::Exited;
    int status = 0;
    int signal = 0;
    double timeoutSeconds = 0.0;
    FlightSnapshot flight; // the flight record as the worker left it
    std::vector<std::string> lastOutput;

    // Whether the plug-in took the worker down: a death by signal, a time-out, or an exit while
    // a plug-in call (or the loading of its library) was in flight.
    bool pluginFault() const;
};

// What happened, without the plug-in's name: "crashed (SIGSEGV) in code 17 (process OpenGL) at
// frame 3", "hung: no answer within 10 s in code 17 (process OpenGL) at frame 2", "exited
// (status 3) in code 8 (set parameter)".
std::string faultText(const WorkerEnd& end);
// The one line the host prints for a plug-in fault: "Quorus crashed (SIGSEGV) in code 17
// (process OpenGL) at frame 3" (the plug-in's name made printable).
std::string faultLine(const WorkerEnd& end);

class Supervisor {
public:
    virtual ~Supervisor() = default;

    // Runs `job` to its end. Temporary output files the job left (output/PendingFile.h) are removed.
    virtual WorkerEnd run(const WorkerJob& job, const WorkerOptions& options) = 0;
    // The block the job shares with the supervisor.
    virtual WorkerShared& shared() = 0;
};

// A supervisor that forks (isolation) or, with `inProcess`, runs jobs in this process. On
// Windows jobs always run in this process. (HostPlatformPosix.cpp, HostPlatformWin.cpp)
std::unique_ptr<Supervisor> makeSupervisor(bool inProcess);

// Ends the host as if `signal` had reached it unhandled (after a worker was interrupted by it).
[[noreturn]] void endWithSignal(int signal);

// Writes all of `text` to `fd` (a report line, the supervisor's own lines). False on an error.
bool writeText(int fd, const std::string& text);

} // namespace ffglhost
