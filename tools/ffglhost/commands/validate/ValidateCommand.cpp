// The validate command's supervising side (see ValidateCommand.h).
#include "commands/validate/ValidateCommand.h"

#include "commands/validate/Check.h"
#include "commands/validate/ValidationWorker.h"
#include "plugin/PluginDescription.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ffglhost {

namespace {

const char kErrorPrefix[] = "ffglhost: error: ";

void printLine(const std::string& line) { (void)writeText(STDOUT_FILENO, line + "\n"); }

// "; its last output: "a" / "b"" or nothing.
std::string lastOutputText(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "; its last output: \"" : " / \"") + l + "\"";
    return out;
}

// The message of a worker's failure without the program's prefix, for a SKIP reason.
std::string withoutPrefix(const std::string& message)
{
    const std::string prefix = kErrorPrefix;
    return message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : message;
}

class Report {
public:
    Report(ValidationProgress& progress, std::vector<std::optional<ReportFault>>& faults)
        : progress_(progress), faults_(faults)
    {
    }

    // The first check of `step` fails with `facts` (the fault `end` was); the others, computed
    // with it, are skipped.
    void failStep(int step, const std::string& facts, const WorkerEnd& end)
    {
        const int first = static_cast<int>(kSteps[step].first);
        bool failed = false;
        for (int c = first; c < first + kSteps[step].checks; ++c) {
            if (progress_.reported(c) || !progress_.applies(c))
                continue;
            Check check(checkName(c));
            if (!failed) {
                check.fail(facts);
                faults_[static_cast<std::size_t>(c)] = faultOf(end);
            } else {
                check.skip("not run: it is computed with the check above, which did not finish");
            }
            failed = true;
            put(c, check);
        }
    }

    // Every check of step `step` on is skipped for `reason`.
    void skipFrom(int step, const std::string& reason)
    {
        for (int c = step < kStepCount ? static_cast<int>(kSteps[step].first) : kCheckCount; c < kCheckCount; ++c) {
            if (progress_.reported(c) || !progress_.applies(c))
                continue;
            Check check(checkName(c));
            check.skip(reason);
            put(c, check);
        }
    }

private:
    void put(int c, const Check& check)
    {
        printLine(check.line());
        progress_.report(c, check.outcome(), check.message());
    }

    ValidationProgress& progress_;
    std::vector<std::optional<ReportFault>>& faults_;
};

// Runs the steps in workers until every check is out; the exit status of one plug-in validated
// alone. For a plug-in that could not be validated at all, out.result becomes Error and
// out.message says why; a fault or failing exit after the last check goes into `out` too.
int runSteps(const Options& o, Supervisor& supervisor, const InputSourceFactories& inputs, bool fitInputs,
             std::vector<std::optional<ReportFault>>& faults, ReportPlugin& out)
{
    ValidationProgress& progress = supervisor.shared().validation;
    Report report(progress, faults);
    WorkerOptions wo;
    wo.timeoutSeconds = o.timeoutSeconds;
    wo.captureOutput = true;

    int first = 0;
    int status = kExitOk; // a worker's own failing exit after the last check (a sanitizer's leak report)
    while (first < kStepCount) {
        progress.startWorker();
        wo.jobWords = validationJobWords(first, o.pluginPath, o.seed, fitInputs);
        const WorkerEnd end = supervisor.run(
            [&o, &inputs, fitInputs, first, &progress](int reportFd) {
                return runValidationWorker(o, inputs, fitInputs, first, reportFd, progress);
            },
            wo);
        if (end.kind == WorkerEnd::Kind::Interrupted)
            endWithSignal(end.signal);
        if (progress.finished()) {
            // Every check is out; what goes wrong after them still decides the exit status.
            if (end.pluginFault()) {
                std::fprintf(stderr, "%s%s\n", kErrorPrefix, faultLine(end).c_str());
                out.message = faultLine(end);
                out.fault = faultOf(end);
                status = kExitFailed;
            } else if (end.status != kExitOk) {
                out.message = "the worker process ended with status " + std::to_string(end.status) +
                              " after the last check";
                status = end.status;
            }
            break;
        }
        if (!end.pluginFault()) {
            const std::string failure = progress.failure();
            if (!progress.headerPrinted()) {
                out.result = Verdict::Error;
                if (end.status != 0) {
                    // Bad input or a host failure: its message is out already.
                    out.message = failure.empty() ? "the validation could not start (status " +
                                                        std::to_string(end.status) + ")"
                                                  : withoutPrefix(failure);
                    return end.status;
                }
                out.message = "the validation ended before its first check";
                std::fprintf(stderr, "%s%s\n", kErrorPrefix, out.message.c_str());
                return kExitFailed;
            }
            report.skipFrom(first, "not run: a fresh process could not get ready for it: " +
                                       (failure.empty() ? "it ended with status " + std::to_string(end.status)
                                                        : withoutPrefix(failure)));
            status = kExitFailed;
            break;
        }
        const std::string facts = "the plug-in " + faultText(end) + lastOutputText(end.lastOutput);
        int step = progress.stage();
        if (step < 0 && first == 0) {
            // Getting ready reads code 0 and the capabilities: the first check's business.
            if (!progress.headerPrinted()) {
                const std::string renderer = progress.renderer();
                printLine("validating " + printable(end.flight.plugin) + " (" + o.pluginPath + ") at " +
                          std::to_string(o.width) + "x" + std::to_string(o.height) +
                          (renderer.empty() ? "" : " on " + renderer) + ", seed " + std::to_string(o.seed));
                progress.setHeaderPrinted();
            }
            step = 0;
        } else if (step < 0) {
            report.skipFrom(first, "not run: the plug-in " + faultText(end) + " while a fresh process got ready for it");
            break;
        }
        report.failStep(step, facts, end);
        progress.markCrashed(step);
        first = step + 1;
    }

    const std::vector<Outcome> outcomes = progress.outcomes();
    printLine(summaryLine(outcomes));
    return failedCount(outcomes) > 0 ? kExitFailed : status;
}

} // namespace

int runValidate(const Options& o, Supervisor& supervisor, const InputSourceFactories& inputs, bool fitInputs,
                ReportPlugin& out)
{
    out = ReportPlugin();
    out.file = o.pluginPath;
    out.validated = true;
    out.seed = o.seed;
    out.started = std::time(nullptr);
    const auto started = std::chrono::steady_clock::now();
    ValidationProgress& progress = supervisor.shared().validation;
    progress.reset();
    std::vector<std::optional<ReportFault>> faults(static_cast<std::size_t>(kCheckCount));
    const int status = runSteps(o, supervisor, inputs, fitInputs, faults, out);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // What the host learnt, from the progress the workers shared.
    out.name = progress.name();
    out.uniqueId = progress.uniqueId();
    out.type = progress.type();
    out.inputs = progress.inputs();
    if (out.result == Verdict::Error)
        return status;
    out.result = status == kExitOk ? Verdict::Pass : Verdict::Fail;
    for (int c = 0; c < kCheckCount; ++c) {
        if (!progress.reported(c))
            continue;
        ReportCheck check;
        check.id = checkId(c);
        check.title = checkName(c);
        check.outcome = progress.outcome(c);
        check.message = progress.message(c);
        check.seconds = progress.seconds(c);
        check.fault = faults[static_cast<std::size_t>(c)];
        if (check.outcome == Outcome::Warn && out.result == Verdict::Pass)
            out.result = Verdict::Warn;
        out.checks.push_back(check);
    }
    return status;
}

} // namespace ffglhost
