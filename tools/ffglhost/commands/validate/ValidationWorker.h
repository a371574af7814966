// The worker side of `ffglhost validate`: loads the plug-in, opens the GL context and runs the
// validator's steps (ValidationPlan.h) from a given one to the end, printing each finished
// check's line at once and noting its outcome in the shared progress.
//
// Before its first step the worker gets ready: it loads the plug-in, opens the context, reads
// what the header needs (code 0, the capabilities) and, when it does not start at the first
// step, quietly redoes what the earlier steps produced that later ones use (initialisation, the
// parameter table, the instance the instance checks share), skipping steps that took an
// earlier worker down. The first worker prints the header once it is ready.
//
// Runs in the worker process, main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "commands/validate/ValidationInputs.h"
#include "commands/validate/ValidationProgress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

// Runs steps `first` .. last of the validation of options.pluginPath with the choices of
// options.seed (SeededChoices.h), an effect's input slots fed from `inputs` and the default
// patterns (ValidationInputs.h). With `fitInputs` (several plug-ins validated in one run) a
// plug-in takes the sources for the slots it has and no more, where one named alone refuses
// sources it cannot take. Returns the exit status: 0 when every step ran (the progress is then
// finished), else the status of the failure that kept it from getting ready (its message is
// printed to standard error and noted in the progress).
int runValidationWorker(const Options& options, const InputSourceFactories& inputs, bool fitInputs, int first,
                        int reportFd, ValidationProgress& progress);

// What a worker started as a new program (Windows, worker/SpawnedWorker.h) needs besides the
// host's command line to run the steps from `first` on the plug-in at `pluginPath` with `seed`
// and `fitInputs` (WorkerOptions::jobWords): a run of several plug-ins and rounds gives each
// its own.
std::vector<std::string> validationJobWords(int first, const std::string& pluginPath, uint32_t seed, bool fitInputs);
// That worker's job: the validation steps `words` name, with `options` parsed from the host's
// command line and the --input sources made from them again.
int runValidationJob(const Options& options, const std::vector<std::string>& words, int reportFd,
                     ValidationProgress& progress);

} // namespace ffglhost
