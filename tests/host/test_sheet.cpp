// `ffglhost sheet` against the ClearGen generator, whose frames are one colour made of its three
// parameters: every cell shows its parameter at its value and the others at their defaults, in
// the plug-in's parameter order and in order of value, each from an instance of its own (the
// variant that fails from the third frame of an instance still gets a sheet of two-frame cells);
// labels are drawn; and bad input or a failing plug-in leaves no file behind. Also the canvas
// on its own: text that is no valid UTF-8 and text too long for its place.
#include "HeadlessGL.h"
#include "HostRun.h"
#include "commands/sheet/SheetCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using hostrun::Image;
using hostrun::Result;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
constexpr int kCellW = 16;
constexpr int kCellH = 8;
// ClearGen's defaults (Red 0.25, Green 0.75, Blue 0.5) as 8-bit channels.
constexpr std::array<int, 3> kDefaults = {64, 191, 128};

int channel(float v) { return static_cast<int>(std::lround(v * 255.0f)); }

// Where the pixels of one colour lie (within 1 per channel): their count and bounding box.
struct Patch {
    int count = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Patch find(const Image& image, std::array<int, 3> colour)
{
    Patch p;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::array<int, 4> px = image.at(x, y);
            if (std::abs(px[0] - colour[0]) > 1 || std::abs(px[1] - colour[1]) > 1 || std::abs(px[2] - colour[2]) > 1)
                continue;
            ++p.count;
            p.left = std::min(p.left, x);
            p.top = std::min(p.top, y);
            p.right = std::max(p.right, x);
            p.bottom = std::max(p.bottom, y);
        }
    return p;
}

// The cell of parameter `param` (0 Red, 1 Green, 2 Blue) at host value `value`: one solid
// kCellW x kCellH rectangle of its colour.
Patch cell(const Image& image, int param, float value)
{
    std::array<int, 3> colour = kDefaults;
    colour[static_cast<std::size_t>(param)] = channel(value);
    const Patch p = find(image, colour);
    EXPECT_EQ(p.count, kCellW * kCellH) << "parameter " << param << " at " << value;
    EXPECT_EQ(p.right - p.left + 1, kCellW);
    EXPECT_EQ(p.bottom - p.top + 1, kCellH);
    return p;
}

// Light grey pixels (text) inside the rectangle.
int textPixels(const Image& image, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = std::max(0, top); y < std::min(image.height, bottom); ++y)
        for (int x = std::max(0, left); x < std::min(image.width, right); ++x) {
            const std::array<int, 4> px = image.at(x, y);
            n += px[0] > 120 && std::abs(px[0] - px[1]) < 12 && std::abs(px[1] - px[2]) < 12 ? 1 : 0;
        }
    return n;
}

class Sheet : public hostrun::HostTest {
protected:
    Result sheet(const std::string& plugin, std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"sheet", kPlugins + "/" + plugin + ".so", "--size",
                                         std::to_string(kCellW) + "x" + std::to_string(kCellH)};
        args.insert(args.end(), extra.begin(), extra.end());
        return host(args);
    }
};

TEST_F(Sheet, EveryCellShowsItsParameterAtItsValueInOrder)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = sheet("ClearGen", {"--steps", "3", "--frames", "2", "--out", "s.png"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("3 parameters x 3 values, cells 16x8 after 2 frames"), std::string::npos) << r.out;
    Image image;
    ASSERT_TRUE(hostrun::readPng(work() / "s.png", image));

    const float values[3] = {0.0f, 0.5f, 1.0f};
    Patch cells[3][3];
    for (int param = 0; param < 3; ++param)
        for (int v = 0; v < 3; ++v)
            cells[param][v] = cell(image, param, values[v]);
    for (int param = 0; param < 3; ++param) {
        for (int v = 1; v < 3; ++v) {
            EXPECT_EQ(cells[param][v].top, cells[param][0].top) << "a row per parameter";
            EXPECT_GT(cells[param][v].left, cells[param][v - 1].right) << "values from 0 to 1, left to right";
        }
        if (param > 0) {
            EXPECT_GT(cells[param][0].top, cells[param - 1][0].bottom) << "parameters in the plug-in's order";
            EXPECT_EQ(cells[param][0].left, cells[param - 1][0].left) << "columns line up";
        }
        // The name left of the row, a caption under every cell.
        EXPECT_GT(textPixels(image, 0, cells[param][0].top - 4, cells[param][0].left, cells[param][0].bottom + 4), 10)
            << "no name left of row " << param;
        for (int v = 0; v < 3; ++v)
            EXPECT_GT(textPixels(image, cells[param][v].left - 8, cells[param][v].bottom + 1,
                                 cells[param][v].right + 8, cells[param][v].bottom + 20),
                      5)
                << "no caption under parameter " << param << " at " << values[v];
    }
    EXPECT_EQ(written(), std::vector<std::string>{"s.png"});
}

