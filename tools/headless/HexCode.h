// "0x0501"-style text of a GL or EGL code, for error messages of the headless context. Header
// only; no GL needed.
#pragma once

#include <cstdio>
#include <string>

namespace kxhost {

inline std::string hexCode(unsigned v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

} // namespace kxhost
