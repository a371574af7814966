// What the preview tests do to a window from outside, as a window manager or a user would:
// find a top-level window by the start of its title, read its title, and ask it to close
// (WM_DELETE_WINDOW). Each call opens its own connection to `display` (":N"). Kept apart so
// that the tests include no Xlib headers (Xlib's macros clash with ordinary names).
#pragma once

#include <string>

namespace hosttest {

// The first child of the root window whose WM_NAME starts with `prefix`; 0 when none.
unsigned long findWindow(const std::string& display, const std::string& prefix);
// The window's WM_NAME; empty when it has none or does not exist.
std::string windowTitle(const std::string& display, unsigned long window);
// Sends the WM_PROTOCOLS / WM_DELETE_WINDOW message a window manager sends when the user closes
// the window. False when the display cannot be opened.
bool requestClose(const std::string& display, unsigned long window);

} // namespace hosttest
