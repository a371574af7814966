// Where the Afterglow effect's light points are and what colour they have: pure functions of the
// effect's phase, with no GL and no state, so that pictures can be predicted in tests.
//
// Positions are in a square frame of reference: x and y in -1..1, (0, 0) the centre of the
// picture, y growing upwards. The effect maps them onto the viewport (x scaled by the aspect
// ratio).
#pragma once

namespace Afterglow {

// The most light points the effect draws.
constexpr int kMaxEmitters = 12;

struct Point2 {
    float x;
    float y;
};

struct Rgb {
    float r;
    float g;
    float b;
};

// Position of light point `index` (0-based) of `count` at `phase` (radians of the slowest
// orbit). Every point follows its own Lissajous figure, offset so that points spread around the
// centre; the result stays within -0.9..0.9 on both axes.
Point2 emitterPosition(int index, int count, double phase);

// A fully saturated colour of hue `hue` (turns; any real number, wrapped into 0..1) at value 1.
Rgb hueToRgb(float hue);

// The hue of light point `index` of `count` when the base hue is `baseHue`: the points share
// half of the colour circle, starting at the base hue.
float emitterHue(int index, int count, float baseHue);

} // namespace Afterglow
