// Linux implementation of the platform layer (see KXPlatform.h); also serves other POSIX
// systems except macOS.
#include "KXPlatform.h"

#if !defined(__APPLE__) && !defined(_WIN32)

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace KXPlatform {

namespace {
ClockFn s_clockOverride = nullptr;
}

double nowMs()
{
    if (s_clockOverride != nullptr)
        return s_clockOverride();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

void setClockOverride(ClockFn clock)
{
    s_clockOverride = clock;
}

bool isDebuggerAttached()
{
    // /proc/self/status carries a "TracerPid:" line; a non-zero pid means a tracer is attached.
    FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr)
        return false;
    char line[256];
    bool attached = false;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            attached = std::atoi(line + 10) != 0;
            break;
        }
    }
    std::fclose(f);
    return attached;
}

void debuggerBreak(const char* what)
{
    std::printf("Debugger break: %s\n", what != nullptr ? what : "(unnamed precondition)");
    std::fflush(stdout);
    if (isDebuggerAttached())
        raise(SIGTRAP);
}

void* lookupGLSymbol(const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return nullptr;
    if (void* address = dlsym(RTLD_DEFAULT, name))
        return address;
    // A host that loads this library privately (RTLD_LOCAL) keeps the GL library it links out of
    // the global scope; look there directly. Opened on first need, never at load, never closed.
    static void* const ownGL = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
    return ownGL != nullptr ? dlsym(ownGL, name) : nullptr;
}

void* currentGLContext()
{
    // The GL library's exports dispatch to whichever context is current: one set of addresses.
    return nullptr;
}

bool isRegularFile(const char* path)
{
    struct stat info {};
    return path != nullptr && lstat(path, &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace KXPlatform

#endif
