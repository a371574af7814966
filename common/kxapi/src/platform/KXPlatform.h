// Platform layer: the few operating-system services the framework needs, behind one interface.
//
// - A millisecond clock (monotonic on Linux and Windows) with a seam so tests can install a fake
//   clock.
// - The debugger break taken when a graphics-layer precondition fails: it reports the failure on
//   standard output, stops in a debugger only when one is attached, and always returns.
// - Lookup of OpenGL entry points by name, and the identity of the current GL context where the
//   addresses found depend on it (Windows).
// - The one file-system question the framework cannot ask portably (is a path a regular file).
//
// One implementation per platform: KXPlatformLinux.cpp (also any other POSIX system but macOS),
// KXPlatformWindows.cpp (64-bit Windows, MinGW-w64) and KXPlatformMac.cpp.
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

// Prints one line "Debugger break: <what>" to standard output, stops in the debugger only when
// one is attached to the process (SIGTRAP, DebugBreak, Debugger), then returns so the caller
// carries on. [any thread]
void debuggerBreak(const char* what);

// True when a debugger (a ptrace tracer on Linux) is attached to this process. [any thread]
bool isDebuggerAttached();

// Address of the GL or extension entry point `name` in the process, or nullptr when it cannot be
// found. On Windows the address comes from wglGetProcAddress (every entry point beyond GL 1.1)
// or from opengl32.dll itself (GL 1.1), and is only valid for the context current at the lookup
// and contexts like it; without a current context nothing beyond GL 1.1 is found.
// [gl-context current]
void* lookupGLSymbol(const char* name);

// The GL context current on the calling thread where entry-point addresses depend on it (the
// WGL context on Windows), so that callers caching addresses know when to look them up again;
// nullptr where one set of addresses serves every context (Linux, macOS). [gl-thread]
void* currentGLContext();

// True when `path` names a regular file; a symbolic link is not followed (and so is not a
// regular file) where the platform has them. False for null. [any thread]
bool isRegularFile(const char* path);

} // namespace KXPlatform
