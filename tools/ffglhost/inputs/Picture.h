// A picture on its way into a host texture: RGBA8, rows from the BOTTOM of the image up, the way
// GL stores a texture (row 0 is the bottom row of the picture a plug-in sees). Every input source
// hands its pictures over in this order, so that what it shows comes out upright.
//
// Plain value type; any thread; no GL.
#pragma once

#include <cstddef>
#include <vector>

namespace ffglhost {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // width * height * 4 bytes, bottom row first

    Picture() = default;
    Picture(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) {}

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 4; }
    // Row `y` counted from the bottom.
    unsigned char* row(int y) { return rgba.data() + static_cast<std::size_t>(y) * rowBytes(); }
    const unsigned char* row(int y) const { return rgba.data() + static_cast<std::size_t>(y) * rowBytes(); }
};

// The same picture with its rows in the other order (top-down <-> bottom-up).
Picture flippedRows(const Picture& p);

// `p` resized to width x height by bilinear filtering (each output pixel centre mapped onto the
// source), or `p` itself when it has that size already. Sizes of at least 1.
Picture scaledPicture(const Picture& p, int width, int height);

} // namespace ffglhost
