// Row order and scaling of pictures (see Picture.h).
#include "inputs/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ffglhost {

Picture flippedRows(const Picture& p)
{
    Picture out(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(out.row(y), p.row(p.height - 1 - y), p.rowBytes());
    return out;
}

namespace {

// Where output pixel `i` of `outSize` falls on a source of `inSize` pixels: the two source
// pixels around it and the weight of the second.
struct Tap {
    int first;
    int second;
    float weight;
};

std::vector<Tap> taps(int inSize, int outSize)
{
    std::vector<Tap> t(static_cast<std::size_t>(outSize));
    const double scale = static_cast<double>(inSize) / outSize;
    for (int i = 0; i < outSize; ++i) {
        const double at = std::clamp((i + 0.5) * scale - 0.5, 0.0, static_cast<double>(inSize - 1));
        const int first = static_cast<int>(std::floor(at));
        t[static_cast<std::size_t>(i)] = Tap{first, std::min(first + 1, inSize - 1), static_cast<float>(at - first)};
    }
    return t;
}

} // namespace

Picture scaledPicture(const Picture& p, int width, int height)
{
    if (p.width == width && p.height == height)
        return p;
    Picture out(width, height);
    const std::vector<Tap> xs = taps(p.width, width);
    const std::vector<Tap> ys = taps(p.height, height);
    for (int y = 0; y < height; ++y) {
        const Tap& ty = ys[static_cast<std::size_t>(y)];
        const unsigned char* r0 = p.row(ty.first);
        const unsigned char* r1 = p.row(ty.second);
        unsigned char* o = out.row(y);
        for (int x = 0; x < width; ++x) {
            const Tap& tx = xs[static_cast<std::size_t>(x)];
            const std::size_t a = static_cast<std::size_t>(tx.first) * 4;
            const std::size_t b = static_cast<std::size_t>(tx.second) * 4;
            for (int c = 0; c < 4; ++c) {
                const float top = r0[a + c] + (r0[b + c] - r0[a + c]) * tx.weight;
                const float bottom = r1[a + c] + (r1[b + c] - r1[a + c]) * tx.weight;
                o[static_cast<std::size_t>(x) * 4 + c] =
                    static_cast<unsigned char>(std::lround(top + (bottom - top) * ty.weight));
            }
        }
    }
    return out;
}

} // namespace ffglhost
