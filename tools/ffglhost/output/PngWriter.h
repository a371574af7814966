// Writing an RGBA8 image as a PNG file with libpng. Any thread; no GL context.
#pragma once

#include "Status.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ffglhost {

// How the rows of an image lie in memory: top row first (as PNG files store them) or bottom
// row first (as GL reads a framebuffer back).
enum class RowOrder { TopDown, BottomUp };

// Writes `rgba` (width * height * 4 bytes, rows top-down) to `path`, creating missing parent
// folders. The file appears under its name only when complete (PendingFile.h); a failure leaves
// no file behind (a file already at `path` stays as it was) and gives a failed status naming
// the path.
Status writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgba);
// The same for `bytes` bytes of RGBA8 at `rgba` with rows in `order`.
Status writePng(const std::string& path, int width, int height, const unsigned char* rgba, std::size_t bytes,
                RowOrder order);

} // namespace ffglhost
