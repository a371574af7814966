// The supervisor without isolation (see Supervisor.h): jobs run in the host's own process, with
// the shared block as the process's flight record and temporary-file table. A plug-in that
// crashes or hangs takes the host with it; what it leaves is exactly what a debugger should see
// (no handler of ours is installed, no watchdog runs). `ffglhost --in-process` uses it.
//
// Main thread only.
#pragma once

#include "worker/Supervisor.h"

namespace ffglhost {

class InProcessSupervisor : public Supervisor {
public:
    InProcessSupervisor();
    ~InProcessSupervisor() override;

    // With captured output, the job's standard output goes to standard error while it runs
    // (nothing comes back in lastOutput). The timeout is not enforced.
    WorkerEnd run(const WorkerJob& job, const WorkerOptions& options) override;
    WorkerShared& shared() override { return *shared_; }

private:
    std::unique_ptr<WorkerShared> shared_;
};

} // namespace ffglhost
