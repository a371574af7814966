// Effects fed as a host feeds them: what an effect gets through --input (a PNG, a lossless video,
// a built-in pattern, another plug-in) and through a chain (--then) must reach it upright and
// unchanged, in exact and in power-of-two textures alike. The Invert test effect draws 255 - c
// of every channel of its input, so its frames tell exactly what it was given.
#include "HeadlessGL.h"
#include "HostRun.h"
#include "inputs/Patterns.h"
#include "inputs/Picture.h"
#include "output/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using hostrun::Image;
using hostrun::Result;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kInvert = kPlugins + "/Invert.so";
const std::string kCrashFrame = kPlugins + "/CrashFrame.so";
constexpr int kWidth = 64;
constexpr int kHeight = 36;
const char* const kLayouts[] = {"exact", "--pot-inputs"};

// A picture with every row and column different, rows top-down.
std::vector<unsigned char> gradient(int width, int height)
{
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<unsigned char>(x * 255 / (width - 1));
            p[1] = static_cast<unsigned char>(y * 255 / (height - 1));
            p[2] = static_cast<unsigned char>((x * 7 + y * 13) % 256);
            p[3] = 255;
        }
    return rgba;
}

std::vector<unsigned char> topDown(const ffglhost::Picture& p) { return ffglhost::flippedRows(p).rgba; }

class Inputs : public hostrun::HostTest {
protected:
    Image image(const std::string& file) const
    {
        Image i;
        EXPECT_TRUE(hostrun::readPng(work() / file, i)) << file;
        return i;
    }

    // Renders Invert (or `chain` in front of it) with `extra` arguments and the layout `layout`.
    Result invert(std::vector<std::string> extra, const std::string& layout, const std::string& out,
                  int frames = 2)
    {
        std::vector<std::string> args = {"render", kInvert, "--size", std::to_string(kWidth) + "x" +
                                         std::to_string(kHeight), "--frames", std::to_string(frames), "--out", out};
        if (layout != "exact")
            args.push_back(layout);
        args.insert(args.end(), extra.begin(), extra.end());
        return host(args);
    }

    // Every colour channel of `got` is 255 minus the same channel of `want` (rows top-down).
    static void expectInverse(const Image& got, const std::vector<unsigned char>& want, const std::string& what)
    {
        ASSERT_EQ(got.rgba.size(), want.size()) << what;
        long wrong = 0;
        std::string first;
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (i % 4 != 3 && got.rgba[i] != 255 - want[i] && wrong++ == 0)
                first = "pixel " + std::to_string(i / 4 % kWidth) + "," + std::to_string(i / 4 / kWidth);
        }
        EXPECT_EQ(wrong, 0) << what << ": first at " << first;
    }
};

TEST_F(Inputs, PngPatternAndDefaultReachTheEffectUprightAndExact)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const std::vector<unsigned char> picture = gradient(kWidth, kHeight);
    ASSERT_TRUE(ffglhost::writePng((inputs() / "in.png").string(), kWidth, kHeight, picture).ok());
    // An input of another size is scaled to the frame; the host's own scaling says how.
    const std::vector<unsigned char> small = gradient(kWidth / 2, kHeight / 2);
    ASSERT_TRUE(ffglhost::writePng((inputs() / "small.png").string(), kWidth / 2, kHeight / 2, small).ok());
    ffglhost::Picture smallBottomUp(kWidth / 2, kHeight / 2);
    smallBottomUp.rgba = small;
    const std::vector<unsigned char> scaled =
        topDown(ffglhost::scaledPicture(ffglhost::flippedRows(smallBottomUp), kWidth, kHeight));
    const std::vector<unsigned char> card = topDown(ffglhost::drawPattern(ffglhost::Pattern::Card, kWidth, kHeight, 1));

    for (const char* layout : kLayouts) {
        Result r = invert({"--input", (inputs() / "in.png").string()}, layout, "png.png");
        ASSERT_EQ(r.status, 0) << r.err;
        expectInverse(image("png.png"), picture, std::string("PNG, ") + layout);

        r = invert({"--input", (inputs() / "small.png").string()}, layout, "small.png");
        ASSERT_EQ(r.status, 0) << r.err;
        expectInverse(image("small.png"), scaled, std::string("scaled PNG, ") + layout);

        // No --input: the slot the effect needs gets the card.
        r = invert({}, layout, "default.png");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("input 0 of Invert: pattern:card\n"), std::string::npos) << r.out;
        expectInverse(image("default.png"), card, std::string("default pattern, ") + layout);

        // A moving pattern is drawn anew for every frame: the last of 5 frames is frame 5's.
        r = invert({"--input", "pattern:sweep"}, layout, "sweep.png", 5);
        ASSERT_EQ(r.status, 0) << r.err;
        expectInverse(image("sweep.png"),
                      topDown(ffglhost::drawPattern(ffglhost::Pattern::Sweep, kWidth, kHeight, 5)),
                      std::string("sweep, ") + layout);
    }
    EXPECT_NE(topDown(ffglhost::drawPattern(ffglhost::Pattern::Sweep, kWidth, kHeight, 5)),
              topDown(ffglhost::drawPattern(ffglhost::Pattern::Sweep, kWidth, kHeight, 1)));
}

