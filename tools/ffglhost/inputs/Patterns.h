// The built-in test patterns of `--input pattern:NAME`, drawn on the CPU as pictures of any size:
//   card   still: four coloured quarters (red top left, green top right, blue bottom left, white
//          bottom right), a black arrow pointing up and a grey ramp from black (left) to white
//          (right) along the bottom: orientation and colour order at a glance
//   bars   still: eight full-level colour bars, white, yellow, cyan, green, magenta, red, blue,
//          black from left to right
//   sweep  moving: a white bar sweeping left to right every 120 frames and a red one sweeping
//          top to bottom every 90 frames over a blue-to-black gradient; no two frames of a
//          run of 360 are alike
//   grey   still: mid grey (128) everywhere
//
// Plain functions; any thread; no GL.
#pragma once

#include "inputs/Picture.h"

#include <cstdint>
#include <string>

namespace ffglhost {

enum class Pattern { Card, Bars, Sweep, Grey };

// The pattern called `name`; false when there is none.
bool findPattern(const std::string& name, Pattern& out);
// "card", "bars", ...
const char* patternName(Pattern p);
// "card, bars, sweep, grey": every name, for messages and the help.
std::string patternNames();
// Whether its picture changes from frame to frame.
bool patternMoves(Pattern p);

// The pattern at width x height for host frame `frame` (1, 2, ...), rows bottom-up (Picture.h).
Picture drawPattern(Pattern p, int width, int height, int64_t frame);

} // namespace ffglhost
