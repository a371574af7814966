// The preview command as its users meet it, on a private Xvfb server the tests start: frames
// shown in the window are the frames render writes (upright, at the window's size after a
// resize), keys change the plug-in's parameters as the plug-in itself reports them, closing
// the window or --frames ends the run cleanly, and without a display nothing starts.
#include "support/HostImage.h"
#include "support/HostProcess.h"
#include "support/XWindowRemote.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

using namespace hosttest;
using namespace std::chrono_literals;

namespace {

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kClearGen = kPlugins + "/ClearGen.so";
const std::string kSplit = kPlugins + "/ClearGenSplit.so";
// Generous: the sanitizer build and a busy machine are slow, and waits end as soon as they can.
constexpr auto kPatience = 30s;

class Preview : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"Xvfb", "xwd", "xwdtopnm", "xdotool"})
            if (!haveProgram(program))
                GTEST_SKIP() << program << " is not installed (Debian packages xvfb, x11-apps, netpbm, xdotool; "
                             << "scripts/setup.sh installs them)";
        std::string error;
        ASSERT_TRUE(xvfb_.start(error)) << error;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        root_ = fs::temp_directory_path() / ("ffglhost-" + name + "-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override
    {
        if (!root_.empty())
            fs::remove_all(root_);
    }

    const std::string& display() const { return xvfb_.display(); }
    fs::path root() const { return root_; }

    // `env` ffglhost `args`, in root(), on the test's display.
    std::string command(const std::vector<std::string>& args, const std::string& env = std::string()) const
    {
        std::string cmd = "cd " + quote(root_.string()) + " && exec env DISPLAY=" + display() + " " + env + " " +
                          quote(FFGLHOST_EXE);
        for (const std::string& a : args)
            cmd += " " + quote(a);
        return cmd;
    }
    Result host(const std::vector<std::string>& args, const std::string& env = std::string()) const
    {
        return run(command(args, env), root_);
    }
    std::unique_ptr<Background> start(const std::vector<std::string>& args) const
    {
        return std::make_unique<Background>(command(args), root_ / "preview.stdout", root_ / "preview.stderr");
    }

    // The window as the X server shows it (xwd, then xwdtopnm).
    bool screenshot(unsigned long window, RgbImage& image) const
    {
        const fs::path ppm = root_ / "shot.ppm";
        std::ostringstream id;
        id << "0x" << std::hex << window;
        const Result r = run("DISPLAY=" + display() + " xwd -silent -id " + id.str() + " | xwdtopnm >" +
                                 quote(ppm.string()),
                             root_);
        return r.status == 0 && readPpm(ppm, image);
    }

    // Starts the preview with --hold and waits for it to announce the held frame; 0 on failure.
    unsigned long startHeld(const std::vector<std::string>& args, std::unique_ptr<Background>& preview) const
    {
        preview = start(args);
        unsigned long window = 0;
        if (!waitUntil([&] { return heldWindow(preview->out(), window); }, kPatience))
            return 0;
        return window;
    }

    // Finds "holding frame N in window 0xHEX" in the preview's output.
    static bool heldWindow(const std::string& out, unsigned long& window)
    {
        const std::size_t line = out.find("holding frame ");
        if (line == std::string::npos)
            return false;
        const std::string marker = " in window 0x";
        const std::size_t at = out.find(marker, line);
        if (at == std::string::npos)
            return false;
        if (out.find('\n', at) == std::string::npos)
            return false; // the line has not arrived whole yet
        const char* hex = out.c_str() + at + marker.size();
        char* end = nullptr;
        window = std::strtoul(hex, &end, 16);
        return end != hex;
    }

private:
    XvfbServer xvfb_;
    fs::path root_;
};

// The split generator's two colours: base below, complement above.
constexpr std::array<int, 3> kBase = {255, 0, 51};       // Red 1, Green 0, Blue 0.2
constexpr std::array<int, 3> kComplement = {0, 255, 204};

#define EXPECT_RGB_NEAR(actual, expected, tolerance)                                    \
    for (int c_ = 0; c_ < 3; ++c_)                                                      \
        EXPECT_NEAR((actual)[c_], (expected)[c_], tolerance) << "channel " << c_;

TEST_F(Preview, FramesRunsUnattendedAndShutsDownInProtocolOrder)
{
    const fs::path trace = root() / "trace.txt";
    const Result r = host({"preview", kClearGen, "--size", "64x48", "--frames", "5"},
                          "CLEARGEN_TRACE=" + quote(trace.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("previewed 5 frames of ClearGen at 64x48\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("parameter "), std::string::npos) << "nothing was changed, nothing is reported";
    const std::vector<std::string> calls = lines(readFile(trace));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "17"), 5);
    const auto at18 = std::find(calls.begin(), calls.end(), "18");
    EXPECT_LT(at18 - calls.begin(), std::find(calls.begin(), calls.end(), "17") - calls.begin());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()), (std::vector<std::string>{"19", "2"}))
        << "the instance is de-instantiated, then the plug-in de-initialised";
}

