// Windows implementation of the platform layer (see KXPlatform.h), for 64-bit builds with
// MinGW-w64. Only kernel32 and opengl32 are used, both present on every Windows system.
#include "KXPlatform.h"

#if defined(_WIN32)

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace KXPlatform {

namespace {

ClockFn s_clockOverride = nullptr;

// Ticks per second of the performance counter; fixed at boot, so read once.
double counterFrequency()
{
    static const double frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? static_cast<double>(f.QuadPart) : 1.0;
    }();
    return frequency;
}

} // namespace

double nowMs()
{
    if (s_clockOverride != nullptr)
        return s_clockOverride();
    // The performance counter is monotonic and never fails on Windows XP and later.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / counterFrequency();
}

void setClockOverride(ClockFn clock)
{
    s_clockOverride = clock;
}

bool isDebuggerAttached()
{
    return IsDebuggerPresent() != FALSE;
}

void debuggerBreak(const char* what)
{
    std::printf("Debugger break: %s\n", what != nullptr ? what : "(unnamed precondition)");
    std::fflush(stdout);
    if (isDebuggerAttached())
        DebugBreak();
}

void* lookupGLSymbol(const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return nullptr;
    // wglGetProcAddress knows every entry point beyond GL 1.1 for the current context. Some
    // drivers answer 1, 2, 3 or -1 instead of null for a name they do not have.
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<std::intptr_t>(proc);
    if (value != 0 && value != 1 && value != 2 && value != 3 && value != -1)
        return reinterpret_cast<void*>(proc);
    // GL 1.1 itself is exported by opengl32.dll (loaded with this module, so never unloaded
    // before it).
    HMODULE gl = GetModuleHandleA("opengl32.dll");
    return gl != nullptr ? reinterpret_cast<void*>(GetProcAddress(gl, name)) : nullptr;
}

void* currentGLContext()
{
    return wglGetCurrentContext();
}

bool isRegularFile(const char* path)
{
    if (path == nullptr)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // A directory, a device, or a reparse point (symbolic link, junction) is not a regular file.
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

} // namespace KXPlatform

#endif
