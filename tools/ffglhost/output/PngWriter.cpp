// PNG output through libpng's simplified API (see PngWriter.h).
#include "output/PngWriter.h"

#include "output/PendingFile.h"

#include <png.h>

namespace ffglhost {

Status writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgba)
{
    return writePng(path, width, height, rgba.data(), rgba.size(), RowOrder::TopDown);
}

Status writePng(const std::string& path, int width, int height, const unsigned char* rgba, std::size_t bytes,
                RowOrder order)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (width < 1 || height < 1 || rgba == nullptr || bytes != rowBytes * static_cast<std::size_t>(height))
        return Status::failed("cannot write " + path + ": the image has no pixels or the wrong size");

    if (Status s = createParentFolder(path); !s.ok())
        return s;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    // A negative stride tells libpng that the bottom row comes first in memory.
    const png_int_32 stride =
        order == RowOrder::TopDown ? static_cast<png_int_32>(rowBytes) : -static_cast<png_int_32>(rowBytes);
    // Written under a temporary name and renamed when whole: a file under its real name is
    // always a complete picture, whatever happens to this process meanwhile.
    PendingFile file(path);
    const int ok = png_image_write_to_file(&image, file.temporaryPath().c_str(), 0, rgba, stride, nullptr);
    if (ok == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        return Status::failed("cannot write " + path + ": " + why);
    }
    return file.commit();
}

} // namespace ffglhost
