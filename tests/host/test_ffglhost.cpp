// The headless host as its users meet it: ffglhost run as a program on the ClearGen generator
// (and on variants of it that misbehave), checked by exit status, messages, the files it leaves,
// and the size and colour of the PNG files it writes. Each test runs the host in its own empty
// working folder, so "nothing written" means that folder stays empty.
#include "HeadlessGL.h"
#include "HostRun.h"

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kClearGen = kPlugins + "/ClearGen.so";

// ClearGen's default colour: Red 0.25, Green 0.75, Blue 0.5, opaque.
constexpr std::array<int, 4> kDefaultColour = {64, 191, 128, 255};

using hostrun::Image;
using hostrun::lines;
using hostrun::quote;
using hostrun::readFile;
using hostrun::readPng;
using hostrun::Result;

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream ss(line);
    for (std::string w; ss >> w;)
        out.push_back(w);
    return out;
}

#define EXPECT_COLOUR_NEAR(actual, expected)                                          \
    for (int c_ = 0; c_ < 4; ++c_)                                                    \
        EXPECT_NEAR((actual)[c_], (expected)[c_], 1) << "channel " << c_;

#define REQUIRE_DISPLAY()                                                                      \
    if (!kxhost::HeadlessGL::displayAvailable())                                               \
        GTEST_SKIP() << "no EGL display is available on this machine";

class Host : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("ffglhost-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(work());
        fs::create_directories(root_ / "inputs");
    }
    void TearDown() override { fs::remove_all(root_); }

    // The host's working folder, empty before each test.
    fs::path work() const { return root_ / "work"; }
    // A folder for input files the test makes (kept apart from what the host writes).
    fs::path inputs() const { return root_ / "inputs"; }
    fs::path tracePath() const { return root_ / "trace.txt"; }

    // Runs ffglhost with `args` in work(), with `env` ("NAME=value ...") in front.
    Result host(const std::vector<std::string>& args, const std::string& env = std::string()) const
    {
        std::string cmd = "cd " + quote(work().string()) + " && " + env + " " + quote(FFGLHOST_EXE);
        for (const std::string& a : args)
            cmd += " " + quote(a);
        cmd += " >" + quote((root_ / "stdout").string()) + " 2>" + quote((root_ / "stderr").string());
        const int raw = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(root_ / "stdout");
        r.err = readFile(root_ / "stderr");
        return r;
    }
    // Runs ffglhost with ClearGen's call trace switched on; the codes come back in `trace`.
    Result traced(const std::vector<std::string>& args, std::vector<std::string>& trace) const
    {
        fs::remove(tracePath());
        Result r = host(args, "CLEARGEN_TRACE=" + quote(tracePath().string()));
        trace = lines(readFile(tracePath()));
        return r;
    }

    // Every file below work(), relative to it, sorted.
    std::vector<std::string> written() const
    {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(work()))
            if (!e.is_directory())
                files.push_back(fs::relative(e.path(), work()).string());
        std::sort(files.begin(), files.end());
        return files;
    }

private:
    fs::path root_;
};

// --- info ------------------------------------------------------------------------------------

TEST_F(Host, InfoPrintsIdentityCapabilitiesAndParameterTable)
{
    REQUIRE_DISPLAY();
    const Result r = host({"info", kClearGen});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* expected :
         {"name:          ClearGen\n", "unique ID:     CLRG\n", "type:          source\n", "FFGL API:      1.500\n",
          "version:       1.0\n", "description:   Clears the host framebuffer to one colour\n",
          "about:         ffglhost test generator\n", "OpenGL processing yes, set time no, input frames 0..0",
          "parameters:    3\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << "missing \"" << expected << "\" in\n" << r.out;

    // Rows: index, name, type, default, display text read from a real instance.
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines(r.out)) {
        const auto w = words(line);
        if (w.size() == 5 && w[2] == "standard")
            rows.push_back(w);
    }
    const std::vector<std::vector<std::string>> expected = {{"0", "Red", "standard", "0.25", "0.25"},
                                                            {"1", "Green", "standard", "0.75", "0.75"},
                                                            {"2", "Blue", "standard", "0.5", "0.50"}};
    EXPECT_EQ(rows, expected) << r.out;
    EXPECT_TRUE(written().empty());
}

