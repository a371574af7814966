// Small conversions shared by the host interface and the adapter: floats travel between host and
// plug-in as their 32-bit pattern in the low 32 bits of a word, and texts handed to the
// interface layer are kept as private heap copies. No GL; any thread.
#pragma once

#include "FFGLPluginSDK.h"

#include <cstring>

inline FFWord FFFloatToWord(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return static_cast<FFWord>(bits);
}

inline float FFWordToFloat(FFWord word)
{
    const uint32_t bits = static_cast<uint32_t>(word);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A heap copy of `text` (an empty text for null), owned by the caller and freed with delete[].
inline char* FFCopyText(const char* text)
{
    if (text == nullptr)
        text = "";
    const std::size_t n = std::strlen(text) + 1;
    char* copy = new char[n];
    std::memcpy(copy, text, n);
    return copy;
}
