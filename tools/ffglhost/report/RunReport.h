// What one run of ffglhost found, as its report files give it (--report: JsonReport.h; --junit:
// JunitReport.h): the host, the command and its settings, the GL renderer, the result, and per
// plug-in its identity, its result and what the command found: every check (validate), the
// capabilities and the parameter table (info), frame times and files (render).
//
// Who fills it: validate in the host process, from the validation's shared progress after each
// plug-in (ValidateRun.h); info and render in the worker that ran them, and the host alone when
// the plug-in took that worker down (ReportFiles.h). Plain value types; any thread.
#pragma once

#include "Options.h"
#include "commands/validate/Check.h"
#include "frame/Stats.h"
#include "plugin/PluginDescription.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ffglhost {

struct WorkerEnd;

// The identifier of the report format; a new identifier for changes that break readers.
constexpr char kReportSchema[] = "ffglhost-report/1";

// A plug-in's (and a run's) result: pass, warn (validate: a check warned, none failed), fail (a
// check failed; info and render: the command failed while running, or the plug-in crashed, hung
// or exited), error (it could not be run at all: not an FFGL plug-in, bad input).
enum class Verdict { Pass, Warn, Fail, Error };
// "pass", "warn", "fail", "error".
const char* verdictName(Verdict v);
// The worse of two.
Verdict worse(Verdict a, Verdict b);

// A plug-in call that took its worker down, from the flight record.
struct ReportFault {
    std::string kind;         // "crash", "hang", "exit" or "killed"
    std::string plugin;       // the plug-in the call went to (printable; may be empty)
    std::string during;       // "call", "answer" (reading it), "load", "unload" or "none"
    bool hasCode = false;     // a function code was in flight (call, answer)
    uint32_t code = 0;
    int64_t frame = 0;        // 0: the call belongs to no frame
    std::string signal;       // "SIGSEGV" for a crash or a kill, else empty
    std::string exception;    // Windows: "access violation, 0xC0000005" for a structured exception
    int exitStatus = 0;       // for an exit
    double timeoutSeconds = 0; // for a hang
    std::string text;         // "crashed (SIGSEGV) in code 17 (process OpenGL) at frame 3"
};
ReportFault faultOf(const WorkerEnd& end);

struct ReportCheck {
    std::string id;      // checkId(): stable machine name
    std::string title;   // checkName(): what the check makes sure of
    Outcome outcome = Outcome::Skip;
    std::string message; // Check::message(): problems shown, or the reason for a skip
    double seconds = 0;  // the step's time, on its first check
    std::optional<ReportFault> fault; // the crash, hang or exit that failed the check
};

struct ReportPlugin {
    std::string file;
    std::string name;     // printable; empty when unknown
    std::string uniqueId; // printable; empty when unknown
    int64_t type = -1;    // FFGL type code; -1 when unknown
    Verdict result = Verdict::Pass;
    std::string message;  // about the plug-in as a whole: why it could not be run, a late fault
    std::optional<ReportFault> fault; // a fault outside any check (after the last one)

    // validate
    bool validated = false;
    std::time_t started = 0; // when its validation started
    uint32_t seed = 0;
    int round = 1;  // the round reported (--repeat)
    int rounds = 1; // rounds run
    double seconds = 0;
    std::vector<std::string> inputs; // each input slot's source, slot 0 first
    std::vector<ReportCheck> checks;

    // info
    bool described = false;
    PluginDescription description;
    std::vector<std::string> displays; // each parameter's default as display text; "-" for none

    // render
    std::string role; // "main", "then", "input" or "also"
    bool timed = false;
    TimingSummary frameTime; // its own frames (a stage of a chain, or an --also plug-in)
};

struct RunReport {
    Command command = Command::Validate;
    std::string renderer; // empty when no context was opened
    Verdict result = Verdict::Pass;
    int exitStatus = 0;
    std::string message;  // why the run failed as a whole, when it did
    std::optional<ReportFault> fault; // info, render: the fault that ended the run

    // settings
    int width = 0, height = 0; // 0 for info
    double timeoutSeconds = 0;
    bool inProcess = false;
    std::string driver;
    uint32_t seed = 0; // validate
    int repeat = 1;
    bool strict = false;
    int frames = 0;    // render: frames asked for

    std::vector<ReportPlugin> plugins;

    // render
    bool rendered = false;
    TimingSummary frameTime; // the main chain's frames, all its plug-ins together
    std::vector<std::string> files;
    std::string video;
};

// A report with the command and settings of `o` and nothing found yet.
RunReport startReport(const Options& o);

// The run's result from a command's exit status: 0 pass, 2 error, anything else fail.
Verdict verdictOfStatus(int exitStatus);

// The report of an info or render whose worker the plug-in took down, made by the host from
// what it knows: the command line and the fault.
RunReport faultReport(const Options& o, const WorkerEnd& end);

// The line that stands for a plug-in that could not be validated: "ERROR <why>", with the file
// in front when the reason does not name it.
std::string errorLine(const ReportPlugin& plugin);

// An entry for each plug-in file the command line names (the plug-in, each --then and --also),
// with the file and role alone: what is known before they are loaded.
void addCommandLinePlugins(const Options& o, RunReport& report);

} // namespace ffglhost
