// Jobs in the host's own process (see InProcessSupervisor.h).
#include "worker/InProcessSupervisor.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#endif
#include <unistd.h>

#include <cstdio>

namespace ffglhost {

InProcessSupervisor::InProcessSupervisor() : shared_(std::make_unique<WorkerShared>())
{
    useFlightRecord(&shared_->flight);
    useTemporaryFiles(&shared_->files);
}

InProcessSupervisor::~InProcessSupervisor()
{
    useFlightRecord(nullptr);
    useTemporaryFiles(nullptr);
}

WorkerEnd InProcessSupervisor::run(const WorkerJob& job, const WorkerOptions& options)
{
    shared_->flight.reset();
    WorkerEnd end;
    std::fflush(stdout);
    int report = STDOUT_FILENO;
    int saved = -1;
    if (options.captureOutput) {
        // The report keeps the real standard output; everything else printed goes to standard error.
#ifdef _WIN32
        saved = _dup(STDOUT_FILENO); // no child processes here to keep it from
#else
        saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
#endif
        if (saved >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0)
            report = saved;
    }
    end.status = job(report);
    std::fflush(stdout);
    if (saved >= 0) {
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    end.flight = shared_->flight.snapshot();
    shared_->files.removeAll();
    return end;
}

} // namespace ffglhost
