// Running plug-in work in a worker the host outlives. The host's main() parses the command line
// and hands everything that loads a plug-in or touches GL to a Supervisor as a WorkerJob. The
// supervisor runs the job in a worker process with a watchdog on every plug-in call and reads the
// shared flight record when the process crashes, hangs or exits in the middle of a call: on
// Linux a forked one (ForkedSupervisor.h), on Windows ffglhost.exe started again, which rebuilds
// the job from the host's command line (SpawnedSupervisor.h). InProcessSupervisor.h runs the job
// in the host's own process (no isolation: for debuggers and for measuring the cost of
// isolation). All share a WorkerShared block with the job.
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
    // What a worker started as a new program (Windows) needs, besides the host's command line, to
    // rebuild the job: empty for info, render and the like; validate's first step and plug-in
    // (ValidationWorker.h). Workers that run `job` itself ignore them.
    std::vector<std::string> jobWords;
};

// How a worker ended.
struct WorkerEnd {
    enum class Kind {
        Exited,      // returned or called exit(): `status`
        Signalled,   // died of `signal`, or on Windows of the structured exception `exception`
        TimedOut,    // a call was in flight longer than the timeout; the worker was killed
        Interrupted, // the host received `signal` (Ctrl-C, a kill) and passed it on
    };
    Kind kind = Kind::Exited;
    int status = 0;
    int signal = 0;
    uint32_t exception = 0; // Windows: 0xC0000005 (access violation), ...; 0 for a signal
    double timeoutSeconds = 0.0;
    FlightSnapshot flight; // the flight record as the worker left it
    std::vector<std::string> lastOutput;

    // Whether the plug-in took the worker down: a death by signal, a time-out, or an exit while
    // a plug-in call (or the loading of its library) was in flight.
    bool pluginFault() const;
};

// What happened, without the plug-in's name: "crashed (SIGSEGV) in code 17 (process OpenGL) at
// frame 3", "crashed (access violation, 0xC0000005) in code 17 (process OpenGL) at frame 3",
// "hung: no answer within 10 s in code 17 (process OpenGL) at frame 2", "exited (status 3) in
// code 8 (set parameter)".
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

// A supervisor that isolates (forks on Linux, starts ffglhost.exe again on Windows) or, with
// `inProcess`, runs jobs in this process. (HostPlatformPosix.cpp, HostPlatformWin.cpp)
std::unique_ptr<Supervisor> makeSupervisor(bool inProcess);

// Ends the host as if `signal` had reached it unhandled (after a worker was interrupted by it).
[[noreturn]] void endWithSignal(int signal);

// Writes all of `text` to `fd` (a report line, the supervisor's own lines). False on an error.
bool writeText(int fd, const std::string& text);

} // namespace ffglhost
