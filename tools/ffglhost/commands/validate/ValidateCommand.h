// The validation of one plug-in (`ffglhost validate PLUGIN.so`; ValidateRun.h runs one for each
// plug-in a command line names): host-side checks any FFGL plug-in developer can run on a
// plug-in: its identity and parameter table, instances, parameter values and display texts,
// frames and the GL state they leave behind, extreme values and instances side by side, and for
// effects what they do with their input textures (ValidationPlan.h). It prints a header, one line
// per check as soon as the check is done, then a summary.
//
// The checks run out of process (ValidationWorker.h under a Supervisor): when the plug-in
// crashes, hangs or exits in a step, the host prints that step's first check as failed (the
// signal or time-out, the function code in flight and the plug-in's last lines of output), the
// other checks of the step as skipped, and carries on with the next step in a fresh worker. A
// worker that cannot even get ready again skips the remaining checks with the reason.
//
// Whatever the plug-in prints goes to standard error, so that standard output holds only the
// report.
//
// Main thread. The host itself never loads the plug-in; its workers do.
#pragma once

#include "Options.h"
#include "commands/validate/ValidationInputs.h"
#include "report/RunReport.h"
#include "worker/Supervisor.h"

namespace ffglhost {

// Validates options.pluginPath with the seed options.seed, prints its report and fills `out`
// (file, identity, inputs, every check reported, the result without --strict applied). Returns
// the exit status of one plug-in validated alone: 0 when no check failed (warnings do not count),
// 1 when one did or the worker failed after the last check, and for a plug-in that could not be
// validated at all (result error, its message printed by the worker) the worker's status: 2 for
// bad input (a file that is no FFGL 1.x plug-in with OpenGL processing, no EGL display, a size
// the context cannot render, an --input it cannot take).
//
// An effect's input slots 0, 1, ... show the sources `inputs` makes, in order; slots past them
// (all, by default) show the built-in still patterns (ValidationInputs.h); with `fitInputs` a
// plug-in takes those for the slots it has and no more (ValidationWorker.h). Each worker makes,
// opens (at the validation's size) and starts sources of its own: a source's bad input found
// there ends the validation with exit status 2 before the first check, so check what can be
// checked earlier.
int runValidate(const Options& options, Supervisor& supervisor, const InputSourceFactories& inputs, bool fitInputs,
                ReportPlugin& out);

} // namespace ffglhost
