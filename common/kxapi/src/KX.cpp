// Debug output of the framework (see KX.h).
#include "KX.h"

#include <cstdarg>
#include <cstdio>

namespace KX {

void debugPrint(const char* fmt, ...)
{
    if (fmt == nullptr)
        return;
    char buffer[kDebugPrintCapacity];
    va_list args;
    va_start(args, fmt);
    // vsnprintf always terminates and cuts output that does not fit.
    const int written = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    if (written < 0)
        return; // formatting error: nothing sensible to print
    std::printf("%s", buffer);
}

} // namespace KX
