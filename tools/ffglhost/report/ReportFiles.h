// The report files of a run: --report (JSON, every command that takes it) and --junit (JUnit
// XML, validate), each written under a temporary name and renamed into place when whole
// (output/PendingFile.h), so that a report under its real name is always complete. Their paths
// are checked before anything runs. Main thread of the process that writes them.
#pragma once

#include "Options.h"
#include "Status.h"
#include "report/RunReport.h"

namespace ffglhost {

struct WorkerEnd;

// Bad input, one line, for a --report or --junit path that cannot be written (a folder, a path
// below a file); success when none is given.
Status checkReportPaths(const Options& options);

// Writes `report` to the files `options` names (none: success). A failure names the file; a
// file already at the path is replaced only by a whole new one.
Status writeReports(const Options& options, const RunReport& report);

// The report of an info or render run that ran to its end in the worker: its command `status`
// and what `report` gathered, written where --report says. Returns `status`, or a failure to
// write the report when the command itself succeeded (that failure's message is printed either
// way; the command's own message is its caller's to print).
int finishCommandReport(const Options& options, RunReport& report, const Status& status);

// The report of an info or render whose worker the plug-in took down (RunReport.h faultReport),
// written by the host where --report says; a failure to write it is printed. Nothing without
// --report.
void writeFaultReport(const Options& options, const WorkerEnd& end);

} // namespace ffglhost
