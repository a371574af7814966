// What ffglhost offers on this platform beyond info, render and validate.
//
// Linux (HostPlatformPosix.cpp): everything. Plug-ins run in a watched worker process (fork,
// worker/ForkedSupervisor.h), preview shows frames in an X11 window through GLX, render --video
// pipes frames into ffmpeg, and sheet draws its labels with cairo.
// Windows (HostPlatformWin.cpp): info, render (PNG files, --also) and validate, with the plug-in
// in a watched worker process, ffglhost.exe started again (worker/SpawnedSupervisor.h). Preview,
// sheet and render --video are Linux-only: asking for one is bad input with one line, before
// any plug-in is loaded. The Windows build leaves out their sources; HostPlatformWin.cpp stands in
// for the entry points the common code names.
//
// Main thread; no GL.
#pragma once

#include "Options.h"
#include "Status.h"

namespace ffglhost {

// Bad input naming the first feature `options` asks for that this platform lacks, or success.
Status checkPlatformFeatures(const Options& options);

} // namespace ffglhost
