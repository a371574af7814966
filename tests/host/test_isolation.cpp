// A host that outlives the plug-ins it runs: plug-ins that crash (SIGSEGV, SIGBUS, SIGFPE,
// SIGABRT, a stack overflow), hang, exit or answer with a wild pointer in one call, run through
// info, render (alone and with --also) and validate, and files that cannot be loaded at all.
// Whatever the plug-in does, the host reports it in its own words with a defined exit status,
// and the files it leaves are whole.
#include "HeadlessGL.h"
#include "HostRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using hostrun::lines;
using hostrun::Result;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kClearGen = kPlugins + "/ClearGen.so";
// Every check the validator reports.
constexpr std::size_t kChecks = 19;
// Long enough for any call of the test plug-ins, short enough to wait for a hang.
const std::string kShortTimeout = "1";

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// A plug-in that takes its process down in one call.
struct Broken {
    const char* plugin;
    const char* fault;  // what the host says happened, after the plug-in's name
    const char* check;  // start of the name of the validator check that meets it first
    bool infoMeetsIt;   // info makes the call that breaks
    bool laterChecksRun; // a fresh process gets past it, so later checks run
    bool hangs;
};

void PrintTo(const Broken& b, std::ostream* os) { *os << b.plugin; }

const Broken kBroken[] = {
    {"CrashInfo", "crashed (SIGSEGV) in code 0 (get info)", "information record", true, false, false},
    {"CrashInstance", "crashed (SIGSEGV) in code 18 (instantiate GL)", "instances created", true, false, false},
    {"CrashFrame", "crashed (SIGSEGV) in code 17 (process OpenGL) at frame 3", "frames (code 17)", false, true, false},
    {"AbortSetParam", "crashed (SIGABRT) in code 8 (set parameter)", "parameter indices past", false, true, false},
    {"FpeFrame", "crashed (SIGFPE) in code 17 (process OpenGL) at frame 2", "frames (code 17)", false, true, false},
    {"BusExtendedInfo", "crashed (SIGBUS) in code 13 (get extended info)", "extended information", true, true, false},
    {"HangFrame", "hung: no answer within 1 s in code 17 (process OpenGL) at frame 2", "frames (code 17)", false, true,
     true},
    {"ExitInFrame", "exited (status 3) in code 17 (process OpenGL) at frame 1", "frames (code 17)", false, true, false},
    {"OverflowFrame", "crashed (SIGSEGV) in code 17 (process OpenGL) at frame 1", "frames (code 17)", false, true,
     false},
    {"WildName", "crashed (SIGSEGV) while reading the answer of code 5 (get parameter name)", "parameter table", true,
     true, false},
};

class BrokenPlugin : public hostrun::HostTest, public ::testing::WithParamInterface<Broken> {
protected:
    std::string path() const { return kPlugins + "/" + GetParam().plugin + ".so"; }
    Result hostWithTimeout(std::vector<std::string> args) const
    {
        if (GetParam().hangs)
            args.insert(args.end(), {"--timeout", kShortTimeout});
        return host(args);
    }
    // One error line of the host's; on standard output only what the plug-in printed itself.
    void expectOneFaultLine(const Result& r, const std::string& what) const
    {
        EXPECT_EQ(r.status, 1) << what << "\n" << r.out << r.err;
        EXPECT_EQ(r.err, std::string("ffglhost: error: ") + GetParam().plugin + " " + GetParam().fault + "\n")
            << what;
        for (const std::string& line : lines(r.out))
            EXPECT_TRUE(startsWith(line, GetParam().plugin)) << what << ": " << line;
    }
};

TEST_P(BrokenPlugin, RenderAloneAndBesideAnotherIsOneErrorLineAndExitOne)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const std::vector<std::string> render = {"render", path(), "--size", "16x16", "--frames", "4", "--set", "Red=0.5"};
    expectOneFaultLine(hostWithTimeout(render), "render");
    std::vector<std::string> also = render;
    also.insert(also.end(), {"--also", kClearGen});
    expectOneFaultLine(hostWithTimeout(also), "render --also");
    EXPECT_TRUE(written().empty()) << "a render that did not finish writes no last frame";
}

TEST_P(BrokenPlugin, InfoIsOneErrorLineWhereItMeetsTheFault)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = hostWithTimeout({"info", path()});
    if (GetParam().infoMeetsIt) {
        expectOneFaultLine(r, "info");
    } else {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(contains(r.out, std::string("name:          ") + GetParam().plugin + "\n")) << r.out;
    }
}

