// Debug output of the framework: printf-style lines written to standard output.
//
// Messages are formatted into a bounded local buffer (longer output is cut, never overflowed) and
// written with printf("%s"). No newline is added: callers end their messages with "\n".
// Safe from any thread (no shared state); no GL context needed.
#pragma once

#include <cstddef>

namespace KX {

// Capacity of debugPrint's formatting buffer, terminator included.
constexpr std::size_t kDebugPrintCapacity = 2048;

void debugPrint(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

} // namespace KX
