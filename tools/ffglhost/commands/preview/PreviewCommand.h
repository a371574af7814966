// `ffglhost preview PLUGIN.so ...`: runs a source plug-in live in an X11 window at the display
// rate, through the same frame loop as render, with keys that select and change its parameters
// (see PreviewControls.h) and a window title showing the selected parameter and the frame time.
// Resizing the window resizes the host framebuffer and tells the instance (code 23). Main
// thread; creates and destroys its own window and GL context.
#pragma once

#include "Options.h"
#include "Status.h"

#include <string>

namespace ffglhost {

// On success `report` holds the summary for standard output: frames and frame times, and the
// value and display text of every parameter that --set or a key changed, read back from the
// instance before it is de-instantiated. With --hold, one line on standard output announces
// (at once) that the last frame is held, with the window's id.
Status runPreview(const Options& options, std::string& report);

} // namespace ffglhost