TEST_F(Sheet, NamedParametersOnlyAndEachCellAFreshInstance)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // Named out of order and twice: rows follow the plug-in's order, once each. The variant fails
    // from the third frame of an instance, so two frames a cell work only with a new instance
    // for every cell.
    const Result r = sheet("ClearGenFailFrame", {"--param", "Blue", "--param", "Red", "--param", "Blue", "--steps",
                                                 "2", "--frames", "2", "--out", "s.png"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    Image image;
    ASSERT_TRUE(hostrun::readPng(work() / "s.png", image));
    const Patch red = cell(image, 0, 1.0f);
    const Patch blue = cell(image, 2, 1.0f);
    EXPECT_GT(blue.top, red.bottom);
    EXPECT_EQ(find(image, {64, 255, 128}).count, 0) << "Green was not asked for";
    EXPECT_EQ(find(image, {64, 0, 128}).count, 0) << "Green was not asked for";
}

TEST_F(Sheet, BadInputAndFailuresWriteNothing)
{
    HOSTRUN_REQUIRE_DISPLAY();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"--param", "Alpha"}, 2, "has no parameter \"Alpha\" (parameters: Red, Green, Blue)"},
        {{"--steps", "1"}, 2, "at least 2 values"},
        {{"--steps", "65"}, 2, "from 1 to 64"},
        {{"--size", "100000x100000"}, 2, "use a smaller --size"},
        {{"--set", "Red=1"}, 2, "sheet takes no option \"--set\""},
        {{"--frames", "3"}, 1, "process OpenGL"}, // the variant's third frame fails
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", "s.png"});
        const Result r = sheet("ClearGenFailFrame", args);
        EXPECT_EQ(r.status, c.status) << args.front() << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(sheet("NotAPlugin", {"--out", "s.png"}).status, 2);
    EXPECT_TRUE(written().empty());
}

// The canvas: cairo stops drawing for good at the first text that is no valid UTF-8, and a
// label must never spill out of its place into the neighbouring cell.
TEST(SheetCanvas, AnyTextIsDrawnWithinItsPlace)
{
    using ffglhost::SheetCanvas;
    SheetCanvas canvas;
    ASSERT_TRUE(canvas.create(200, 60).ok());
    std::vector<unsigned char> empty;
    ASSERT_TRUE(canvas.pixels(empty).ok());

    const std::string broken[] = {"\xff\xfe", "ab\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "cut \xe2\x82",
                                  "tab\there\x7f"};
    for (const std::string& text : broken)
        canvas.drawText(text, 0, 0, 200, ffglhost::TextStyle::Caption, ffglhost::TextAlign::Left);
    // A long text, cut to 50 pixels in the lower band.
    canvas.drawText(std::string(300, 'W') + "\xc3\xa9", 20, 30, 50, ffglhost::TextStyle::Name,
                    ffglhost::TextAlign::Left);
    std::vector<unsigned char> rgba;
    ASSERT_TRUE(canvas.pixels(rgba).ok()) << "an invalid text put cairo out of order";
    ASSERT_EQ(rgba.size(), 200u * 60 * 4);
    auto changed = [&](int x, int y) {
        const std::size_t i = (static_cast<std::size_t>(y) * 200 + x) * 4;
        return !std::equal(&rgba[i], &rgba[i] + 4, &empty[i]);
    };
    int inside = 0, outside = 0;
    for (int y = 30; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            (x >= 20 && x < 70 ? inside : outside) += changed(x, y) ? 1 : 0;
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    int upper = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x)
            upper += changed(x, y) ? 1 : 0;
    EXPECT_GT(upper, 20) << "the invalid texts are shown with '?' in place of what cannot be shown";

    EXPECT_EQ(ffglhost::labelText("a\xff" "b\x01\xc3\xa9"), "a?b?\xc3\xa9");
}

} // namespace
