// Platform layer: the few operating-system services the framework needs, behind one interface.
//
// - A millisecond clock (monotonic on Linux) with a seam so tests can install a fake clock.
// - The debugger break taken when a graphics-layer precondition fails: it reports the failure on
//   standard output, stops in a debugger only when one is attached, and always returns.
// - Lookup of OpenGL entry points by name.
//
// Everything here is process-wide and unsynchronised; call it from the host's rendering thread.
// Nothing here needs a GL context except that lookups are only meaningful with one current.
#pragma once

namespace KXPlatform {

// Milliseconds from an arbitrary fixed origin, as a double. Differences between two readings are
// elapsed milliseconds. Returns the fake clock's reading while one is installed. [any thread]
double nowMs();

// A replacement clock for tests. Pass nullptr to return to the system clock. [test code only]
using ClockFn = double (*)();
void setClockOverride(ClockFn clock);

// Prints one line "Debugger break: <what>" to standard output, raises SIGTRAP only when a
// debugger is attached to the process, then returns so the caller carries on. [any thread]
void debuggerBreak(const char* what);

// True when a debugger (ptrace tracer) is attached to this process. [any thread]
bool isDebuggerAttached();

// Address of the GL or extension entry point `name` in the process, or nullptr when it cannot be
// found. [gl-context current]
void* lookupGLSymbol(const char* name);

} // namespace KXPlatform
