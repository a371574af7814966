// What a worker process and its supervisor share: the flight record of plug-in calls, the table
// of temporary output files, and the validator's progress. One block of plain lock-free atomics
// and characters, mapped before the worker is forked (ForkedSupervisor.h) or held in the one
// process (InProcessSupervisor.h); the supervisor owns it and resets the parts a new worker
// writes. Thread and process rules: those of each part.
#pragma once

#include "commands/validate/ValidationProgress.h"
#include "worker/FlightRecord.h"
#include "worker/TemporaryFiles.h"

namespace ffglhost {

struct WorkerShared {
    FlightRecord flight;
    TemporaryFiles files;
    ValidationProgress validation;
};

} // namespace ffglhost
