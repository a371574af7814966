// `ffglhost validate PLUGIN.so [--size WxH]`: host-side checks any FFGL plug-in developer can run
// on a plug-in: its identity and parameter table, instances, parameter values and display
// texts, frames and the GL state they leave behind, extreme values and instances side by side
// (MetadataChecks.h, InstanceChecks.h). It prints one line per check and a summary line.
//
// Exit status: 0 when no check failed (warnings do not count), 1 when one did, 2 for bad input
// (a file that is no FFGL 1.x plug-in with OpenGL processing, no EGL display, a size the
// context cannot render). While the checks run, whatever the plug-in prints to standard output
// goes to standard error, so that standard output holds only the report.
//
// Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"

#include <string>

namespace ffglhost {

// On return `report` holds the check lines and the summary, also when a check failed (the
// status then says how many did).
Status runValidate(const Options& options, std::string& report);

} // namespace ffglhost
