// ffglhost: an FFGL 1.5 host. Parses the command line, refuses what this platform lacks
// (HostPlatform.h), then runs the info, render, preview, sheet or validate command in a worker the
// host outlives (worker/Supervisor.h): a plug-in that crashes, hangs or exits in a call becomes one
// error line and exit status 1 (validate reports it on the check it broke and goes on). The
// command's own status becomes one message line and the exit status. A command's report goes to
// standard output even when the command fails (validate reports its checks either way), and to
// the --report (and validate's --junit) files (report/ReportFiles.h).
#include "HostPlatform.h"
#include "Options.h"
#include "Status.h"
#include "commands/info/InfoCommand.h"
#include "commands/preview/PreviewCommand.h"
#include "commands/render/RenderCommand.h"
#include "commands/render/SideBySideRender.h"
#include "commands/sheet/SheetCommand.h"
#include "commands/validate/ValidateRun.h"
#include "commands/validate/ValidationWorker.h"
#include "frame/HostContext.h"
#include "report/ReportFiles.h"
#include "report/RunReport.h"
#include "worker/SpawnedWorker.h"
#include "worker/Supervisor.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

ffglhost::Status runCommand(const ffglhost::Options& options, std::string& report, ffglhost::RunReport& facts)
{
    using namespace ffglhost;
    switch (options.command) {
    case Command::Info: return runInfo(options, report, facts);
    case Command::Preview: return runPreview(options, report);
    case Command::Render:
        return options.alsoPaths.empty() ? runRender(options, report, facts) : runSideBySide(options, report, facts);
    case Command::Sheet: return runSheet(options, report);
    case Command::Validate:
    case Command::Version:
    case Command::Help: break;
    }
    return Status();
}

// The worker's part of info, render and preview: the command, its report, its message and its
// --report file.
int runCommandJob(const ffglhost::Options& options, int reportFd)
{
    std::string report;
    ffglhost::RunReport facts = ffglhost::startReport(options);
    const ffglhost::Status s = runCommand(options, report, facts);
    std::fflush(stdout);
    (void)ffglhost::writeText(reportFd, report);
    if (!s.ok())
        std::fprintf(stderr, "%s\n", s.message().c_str());
    return ffglhost::finishCommandReport(options, facts, s);
}

// The job of a worker started as a new program (Windows, worker/SpawnedWorker.h): the one the
// host's supervisor was given below, rebuilt from the host's command line and the job's words.
int runRebuiltJob(const ffglhost::Options& options, const std::vector<std::string>& words,
                  ffglhost::WorkerShared& shared, int reportFd)
{
    if (options.command == ffglhost::Command::Validate)
        return ffglhost::runValidationJob(options, words, reportFd, shared.validation);
    return runCommandJob(options, reportFd);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace ffglhost;
    if (isWorkerProcess(argc, argv))
        return runWorkerProcess(argc, argv, runRebuiltJob);
    Options options;
    bool usageError = false;
    Status s = parseOptions(argc, argv, options, usageError);
    // The driver is chosen before the worker starts, so that it inherits the choice.
    if (s.ok() && options.command != Command::Help && options.command != Command::Version)
        s = selectDriver(options.driver);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        if (usageError)
            std::fputs(usageText(), stderr);
        return s.exitCode();
    }
    if (options.command == Command::Help) {
        std::fputs(helpText(), stdout);
        return kExitOk;
    }
    if (options.command == Command::Version) {
        std::printf("%s\n", versionLine().c_str());
        return kExitOk;
    }

    Status platform = checkPlatformFeatures(options);
    if (platform.ok())
        platform = checkReportPaths(options);
    if (!platform.ok()) {
        std::fprintf(stderr, "%s\n", platform.message().c_str());
        return platform.exitCode();
    }

    const std::unique_ptr<Supervisor> supervisor = makeSupervisor(options.inProcess);
    if (options.command == Command::Validate)
        return runValidation(options, *supervisor);

    WorkerOptions wo;
    wo.timeoutSeconds = options.timeoutSeconds;
    const WorkerEnd end = supervisor->run([&options](int reportFd) { return runCommandJob(options, reportFd); }, wo);
    if (end.kind == WorkerEnd::Kind::Interrupted)
        endWithSignal(end.signal);
    if (end.pluginFault()) {
        // A progress bar the worker left on the terminal line is cleared first.
        const char* clear = isatty(STDERR_FILENO) == 1 ? "\r\033[K" : "";
        std::fprintf(stderr, "%sffglhost: error: %s\n", clear, faultLine(end).c_str());
        writeFaultReport(options, end);
        return kExitFailed;
    }
    return end.status;
}
