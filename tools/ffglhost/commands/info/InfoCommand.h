// `ffglhost info PLUGIN.so`: the plug-in's identity, versions, texts, capabilities and parameter
// table. The display texts of the defaults come from a real instance, created in a small headless
// framebuffer and de-instantiated again. Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"
#include "report/RunReport.h"

#include <string>

namespace ffglhost {

// On success `report` holds the text for standard output; on failure nothing was printed.
// `facts` gets the plug-in (its file, and what was read of it before any failure: identity,
// capabilities, parameter table and display texts) and the GL renderer, for --report.
Status runInfo(const Options& options, std::string& report, RunReport& facts);

} // namespace ffglhost
