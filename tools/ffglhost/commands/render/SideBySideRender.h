// `ffglhost render MAIN.so --also B.so [--also C.so ...]`: several plug-ins loaded into one host
// process at the same time and rendered side by side. Every file is opened (dlopen, each with
// its own private copy of whatever it links statically) and described before anything renders;
// then each plug-in gets its own instance and its own host framebuffer in one GL context, and the
// frames alternate: frame 1 of each plug-in in command-line order, then frame 2 of each, and so
// on. Each plug-in writes its own output (see alsoOutputPath).
//
// The C library's random generator is shared by everything in a process. Right before each
// instance is created the host puts it back to its start (srand(1), what a fresh process has),
// so that a plug-in that seeds its content from rand() builds the same content side by side as
// it does rendered alone.
//
// Main thread; creates and destroys its own GL context.
#pragma once

#include "Options.h"
#include "Status.h"
#include "report/RunReport.h"

#include <string>
#include <vector>

namespace ffglhost {

// Runs the render of `options` (whose alsoPaths is not empty). On success `report` holds the
// summary for standard output; the progress bar, if any, goes to standard error. `facts` gets
// what runRender gives it (RenderCommand.h); the render's frame times are the main plug-in's
// (its chain's), and each --also plug-in has its own.
Status runSideBySide(const Options& options, std::string& report, RunReport& facts);

// The output of a plug-in named `pluginName` rendered next to the main one whose output is
// `mainOut`: "-<name>" goes before the extension of a file ("a.png" gives "a-Name.png") or at
// the end of a folder ("seq" gives "seq-Name"), the name made file-safe. When that path is in
// `taken` already, "-2", "-3", ... is added to the name until it is not.
std::string alsoOutputPath(const std::string& mainOut, const std::string& pluginName, bool folder,
                           const std::vector<std::string>& taken);

} // namespace ffglhost
