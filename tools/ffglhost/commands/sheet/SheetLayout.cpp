// Parameter sheet geometry (see SheetLayout.h).
#include "commands/sheet/SheetLayout.h"

#include <string>

namespace ffglhost {

namespace {

// Spacing around and between cells, and the title band in text lines.
constexpr int kGap = 6;
constexpr int kTitleLines = 2;

} // namespace

int SheetLayout::width() const { return labelWidth + columns * (cellWidth + gap) + gap; }

int SheetLayout::height() const { return headerY() + headerHeight + rows * (cellHeight + captionHeight + gap) + gap; }

int SheetLayout::headerY() const { return titleHeight; }

int SheetLayout::cellX(int column) const { return labelWidth + gap + column * (cellWidth + gap); }

int SheetLayout::cellY(int row) const { return headerY() + headerHeight + row * (cellHeight + captionHeight + gap); }

int SheetLayout::captionY(int row) const { return cellY(row) + cellHeight; }

Status layoutSheet(int cellWidth, int cellHeight, int rows, int columns, int labelWidth, int textHeight,
                   SheetLayout& out)
{
    SheetLayout l;
    l.cellWidth = cellWidth;
    l.cellHeight = cellHeight;
    l.rows = rows;
    l.columns = columns;
    l.labelWidth = labelWidth;
    l.titleHeight = kTitleLines * textHeight + kGap;
    l.headerHeight = textHeight;
    l.captionHeight = textHeight;
    l.gap = kGap;
    // In 64 bits: the options allow sizes whose products overflow an int.
    const long long w = static_cast<long long>(labelWidth) + static_cast<long long>(columns) * (cellWidth + kGap) + kGap;
    const long long h = static_cast<long long>(l.titleHeight) + textHeight +
                        static_cast<long long>(rows) * (static_cast<long long>(cellHeight) + textHeight + kGap) + kGap;
    if (w > kMaxSheetSide || h > kMaxSheetSide || w * h > kMaxSheetPixels)
        return Status::badInput("the sheet would be " + std::to_string(w) + "x" + std::to_string(h) +
                                " pixels, more than " + std::to_string(kMaxSheetSide) + " on a side or " +
                                std::to_string(kMaxSheetPixels / (1024 * 1024)) +
                                " million in all: use a smaller --size, fewer --steps or fewer parameters (--param)");
    out = l;
    return Status();
}

float sheetValue(int column, int columns)
{
    if (columns < 2 || column <= 0)
        return 0.f;
    if (column >= columns - 1)
        return 1.f;
    return static_cast<float>(column) / static_cast<float>(columns - 1);
}

} // namespace ffglhost