TEST_F(Inputs, JpegImagesAreReadUprightAndDamagedOnesRefused)
{
    HOSTRUN_REQUIRE_DISPLAY();
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg; scripts/setup.sh installs it)";
    // The card as a JPEG: its flat quarters survive the compression within a few levels.
    const std::vector<unsigned char> card = topDown(ffglhost::drawPattern(ffglhost::Pattern::Card, kWidth, kHeight, 1));
    ASSERT_TRUE(ffglhost::writePng((inputs() / "card.png").string(), kWidth, kHeight, card).ok());
    const std::string jpeg = (inputs() / "card.jpg").string();
    ASSERT_EQ(std::system(("ffmpeg -v error -i " + hostrun::quote((inputs() / "card.png").string()) +
                           " -q:v 1 -pix_fmt yuvj444p " + hostrun::quote(jpeg))
                              .c_str()),
              0);
    const Result r = invert({"--input", jpeg}, "exact", "jpeg.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const Image got = image("jpeg.png");
    // Red top left, green top right, blue bottom left, inverted.
    const int corners[3][2] = {{4, 4}, {kWidth - 5, 4}, {4, kHeight / 2 + 6}};
    for (const auto& at : corners) {
        const std::size_t i = (static_cast<std::size_t>(at[1]) * kWidth + at[0]) * 4;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got.rgba[i + c], 255 - card[i + c], 6) << "pixel " << at[0] << "," << at[1];
    }
    // A JPEG cut short is damaged: one line, exit 2, nothing written.
    const std::string whole = hostrun::readFile(jpeg);
    std::ofstream(inputs() / "cut.jpg", std::ios::binary) << whole.substr(0, whole.size() / 2);
    const Result cut = invert({"--input", (inputs() / "cut.jpg").string()}, "exact", "cut.png");
    EXPECT_EQ(cut.status, 2);
    EXPECT_NE(cut.err.find("not a valid JPEG image"), std::string::npos) << cut.err;
    EXPECT_EQ(hostrun::lines(cut.err).size(), 1u) << cut.err;
}

TEST_F(Inputs, LosslessVideoFeedsFrameByFrameAndLoops)
{
    HOSTRUN_REQUIRE_DISPLAY();
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg; scripts/setup.sh installs it)";
    const std::string video = (inputs() / "clip.mkv").string();
    const std::string raw = (inputs() / "clip.rgba").string();
    const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=" + size + ":rate=25 -frames:v 4 -c:v ffv1 " +
                           "-pix_fmt bgr0 " + hostrun::quote(video) + " && ffmpeg -v error -i " +
                           hostrun::quote(video) + " -pix_fmt rgba -f rawvideo " + hostrun::quote(raw))
                              .c_str()),
              0);
    const std::string frames = hostrun::readFile(raw);
    const std::size_t frameBytes = static_cast<std::size_t>(kWidth) * kHeight * 4;
    ASSERT_EQ(frames.size(), 4 * frameBytes);
    for (const char* layout : kLayouts) {
        const Result r = invert({"--input", video, "--every", "1"}, layout, std::string("v-") + layout, 6);
        ASSERT_EQ(r.status, 0) << r.err;
        for (int f = 1; f <= 6; ++f) {
            const std::size_t at = static_cast<std::size_t>((f - 1) % 4) * frameBytes;
            char name[64];
            std::snprintf(name, sizeof name, "v-%s/frame_%05d.png", layout, f);
            expectInverse(image(name), std::vector<unsigned char>(frames.begin() + at, frames.begin() + at + frameBytes),
                          name);
        }
    }
}

TEST_F(Inputs, AChainGivesTheEffectTheGeneratorsFramesOnTheGpu)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const std::string quorus = QUORUS_PLUGIN_PATH;
    const std::vector<std::string> common = {"--size", std::to_string(kWidth) + "x" + std::to_string(kHeight),
                                             "--frames", "3"};
    std::vector<std::string> alone = {"render", quorus, "--out", "alone.png"};
    alone.insert(alone.end(), common.begin(), common.end());
    Result r = host(alone);
    ASSERT_EQ(r.status, 0) << r.err;
    const Image generator = image("alone.png");
    for (const char* layout : kLayouts) {
        // --set after --then is the effect's; the one before it (its default again), the generator's.
        std::vector<std::string> chain = {"render", quorus, "--set", "Particles=0.375", "--then", kInvert,
                                          "--set",  "Invert=1", "--out", "chain.png"};
        chain.insert(chain.begin() + 2, common.begin(), common.end());
        if (std::string(layout) != "exact")
            chain.push_back(layout);
        r = host(chain);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("rendered 3 frames of Quorus -> Invert"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("parameter Invert of Invert = 1"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("parameter Particles of Quorus = 0.375"), std::string::npos) << r.out;
        expectInverse(image("chain.png"), generator.rgba, std::string("chain, ") + layout);
    }
    // The same generator as an --input plug-in.
    r = invert({"--input", quorus}, "exact", "input.png", 3);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(image("input.png").rgba, image("chain.png").rgba);
}

TEST_F(Inputs, AStageThatCrashesIsNamedAndNothingIsWritten)
{
    HOSTRUN_REQUIRE_DISPLAY();
    Result r = host({"render", kCrashFrame, "--then", kInvert, "--size", "8x8", "--frames", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("CrashFrame (stage 1 of 2) crashed (SIGSEGV) in code 17 (process OpenGL) at frame 3"),
              std::string::npos)
        << r.err;
    r = host({"render", kInvert, "--input", kCrashFrame, "--size", "8x8", "--frames", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("CrashFrame (input 0 of Invert) crashed (SIGSEGV)"), std::string::npos) << r.err;
    EXPECT_TRUE(written().empty());
}

} // namespace
