// Sheet painting with cairo (see SheetCanvas.h).
#include "commands/sheet/SheetCanvas.h"

#include <cairo.h>

#include <cstdint>
#include <cstring>

namespace ffglhost {

namespace {

constexpr const char* kFontFamily = "DejaVu Sans";
constexpr double kTitleSize = 15.0;
constexpr double kNameSize = 13.0;
constexpr double kCaptionSize = 12.0;
constexpr double kBackground[3] = {0.12, 0.12, 0.13};
constexpr double kTextColour[3] = {0.92, 0.92, 0.92};
constexpr double kCaptionColour[3] = {0.70, 0.72, 0.75};
// Labels are measured from at most this many bytes: longer ones never fit a cell anyway.
constexpr std::size_t kMaxLabelBytes = 256;
constexpr const char* kEllipsis = "\xE2\x80\xA6";

// Length of the valid UTF-8 sequence at s[i] (1 to 4), or 0 when none starts there.
std::size_t sequenceLength(const std::string& s, std::size_t i)
{
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not valid UTF-8.
    const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return n;
}

// The longest prefix of `text` that ends on a character boundary and has at most `bytes` bytes.
std::string prefixOf(const std::string& text, std::size_t bytes)
{
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t n = sequenceLength(text, end);
        if (n == 0)
            n = 1;
        if (end + n > bytes)
            break;
        end += n;
    }
    return text.substr(0, end);
}

// `text` without its last character (text is valid UTF-8).
void dropLastCharacter(std::string& text)
{
    std::size_t end = text.size();
    while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0u) == 0x80u)
        --end;
    text.resize(end > 0 ? end - 1 : 0);
}

} // namespace

std::string labelText(const std::string& raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const std::size_t n = sequenceLength(raw, i);
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            out += '?';
            ++i;
            continue;
        }
        out.append(raw, i, n);
        i += n;
    }
    return out;
}

SheetCanvas::~SheetCanvas()
{
    if (cr_ != nullptr)
        cairo_destroy(cr_);
    if (surface_ != nullptr)
        cairo_surface_destroy(surface_);
}

Status SheetCanvas::create(int width, int height)
{
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS)
        return Status::failed("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                              " picture for the sheet: " + cairo_status_to_string(cairo_surface_status(surface_)));
    cr_ = cairo_create(surface_);
    cairo_set_source_rgb(cr_, kBackground[0], kBackground[1], kBackground[2]);
    cairo_paint(cr_);
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
        return Status::failed(std::string("cannot paint the sheet: ") + cairo_status_to_string(cairo_status(cr_)));
    return Status();
}

void SheetCanvas::selectFont(TextStyle style)
{
    const bool bold = style != TextStyle::Caption;
    cairo_select_font_face(cr_, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, style == TextStyle::Title ? kTitleSize
                             : style == TextStyle::Name ? kNameSize
                                                        : kCaptionSize);
    const double* colour = style == TextStyle::Caption ? kCaptionColour : kTextColour;
    cairo_set_source_rgb(cr_, colour[0], colour[1], colour[2]);
}

int SheetCanvas::textWidth(const std::string& text, TextStyle style)
{
    if (cr_ == nullptr)
        return 0;
    selectFont(style);
    const std::string label = prefixOf(labelText(text), kMaxLabelBytes);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, label.c_str(), &extents);
    return static_cast<int>(extents.x_advance + 0.999);
}

void SheetCanvas::drawPicture(int x, int y, int width, int height, const std::vector<unsigned char>& rgba)
{
    if (surface_ == nullptr || width < 1 || height < 1 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return;
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const int surfaceW = cairo_image_surface_get_width(surface_);
    const int surfaceH = cairo_image_surface_get_height(surface_);
    for (int row = 0; row < height; ++row) {
        const int sy = y + row;
        if (sy < 0 || sy >= surfaceH)
            continue;
        for (int col = 0; col < width; ++col) {
            const int sx = x + col;
            if (sx < 0 || sx >= surfaceW)
                continue;
            const unsigned char* p = &rgba[(static_cast<std::size_t>(row) * width + col) * 4];
            // Opaque, so premultiplying changes nothing; ARGB32 is one native-endian word.
            const std::uint32_t pixel = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
            std::memcpy(data + static_cast<std::size_t>(sy) * stride + static_cast<std::size_t>(sx) * 4, &pixel, 4);
        }
    }
    cairo_surface_mark_dirty(surface_);
}

void SheetCanvas::drawText(const std::string& text, int x, int y, int width, TextStyle style, TextAlign align)
{
    if (cr_ == nullptr || width < 1)
        return;
    selectFont(style);
    std::string label = prefixOf(labelText(text), kMaxLabelBytes);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, label.c_str(), &extents);
    if (extents.x_advance > width) {
        // Shorten until the text and the ellipsis fit.
        std::string cut = label;
        do {
            dropLastCharacter(cut);
            label = cut + kEllipsis;
            cairo_text_extents(cr_, label.c_str(), &extents);
        } while (!cut.empty() && extents.x_advance > width);
        if (extents.x_advance > width)
            return;
    }
    cairo_font_extents_t font;
    cairo_font_extents(cr_, &font);
    const double left = align == TextAlign::Centre ? x + (width - extents.x_advance) / 2.0 : x;
    const double baseline = y + (kSheetTextHeight + font.ascent - font.descent) / 2.0;
    cairo_move_to(cr_, left, baseline);
    cairo_show_text(cr_, label.c_str());
}

Status SheetCanvas::pixels(std::vector<unsigned char>& rgba)
{
    if (cr_ == nullptr)
        return Status::failed("the sheet was never drawn");
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
        return Status::failed(std::string("cannot draw the sheet: ") + cairo_status_to_string(cairo_status(cr_)));
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const int width = cairo_image_surface_get_width(surface_);
    const int height = cairo_image_surface_get_height(surface_);
    rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, data + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4, 4);
            unsigned char* out = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            out[0] = static_cast<unsigned char>(pixel >> 16);
            out[1] = static_cast<unsigned char>(pixel >> 8);
            out[2] = static_cast<unsigned char>(pixel);
            out[3] = 255;
        }
    }
    return Status();
}

} // namespace ffglhost