TEST_F(Preview, APluginThatCrashesOrHangsIsOneErrorLineAndExitOne)
{
    const Result crash = host({"preview", kPlugins + "/CrashFrame.so", "--size", "32x32", "--frames", "5"});
    EXPECT_EQ(crash.status, 1) << crash.err;
    ASSERT_FALSE(lines(crash.err).empty());
    EXPECT_EQ(lines(crash.err).back(),
              "ffglhost: error: CrashFrame crashed (SIGSEGV) in code 17 (process OpenGL) at frame 3");
    const Result hang =
        host({"preview", kPlugins + "/HangFrame.so", "--size", "32x32", "--frames", "5", "--timeout", "1"});
    EXPECT_EQ(hang.status, 1) << hang.err;
    ASSERT_FALSE(lines(hang.err).empty());
    EXPECT_EQ(lines(hang.err).back(),
              "ffglhost: error: HangFrame hung: no answer within 1 s in code 17 (process OpenGL) at frame 2");
}

TEST_F(Preview, WindowShowsTheHeadlessFrameUprightAndFollowsResize)
{
    const std::vector<std::string> common = {kSplit, "--size", "64x48", "--frames", "3", "--set", "Red=1",
                                             "--set", "Green=0", "--set", "Blue=0.2"};
    std::vector<std::string> renderArgs = {"render"};
    renderArgs.insert(renderArgs.end(), common.begin(), common.end());
    renderArgs.insert(renderArgs.end(), {"--out", "headless.png"});
    const Result rendered = host(renderArgs);
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    RgbImage headless;
    ASSERT_TRUE(readPngRgb(root() / "headless.png", headless));

    std::vector<std::string> previewArgs = {"preview"};
    previewArgs.insert(previewArgs.end(), common.begin(), common.end());
    previewArgs.push_back("--hold");
    std::unique_ptr<Background> preview;
    const unsigned long window = startHeld(previewArgs, preview);
    ASSERT_NE(window, 0u) << preview->out() << preview->err();
    EXPECT_EQ(windowTitle(display(), window).rfind("ClearGen | Red: 1.00 | ", 0), 0u);

    RgbImage shot;
    ASSERT_TRUE(screenshot(window, shot));
    ASSERT_EQ(shot.width, 64);
    ASSERT_EQ(shot.height, 48);
    EXPECT_EQ(meanDifference(shot, headless), 0.0);
    EXPECT_RGB_NEAR(shot.at(0, 0), kComplement, 1);
    EXPECT_RGB_NEAR(shot.at(63, 47), kBase, 1);

    // The plug-in learns the new size (code 23): its split follows the window's new middle.
    ASSERT_EQ(run("DISPLAY=" + display() + " xdotool windowsize " + std::to_string(window) + " 90 40", root()).status,
              0);
    // The server shows the new size at once; the host's new frame follows shortly.
    const auto split = [&] {
        return screenshot(window, shot) && shot.width == 90 && shot.height == 40 &&
               shot.at(89, 19) == kComplement && shot.at(0, 20) == kBase;
    };
    EXPECT_TRUE(waitUntil(split, kPatience));
    ASSERT_EQ(shot.width, 90);
    ASSERT_EQ(shot.height, 40);
    EXPECT_RGB_NEAR(shot.at(89, 19), kComplement, 1);
    EXPECT_RGB_NEAR(shot.at(0, 20), kBase, 1);

    // xdotool itself may fail on the key release: by then Escape has closed the window.
    (void)run("DISPLAY=" + display() + " xdotool key --window " + std::to_string(window) + " Escape", root());
    EXPECT_EQ(preview->wait(kPatience), 0) << preview->err();
    EXPECT_NE(preview->out().find(" of ClearGen at 90x40\n"), std::string::npos) << preview->out();
}

