// Host words as tests build and read them: a float travels as its 32-bit pattern in the low
// 32 bits of a word.
#pragma once

#include "FFGLPluginSDK.h"

#include <cstdint>
#include <cstring>

inline FFWord bitsOf(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

inline float floatOf(FFWord w)
{
    const uint32_t bits = static_cast<uint32_t>(w);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
