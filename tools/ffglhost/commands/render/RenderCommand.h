// `ffglhost render PLUGIN.so ...`: runs a source plug-in headless for a number of frames, times
// its frame call, and writes the last frame (or every K-th frame) as PNG files. Every input is
// checked before anything is written. Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"
#include "report/RunReport.h"

#include <string>
#include <vector>

namespace ffglhost {

class Chain;

// On success `report` holds the summary for standard output. The progress bar, if any, goes to
// standard error while rendering. `facts` gets, for --report, the plug-ins (as far as they were
// loaded before any failure), the GL renderer, and after a render that succeeded its frame
// times and the files written.
Status runRender(const Options& options, std::string& report, RunReport& facts);

// An entry in `facts` for each plug-in of an opened `chain` (upstream first), with its identity
// and role ("also" for every plug-in of an --also chain), and with its own frame times where
// `stageMs` has them (a list per stage, in Chain::stages() order).
void addChainPlugins(const Chain& chain, bool also, const std::vector<std::vector<double>>& stageMs,
                     RunReport& facts);

// The default output for a plug-in name: "out/<name>.png", or the folder "out/<name>" with
// --every; characters that do not belong in a file name become '_'.
std::string defaultOutputPath(const std::string& pluginName, bool folder);

} // namespace ffglhost