TEST_F(Preview, KeysStepTheSelectedParameterAsThePluginReportsIt)
{
    std::unique_ptr<Background> preview = start({"preview", kClearGen, "--size", "64x48"});
    unsigned long window = 0;
    ASSERT_TRUE(waitUntil([&] { return (window = findWindow(display(), "ClearGen |")) != 0; }, kPatience))
        << preview->err();
    // Red 0.25, Green 0.75, Blue 0.5 at first, Red selected. Up wraps round to Blue (0.49);
    // Tab wraps on to Red (0.26); Tab to Green, Shift+Left a large step down (0.65); Tab to Blue,
    // six large steps up stop at 1; Shift+Tab back to Green.
    const std::string keys = "Up Left Tab Right Tab shift+Left Tab Prior Prior Prior Prior Prior Prior shift+Tab";
    const Result typed =
        run("DISPLAY=" + display() + " xdotool key --delay 5 --window " + std::to_string(window) + " " + keys, root());
    ASSERT_EQ(typed.status, 0) << typed.err;
    // The title names the selection and the plug-in's own display text for it.
    EXPECT_TRUE(waitUntil([&] { return windowTitle(display(), window).rfind("ClearGen | Green: 0.65 | ", 0) == 0; },
                          kPatience))
        << windowTitle(display(), window);

    ASSERT_TRUE(requestClose(display(), window));
    ASSERT_EQ(preview->wait(kPatience), 0) << preview->err();
    const std::string out = preview->out();
    std::vector<std::string> reported;
    for (const std::string& line : lines(out))
        if (line.rfind("parameter ", 0) == 0)
            reported.push_back(line);
    EXPECT_EQ(reported, (std::vector<std::string>{"parameter Red = 0.26 (display \"0.26\")",
                                                  "parameter Green = 0.65 (display \"0.65\")",
                                                  "parameter Blue = 1 (display \"1.00\")"}))
        << out;
}

TEST_F(Preview, KeysReachEveryPluginOfAChain)
{
    const std::string invert = kPlugins + "/Invert.so";
    std::unique_ptr<Background> preview = start({"preview", kClearGen, "--then", invert, "--size", "64x48"});
    unsigned long window = 0;
    ASSERT_TRUE(waitUntil([&] { return (window = findWindow(display(), "ClearGen -> Invert |")) != 0; }, kPatience))
        << preview->err();
    // Red of ClearGen is selected first; Up wraps round to the chain's last parameter, Invert's own
    // boolean, which Right toggles off.
    const Result typed =
        run("DISPLAY=" + display() + " xdotool key --delay 5 --window " + std::to_string(window) + " Up Right", root());
    ASSERT_EQ(typed.status, 0) << typed.err;
    EXPECT_TRUE(waitUntil(
        [&] { return windowTitle(display(), window).rfind("ClearGen -> Invert | Invert of Invert: off | ", 0) == 0; },
        kPatience))
        << windowTitle(display(), window);
    ASSERT_TRUE(requestClose(display(), window));
    ASSERT_EQ(preview->wait(kPatience), 0) << preview->err();
    EXPECT_NE(preview->out().find("parameter Invert of Invert = 0 (display \"off\")"), std::string::npos)
        << preview->out();
}

TEST(PreviewWithoutDisplay, OneLineAndExitTwo)
{
    const fs::path scratch = fs::temp_directory_path() / ("ffglhost-nodisplay-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    const std::string exe = quote(FFGLHOST_EXE) + " preview " + quote(kClearGen) + " --frames 1";
    // No DISPLAY at all, and one that names no server.
    for (const std::string& env : {std::string("env -u DISPLAY"), std::string("env DISPLAY=:65000")}) {
        const Result r = run(env + " " + exe, scratch);
        EXPECT_EQ(r.status, 2) << env;
        ASSERT_EQ(lines(r.err).size(), 1u) << env << ": " << r.err;
        EXPECT_EQ(r.err.rfind("ffglhost: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("X display"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << env;
    }
    fs::remove_all(scratch);
}

class PreviewEffect : public Preview, public ::testing::WithParamInterface<std::string> {};

TEST_P(PreviewEffect, LooksAsRenderedHeadless)
{
    const std::string plugin = std::string(PLUGIN_DIR) + "/" + GetParam() + ".so";
    const Result rendered = host({"render", plugin, "--size", "96x54", "--frames", "4", "--out", "headless.png"});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    RgbImage headless, shot;
    ASSERT_TRUE(readPngRgb(root() / "headless.png", headless));

    std::unique_ptr<Background> preview;
    const unsigned long window = startHeld({"preview", plugin, "--size", "96x54", "--frames", "4", "--hold"}, preview);
    ASSERT_NE(window, 0u) << preview->err();
    ASSERT_TRUE(screenshot(window, shot));
    // The same frame through the same loop; loose, as effects may differ a little between
    // contexts, but far closer than the picture upside down.
    const double d = meanDifference(shot, headless);
    EXPECT_GE(d, 0.0) << "sizes differ: " << shot.width << "x" << shot.height;
    EXPECT_LT(d, 1.0);
    EXPECT_LT(d, meanDifference(flipped(shot), headless) * 0.5 + 1e-9) << "upright";
    ASSERT_TRUE(requestClose(display(), window));
    EXPECT_EQ(preview->wait(kPatience), 0) << preview->err();
}

INSTANTIATE_TEST_SUITE_P(Plugins, PreviewEffect, ::testing::ValuesIn(commaList(EFFECT_PLUGINS)),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
