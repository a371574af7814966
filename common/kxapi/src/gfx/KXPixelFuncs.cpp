// Per-format pixel writers (see KXPixelFuncs.h).
#include "KXPixelFuncs.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace KXGfx {

namespace {

// Address of pixel (x, y, z) of `pixelSize` bytes, computed in ptrdiff_t so that large images do
// not overflow int arithmetic.
unsigned char* pixelAddress(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, int pixelSize)
{
    return static_cast<unsigned char*>(buffer) + static_cast<std::ptrdiff_t>(z) * slicePitch +
           static_cast<std::ptrdiff_t>(y) * rowPitch + static_cast<std::ptrdiff_t>(x) * pixelSize;
}

// The value truncated toward zero, its low 8 bits. Converting a float outside the range of the
// integer type is undefined, so the value is brought into int64 range first; NaN gives 0.
unsigned char lowByte(float v)
{
    if (std::isnan(v))
        return 0;
    const double limit = 9.0e18;
    const double d = v > limit ? limit : (v < -limit ? -limit : static_cast<double>(v));
    return static_cast<unsigned char>(static_cast<std::uint64_t>(static_cast<std::int64_t>(d)) & 0xFFu);
}

} // namespace

void pixelR8G8B8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
                 float b, float)
{
    if (buffer == nullptr)
        return;
    unsigned char* p = pixelAddress(buffer, x, y, z, rowPitch, slicePitch, 3);
    p[0] = lowByte(b);
    p[1] = lowByte(g);
    p[2] = lowByte(r);
}

void pixelA8R8G8B8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float g,
                   float b, float a)
{
    if (buffer == nullptr)
        return;
    const std::uint32_t word = static_cast<std::uint32_t>(lowByte(a * 255.0f)) << 24 |
                               static_cast<std::uint32_t>(lowByte(r * 255.0f)) << 16 |
                               static_cast<std::uint32_t>(lowByte(g * 255.0f)) << 8 |
                               static_cast<std::uint32_t>(lowByte(b * 255.0f));
    // Stored little-endian whatever the host byte order: b, g, r, a in memory.
    unsigned char* p = pixelAddress(buffer, x, y, z, rowPitch, slicePitch, 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(word >> (8 * i));
}

void pixelL8(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float, float,
             float)
{
    if (buffer == nullptr)
        return;
    *pixelAddress(buffer, x, y, z, rowPitch, slicePitch, 1) = lowByte(r);
}

void pixelR32F(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r, float, float,
               float)
{
    if (buffer == nullptr)
        return;
    std::memcpy(pixelAddress(buffer, x, y, z, rowPitch, slicePitch, 4), &r, sizeof r);
}

void pixelA32B32G32R32F(void* buffer, int x, int y, int z, int rowPitch, int slicePitch, float r,
                        float g, float b, float a)
{
    if (buffer == nullptr)
        return;
    const float rgba[4] = {r, g, b, a};
    std::memcpy(pixelAddress(buffer, x, y, z, rowPitch, slicePitch, 16), rgba, sizeof rgba);
}

void pixelA16B16G16R16F(void*, int, int, int, int, int, float, float, float, float) {}

} // namespace KXGfx
