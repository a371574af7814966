// The supervisor that isolates (see Supervisor.h): every job runs in a forked worker process
// that the host outlives.
//
// - The shared block (flight record, temporary files, validation progress) is mapped shared
//   and anonymous before the fork, so the host reads what the worker last wrote even after a
//   crash. The host itself never loads a plug-in nor touches EGL, GL or X11, so forking it is
//   safe.
// - The worker makes itself a process group (so ffmpeg and anything else it starts go with
//   it), dies with the host (PR_SET_PDEATHSIG), and installs the crash handlers of
//   CrashSignals.h before it runs the job.
// - The watchdog: when one plug-in call (or a load, or the glFinish of a frame) has been in
//   flight longer than the timeout, the host kills the worker's whole group with SIGKILL.
// - Whatever way the worker ends, the rest of its group is killed and the temporary output
//   files it left are removed.
// - Ctrl-C and termination signals the host receives are passed on to the worker's group; run()
//   then reports Interrupted and the caller ends the host with the same signal.
// - With captured output, the worker's standard output and error are a pipe the host passes on
//   to its own standard error, keeping the last lines; the job's report goes to a private
//   duplicate of the host's standard output.
//
// Ownership: owns the mapping. Main thread only.
#pragma once

#include "worker/Supervisor.h"

namespace ffglhost {

class ForkedSupervisor : public Supervisor {
public:
    ForkedSupervisor();
    ~ForkedSupervisor() override;
    ForkedSupervisor(const ForkedSupervisor&) = delete;
    ForkedSupervisor& operator=(const ForkedSupervisor&) = delete;

    // A worker that cannot even be started ends as Exited with status 1 after a message.
    WorkerEnd run(const WorkerJob& job, const WorkerOptions& options) override;
    WorkerShared& shared() override { return *shared_; }

private:
    WorkerShared* shared_ = nullptr; // in the shared mapping (or the heap if mapping failed)
    bool mapped_ = false;
};

} // namespace ffglhost
