// Per-format pixel writers: each stores one pixel of its texture format into a CPU image (a
// locked texture, a staging buffer) and touches nothing else. The texture chooses the writer of
// its format (Texture::setPixelFunc).
//
// A writer stores at buffer + z * slicePitch + y * rowPitch + x * (its pixel size); pitches are
// in bytes and the caller keeps the address inside its buffer. A null buffer writes nothing.
// Integer channels keep the low 8 bits of the value truncated toward zero (NaN counts as 0).
// Pure functions: any thread, no GL context.
#pragma once

namespace KXGfx {

using PixelFunc = void (*)(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r,
                           float g, float b, float a);

// 3 bytes b, g, r (in that order); each channel unscaled: callers pass 0..255.
void pixelR8G8B8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
                 float b, float a);
// One little-endian word a << 24 | r << 16 | g << 8 | b, channels 0..1 scaled by 255; in memory
// the bytes read b, g, r, a.
void pixelA8R8G8B8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
                   float b, float a);
// 1 byte: r, unscaled.
void pixelL8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
             float b, float a);
// 4 bytes: the float r.
void pixelR32F(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
               float b, float a);
// 16 bytes: the floats r, g, b, a.
void pixelA32B32G32R32F(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r,
                        float g, float b, float a);
// Half-float pixels (8 bytes) are not converted: this writer stores nothing.
void pixelA16B16G16R16F(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r,
                        float g, float b, float a);

} // namespace KXGfx
