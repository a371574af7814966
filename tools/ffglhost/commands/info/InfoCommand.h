// `ffglhost info PLUGIN.so`: the plug-in's identity, versions, texts, capabilities and parameter
// table. The display texts of the defaults come from a real instance, created in a small headless
// framebuffer and de-instantiated again. Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"

#include <string>

namespace ffglhost {

// On success `report` holds the text for standard output; on failure nothing was printed.
Status runInfo(const Options& options, std::string& report);

} // namespace ffglhost
