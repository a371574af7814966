// The validate command's supervising side (see ValidateCommand.h).
#include "commands/validate/ValidateCommand.h"

#include "commands/validate/Check.h"
#include "commands/validate/ValidationWorker.h"
#include "plugin/PluginDescription.h"

#include <unistd.h>

#include <cstdio>
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
    explicit Report(ValidationProgress& progress) : progress_(progress) {}

    // The first check of `step` fails with `facts`; the others, computed with it, are skipped.
    void failStep(int step, const std::string& facts)
    {
        const int first = static_cast<int>(kSteps[step].first);
        bool failed = false;
        for (int c = first; c < first + kSteps[step].checks; ++c) {
            if (progress_.reported(c) || !progress_.applies(c))
                continue;
            Check check(checkName(c));
            if (!failed)
                check.fail(facts);
            else
                check.skip("not run: it is computed with the check above, which did not finish");
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
        progress_.report(c, check.outcome());
    }

    ValidationProgress& progress_;
};

} // namespace

int runValidate(const Options& o, Supervisor& supervisor, const InputSourceFactories& inputs)
{
    ValidationProgress& progress = supervisor.shared().validation;
    progress.reset();
    Report report(progress);
    WorkerOptions wo;
    wo.timeoutSeconds = o.timeoutSeconds;
    wo.captureOutput = true;

    int first = 0;
    int status = kExitOk; // a worker's own failing exit after the last check (a sanitizer's leak report)
    while (first < kStepCount) {
        progress.startWorker();
        wo.jobWords = validationJobWords(first, o.pluginPath);
        const WorkerEnd end = supervisor.run(
            [&o, &inputs, first, &progress](int reportFd) {
                return runValidationWorker(o, inputs, first, reportFd, progress);
            },
            wo);
        if (end.kind == WorkerEnd::Kind::Interrupted)
            endWithSignal(end.signal);
        if (progress.finished()) {
            // Every check is out; what goes wrong after them still decides the exit status.
            if (end.pluginFault()) {
                std::fprintf(stderr, "%s%s\n", kErrorPrefix, faultLine(end).c_str());
                status = kExitFailed;
            } else {
                status = end.status;
            }
            break;
        }
        if (!end.pluginFault()) {
            const std::string failure = progress.failure();
            if (!progress.headerPrinted()) {
                if (end.status != 0)
                    return end.status; // bad input or a host failure: its message is out already
                std::fprintf(stderr, "%sthe validation ended before its first check\n", kErrorPrefix);
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
                          (renderer.empty() ? "" : " on " + renderer));
                progress.setHeaderPrinted();
            }
            step = 0;
        } else if (step < 0) {
            report.skipFrom(first, "not run: the plug-in " + faultText(end) + " while a fresh process got ready for it");
            break;
        }
        report.failStep(step, facts);
        progress.markCrashed(step);
        first = step + 1;
    }

    const std::vector<Outcome> outcomes = progress.outcomes();
    printLine(summaryLine(outcomes));
    const std::size_t failed = failedCount(outcomes);
    if (failed > 0) {
        std::fprintf(stderr, "%s%zu of %zu checks failed\n", kErrorPrefix, failed, outcomes.size());
        return kExitFailed;
    }
    return status;
}

} // namespace ffglhost
