// `ffglhost validate PATH... [--strict] [--seed N] [--repeat N] [--report FILE] [--junit FILE]`:
// the validation of every plug-in the command line names (PluginFiles.h), one after the other,
// each on its own in workers of its own (ValidateCommand.h), its lines printed as they come
// under its header. Several plug-ins (or a folder) end with a table: plug-in, file, result,
// checks passed, warned, failed and skipped. A file that cannot be validated (not an FFGL
// plug-in, not loadable) is one entry with result ERROR and its reason, and the run goes on; with
// several plug-ins, --input sources go to the slots each effect has, and sources get none.
//
// --repeat N runs every plug-in's whole plan up to N times, round k with the seed
// --seed + k - 1, and stops at the first round that fails (or warns, with --strict); the round
// reported is that one, else the first with the plug-in's worst result. --strict turns a
// plug-in's warning into a failure.
//
// Exit status: 0 when every plug-in passed (warned, without --strict); 1 when one failed,
// warned under --strict, or could not be validated while others could; 2 when none could be
// validated (a plug-in named alone keeps the status of its failure, ValidateCommand.h) or the
// command line is bad (an --input that cannot be read, a folder without plug-ins). The report
// files (ReportFiles.h) are written by the host from what the workers shared, also when a
// plug-in crashed or hung.
//
// Main thread of the host; the host itself never loads a plug-in.
#pragma once

#include "Options.h"
#include "worker/Supervisor.h"

namespace ffglhost {

// Runs the whole command and returns the exit status (messages printed).
int runValidation(const Options& options, Supervisor& supervisor);

} // namespace ffglhost
