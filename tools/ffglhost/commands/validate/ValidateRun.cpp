// Validating every plug-in of a command line (see ValidateRun.h).
#include "commands/validate/ValidateRun.h"

#include "commands/validate/Check.h"
#include "commands/validate/PluginFiles.h"
#include "commands/validate/ValidateCommand.h"
#include "frame/RenderSetup.h"
#include "report/ReportFiles.h"
#include "report/RunReport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace ffglhost {

namespace {

const char kErrorPrefix[] = "ffglhost: error: ";

void printLine(const std::string& line) { (void)writeText(STDOUT_FILENO, line + "\n"); }

// Whether a round with this result ends the repeats: it failed (or warned, under --strict).
bool failing(Verdict v, bool strict) { return v == Verdict::Fail || v == Verdict::Error || (strict && v == Verdict::Warn); }

std::size_t count(const ReportPlugin& p, Outcome o)
{
    return static_cast<std::size_t>(
        std::count_if(p.checks.begin(), p.checks.end(), [o](const ReportCheck& c) { return c.outcome == o; }));
}

std::string upper(const char* text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string pad(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string padLeft(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string displayName(const ReportPlugin& p)
{
    return p.name.empty() ? std::filesystem::path(p.file).stem().string() : p.name;
}

// The table that ends a run of several plug-ins, and its totals.
void printTable(const std::vector<ReportPlugin>& plugins, bool strict)
{
    std::size_t nameWidth = 7, fileWidth = 4;
    for (const ReportPlugin& p : plugins) {
        nameWidth = std::max(nameWidth, printable(displayName(p)).size());
        fileWidth = std::max(fileWidth, p.file.size());
    }
    const char* const counts[] = {"passed", "warned", "failed", "skipped"};
    std::string head = pad("plug-in", nameWidth + 2) + pad("file", fileWidth + 2) + "result";
    for (const char* c : counts)
        head += "  " + std::string(c);
    printLine("");
    printLine(head);
    std::size_t tally[4] = {0, 0, 0, 0};
    for (const ReportPlugin& p : plugins) {
        ++tally[static_cast<int>(p.result)];
        std::string row = pad(printable(displayName(p)), nameWidth + 2) + pad(p.file, fileWidth + 2) +
                          pad(upper(verdictName(p.result)), 6);
        const Outcome outcomes[] = {Outcome::Pass, Outcome::Warn, Outcome::Fail, Outcome::Skip};
        for (int i = 0; i < 4; ++i)
            row += "  " + padLeft(p.result == Verdict::Error ? "-" : std::to_string(count(p, outcomes[i])),
                                  std::string(counts[i]).size());
        printLine(row);
    }
    std::string total = std::to_string(plugins.size()) + " plug-ins: " +
                        std::to_string(tally[static_cast<int>(Verdict::Pass)]) + " passed";
    const char* const labels[] = {"passed", "warned", "failed", "could not be validated"};
    for (int i = 1; i < 4; ++i)
        if (tally[i] > 0)
            total += ", " + std::to_string(tally[i]) + " " + labels[i];
    if (strict)
        total += " (--strict: a warning fails)";
    printLine(total);
}

// Validates one plug-in, up to `options.repeat` rounds; the round reported in `out`. Returns the
// exit status of that round as ValidateCommand.h gives it.
int validateRounds(const Options& options, const std::string& file, Supervisor& supervisor,
                   const InputSourceFactories& inputs, bool fitInputs, std::string& renderer, ReportPlugin& out)
{
    Options o = options;
    o.pluginPath = file;
    int status = kExitOk;
    int rounds = 0;
    for (int k = 1; k <= options.repeat; ++k) {
        o.seed = options.seed + static_cast<uint32_t>(k - 1); // wraps round past 2^32 - 1
        if (options.repeat > 1)
            printLine("round " + std::to_string(k) + " of " + std::to_string(options.repeat));
        ReportPlugin round;
        const int s = runValidate(o, supervisor, inputs, fitInputs, round);
        rounds = k;
        if (renderer.empty())
            renderer = supervisor.shared().validation.renderer();
        round.round = k;
        // The first failing round, else the first with the worst result.
        if (k == 1 || static_cast<int>(round.result) > static_cast<int>(out.result)) {
            out = round;
            status = s;
        }
        if (failing(round.result, options.strict))
            break;
    }
    out.rounds = rounds;
    if (options.repeat > 1) {
        if (failing(out.result, options.strict))
            printLine("round " + std::to_string(out.round) + " of " + std::to_string(options.repeat) + " " +
                      (out.result == Verdict::Warn ? "warned" : out.result == Verdict::Error ? "could not run" : "failed") +
                      ": replay it with --seed " + std::to_string(out.seed));
        else
            printLine("all " + std::to_string(rounds) + " rounds " + (out.result == Verdict::Warn ? "passed, with warnings" : "passed"));
    }
    return status;
}

} // namespace

int runValidation(const Options& options, Supervisor& supervisor)
{
    InputSourceFactories inputs;
    std::vector<std::string> files;
    bool folderGiven = false;
    Status s = inputFactories(options.inputs, inputs);
    if (s.ok())
        s = listPluginFiles(options.pluginPaths, options.recursive, files, folderGiven);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return s.exitCode();
    }
    const bool several = folderGiven || files.size() > 1;

    RunReport report = startReport(options);
    int status = kExitOk; // a plug-in named alone
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (several && i > 0)
            printLine("");
        ReportPlugin plugin;
        status = validateRounds(options, files[i], supervisor, inputs, several, report.renderer, plugin);
        if (several && plugin.result == Verdict::Error)
            printLine(errorLine(plugin));
        if (options.strict && plugin.result == Verdict::Warn)
            plugin.result = Verdict::Fail;
        report.plugins.push_back(plugin);
    }

    std::size_t failed = 0, errors = 0;
    for (const ReportPlugin& p : report.plugins) {
        failed += p.result == Verdict::Fail || p.result == Verdict::Error ? 1 : 0;
        errors += p.result == Verdict::Error ? 1 : 0;
        report.result = worse(report.result, p.result);
    }
    if (several) {
        printTable(report.plugins, options.strict);
        if (errors == files.size()) {
            std::fprintf(stderr, "%snone of the %zu plug-ins could be validated\n", kErrorPrefix, files.size());
            status = kExitBadInput;
        } else if (failed > 0) {
            const std::string unvalidated =
                errors > 0 ? " (" + std::to_string(errors) + " could not be validated)" : std::string();
            std::fprintf(stderr, "%s%zu of %zu plug-ins failed%s\n", kErrorPrefix, failed, files.size(),
                         unvalidated.c_str());
            status = kExitFailed;
        } else {
            status = kExitOk;
        }
    } else if (report.plugins[0].result != Verdict::Error) {
        const ReportPlugin& p = report.plugins[0];
        const std::size_t checkFailures = count(p, Outcome::Fail);
        if (checkFailures > 0) {
            std::fprintf(stderr, "%s%zu of %zu checks failed\n", kErrorPrefix, checkFailures, p.checks.size());
        } else if (status == kExitOk && p.result == Verdict::Fail) { // a warning, under --strict
            std::fprintf(stderr, "%s%zu of %zu checks warned (--strict)\n", kErrorPrefix, count(p, Outcome::Warn),
                         p.checks.size());
            status = kExitFailed;
        }
    }

    report.exitStatus = status;
    s = writeReports(options, report);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        if (status == kExitOk)
            status = s.exitCode();
    }
    return status;
}

} // namespace ffglhost
