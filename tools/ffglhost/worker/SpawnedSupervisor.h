// The supervisor that isolates on Windows (see Supervisor.h): every job runs in a worker process,
// ffglhost.exe started again (SpawnedWorker.h), that the host outlives.
//
// - The shared block (flight record, temporary files, validation progress) is an inheritable
//   file mapping backed by the paging file; the worker maps the same block through the handle it
//   inherits, so the host reads what the worker last wrote even after a crash. The host itself
//   never loads a plug-in nor touches GL.
// - The worker gets the host's own arguments as the host got them (from the process's command
//   line) and the job's words (WorkerOptions::jobWords), and rebuilds the job from them; `job`
//   itself is not run in the host.
// - The worker runs in a job object that ends it, and whatever it starts, when the host closes
//   the job or dies. It installs the exception filter of CrashExceptions.h, so that a crash is
//   an exit status (the exception code) and never a dialog or a debugger.
// - The watchdog: when one plug-in call (or a load, or the glFinish of a frame) has been in
//   flight longer than the timeout, the host terminates the job.
// - Whatever way the worker ends, the rest of its job is terminated and the temporary output
//   files it left are removed.
// - Ctrl-C: the worker ends of it (it shares the console); the host ends the job, cleans up, and
//   run() reports Interrupted (SIGINT).
// - With captured output, the worker's standard output and error are a pipe the host reads
//   between its looks at the worker and passes on to its own standard error, keeping the last
//   lines; the job's report goes to an inherited duplicate of the host's standard output.
//
// Ownership: owns the mapping. Main thread only.
#pragma once

#include "worker/Supervisor.h"

namespace ffglhost {

class SpawnedSupervisor : public Supervisor {
public:
    SpawnedSupervisor();
    ~SpawnedSupervisor() override;
    SpawnedSupervisor(const SpawnedSupervisor&) = delete;
    SpawnedSupervisor& operator=(const SpawnedSupervisor&) = delete;

    // A worker that cannot even be started ends as Exited with status 1 after a message.
    WorkerEnd run(const WorkerJob& job, const WorkerOptions& options) override;
    WorkerShared& shared() override { return *shared_; }

private:
    void* mapping_ = nullptr;        // the file mapping's handle
    WorkerShared* shared_ = nullptr; // in the mapping (or the heap if mapping failed)
    bool mapped_ = false;
};

} // namespace ffglhost
