// Host words as tests build and read them: a float travels as its 32-bit pattern in the low
// 32 bits of a word.
#pragma once

#include "FFGLWords.h"

inline FFWord bitsOf(float v) { return FFFloatToWord(v); }
inline float floatOf(FFWord w) { return FFWordToFloat(w); }
