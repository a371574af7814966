// Questions the graphics layer asks the current OpenGL context about itself, and the reporting
// of GL problems: a cached extension test, the non-power-of-two texture test built on it, a GL
// error check, a framebuffer completeness check, vertex buffer creation and a process-wide GL
// version setting. Messages are written to standard output through KX::debugPrint.
//
// The extension cache is process-wide: the extension list is read from the context current at
// the first kxGLExtension call and every answer is kept for the rest of the process, for all
// contexts. Nothing here is locked: call everything on the thread that owns the current GL
// context (the host's rendering thread).
#pragma once

#include <string>

// The process-wide GL version setting (initially 1). Nothing in the framework reads it.
int kxGLVersion();
void kxSetGLVersion(int version);

// Whether `name` is one whole blank-separated entry of the extension list of the context that
// was current at the first call (cached per name). An empty name is never listed.
bool kxGLExtension(const std::string& name);

// Whether `name` is one whole blank-separated entry of `extensions` (null or empty: none). The
// matching rule of kxGLExtension without its cache; needs no GL context.
bool kxExtensionListed(const char* extensions, const std::string& name);

// kxGLExtension("GL_ARB_texture_non_power_of_two"), unless a test override is in force.
bool kxAreNonPowerOfTwoTexturesSupported();

// Test seam: makes kxAreNonPowerOfTwoTexturesSupported answer `value` (0 = unsupported,
// 1 = supported) instead of the cached extension test; -1 removes the override. The extension
// cache itself is not touched. Only test code calls this; the plug-in never does.
void kxSetNonPowerOfTwoOverride(int value);

// Fetches one GL error flag. GL_NO_ERROR: false, nothing printed. Otherwise prints
// "GL ERROR <code> <text>" (no line break) and returns true.
bool kxGetGLError();

// Checks the framebuffer bound to GL_FRAMEBUFFER_EXT now. Complete: true, nothing printed.
// Otherwise prints the failing status (no line break) and returns false; an unknown status also
// takes the platform's debugger break. Without framebuffer objects (see KXGLEntryPoints.h) prints
// "Framebuffer objects unavailable!" and returns false.
bool kxCheckFramebufferStatus();

// A new buffer object bound to `target`, filled with `size` bytes from `data` (null: undefined
// content) with `usage`, then unbound from `target`. Returns the buffer name, owned by the caller
// (glDeleteBuffers), or 0 when GL did not allocate exactly `size` bytes (then nothing is kept and
// "VBO creation error: data size mismatch\n" is printed) or the context has no buffer objects
// ("VBO creation error: no buffer objects\n").
unsigned int kxCreateVBO(const void* data, int size, unsigned int target, unsigned int usage);
