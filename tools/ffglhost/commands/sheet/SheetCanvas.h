// The picture of a parameter sheet, drawn with cairo: a dark background, the rendered cells
// copied in, and text labels in the DejaVu Sans font (fonts-dejavu-core; fontconfig substitutes
// another font where it is missing). Labels are cut with an ellipsis to the width they are given.
//
// Ownership: SheetCanvas owns its cairo surface and context. One thread; no GL context.
#pragma once

#include "Status.h"

#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace ffglhost {

// Height of a line of labels, in pixels: the text bands of a sheet are this high.
constexpr int kSheetTextHeight = 20;

enum class TextStyle { Title, Name, Caption };
enum class TextAlign { Left, Centre };

class SheetCanvas {
public:
    SheetCanvas() = default;
    ~SheetCanvas();
    SheetCanvas(const SheetCanvas&) = delete;
    SheetCanvas& operator=(const SheetCanvas&) = delete;

    // A width x height picture filled with the background. Failed when cairo cannot make it.
    Status create(int width, int height);
    // Width in pixels of `text` (passed through labelText) in `style`; 0 before create.
    int textWidth(const std::string& text, TextStyle style);
    // Copies `rgba` (width * height * 4 bytes, rows top-down; alpha ignored) with its top-left
    // corner at (x, y). A buffer of the wrong size draws nothing.
    void drawPicture(int x, int y, int width, int height, const std::vector<unsigned char>& rgba);
    // `text` (passed through labelText) in the band of kSheetTextHeight pixels from y down, from x
    // or centred in x .. x + width, cut with an ellipsis to fit within width.
    void drawText(const std::string& text, int x, int y, int width, TextStyle style, TextAlign align);
    // The picture as RGBA8, rows top-down, opaque. Failed when cairo reported an error while
    // drawing (it then stops drawing).
    Status pixels(std::vector<unsigned char>& rgba);

private:
    void selectFont(TextStyle style);

    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

// `raw` as a label: valid UTF-8 (a byte that starts no valid sequence becomes '?'), with control
// characters replaced by '?'.
std::string labelText(const std::string& raw);

} // namespace ffglhost
