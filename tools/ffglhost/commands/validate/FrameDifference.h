// How far two frames of the same size differ, as the validator's picture checks judge it: the
// share of pixels where some channel differs by more than a number of levels, the largest
// difference of any channel, and the rectangle those pixels lie in.
//
// Plain value and function; any thread; no GL.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ffglhost {

struct FrameDifference {
    std::size_t pixels = 0;    // pixels compared
    std::size_t differing = 0; // pixels with a channel more than `levels` apart
    int largest = 0;           // largest difference of any channel, 0..255
    // The rectangle of the differing pixels, from the top left, inclusive (when differing > 0).
    int left = 0, top = 0, right = 0, bottom = 0;

    double share() const { return pixels == 0 ? 0.0 : static_cast<double>(differing) / static_cast<double>(pixels); }
    // "3.2% of pixels differ by more than 16 levels, by up to 255, within x 0..255, y 140..143"
    // (for the `levels` the difference was measured with).
    std::string text(int levels) const;
};

// `a` and `b`: width x height RGBA8 pixels, rows top-down; the same size, else every pixel
// counts as differing.
FrameDifference compareFrames(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int width,
                              int height, int levels);

} // namespace ffglhost
