// Reading still images for `--input FILE`: PNG with libpng, and JPEG with libjpeg-turbo's
// TurboJPEG where the build has it (the Linux builds; the Windows build reads PNG only).
// Which decoder reads a file is decided by its first bytes, not its name.
//
// Plain functions; any thread; no GL.
#pragma once

#include "Status.h"
#include "inputs/Picture.h"

#include <string>

namespace ffglhost {

// Longest side of an image the host reads: a bound against sizes that are really garbage.
constexpr int kMaxImageSide = 16384;

enum class ImageFormat { None, Png, Jpeg };

// The image format whose signature `bytes` (the first `count` bytes of a file) start with.
ImageFormat sniffImageFormat(const unsigned char* bytes, std::size_t count);
// Whether this build can decode `format`.
bool canDecode(ImageFormat format);

// Decodes the image file at `path` into `out` (RGBA, rows bottom-up as Picture.h says; images
// without alpha become opaque). Bad input, one line naming `path` and the reason, for a file that
// is missing, unreadable, not an image this build reads, or corrupt; `out` is untouched then.
Status readImage(const std::string& path, Picture& out);

} // namespace ffglhost
