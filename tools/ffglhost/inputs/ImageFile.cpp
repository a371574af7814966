// Still images for --input (see ImageFile.h).
#include "inputs/ImageFile.h"

#include <png.h>
#ifdef KX_HAVE_TURBOJPEG
#include <turbojpeg.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace ffglhost {

namespace {

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr unsigned char kJpegSignature[] = {0xff, 0xd8, 0xff};
// The most bytes of an image file read into memory: a bound against files that are really
// something else, well above any picture of kMaxImageSide a side.
constexpr long kMaxImageFileBytes = 1L << 30;

Status tooLarge(const std::string& path, unsigned width, unsigned height)
{
    return Status::badInput("--input " + path + ": the image is " + std::to_string(width) + "x" +
                            std::to_string(height) + ", more than the " + std::to_string(kMaxImageSide) +
                            " pixels a side this host reads");
}

Status readFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (f == nullptr)
        return Status::badInput("--input " + path + ": cannot read it: " + std::strerror(errno));
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
        return Status::badInput("--input " + path + ": cannot read it: " + std::strerror(errno));
    const long size = std::ftell(f.get());
    if (size < 0 || size > kMaxImageFileBytes)
        return Status::badInput("--input " + path + ": cannot read it: " +
                                (size < 0 ? std::string(std::strerror(errno)) : std::string("larger than 1 GiB")));
    std::rewind(f.get());
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return Status::badInput("--input " + path + ": cannot read it: " +
                                (std::ferror(f.get()) ? std::strerror(errno) : "it ended early"));
    return Status();
}

Status decodePng(const std::string& path, const std::vector<unsigned char>& bytes, Picture& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return Status::badInput("--input " + path + ": not a valid PNG image: " + image.message);
    if (image.width > static_cast<unsigned>(kMaxImageSide) || image.height > static_cast<unsigned>(kMaxImageSide)) {
        png_image_free(&image);
        return tooLarge(path, image.width, image.height);
    }
    image.format = PNG_FORMAT_RGBA;
    Picture p(static_cast<int>(image.width), static_cast<int>(image.height));
    // A negative stride has libpng store the rows bottom-up.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgba.data(), stride, nullptr)) {
        const std::string why = image.message;
        png_image_free(&image);
        return Status::badInput("--input " + path + ": not a valid PNG image: " + why);
    }
    out = std::move(p);
    return Status();
}

#ifdef KX_HAVE_TURBOJPEG
Status decodeJpeg(const std::string& path, std::vector<unsigned char>& bytes, Picture& out)
{
    std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitDecompress(), &tjDestroy);
    if (tj == nullptr)
        return Status::failed("cannot start the JPEG decoder: " + std::string(tjGetErrorStr2(nullptr)));
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const auto size = static_cast<unsigned long>(bytes.size());
    if (tjDecompressHeader3(tj.get(), bytes.data(), size, &width, &height, &subsampling, &colourspace) != 0)
        return Status::badInput("--input " + path + ": not a valid JPEG image: " + tjGetErrorStr2(tj.get()));
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
        return tooLarge(path, static_cast<unsigned>(width), static_cast<unsigned>(height));
    Picture p(width, height);
    // Warnings count too: they mean a damaged file (data missing at the end, bytes out of place).
    if (tjDecompress2(tj.get(), bytes.data(), size, p.rgba.data(), width, 0, height, TJPF_RGBA, TJFLAG_BOTTOMUP) != 0)
        return Status::badInput("--input " + path + ": not a valid JPEG image: " + tjGetErrorStr2(tj.get()));
    out = std::move(p);
    return Status();
}
#endif

} // namespace

ImageFormat sniffImageFormat(const unsigned char* bytes, std::size_t count)
{
    if (count >= sizeof kPngSignature && std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0)
        return ImageFormat::Png;
    if (count >= sizeof kJpegSignature && std::memcmp(bytes, kJpegSignature, sizeof kJpegSignature) == 0)
        return ImageFormat::Jpeg;
    return ImageFormat::None;
}

bool canDecode(ImageFormat format)
{
#ifdef KX_HAVE_TURBOJPEG
    return format != ImageFormat::None;
#else
    return format == ImageFormat::Png;
#endif
}

Status readImage(const std::string& path, Picture& out)
{
    std::vector<unsigned char> bytes;
    Status s = readFile(path, bytes);
    if (!s.ok())
        return s;
    switch (sniffImageFormat(bytes.data(), bytes.size())) {
    case ImageFormat::Png: return decodePng(path, bytes, out);
    case ImageFormat::Jpeg:
#ifdef KX_HAVE_TURBOJPEG
        return decodeJpeg(path, bytes, out);
#else
        return Status::badInput("--input " + path + ": this ffglhost reads PNG images only (it was built without "
                                "libjpeg-turbo)");
#endif
    case ImageFormat::None: break;
    }
    return Status::badInput("--input " + path + ": neither a PNG nor a JPEG image");
}

} // namespace ffglhost
