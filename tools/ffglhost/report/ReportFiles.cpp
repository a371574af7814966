// Report files written whole (see ReportFiles.h).
#include "report/ReportFiles.h"

#include "frame/RenderSetup.h"
#include "output/PendingFile.h"
#include "report/JsonReport.h"
#include "report/JunitReport.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace ffglhost {

namespace {

Status writeWhole(const std::string& path, const std::string& text)
{
    Status s = createParentFolder(path);
    if (!s.ok())
        return s;
    PendingFile file(path);
    {
        std::ofstream out(file.temporaryPath(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out)
            return Status::failed("cannot write " + path);
    }
    return file.commit();
}

} // namespace

Status checkReportPaths(const Options& o)
{
    Status s;
    if (!o.reportPath.empty())
        s = checkOutputPath(o.reportPath, false, "--report");
    if (s.ok() && !o.junitPath.empty())
        s = checkOutputPath(o.junitPath, false, "--junit");
    return s;
}

Status writeReports(const Options& o, const RunReport& report)
{
    std::string text;
    Status s;
    if (!o.reportPath.empty() && (s = jsonReport(report, text)).ok())
        s = writeWhole(o.reportPath, text);
    if (s.ok() && !o.junitPath.empty() && (s = junitReport(report, text)).ok())
        s = writeWhole(o.junitPath, text);
    return s;
}

int finishCommandReport(const Options& o, RunReport& report, const Status& status)
{
    if (o.reportPath.empty())
        return status.exitCode();
    report.exitStatus = status.exitCode();
    report.result = verdictOfStatus(status.exitCode());
    // The message without the program's prefix ("ffglhost: error: ", "ffglhost: ").
    const std::string message = status.message();
    report.message = message;
    for (const char* prefix : {"ffglhost: error: ", "ffglhost: "}) {
        if (message.rfind(prefix, 0) == 0) {
            report.message = message.substr(std::string(prefix).size());
            break;
        }
    }
    for (ReportPlugin& p : report.plugins)
        p.result = report.result;
    const Status written = writeReports(o, report);
    if (written.ok())
        return status.exitCode();
    std::fprintf(stderr, "%s\n", written.message().c_str());
    return status.ok() ? written.exitCode() : status.exitCode();
}

void writeFaultReport(const Options& o, const WorkerEnd& end)
{
    if (o.reportPath.empty())
        return;
    const Status written = writeReports(o, faultReport(o, end));
    if (!written.ok())
        std::fprintf(stderr, "%s\n", written.message().c_str());
}

} // namespace ffglhost
