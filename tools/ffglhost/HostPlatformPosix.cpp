// ffglhost on Linux and other POSIX systems (see HostPlatform.h): every feature, and plug-ins in a
// forked worker unless --in-process asks otherwise.
#include "HostPlatform.h"

#include "worker/ForkedSupervisor.h"
#include "worker/InProcessSupervisor.h"
#include "worker/Supervisor.h"

namespace ffglhost {

Status checkPlatformFeatures(const Options&) { return Status(); }

std::unique_ptr<Supervisor> makeSupervisor(bool inProcess)
{
    if (inProcess)
        return std::make_unique<InProcessSupervisor>();
    return std::make_unique<ForkedSupervisor>();
}

} // namespace ffglhost