TEST_F(Host, InfoInstantiatesForDisplayTextsAndCleansUp)
{
    REQUIRE_DISPLAY();
    std::vector<std::string> trace;
    const Result r = traced({"info", kClearGen}, trace);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 3), (std::vector<std::string>{"0", "13", "1"}));
    const auto at18 = std::find(trace.begin(), trace.end(), "18");
    ASSERT_NE(at18, trace.end());
    EXPECT_EQ(std::vector<std::string>(at18, trace.end()), (std::vector<std::string>{"18", "7", "7", "7", "19", "2"}));
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "17"), 0) << "info renders nothing";
}

TEST_F(Host, InfoAndRenderTakeEffects)
{
    REQUIRE_DISPLAY();
    const std::string effect = kPlugins + "/ClearGenEffect.so";
    const Result info = host({"info", effect});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("type:          effect\n"), std::string::npos) << info.out;

    // An effect that announces no input slots renders like a source.
    const Result render = host({"render", effect, "--frames", "1", "--size", "4x4"});
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(written(), std::vector<std::string>{"out/ClearGen.png"});
}

// --- render ----------------------------------------------------------------------------------

TEST_F(Host, RenderDefaultsWriteLastFrameToOutByPluginName)
{
    REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "stderr is no terminal: no progress bar";
    ASSERT_EQ(written(), std::vector<std::string>{"out/ClearGen.png"});
    Image image;
    ASSERT_TRUE(readPng(work() / "out/ClearGen.png", image));
    EXPECT_EQ(image.width, 1280);
    EXPECT_EQ(image.height, 720);
    EXPECT_COLOUR_NEAR(image.at(0, 0), kDefaultColour);
    EXPECT_COLOUR_NEAR(image.at(1279, 719), kDefaultColour);
    EXPECT_COLOUR_NEAR(image.at(640, 360), kDefaultColour);

    for (const char* expected : {"rendered 120 frames of ClearGen at 1280x720\n", "median ", "95th percentile ",
                                 "glFinish", "GL renderer: ", "wrote out/ClearGen.png\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << "missing \"" << expected << "\" in\n" << r.out;
}

TEST_F(Host, RenderSetChangesColourAndOutCreatesFolders)
{
    REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen, "--size", "48x20", "--frames=3", "--set", "Red=1", "--set=Green=0",
                           "--set", "Blue=0.2", "--out", "deep/er/colour.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(written(), std::vector<std::string>{"deep/er/colour.png"});
    Image image;
    ASSERT_TRUE(readPng(work() / "deep/er/colour.png", image));
    EXPECT_EQ(image.width, 48);
    EXPECT_EQ(image.height, 20);
    const std::array<int, 4> expected = {255, 0, 51, 255};
    EXPECT_COLOUR_NEAR(image.at(0, 0), expected);
    EXPECT_COLOUR_NEAR(image.at(47, 19), expected);
    EXPECT_NE(r.out.find("parameter Red = 1 (display \"1.00\")\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("parameter Blue = 0.2 (display \"0.20\")\n"), std::string::npos) << r.out;
}

TEST_F(Host, RenderEveryWritesEveryKthFrameIntoFolder)
{
    REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen, "--size", "16x8", "--frames", "7", "--every", "3", "--out", "seq"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(written(), (std::vector<std::string>{"seq/frame_00003.png", "seq/frame_00006.png"}));
    for (const std::string& f : written()) {
        Image image;
        ASSERT_TRUE(readPng(work() / f, image)) << f;
        EXPECT_EQ(image.width, 16);
        EXPECT_EQ(image.height, 8);
        EXPECT_COLOUR_NEAR(image.at(15, 7), kDefaultColour);
    }
    EXPECT_NE(r.out.find("wrote 2 files into seq (frame_00003.png to frame_00006.png)"), std::string::npos) << r.out;

    // Without --out the frames go to out/<plug-in name>/.
    const Result d = host({"render", kClearGen, "--size", "4x4", "--frames", "2", "--every", "1"});
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(written(), (std::vector<std::string>{"out/ClearGen/frame_00001.png", "out/ClearGen/frame_00002.png",
                                                   "seq/frame_00003.png", "seq/frame_00006.png"}));
}

TEST_F(Host, RenderFollowsTheProtocolOrder)
{
    REQUIRE_DISPLAY();
    std::vector<std::string> trace;
    const Result r = traced({"render", kClearGen, "--size", "8x8", "--frames", "4", "--set", "Green=0"}, trace);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 3), (std::vector<std::string>{"0", "13", "1"}));
    const auto at18 = std::find(trace.begin(), trace.end(), "18");
    const auto at8 = std::find(trace.begin(), trace.end(), "8");
    const auto at17 = std::find(trace.begin(), trace.end(), "17");
    EXPECT_TRUE(at18 < at8 && at8 < at17) << "parameters are set after instantiation, before the first frame";
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "17"), 4);
    EXPECT_EQ(std::vector<std::string>(trace.end() - 2, trace.end()), (std::vector<std::string>{"19", "2"}));
}

