// macOS implementation of the platform layer (see KXPlatform.h). Kept compiling in principle; the
// project is built and tested on Linux.
#include "KXPlatform.h"

#if defined(__APPLE__)

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/sysctl.h>
#include <unistd.h>

#include <cstdio>

namespace KXPlatform {

namespace {
ClockFn s_clockOverride = nullptr;
}

double nowMs()
{
    if (s_clockOverride != nullptr)
        return s_clockOverride();
    return CFAbsoluteTimeGetCurrent() * 1000.0;
}

void setClockOverride(ClockFn clock)
{
    s_clockOverride = clock;
}

bool isDebuggerAttached()
{
    int mib[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, getpid()};
    struct kinfo_proc info {};
    size_t size = sizeof info;
    if (sysctl(mib, 4, &info, &size, nullptr, 0) != 0)
        return false;
    return (info.kp_proc.p_flag & P_TRACED) != 0;
}

void debuggerBreak(const char* what)
{
    std::printf("Debugger break: %s\n", what != nullptr ? what : "(unnamed precondition)");
    std::fflush(stdout);
    if (isDebuggerAttached())
        Debugger();
}

void* lookupGLSymbol(const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return nullptr;
    return dlsym(RTLD_DEFAULT, name);
}

void* currentGLContext()
{
    // OpenGL.framework's exports dispatch to whichever context is current: one set of addresses.
    return nullptr;
}

bool isRegularFile(const char* path)
{
    struct stat info {};
    return path != nullptr && lstat(path, &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace KXPlatform

#endif