TEST_P(BrokenPlugin, ValidateFailsTheCheckItBreaksAndReportsEveryOther)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Broken& b = GetParam();
    const Result r = hostWithTimeout({"validate", path(), "--size", "16x16"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), kChecks + 2) << "a header, every check, a summary:\n" << r.out;
    EXPECT_TRUE(startsWith(out.front(), std::string("validating ") + b.plugin + " (")) << out.front();
    EXPECT_TRUE(startsWith(out.back(), std::to_string(kChecks) + " checks, ")) << out.back();
    EXPECT_TRUE(contains(out.back(), " failed")) << out.back();

    std::size_t at = 0;
    for (std::size_t i = 1; i <= kChecks; ++i)
        if (out[i].find(b.check) == 6)
            at = i;
    ASSERT_NE(at, 0u) << r.out;
    EXPECT_TRUE(startsWith(out[at], "FAIL  ")) << out[at];
    EXPECT_TRUE(contains(out[at], std::string("the plug-in ") + b.fault)) << out[at];
    if (std::string(b.plugin) != "WildName") { // it prints nothing
        EXPECT_TRUE(contains(out[at], std::string("its last output: \"") + b.plugin + " breaks in code"))
            << out[at];
    }
    std::size_t laterRun = 0;
    for (std::size_t i = at + 1; i <= kChecks; ++i)
        laterRun += startsWith(out[i], "SKIP  ") ? 0 : 1;
    if (b.laterChecksRun)
        EXPECT_GT(laterRun, 0u) << "checks after the fault run in a fresh process:\n" << r.out;
    else
        EXPECT_TRUE(contains(out[at + 1], "while a fresh process got ready for it")) << out[at + 1];

    const auto err = lines(r.err);
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(startsWith(err.back(), "ffglhost: error: ")) << err.back();
    EXPECT_TRUE(contains(err.back(), " of 19 checks failed")) << err.back();
}

INSTANTIATE_TEST_SUITE_P(Plugins, BrokenPlugin, ::testing::ValuesIn(kBroken),
                         [](const ::testing::TestParamInfo<Broken>& info) { return std::string(info.param.plugin); });

// A file no host can load: every command says why in one line and exits 2, before any plug-in
// code runs.
struct Unloadable {
    const char* label;
    const char* message; // part of the error line
};

void PrintTo(const Unloadable& u, std::ostream* os) { *os << u.label; }

class UnloadableFile : public hostrun::HostTest, public ::testing::WithParamInterface<Unloadable> {
protected:
    std::string make() const
    {
        const std::string label = GetParam().label;
        const fs::path p = inputs() / (label + ".so");
        if (label == "Truncated") {
            // The first 1000 bytes of a real plug-in: the loader would map segments the file lacks.
            std::ifstream in(kClearGen, std::ios::binary);
            std::string head(1000, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            std::ofstream(p, std::ios::binary).write(head.data(), in.gcount());
        } else if (label == "Empty") {
            std::ofstream{p};
        } else if (label == "Folder") {
            fs::create_directories(p);
        } else if (label == "Text") {
            std::ofstream(p) << "not a shared object\n";
        } else if (label == "NoPlugMain") {
            return kPlugins + "/NotAPlugin.so";
        } else if (label == "OtherWordSize") {
            return HOST_TEST_PLUGIN_OTHER_WORD;
        }
        return p.string();
    }
};

TEST_P(UnloadableFile, EveryCommandSaysWhyInOneLineAndExitsTwo)
{
    const std::string file = make();
    for (const char* command : {"info", "render", "validate"}) {
        const Result r = host({command, file});
        EXPECT_EQ(r.status, 2) << command << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "") << command;
        const auto err = lines(r.err);
        ASSERT_EQ(err.size(), 1u) << command << "\n" << r.err;
        EXPECT_TRUE(startsWith(err[0], "ffglhost: error: " + file)) << err[0];
        EXPECT_TRUE(contains(err[0], GetParam().message)) << err[0];
    }
    EXPECT_TRUE(written().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnloadableFile,
    ::testing::Values(Unloadable{"Truncated", "is not an FFGL plug-in: the file is truncated: its segments need "},
                      Unloadable{"Empty", "is not an FFGL plug-in: the file is empty"},
                      Unloadable{"Folder", "is a folder, not a plug-in file"},
                      Unloadable{"Text", "is not an FFGL plug-in: it is no ELF shared object"},
                      Unloadable{"NoPlugMain", "is not an FFGL plug-in: it exports no plugMain"},
                      Unloadable{"OtherWordSize", sizeof(void*) == 8
                                                   ? " is a 32-bit x86 shared object; this ffglhost is 64-bit x86-64"
                                                   : " is a 64-bit x86-64 shared object; this ffglhost is 32-bit x86"}),
    [](const ::testing::TestParamInfo<Unloadable>& info) { return std::string(info.param.label); });

class Isolation : public hostrun::HostTest {};

TEST_F(Isolation, FramesWrittenBeforeACrashAreWholePictures)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // Frame 12 crashes; frames go out through a read-back ring and a writer queue, so some of
    // the last ones kept die with the process, but the first ones are surely out.
    const Result r = host({"render", kPlugins + "/CrashLateFrame.so", "--size", "16x16", "--frames", "20", "--every",
                           "1", "--out", "seq"});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto files = written();
    ASSERT_GE(files.size(), 2u);
    EXPECT_EQ(files[0], "seq/frame_00001.png");
    EXPECT_EQ(files[1], "seq/frame_00002.png");
    for (const std::string& f : files) {
        EXPECT_TRUE(startsWith(f, "seq/frame_000") && f < "seq/frame_00012.png") << f;
        hostrun::Image image;
        ASSERT_TRUE(hostrun::readPng(work() / f, image)) << f << " is no whole picture";
        EXPECT_EQ(image.width, 16);
        EXPECT_EQ(image.height, 16);
    }
}