// --- failures --------------------------------------------------------------------------------

TEST_F(Host, FailingFrameCallNamesTheCodeWritesNothingAndCleansUp)
{
    REQUIRE_DISPLAY();
    std::vector<std::string> trace;
    const Result r = traced({"render", kPlugins + "/ClearGenFailFrame.so", "--frames", "5", "--size", "8x8"}, trace);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ffglhost: plug-in call failed: code 17 (process OpenGL) returned failure\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(written().empty());
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "17"), 3) << "the host stops at the first failed frame";
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(trace.end() - 2, trace.end()), (std::vector<std::string>{"19", "2"}))
        << "the instance is de-instantiated and the plug-in de-initialised even after a failure";
}

// Bad input: exit status 2, exactly one "ffglhost: error: ..." line, nothing on stdout, no file.
struct BadInput {
    const char* label;
    std::vector<std::string> args;
    const char* message; // part of the error line
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.label; }

class HostBadInput : public Host, public ::testing::WithParamInterface<BadInput> {};

TEST_P(HostBadInput, OneErrorLineExitTwoNothingWritten)
{
    const BadInput& c = GetParam();
    std::vector<std::string> args;
    for (const std::string& a : c.args) {
        if (a == "@folder") {
            std::filesystem::create_directories(inputs() / "empty");
            std::ofstream(inputs() / "empty" / "notes.txt") << "no plug-in here\n";
            args.push_back((inputs() / "empty").string());
        } else if (a == "@text" || a == "@text.png" || a == "@text.mp4") {
            // A file of text under a name that promises something else.
            const std::string name = a == "@text" ? "text.so" : a.substr(1);
            std::ofstream(inputs() / name) << "not what its name says\n";
            args.push_back((inputs() / name).string());
        } else {
            args.push_back(a);
        }
    }
    const bool needsGL = std::find(args.begin(), args.end(), "100000x16") != args.end();
    if (needsGL && !kxhost::HeadlessGL::displayAvailable())
        GTEST_SKIP() << "the size limit comes from a GL context; no EGL display here";
    const Result r = host(args);
    EXPECT_EQ(r.status, 2);
    const auto errLines = lines(r.err);
    ASSERT_EQ(errLines.size(), 1u) << r.err;
    EXPECT_EQ(errLines[0].rfind("ffglhost: error: ", 0), 0u) << r.err;
    EXPECT_NE(errLines[0].find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(written().empty());
}

const std::string kInvert = kPlugins + "/Invert.so";

INSTANTIATE_TEST_SUITE_P(
    Cases, HostBadInput,
    ::testing::Values(
        BadInput{"UnknownParameter", {"render", kClearGen, "--set", "Purple=0.5"}, "no parameter \"Purple\""},
        BadInput{"NameIsExact", {"render", kClearGen, "--set", "red=0.5"}, "no parameter \"red\""},
        BadInput{"ValueAboveOne", {"render", kClearGen, "--set", "Red=1.5"}, "number from 0 to 1"},
        BadInput{"ValueNegative", {"render", kClearGen, "--set", "Red=-0.1"}, "number from 0 to 1"},
        BadInput{"ValueNotNumber", {"render", kClearGen, "--set", "Red=abc"}, "number from 0 to 1"},
        BadInput{"ValueTrailingText", {"render", kClearGen, "--set", "Red=0.5x"}, "number from 0 to 1"},
        BadInput{"ValueNaN", {"render", kClearGen, "--set", "Red=nan"}, "number from 0 to 1"},
        BadInput{"ValueEmpty", {"render", kClearGen, "--set", "Red="}, "number from 0 to 1"},
        BadInput{"SetWithoutEquals", {"render", kClearGen, "--set", "Red"}, "expected NAME=VALUE"},
        BadInput{"SizeNoX", {"render", kClearGen, "--size", "640"}, "expected WIDTHxHEIGHT"},
        BadInput{"SizeMissingHeight", {"render", kClearGen, "--size", "640x"}, "expected WIDTHxHEIGHT"},
        BadInput{"SizeThreeParts", {"render", kClearGen, "--size", "4x4x4"}, "expected WIDTHxHEIGHT"},
        BadInput{"SizeZero", {"render", kClearGen, "--size", "0x10"}, "at least 1"},
        BadInput{"SizeNegative", {"render", kClearGen, "--size", "-5x10"}, "at least 1"},
        BadInput{"SizeOverflow", {"render", kClearGen, "--size", "99999999999x10"}, "expected WIDTHxHEIGHT"},
        BadInput{"SizeAboveGLLimit", {"render", kClearGen, "--size", "100000x16"}, "larger than this GL context"},
        BadInput{"FramesZero", {"render", kClearGen, "--frames", "0"}, "--frames \"0\""},
        BadInput{"FramesNegative", {"render", kClearGen, "--frames", "-3"}, "--frames \"-3\""},
        BadInput{"FramesNotNumber", {"render", kClearGen, "--frames", "ten"}, "--frames \"ten\""},
        BadInput{"EveryZero", {"render", kClearGen, "--every", "0"}, "--every \"0\""},
        BadInput{"EveryBeyondFrames", {"render", kClearGen, "--frames", "3", "--every", "5"}, "no frame would be"},
        BadInput{"MissingFile", {"render", "missing.so"}, "missing.so: no such file"},
        BadInput{"MissingFileInfo", {"info", "missing.so"}, "missing.so: no such file"},
        BadInput{"NotSharedObject", {"render", "@text"}, "is not an FFGL plug-in"},
        BadInput{"NoPlugMain", {"info", kPlugins + "/NotAPlugin.so"}, "is not an FFGL plug-in: it exports no plugMain"},
        BadInput{"NoOpenGL", {"info", kPlugins + "/ClearGenNoGL.so"}, "does not do OpenGL processing"},
        BadInput{"InputForSource", {"render", kClearGen, "--input", "pattern:card"}, "is a source and takes no input"},
        BadInput{"InputForSourceSheet", {"sheet", kClearGen, "--input", "pattern:card"}, "takes no input"},
        BadInput{"UnknownPattern", {"render", kInvert, "--input", "pattern:plaid"}, "there is no pattern \"plaid\""},
        BadInput{"MissingImage", {"render", kInvert, "--input", "gone.png"}, "--input gone.png: no such file"},
        BadInput{"CorruptImage", {"render", kInvert, "--input", "@text.png"}, "neither a PNG nor a JPEG image"},
        BadInput{"UnreadableVideo", {"render", kInvert, "--input", "@text.mp4"}, "ffmpeg cannot read it"},
        BadInput{"MoreInputsThanSlots", {"render", kInvert, "--input", "pattern:card", "--input", "pattern:bars"},
                 "takes at most 1 input, and 2 are given"},
        BadInput{"ThenSource", {"render", kInvert, "--then", kClearGen}, "takes no input (it is a source)"},
        BadInput{"ThenMissing", {"render", kClearGen, "--then", "gone.so"}, "gone.so: no such file"},
        BadInput{"InputEffect", {"render", kInvert, "--input", kInvert}, "an input plug-in must be a source"},
        BadInput{"PotInputsForSource", {"render", kClearGen, "--pot-inputs"}, "--pot-inputs lays out"},
        BadInput{"ValidateInputForSource", {"validate", kClearGen, "--input", "pattern:card"}, "takes no input"},
        BadInput{"ValidateTooManyInputs", {"validate", kInvert, "--input", "pattern:card", "--input", "pattern:bars"},
                 "takes at most 1 input, and 2 are given"},
        BadInput{"ValidateCorruptImage", {"validate", kInvert, "--input", "@text.png"}, "neither a PNG nor a JPEG"},
        BadInput{"VideoOddSize", {"render", kClearGen, "--size", "63x48", "--video", "v.mp4"}, "try 64x48"},
        BadInput{"FpsZero", {"render", kClearGen, "--video", "v.mp4", "--fps", "0"}, "--fps \"0\""},
        BadInput{"FpsTooHigh", {"render", kClearGen, "--video", "v.mp4", "--fps", "1001"}, "from 1 to 1000"},
        BadInput{"VideoEmptyPath", {"render", kClearGen, "--video="}, "--video needs a non-empty path"},
        BadInput{"PreviewFramesZero", {"preview", kClearGen, "--frames", "0"}, "--frames \"0\""},
        BadInput{"PreviewSetOutOfRange", {"preview", kClearGen, "--set", "Red=2"}, "number from 0 to 1"},
        BadInput{"UnknownDriver", {"render", kClearGen, "--driver", "voodoo"}, "unknown GL driver 'voodoo'"},
        BadInput{"EmptyDriver", {"validate", kClearGen, "--driver="}, "--driver needs a name"},
        BadInput{"SeedNegative", {"validate", kClearGen, "--seed", "-1"}, "a whole number from 0 to 4294967295"},
        BadInput{"RepeatZero", {"validate", kClearGen, "--repeat", "0"}, "--repeat \"0\""},
        BadInput{"ReportIsJunit", {"validate", kClearGen, "--report", "x", "--junit", "x"}, "name the same file"},
        BadInput{"FolderWithoutPlugins", {"validate", "@folder", kClearGen}, "holds no plug-in file (.so)"}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return std::string(info.param.label); });

TEST_F(Host, UsageErrorsPrintUsageAndExitTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"draw", kClearGen}, {"render"}, {"render", kClearGen, "--fps", "3"}, {"render", kClearGen, "--size"},
        {"info", kClearGen, "--frames", "3"}, {"render", kClearGen, kClearGen}, {"render", kClearGen, "-v"},
        {"render", kClearGen, "--hold"}, {"preview", kClearGen, "--hold"}, {"preview", kClearGen, "--out", "x.png"},
        {"preview", kClearGen, "--video", "x.mp4"}, {"preview"}, {"render", kClearGen, "--junit", "j.xml"},
        {"info", kClearGen, "--seed", "3"}, {"render", kClearGen, "--strict"}, {"sheet", kClearGen, "--report", "r.json"}};
    for (const auto& args : cases) {
        const Result r = host(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err.rfind("ffglhost: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: ffglhost"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(written().empty());
}

TEST_F(Host, HelpPrintsUsageAndSucceeds)
{
    for (const auto& args : {std::vector<std::string>{"--help"}, std::vector<std::string>{"render", "x.so", "-h"}}) {
        const Result r = host(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("usage: ffglhost info PLUGIN.so"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("--every K"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Host, VersionIsTheProjectsAnywhereOnTheLine)
{
    for (const auto& args : {std::vector<std::string>{"--version"}, std::vector<std::string>{"validate", "x.so", "--version"}}) {
        const Result r = host(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("ffglhost ") + KX_PROJECT_VERSION + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Host, NoEglDisplayIsOneLineAndExitTwo)
{
    // With no EGL vendor library to load, the dispatch library can open no display at all.
    const std::string noVendor = "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/none.json";
    const Result r = host({"render", kClearGen, "--frames", "1"}, noVendor);
    if (r.status == 0)
        GTEST_SKIP() << "this machine still opens an EGL display without a vendor library";
    EXPECT_EQ(r.status, 2) << r.err;
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("ffglhost: error: no EGL display could be opened"), std::string::npos) << r.err;
    EXPECT_TRUE(written().empty());
}

// A named driver renders, and the report says which renderer it got; one that cannot come up (zink
// without a Vulkan driver to run on) is refused as bad input after Mesa's own messages.
TEST_F(Host, DriverOptionRendersWithItOrRefusesIt)
{
    REQUIRE_DISPLAY();
    Result r = host({"render", kClearGen, "--frames", "1", "--size", "16x16", "--driver", "softpipe"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("GL renderer: softpipe"), std::string::npos) << r.out;

    fs::remove_all(work());
    fs::create_directories(work());
    // Mesa leaks what it set up for the failed display and unloads the driver, so that the leak
    // checker of the sanitizer build could not even name the module: this run goes without it.
    r = host({"render", kClearGen, "--frames", "1", "--driver", "zink"},
             "VK_DRIVER_FILES=/nonexistent/none.json VK_ICD_FILENAMES=/nonexistent/none.json "
             "LSAN_OPTIONS=detect_leaks=0");
    EXPECT_EQ(r.status, 2) << r.err;
    const auto errLines = lines(r.err);
    ASSERT_FALSE(errLines.empty());
    EXPECT_EQ(errLines.back().rfind("ffglhost: error: cannot bring up the GL driver zink here", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(written().empty());
}

// --- our own effects ------------------------------------------------------------------------

// Every effect plug-in this project builds, as the host loads them. Generators must show a
// picture that moves; filters (type effect) are fed the host's test card and must show a picture.
class OurEffect : public Host, public ::testing::WithParamInterface<std::string> {};

TEST_P(OurEffect, InfoDescribesItAndRenderShowsAChangingPicture)
{
    REQUIRE_DISPLAY();
    const std::string plugin = std::string(KX_EFFECT_PLUGIN_DIR) + "/" + GetParam() + ".so";
    const Result info = host({"info", plugin});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(GetParam()), std::string::npos) << info.out;

    std::vector<std::string> args = {"render", plugin, "--size", "160x90", "--frames", "20", "--every", "10",
                                     "--out", "seq"};
    const bool filter = info.out.find("type:          effect") != std::string::npos;
    if (filter)
        args.insert(args.end(), {"--input", "pattern:card"});
    const Result r = host(args);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(written(), (std::vector<std::string>{"seq/frame_00010.png", "seq/frame_00020.png"}));
    Image frames[2];
    for (int k = 0; k < 2; ++k) {
        ASSERT_TRUE(readPng(work() / written()[static_cast<std::size_t>(k)], frames[k]));
        EXPECT_EQ(frames[k].width, 160);
        EXPECT_EQ(frames[k].height, 90);
        int lit = 0;
        for (std::size_t i = 0; i + 3 < frames[k].rgba.size(); i += 4)
            lit += frames[k].rgba[i] + frames[k].rgba[i + 1] + frames[k].rgba[i + 2] > 48 ? 1 : 0;
        EXPECT_GT(lit, 50) << "frame " << k << " is nearly black";
    }
    if (!filter) {
        EXPECT_NE(frames[0].rgba, frames[1].rgba) << "the picture does not move";
    }
}

std::vector<std::string> ourEffects()
{
    std::vector<std::string> names;
    std::stringstream list(KX_EFFECT_PLUGINS);
    for (std::string name; std::getline(list, name, ',');)
        if (!name.empty())
            names.push_back(name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Effects, OurEffect, ::testing::ValuesIn(ourEffects()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

} // namespace
