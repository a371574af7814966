// The worker's side of SpawnedSupervisor.h: ffglhost.exe started again by the host to run one
// job. Its command line is
//
//   ffglhost.exe --ffglhost-worker BLOCK,REPORT N WORD... HOST-ARGUMENT...
//
// BLOCK is the inherited handle of the shared block's file mapping (WorkerShared.h); REPORT the
// inherited handle the job's report goes to (the host's standard output, when the worker's own
// standard output is captured), or 0 for the worker's standard output; the N words are the job's
// WorkerOptions::jobWords; the host's own arguments follow as the host got them. The worker maps
// the block, installs its crash handlers (CrashExceptions.h), parses the host's arguments as the
// host did and hands them with the words to the host's job maker, which rebuilds and runs the
// job the host's supervisor was given.
//
// On Linux no process is started this way (workers are forked): isWorkerProcess() is false.
// Main thread, before anything else in main().
#pragma once

#include "Options.h"
#include "worker/WorkerShared.h"

#include <functional>
#include <string>
#include <vector>

namespace ffglhost {

// The argument that makes ffglhost a worker; only ever its first.
constexpr char kWorkerArgument[] = "--ffglhost-worker";

// Runs the job the host's command line `options` and `words` describe, with `shared` as its block;
// writes its report to `reportFd` and returns the exit status (as a WorkerJob does).
using JobMaker =
    std::function<int(const Options& options, const std::vector<std::string>& words, WorkerShared& shared, int reportFd)>;

// Whether this process is a worker started by the host (argv[1] is kWorkerArgument).
bool isWorkerProcess(int argc, char** argv);

// The worker's main: the job `makeJob` runs, its exit status. A command line that is no
// worker's own (a person typing the argument) is bad usage, one line, exit status 2.
int runWorkerProcess(int argc, char** argv, const JobMaker& makeJob);

} // namespace ffglhost
