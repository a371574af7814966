// `ffglhost validate PLUGIN.so [--size WxH]`: host-side checks any FFGL plug-in developer can run
// on a plug-in: its identity and parameter table, instances, parameter values and display
// texts, frames and the GL state they leave behind, extreme values and instances side by side
// (ValidationPlan.h). It prints one line per check as soon as the check is done, then a summary.
//
// The checks run out of process (ValidationWorker.h under a Supervisor): when the plug-in
// crashes, hangs or exits in a step, the host prints that step's first check as failed (the
// signal or time-out, the function code in flight and the plug-in's last lines of output), the
// other checks of the step as skipped, and carries on with the next step in a fresh worker. A
// worker that cannot even get ready again skips the remaining checks with the reason.
//
// Exit status: 0 when no check failed (warnings do not count), 1 when one did, 2 for bad input
// (a file that is no FFGL 1.x plug-in with OpenGL processing, no EGL display, a size the
// context cannot render). Whatever the plug-in prints goes to standard error, so that standard
// output holds only the report.
//
// Main thread. The host itself never loads the plug-in; its workers do.
#pragma once

#include "Options.h"
#include "worker/Supervisor.h"

namespace ffglhost {

// Runs the validation and returns the exit status (messages already printed).
int runValidate(const Options& options, Supervisor& supervisor);

} // namespace ffglhost