TEST_F(Isolation, TheReportNamesThePluginThatBrokeAmongSeveral)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = host({"render", kClearGen, "--also", kPlugins + "/CrashFrame.so", "--also", kClearGen, "--size",
                           "8x8", "--frames", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ffglhost: error: CrashFrame crashed (SIGSEGV) in code 17 (process OpenGL) at frame 3\n");
}

TEST_F(Isolation, AVideoIsFinishedOrAbsentNeverTruncated)
{
    HOSTRUN_REQUIRE_DISPLAY();
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    std::ofstream(work() / "v.mp4") << "the video of an earlier run";
    const Result crash = host({"render", kPlugins + "/CrashFrame.so", "--size", "16x16", "--frames", "6", "--video",
                               "v.mp4"});
    EXPECT_EQ(crash.status, 1) << crash.err;
    const Result hang = host({"render", kPlugins + "/HangFrame.so", "--size", "16x16", "--frames", "6", "--video",
                              "new.mp4", "--timeout", kShortTimeout});
    EXPECT_EQ(hang.status, 1) << hang.err;
    EXPECT_EQ(written(), std::vector<std::string>{"v.mp4"}) << "no partial video, no temporary file";
    EXPECT_EQ(hostrun::readFile(work() / "v.mp4"), "the video of an earlier run");

    const Result done = host({"render", kClearGen, "--size", "16x16", "--frames", "3", "--video", "v.mp4"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(written(), std::vector<std::string>{"v.mp4"});
    EXPECT_NE(hostrun::readFile(work() / "v.mp4"), "the video of an earlier run") << "a finished video replaces it";
}

TEST_F(Isolation, CtrlCEndsTheHostAndItsWorkerAndLeavesNoFile)
{
    HOSTRUN_REQUIRE_DISPLAY();
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    // SIGINT reaches the host while its worker hangs in a frame (the host relays it to the
    // worker's group): the host ends by the same signal, before its own timeout, with no output.
    const Result r = host({"render", kPlugins + "/HangFrame.so", "--size", "16x16", "--frames", "6", "--video",
                           "new.mp4", "--out", "f.png"},
                          "timeout --preserve-status -s INT -k 20 1");
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    EXPECT_TRUE(written().empty());
}

TEST_F(Isolation, InProcessRunsTheSameCommandsWithoutAWorker)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result render = host({"render", kClearGen, "--size", "8x8", "--frames", "2", "--in-process"});
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(written(), std::vector<std::string>{"out/ClearGen.png"});
    const Result validate = host({"validate", kClearGen, "--size", "8x8", "--in-process"});
    EXPECT_EQ(validate.status, 0) << validate.out << validate.err;
    EXPECT_TRUE(contains(validate.out, "19 checks, 19 passed\n")) << validate.out;
    // Without a worker a crash takes the host along: that is what a debugger is to see.
    const Result crash = host({"render", kPlugins + "/CrashFrame.so", "--size", "8x8", "--in-process"});
    EXPECT_GT(crash.status, 1) << crash.err;
    EXPECT_FALSE(contains(crash.err, "ffglhost: error:")) << crash.err;
}

TEST_F(Isolation, TimeoutTakesPositiveSeconds)
{
    for (const char* bad : {"0", "-1", "ten", "", "1e9"}) {
        const Result r = host({"render", kClearGen, "--timeout", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(contains(r.err, "--timeout")) << r.err;
    }
    EXPECT_TRUE(written().empty());
}

} // namespace
