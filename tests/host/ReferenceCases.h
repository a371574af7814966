// What the picture tests do with the reference cases of tests/reference/cases.txt (the cases
// themselves and their kept frames: ReferenceCaseList.h): render a case with some ffglhost and
// plug-in folder, and measure how far two frames lie apart. Used by the kept-picture test (per GL driver) and by the
// comparison of the 32-bit build with the 64-bit one. One thread; runs ffglhost as a child.
#pragma once

#include "HostRun.h"
#include "ReferenceCaseList.h"

#include <filesystem>
#include <string>
#include <vector>

namespace refcases {

// How gtest names a case in its messages.
void PrintTo(const Case& c, std::ostream* os);
// A gtest parameter name for the case (letters, digits and '_').
std::string testName(const Case& c);

// Renders `c` with the program `ffglhost` and the plug-in `pluginDir`/<plug-in>.so into the
// folder `out` (emptied first), with `extraArgs` (already quoted) added to the command line.
// Empty on success, else the command and where its output went.
std::string renderCase(const std::string& ffglhost, const std::filesystem::path& pluginDir, const Case& c,
                       const std::filesystem::path& out, const std::string& extraArgs = std::string());

// How far two pictures lie apart: differing pixels, the largest difference of one channel, and
// the pixels whose largest channel difference is above `levels`.
struct Difference {
    long differing = 0;
    int largest = 0;
    long above = 0;
    long pixels = 0;
    std::string firstAt; // "(x, y)" of the first differing pixel, empty when none
};
Difference compare(const hostrun::Image& got, const hostrun::Image& want, int levels);

// What a renderer may change in a frame: at most `share` of the pixels may differ by more than
// `levels` in any channel. {0, 0} is byte for byte.
struct Tolerance {
    int levels = 0;
    double share = 0.0;
};
bool within(const Difference& d, const Tolerance& t);

// What llvmpipe in a 32-bit x86 process may change against its 64-bit frames. The plug-in makes
// the same GL calls with the same bits in both (its float arithmetic is SSE2 in both), and Mesa
// transforms them to the same vertices; only the 32-bit rasteriser settles a few depth-test ties
// between nearly coinciding surfaces the other way. Measured with Mesa 22.3: at most 19 of 57600
// pixels (0.033%) at 320x180 and 12 of 921600 at 1280x720. A flipped tie can change a pixel
// entirely, so every differing pixel counts: at most 0.1% of the picture.
constexpr Tolerance kI386Tolerance{0, 0.001};
std::string describe(const Difference& d, const Tolerance& t);

// Compares every frame of `got` with the frame of the same name in `want` (both folders hold the
// same file names, else a failure) within `t`; test failures name the case and the frame.
// True when all agree.
bool compareFolders(const std::string& caseName, const std::filesystem::path& got,
                    const std::filesystem::path& want, const Tolerance& t);

} // namespace refcases
