// Light point paths and colours of the Afterglow effect (see EmitterPath.h).
#include "EmitterPath.h"

#include <cmath>

namespace Afterglow {

namespace {
constexpr double kTwoPi = 6.28318530717958647692;
} // namespace

Point2 emitterPosition(int index, int count, double phase)
{
    if (count < 1)
        count = 1;
    const double i = static_cast<double>(index);
    const double offset = kTwoPi * i / static_cast<double>(count);
    // Frequencies differ slightly per point so that the figures never lock into one pattern.
    const double fx = 1.0 + 0.13 * i;
    const double fy = 1.7 + 0.07 * i;
    const double wobble = 0.15 * std::sin(0.31 * phase + 1.9 * i);
    const double x = 0.75 * std::sin(fx * phase + offset) + wobble;
    const double y = 0.75 * std::sin(fy * phase + 0.5 * offset + 1.3) - wobble;
    return Point2{static_cast<float>(x), static_cast<float>(y)};
}

Rgb hueToRgb(float hue)
{
    float h = hue - std::floor(hue);
    if (!(h >= 0.0f && h < 1.0f)) // not a number or infinite
        h = 0.0f;
    const float sector = h * 6.0f;
    const int k = static_cast<int>(sector) % 6;
    const float f = sector - static_cast<float>(static_cast<int>(sector));
    const float rise = f;
    const float fall = 1.0f - f;
    switch (k) {
    case 0: return Rgb{1.0f, rise, 0.0f};
    case 1: return Rgb{fall, 1.0f, 0.0f};
    case 2: return Rgb{0.0f, 1.0f, rise};
    case 3: return Rgb{0.0f, fall, 1.0f};
    case 4: return Rgb{rise, 0.0f, 1.0f};
    default: return Rgb{1.0f, 0.0f, fall};
    }
}

float emitterHue(int index, int count, float baseHue)
{
    if (count < 1)
        count = 1;
    return baseHue + 0.5f * static_cast<float>(index) / static_cast<float>(count);
}

} // namespace Afterglow
