// Differences between two frames (see FrameDifference.h).
#include "commands/validate/FrameDifference.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ffglhost {

std::string FrameDifference::text(int levels) const
{
    char share[32];
    std::snprintf(share, sizeof share, "%.1f%%", 100.0 * this->share());
    std::string out = std::string(share) + " of pixels differ by more than " + std::to_string(levels) +
                      " levels, by up to " + std::to_string(largest);
    if (differing > 0)
        out += ", within x " + std::to_string(left) + ".." + std::to_string(right) + ", y " + std::to_string(top) +
               ".." + std::to_string(bottom) + " from the top left";
    return out;
}

FrameDifference compareFrames(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int width,
                              int height, int levels)
{
    FrameDifference d;
    const std::size_t count =
        static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
    d.pixels = count;
    if (a.size() != count * 4 || b.size() != count * 4) {
        d.differing = count;
        d.largest = 255;
        d.right = width - 1;
        d.bottom = height - 1;
        return d;
    }
    d.left = width;
    d.top = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x)) * 4;
            int most = 0;
            for (int c = 0; c < 4; ++c)
                most = std::max(most, std::abs(static_cast<int>(a[at + c]) - static_cast<int>(b[at + c])));
            d.largest = std::max(d.largest, most);
            if (most <= levels)
                continue;
            ++d.differing;
            d.left = std::min(d.left, x);
            d.right = std::max(d.right, x);
            d.top = std::min(d.top, y);
            d.bottom = std::max(d.bottom, y);
        }
    }
    if (d.differing == 0)
        d.left = d.top = 0;
    return d;
}

} // namespace ffglhost
