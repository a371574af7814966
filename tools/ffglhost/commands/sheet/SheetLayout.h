// Where everything goes on a parameter sheet (ffglhost sheet): a title band across the top, a
// header row with the host value of each column, then one row per parameter: its name in the
// label column on the left, one rendered cell per value, and under each cell a caption band for
// the plug-in's display text. Only geometry, in pixels with y growing downwards; the painting is
// SheetCanvas's. Plain values; any thread; no GL context.
#pragma once

#include "Status.h"

namespace ffglhost {

// The largest sheet drawn, on either side and in all: the picture is held in memory twice
// (canvas and PNG rows), and cairo's image surfaces end at 32767 pixels.
constexpr int kMaxSheetSide = 16384;
constexpr long long kMaxSheetPixels = 64LL * 1024 * 1024;

struct SheetLayout {
    int cellWidth = 0;
    int cellHeight = 0;
    int columns = 0;     // values per parameter
    int rows = 0;        // parameters
    int labelWidth = 0;  // the column of parameter names
    int titleHeight = 0; // the band with the plug-in's name
    int headerHeight = 0;
    int captionHeight = 0;
    int gap = 0; // between cells, and around the grid

    int width() const;
    int height() const;
    // Top-left corner of the cell of `row` (parameter) and `column` (value).
    int cellX(int column) const;
    int cellY(int row) const;
    // Top of the caption band under the cells of `row`.
    int captionY(int row) const;
    // Top of the header band with the host values.
    int headerY() const;
};

// The layout for `rows` x `columns` cells of cellWidth x cellHeight with text bands of the given
// heights and a label column `labelWidth` wide. Bad input, naming the options to change, when the
// sheet would be larger than kMaxSheetSide on a side or kMaxSheetPixels in all.
Status layoutSheet(int cellWidth, int cellHeight, int rows, int columns, int labelWidth, int textHeight,
                   SheetLayout& out);

// The host value of column `column` of `columns`: 0 to 1 in equal steps (columns >= 2).
float sheetValue(int column, int columns);

} // namespace ffglhost
