// Pictures in the host tests, all reduced to 8-bit RGB rows from the top down: PNG files the
// host writes, PPM files (window screenshots through xwd and xwdtopnm, frames decoded from
// videos by ffmpeg), and their comparison. Header-only; any thread.
#pragma once

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    std::array<int, 3> at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

inline bool readPngRgb(const std::filesystem::path& path, RgbImage& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.string().c_str()) == 0)
        return false;
    png.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.assign(PNG_IMAGE_SIZE(png), 0);
    if (png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) == 0) {
        png_image_free(&png);
        return false;
    }
    return true;
}

// Binary PPM (P6) with a maximum value of 255.
inline bool readPpm(const std::filesystem::path& path, RgbImage& image)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> image.width >> image.height >> maxValue) || magic != "P6" || maxValue != 255 ||
        image.width < 1 || image.height < 1)
        return false;
    in.get(); // the one whitespace byte before the pixels
    image.rgb.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, 0);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return in.gcount() == static_cast<std::streamsize>(image.rgb.size());
}

// Mean absolute channel difference of two pictures of one size; -1 when the sizes differ.
inline double meanDifference(const RgbImage& a, const RgbImage& b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty())
        return -1.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
    return sum / static_cast<double>(a.rgb.size());
}

// `image` upside down.
inline RgbImage flipped(const RgbImage& image)
{
    RgbImage out = image;
    const std::size_t row = static_cast<std::size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.rgb.begin() + static_cast<std::ptrdiff_t>(row * y), row,
                    out.rgb.begin() + static_cast<std::ptrdiff_t>(row * (image.height - 1 - y)));
    return out;
}

} // namespace hosttest
