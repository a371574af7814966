// How the test plug-ins exchange parameter values with the host: a float's bit pattern in the
// low 32 bits of an FFGL word, and back. Header only; any thread.
#pragma once

#include "FFGLPluginSDK.h"

#include <cstdint>
#include <cstring>

inline FFWord bitsOf(float v)
{
    uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline float floatOf(FFWord w)
{
    const uint32_t b = static_cast<uint32_t>(w);
    float v = 0.f;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
