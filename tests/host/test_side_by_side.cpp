// `ffglhost render MAIN.so --also B.so`: plug-ins loaded into one host process at the same time
// render exactly as they do alone, including two copies of Quorus, whose files hold the same
// framework symbols, and two test plug-ins that export a symbol of the same name on purpose.
// Checked by the pictures they write, the order of the calls and the output names.
#include "HeadlessGL.h"
#include "HostRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using hostrun::Image;
using hostrun::Result;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kClearGen = kPlugins + "/ClearGen.so";

class SideBySide : public hostrun::HostTest {
protected:
    Image image(const std::string& file) const
    {
        Image i;
        EXPECT_TRUE(hostrun::readPng(work() / file, i)) << file;
        return i;
    }
};

TEST_F(SideBySide, QuorusNextToItsCopyAndClearGenRendersAsAlone)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // A copy under another file name is a second, private load of the same code, not a second
    // handle on the first one.
    const fs::path copy = inputs() / "QuorusCopy.so";
    fs::copy_file(QUORUS_PLUGIN_PATH, copy);
    const std::vector<std::string> common = {"--size", "96x54", "--frames", "4"};
    auto args = [&common](std::vector<std::string> a) {
        a.insert(a.begin() + 2, common.begin(), common.end());
        return a;
    };

    const Result alone = host(args({"render", QUORUS_PLUGIN_PATH, "--out", "alone.png"}));
    ASSERT_EQ(alone.status, 0) << alone.err;
    const Result both = host(args({"render", QUORUS_PLUGIN_PATH, "--out", "both.png", "--also", kClearGen, "--also",
                                   copy.string()}));
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(written(), (std::vector<std::string>{"alone.png", "both-ClearGen.png", "both-Quorus.png", "both.png"}));

    const Image reference = image("alone.png");
    ASSERT_EQ(reference.width, 96);
    const std::size_t lit = static_cast<std::size_t>(std::count_if(
        reference.rgba.begin(), reference.rgba.end(), [](unsigned char c) { return c > 16 && c != 255; }));
    EXPECT_GT(lit, 0u) << "the reference frame shows something";
    EXPECT_TRUE(image("both.png").rgba == reference.rgba) << "Quorus beside other plug-ins";
    EXPECT_TRUE(image("both-Quorus.png").rgba == reference.rgba) << "the second copy of Quorus";
    const std::array<int, 4> clearGenDefault = {64, 191, 128, 255};
    const Image clear = image("both-ClearGen.png");
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(clear.at(95, 53)[c], clearGenDefault[c], 1) << "channel " << c;

    // The report has one row per plug-in.
    EXPECT_NE(both.out.find("of each of 3 plug-ins side by side at 96x54"), std::string::npos) << both.out;
    for (const char* row : {"both.png\n", "both-ClearGen.png\n", "both-Quorus.png\n"})
        EXPECT_NE(both.out.find(row), std::string::npos) << both.out;
}

TEST_F(SideBySide, SymbolsOfTheSameNameStayPrivateToEachPlugin)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // Both export clearGenExportedRed(); A's answers 0, B's answers 1. Were B bound to A's
    // symbol, both would clear to the same red.
    const Result r = host({"render", kPlugins + "/ClearGenRedA.so", "--also", kPlugins + "/ClearGenRedB.so", "--size",
                           "8x8", "--frames", "2", "--out", "red.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(image("red.png").at(4, 4)[0], 0, 1);
    EXPECT_NEAR(image("red-ClearGen.png").at(4, 4)[0], 255, 1);
}

TEST_F(SideBySide, LoadsEverythingFirstThenAlternatesFrames)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // Both plug-ins append their calls to one trace file.
    const fs::path trace = inputs() / "trace.txt";
    const Result r = host({"render", kClearGen, "--also", kPlugins + "/ClearGenRedB.so", "--size", "4x4", "--frames",
                           "3"},
                          "CLEARGEN_TRACE=" + hostrun::quote(trace.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto calls = hostrun::lines(hostrun::readFile(trace));
    const auto first18 = std::find(calls.begin(), calls.end(), "18");
    const auto first17 = std::find(calls.begin(), calls.end(), "17");
    ASSERT_NE(first17, calls.end());
    EXPECT_EQ(std::count(calls.begin(), first18, "1"), 2) << "both initialised before any instance";
    EXPECT_EQ(std::count(calls.begin(), first17, "18"), 2) << "both instantiated before any frame";
    EXPECT_EQ(std::count(first17, calls.end(), "17"), 6);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()), (std::vector<std::string>{"19", "19", "2", "2"}));
}

TEST_F(SideBySide, SettingsBelongToTheMainPlugin)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen, "--also", kClearGen, "--set", "Red=1", "--size", "4x4", "--frames",
                           "1", "--out", "c.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(image("c.png").at(0, 0)[0], 255, 1);
    EXPECT_NEAR(image("c-ClearGen.png").at(0, 0)[0], 64, 1) << "the --also instance keeps its default";
    EXPECT_NE(r.out.find("parameter Red of ClearGen = 1 (display \"1.00\")"), std::string::npos) << r.out;
}

TEST_F(SideBySide, EveryGivesEachPluginItsFolderAndRepeatedNamesAreNumbered)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen, "--also", kClearGen, "--also", kClearGen, "--size", "4x4", "--frames",
                           "2", "--every", "2", "--out", "seq/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(written(), (std::vector<std::string>{"seq-ClearGen-2/frame_00002.png", "seq-ClearGen/frame_00002.png",
                                                   "seq/frame_00002.png"}));
}

TEST_F(SideBySide, AnAlsoThatCannotRenderIsBadInputAndNothingIsWritten)
{
    const std::vector<std::vector<std::string>> cases = {
        {"render", kClearGen, "--also", "missing.so"},
        {"render", kClearGen, "--also", kPlugins + "/ClearGenNoGL.so"},
        {"render", kClearGen, "--also", kPlugins + "/NotAPlugin.so"},
    };
    for (const auto& args : cases) {
        const Result r = host(args);
        EXPECT_EQ(r.status, 2) << args[3] << "\n" << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(hostrun::lines(r.err).size(), 1u) << r.err;
    }
    const Result usage = host({"info", kClearGen, "--also", kClearGen});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: ffglhost"), std::string::npos) << usage.err;
    EXPECT_TRUE(written().empty());
}

} // namespace
