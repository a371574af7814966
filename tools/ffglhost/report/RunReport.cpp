// What a run found (see RunReport.h).
#include "report/RunReport.h"

#include "worker/Supervisor.h"

namespace ffglhost {

const char* verdictName(Verdict v)
{
    switch (v) {
    case Verdict::Pass: return "pass";
    case Verdict::Warn: return "warn";
    case Verdict::Fail: return "fail";
    case Verdict::Error: return "error";
    }
    return "error";
}

Verdict worse(Verdict a, Verdict b) { return static_cast<int>(a) >= static_cast<int>(b) ? a : b; }

ReportFault faultOf(const WorkerEnd& end)
{
    ReportFault f;
    f.text = faultText(end);
    f.plugin = printable(end.flight.plugin);
    switch (end.kind) {
    case WorkerEnd::Kind::TimedOut:
        f.kind = "hang";
        f.timeoutSeconds = end.timeoutSeconds;
        break;
    case WorkerEnd::Kind::Exited:
        f.kind = "exit";
        f.exitStatus = end.status;
        break;
    case WorkerEnd::Kind::Signalled:
    case WorkerEnd::Kind::Interrupted:
        // The text tells a fault ("crashed (SIGSEGV)") from a signal someone sent ("was killed").
        f.kind = f.text.rfind("crashed", 0) == 0 ? "crash" : "killed";
        if (end.exception != 0)
            f.exception = exceptionText(end.exception);
        else
            f.signal = signalName(end.signal);
        break;
    }
    switch (end.flight.phase) {
    case FlightPhase::Loading: f.during = "load"; break;
    case FlightPhase::Calling:
    case FlightPhase::Finishing: f.during = "call"; break;
    case FlightPhase::Reading: f.during = "answer"; break;
    case FlightPhase::Unloading: f.during = "unload"; break;
    case FlightPhase::Idle: f.during = "none"; break;
    }
    f.hasCode = f.during == "call" || f.during == "answer";
    f.code = f.hasCode ? end.flight.code : 0;
    f.frame = end.flight.frame;
    return f;
}

RunReport startReport(const Options& o)
{
    RunReport r;
    r.command = o.command;
    if (o.command != Command::Info) {
        r.width = o.width;
        r.height = o.height;
    }
    r.timeoutSeconds = o.timeoutSeconds;
    r.inProcess = o.inProcess;
    r.driver = o.driver;
    if (o.command == Command::Validate) {
        r.seed = o.seed;
        r.repeat = o.repeat;
        r.strict = o.strict;
    }
    if (o.command == Command::Render)
        r.frames = o.frames;
    return r;
}

Verdict verdictOfStatus(int exitStatus)
{
    if (exitStatus == kExitOk)
        return Verdict::Pass;
    return exitStatus == kExitBadInput ? Verdict::Error : Verdict::Fail;
}

std::string errorLine(const ReportPlugin& p)
{
    return "ERROR " + (p.message.rfind(p.file, 0) == 0 ? p.message : p.file + ": " + p.message);
}

void addCommandLinePlugins(const Options& o, RunReport& report)
{
    const bool render = o.command == Command::Render;
    auto add = [&report, render](const std::string& file, const char* role) {
        ReportPlugin p;
        p.file = file;
        p.role = render ? role : "";
        report.plugins.push_back(p);
    };
    add(o.pluginPath, "main");
    for (const ThenStage& t : o.thenStages)
        add(t.pluginPath, "then");
    for (const std::string& also : o.alsoPaths)
        add(also, "also");
}

RunReport faultReport(const Options& o, const WorkerEnd& end)
{
    RunReport r = startReport(o);
    r.result = Verdict::Fail;
    r.exitStatus = kExitFailed;
    r.message = faultLine(end);
    r.fault = faultOf(end);
    addCommandLinePlugins(o, r);
    for (ReportPlugin& p : r.plugins)
        p.result = r.result;
    return r;
}

} // namespace ffglhost
