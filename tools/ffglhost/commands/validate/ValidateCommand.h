// `ffglhost validate PLUGIN.so [--size WxH]`: host-side checks any FFGL plug-in developer can run
// on a plug-in: its identity and parameter table, instances, parameter values and display
// texts, frames and the GL state they leave behind, extreme values and instances side by side,
// and for effects what they do with their input textures (ValidationPlan.h). It prints one line
// per check as soon as the check is done, then a summary.
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
#include "commands/validate/ValidationInputs.h"
#include "worker/Supervisor.h"

namespace ffglhost {

// Runs the validation and returns the exit status (messages already printed). An effect's input
// slots 0, 1, ... show the sources `inputs` makes, in order; slots past them (all, by default)
// show the built-in still patterns (ValidationInputs.h). Each worker makes, opens (at the
// validation's size) and starts sources of its own: a source's bad input found there ends the
// validation with exit status 2 before the first check, so check what can be checked earlier.
int runValidate(const Options& options, Supervisor& supervisor, const InputSourceFactories& inputs = {});

} // namespace ffglhost
