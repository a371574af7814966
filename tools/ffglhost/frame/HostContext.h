// The host's GL side: opening the headless context with the host's error policy, and the
// largest frame that context can render. Runs on the main thread; the size query needs the
// context current.
#pragma once

#include "Status.h"

#include "HeadlessGL.h"

#include <memory>
#include <string>

namespace ffglhost {

// Makes every later GL context of this process (headless or windowed, and in child processes)
// come from the named Mesa driver (see HeadlessGL.h); an unknown name is bad input. Call it
// before anything opens a display; an empty name leaves the platform's default.
Status selectDriver(const std::string& name);

// A new headless context, current on the calling thread. No EGL display at all is bad input
// (exit status 2: nothing can run here); a display without a usable context is a failure, and
// bad input when a driver was named (that driver cannot be brought up here).
Status openContext(std::unique_ptr<kxhost::HeadlessGL>& out);

// Bad input when width x height exceeds GL_MAX_VIEWPORT_DIMS or GL_MAX_RENDERBUFFER_SIZE of the
// current context.
Status checkFrameSize(int width, int height);

// openContext(), then checkFrameSize() on the new context: what every command that renders
// frames of width x height starts with. On a size refusal the context stays open in `out`.
Status openFrameContext(std::unique_ptr<kxhost::HeadlessGL>& out, int width, int height);

} // namespace ffglhost
