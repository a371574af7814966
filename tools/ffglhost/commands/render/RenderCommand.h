// `ffglhost render PLUGIN.so ...`: runs a source plug-in headless for a number of frames, times
// its frame call, and writes the last frame (or every K-th frame) as PNG files. Every input is
// checked before anything is written. Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"

#include <string>

namespace ffglhost {

// On success `report` holds the summary for standard output. The progress bar, if any, goes to
// standard error while rendering.
Status runRender(const Options& options, std::string& report);

// The default output for a plug-in name: "out/<name>.png", or the folder "out/<name>" with
// --every; characters that do not belong in a file name become '_'.
std::string defaultOutputPath(const std::string& pluginName, bool folder);

} // namespace ffglhost
