// Compiled as 32-bit code by the abi_layout_32bit test: the record header's static_asserts then
// check the 32-bit layouts (32, 24, 16, 20, 12 and 8 bytes) for real.
#include "FFGLPluginSDK.h"
