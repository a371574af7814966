// ffglhost on Linux and other POSIX systems (see HostPlatform.h): every feature, and plug-ins in a
// forked worker unless --in-process asks otherwise.
#include "HostPlatform.h"

#include "worker/ForkedSupervisor.h"
#include "worker/InProcessSupervisor.h"
#include "worker/SpawnedWorker.h"
#include "worker/Supervisor.h"

namespace ffglhost {

Status checkPlatformFeatures(const Options&) { return Status(); }

std::unique_ptr<Supervisor> makeSupervisor(bool inProcess)
{
    if (inProcess)
        return std::make_unique<InProcessSupervisor>();
    return std::make_unique<ForkedSupervisor>();
}

// Workers are forked here: no process is ever started as one (SpawnedWorker.h).
bool isWorkerProcess(int, char**) { return false; }
int runWorkerProcess(int, char**, const JobMaker&) { return kExitBadInput; }

} // namespace ffglhost
