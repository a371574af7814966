// The built-in test patterns (see Patterns.h).
#include "inputs/Patterns.h"

#include <cmath>
#include <cstdlib>

namespace ffglhost {

namespace {

struct Colour {
    unsigned char r, g, b;
};

struct PatternEntry {
    Pattern pattern;
    const char* name;
    bool moves;
};

const PatternEntry kPatterns[] = {
    {Pattern::Card, "card", false},
    {Pattern::Bars, "bars", false},
    {Pattern::Sweep, "sweep", true},
    {Pattern::Grey, "grey", false},
};

// The card's quarters, top left, top right, bottom left, bottom right.
constexpr Colour kCardQuarters[4] = {{220, 40, 40}, {40, 200, 60}, {40, 80, 220}, {235, 235, 235}};
constexpr Colour kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                             {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
// Frames one sweep of each bar takes, and the bars' widths as shares of the picture.
constexpr int kSweepFramesX = 120;
constexpr int kSweepFramesY = 90;
constexpr double kSweepBarShare = 1.0 / 16.0;
// The card's ramp takes the bottom twelfth of the picture.
constexpr double kRampShare = 1.0 / 12.0;
constexpr unsigned char kGrey = 128;

// Calls put(x, yFromTop, u, v) for every pixel, u and v its centre in 0..1 from the left and
// the top, and stores what it returns in the row the picture keeps it in (bottom-up).
template <class Shade>
Picture shade(int width, int height, Shade put)
{
    Picture p(width, height);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = p.row(height - 1 - y);
        const double v = (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width;
            const Colour c = put(x, y, u, v);
            unsigned char* px = row + static_cast<std::size_t>(x) * 4;
            px[0] = c.r;
            px[1] = c.g;
            px[2] = c.b;
            px[3] = 255;
        }
    }
    return p;
}

// The card's arrow: a head from 20% to 45% of the height, a shaft down to 80%.
bool onArrow(double u, double v)
{
    const double across = std::fabs(u - 0.5);
    if (v >= 0.2 && v < 0.45)
        return across <= (v - 0.2) / 0.25 * 0.15;
    return v >= 0.45 && v < 0.8 && across <= 0.05;
}

unsigned char level(double share) { return static_cast<unsigned char>(std::lround(255.0 * share)); }

} // namespace

bool findPattern(const std::string& name, Pattern& out)
{
    for (const PatternEntry& e : kPatterns) {
        if (name == e.name) {
            out = e.pattern;
            return true;
        }
    }
    return false;
}

const char* patternName(Pattern p)
{
    for (const PatternEntry& e : kPatterns) {
        if (e.pattern == p)
            return e.name;
    }
    return "?";
}

std::string patternNames()
{
    std::string all;
    for (const PatternEntry& e : kPatterns)
        all += (all.empty() ? "" : ", ") + std::string(e.name);
    return all;
}

bool patternMoves(Pattern p)
{
    for (const PatternEntry& e : kPatterns) {
        if (e.pattern == p)
            return e.moves;
    }
    return false;
}

Picture drawPattern(Pattern p, int width, int height, int64_t frame)
{
    switch (p) {
    case Pattern::Card:
        return shade(width, height, [](int, int, double u, double v) {
            if (v >= 1.0 - kRampShare) {
                const unsigned char g = level(u);
                return Colour{g, g, g};
            }
            if (onArrow(u, v))
                return Colour{0, 0, 0};
            return kCardQuarters[(v < 0.5 ? 0 : 2) + (u < 0.5 ? 0 : 1)];
        });
    case Pattern::Bars:
        return shade(width, height, [width](int x, int, double, double) { return kBars[x * 8 / width]; });
    case Pattern::Sweep: {
        const int64_t f = frame > 0 ? frame - 1 : 0;
        const double barX = static_cast<double>(f % kSweepFramesX) / kSweepFramesX;
        const double barY = static_cast<double>(f % kSweepFramesY) / kSweepFramesY;
        return shade(width, height, [barX, barY](int, int, double u, double v) {
            if (u >= barX && u < barX + kSweepBarShare)
                return Colour{255, 255, 255};
            if (v >= barY && v < barY + kSweepBarShare)
                return Colour{230, 30, 30};
            return Colour{0, 0, level(1.0 - v)};
        });
    }
    case Pattern::Grey:
        return shade(width, height, [](int, int, double, double) { return Colour{kGrey, kGrey, kGrey}; });
    }
    return Picture(width, height);
}

} // namespace ffglhost
