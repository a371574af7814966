// Writing an RGBA8 image as a PNG file with libpng. Any thread; no GL context.
#pragma once

#include "Status.h"

#include <string>
#include <vector>

namespace ffglhost {

// Writes `rgba` (width * height * 4 bytes, rows top-down) to `path`, creating missing parent
// folders. A failure leaves no file behind and gives a failed status naming the path.
Status writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgba);

} // namespace ffglhost
