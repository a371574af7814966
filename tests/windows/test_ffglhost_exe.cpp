// ffglhost.exe driven from the outside, as a user runs it on Windows (here under Wine): info and
// render of our plug-in DLLs, frames compared with the Linux host's kept pictures where neither
// rand() nor the clock enters them, files no host can load, plug-ins that crash or hang in a call
// (the host outlives them), and the Linux-only features, each refused in one line. Standard
// output comes in text mode, with CRLF line ends.
#include "HostImage.h"
#include "ProgramRun.h"
#include "ReferenceCaseList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kHost = FFGLHOST_EXE;
const fs::path kPlugins = PLUGIN_DIR;
const fs::path kReference = REFERENCE_DIR;
const fs::path kNoPlugMain = DLL_WITHOUT_PLUGMAIN;
const std::string kInvert = INVERT_DLL;
const fs::path kBroken = BROKEN_DLL_DIR;

// How far ffglhost.exe's frames may stray from the Linux host's. Both render with the same Mesa
// llvmpipe (Wine passes GL through to it), so only the CPU-side maths of the C runtimes (sin, cos,
// pow for positions, rims and colours) can differ, by a last bit now and then. Measured on
// afterglow-still: the frames are identical (0 of 57600 pixels differ). A real change shows far
// beyond the tolerance: lights 0.1% larger change 2435 pixels (4%) by up to 2 levels, a hue 1%
// further round 11091 pixels by up to 251. The tolerance leaves room for a few rim pixels flipped
// by last-bit rounding: at most 0.1% of the pixels, by at most 8 levels.
constexpr int kChannelTolerance = 8;
constexpr double kDifferingShareTolerance = 0.001;

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

class FfglhostExe : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        root_ = fs::temp_directory_path() / ("ffglhost-exe-" + name + "-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(root_);
        fs::create_directories(work());
        fs::create_directories(inputs());
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(root_);
    }

    fs::path work() const { return root_ / "work"; }
    fs::path inputs() const { return root_ / "inputs"; }

    programrun::Result host(const std::vector<std::string>& args) const
    {
        return programrun::run(kHost, args, work(), root_);
    }

    // Every file below work(), relative to it.
    std::vector<std::string> written() const
    {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(work()))
            if (!e.is_directory())
                files.push_back(fs::relative(e.path(), work()).generic_string());
        std::sort(files.begin(), files.end());
        return files;
    }

private:
    fs::path root_;
};

std::string dll(const std::string& plugin) { return (kPlugins / (plugin + ".dll")).string(); }

// Pixels with any channel above `level`, as a share of all.
double litShare(const hosttest::RgbImage& image, int level)
{
    std::size_t lit = 0;
    for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3)
        if (std::max({image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]}) > level)
            ++lit;
    return static_cast<double>(lit) / static_cast<double>(image.rgb.size() / 3);
}

// The largest channel difference, and the pixels differing at all.
struct Difference {
    int largest = 0;
    std::size_t pixels = 0;
};

Difference differenceOf(const hosttest::RgbImage& a, const hosttest::RgbImage& b)
{
    Difference d;
    for (std::size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3) {
        int most = 0;
        for (std::size_t c = i; c < i + 3; ++c)
            most = std::max(most, std::abs(static_cast<int>(a.rgb[c]) - static_cast<int>(b.rgb[c])));
        d.largest = std::max(d.largest, most);
        d.pixels += most > 0 ? 1 : 0;
    }
    return d;
}

struct PluginFacts {
    const char* name;
    const char* uniqueId;
    int parameters;
};

const PluginFacts kPluginFacts[] = {{"Quorus", "Q7K3", 11}, {"Afterglow", "KXAG", 9}};

TEST_F(FfglhostExe, InfoShowsEachPluginsIdentityAndParameters)
{
    for (const PluginFacts& p : kPluginFacts) {
        const auto r = host({"info", dll(p.name)});
        ASSERT_EQ(r.status, 0) << p.name << "\n" << r.out << r.err;
        const auto out = programrun::lines(r.out);
        auto has = [&out](const std::string& line) { return std::find(out.begin(), out.end(), line) != out.end(); };
        EXPECT_TRUE(has("name:          " + std::string(p.name))) << r.out;
        EXPECT_TRUE(has("unique ID:     " + std::string(p.uniqueId))) << r.out;
        EXPECT_TRUE(has("type:          source")) << r.out;
        EXPECT_TRUE(has("parameters:    " + std::to_string(p.parameters))) << r.out;
        // A row per parameter after the header row.
        const auto header =
            std::find_if(out.begin(), out.end(), [](const std::string& l) { return startsWith(l, "  index"); });
        ASSERT_NE(header, out.end()) << r.out;
        EXPECT_EQ(out.end() - header - 1, p.parameters) << r.out;
    }
}

TEST_F(FfglhostExe, RenderWritesALitChangingPictureOfEachPlugin)
{
    for (const PluginFacts& p : kPluginFacts) {
        const std::string folder = std::string("frames-") + p.name;
        const auto r =
            host({"render", dll(p.name), "--size", "160x90", "--frames", "10", "--every", "1", "--out", folder});
        ASSERT_EQ(r.status, 0) << p.name << "\n" << r.out << r.err;
        const auto out = programrun::lines(r.out);
        EXPECT_NE(std::find(out.begin(), out.end(), "rendered 10 frames of " + std::string(p.name) + " at 160x90"),
                  out.end())
            << r.out;
        EXPECT_TRUE(contains(r.out, "wrote 10 files into " + folder)) << r.out;
        hosttest::RgbImage first, last;
        ASSERT_TRUE(hosttest::readPngRgb(work() / folder / "frame_00001.png", first)) << p.name;
        ASSERT_TRUE(hosttest::readPngRgb(work() / folder / "frame_00010.png", last)) << p.name;
        EXPECT_EQ(last.width, 160);
        EXPECT_EQ(last.height, 90);
        EXPECT_GT(litShare(last, 64), 0.01) << p.name << ": frame 10 is (nearly) black";
        // Quorus's particles move every frame; Afterglow's trails build up over its lights.
        EXPECT_GT(differenceOf(first, last).pixels, last.rgb.size() / 3 / 100)
            << p.name << ": the picture stands still";
    }
}

TEST_F(FfglhostExe, RenderingAgainReplacesThePicturesAlsoSideBySide)
{
    // Windows' rename does not replace a file; the finished picture must still take the old one's place.
    for (int run = 0; run < 2; ++run) {
        const auto r = host({"render", dll("Quorus"), "--also", dll("Afterglow"), "--size", "64x36", "--frames", "2",
                             "--out", "again.png"});
        ASSERT_EQ(r.status, 0) << "run " << run << "\n" << r.out << r.err;
    }
    EXPECT_EQ(written(), (std::vector<std::string>{"again-Afterglow.png", "again.png"}));
}

// The reference cases whose pictures neither the C library's rand() nor the clock decide.
std::vector<refcases::Case> comparedCases()
{
    std::vector<refcases::Case> out;
    const std::string names = std::string(" ") + COMPARED_CASES + " ";
    for (const refcases::Case& c : refcases::loadCases(kReference / "cases.txt"))
        if (contains(names, " " + c.name + " "))
            out.push_back(c);
    return out;
}

TEST_F(FfglhostExe, FramesMatchTheLinuxHostsKeptPictures)
{
    const std::vector<refcases::Case> cases = comparedCases();
    ASSERT_FALSE(cases.empty()) << "none of the cases \"" << COMPARED_CASES << "\" is in " << kReference / "cases.txt";
    for (const refcases::Case& c : cases) {
        std::vector<std::string> args = {"render", dll(c.plugin), "--size", c.size, "--frames", c.frames,
                                         "--every", c.every, "--out", c.name};
        for (const std::string& i : c.inputs) {
            args.push_back("--input");
            args.push_back(i);
        }
        for (const std::string& s : c.settings) {
            args.push_back("--set");
            args.push_back(s);
        }
        const auto r = host(args);
        ASSERT_EQ(r.status, 0) << c.name << "\n" << r.out << r.err;
        const std::vector<std::string> kept = refcases::pngFilesIn(kReference / c.name);
        ASSERT_FALSE(kept.empty()) << c.name;
        EXPECT_EQ(refcases::pngFilesIn(work() / c.name), kept) << c.name;
        for (const std::string& file : kept) {
            hosttest::RgbImage got, want;
            ASSERT_TRUE(hosttest::readPngRgb(kReference / c.name / file, want)) << file;
            ASSERT_TRUE(hosttest::readPngRgb(work() / c.name / file, got)) << c.name << "/" << file;
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            const Difference d = differenceOf(got, want);
            const double share = static_cast<double>(d.pixels) / static_cast<double>(want.rgb.size() / 3);
            std::cout << c.name << "/" << file << ": " << d.pixels << " pixels differ, by at most " << d.largest
                      << std::endl;
            EXPECT_LE(d.largest, kChannelTolerance) << c.name << "/" << file;
            EXPECT_LE(share, kDifferingShareTolerance) << c.name << "/" << file << ": " << d.pixels << " pixels";
        }
    }
}

// Every colour channel of `got` is 255 minus that of `want`.
void expectInverse(const hosttest::RgbImage& got, const hosttest::RgbImage& want, const std::string& what)
{
    ASSERT_EQ(got.rgb.size(), want.rgb.size()) << what;
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < want.rgb.size(); ++i)
        wrong += got.rgb[i] != 255 - want.rgb[i] ? 1 : 0;
    EXPECT_EQ(wrong, 0u) << what;
}

TEST_F(FfglhostExe, EffectsTakeImagesPatternsAndChainsAsOnLinux)
{
    // A kept picture as the input image, at its own size: the effect draws exactly its inverse.
    const fs::path picture = kReference / "afterglow-still" / "frame_00003.png";
    hosttest::RgbImage input;
    ASSERT_TRUE(hosttest::readPngRgb(picture, input));
    const std::string size = std::to_string(input.width) + "x" + std::to_string(input.height);
    for (const char* layout : {"--in-process", "--pot-inputs"}) {
        const auto r = host({"render", kInvert, "--input", picture.string(), "--size", size, "--frames", "2",
                             "--out", "image.png", layout});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        hosttest::RgbImage got;
        ASSERT_TRUE(hosttest::readPngRgb(work() / "image.png", got));
        expectInverse(got, input, std::string("image, ") + layout);
    }
    // The same picture out of Afterglow's kept case, through a chain on the GPU.
    const auto chain = host({"render", dll("Afterglow"), "--set", "Speed=0", "--set", "Trail=0", "--set", "Size=1",
                             "--set", "Lights=1", "--then", kInvert, "--size", size, "--frames", "3", "--out",
                             "chain.png"});
    ASSERT_EQ(chain.status, 0) << chain.out << chain.err;
    hosttest::RgbImage got;
    ASSERT_TRUE(hosttest::readPngRgb(work() / "chain.png", got));
    expectInverse(got, input, "chain");
    // No --input: the card, red in its top-left quarter, inverted.
    const auto card = host({"render", kInvert, "--input", "pattern:card", "--size", "64x36", "--frames", "1",
                            "--out", "card.png"});
    ASSERT_EQ(card.status, 0) << card.out << card.err;
    ASSERT_TRUE(hosttest::readPngRgb(work() / "card.png", got));
    EXPECT_EQ(got.at(2, 2), (std::array<int, 3>{255 - 220, 255 - 40, 255 - 40}));
    // Videos come through ffmpeg, which this build does not run.
    std::ofstream(inputs() / "clip.mp4") << "not a video";
    const auto video = host({"render", kInvert, "--input", (inputs() / "clip.mp4").string()});
    EXPECT_EQ(video.status, 2);
    EXPECT_TRUE(contains(video.err, "videos and cameras need the Linux build")) << video.err;
}

// A file no host can load: every command says why in one line and exits 2 before any plug-in
// code runs.
struct Unloadable {
    const char* label;
    const char* message; // part of the error line
};

void PrintTo(const Unloadable& u, std::ostream* os) { *os << u.label; }

class UnloadableFile : public FfglhostExe, public ::testing::WithParamInterface<Unloadable> {
protected:
    std::string make() const
    {
        const std::string label = GetParam().label;
        const fs::path p = inputs() / (label + ".dll");
        std::string bytes;
        if (label == "Truncated" || label == "ThirtyTwoBit") {
            std::ifstream in(dll("Quorus"), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            bytes = ss.str();
        }
        if (label == "Truncated") {
            bytes.resize(4096); // the headers whole, the sections cut
        } else if (label == "ThirtyTwoBit") {
            // What a 32-bit build says of itself: machine x86, a PE32 optional header.
            const std::size_t pe =
                static_cast<unsigned char>(bytes[0x3C]) | static_cast<unsigned char>(bytes[0x3D]) << 8;
            bytes[pe + 4] = '\x4C';
            bytes[pe + 5] = '\x01';
            bytes[pe + 24] = '\x0B';
            bytes[pe + 25] = '\x01';
        } else if (label == "Folder") {
            fs::create_directories(p);
            return p.string();
        } else if (label == "Text") {
            bytes = "not a DLL\r\n";
        } else if (label == "ElfObject") {
            bytes = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(57, '\0');
        } else if (label == "NoPlugMain") {
            return kNoPlugMain.string();
        } else if (label == "Program") {
            return kHost.string();
        }
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
};

TEST_P(UnloadableFile, EveryCommandSaysWhyInOneLineAndExitsTwo)
{
    const std::string file = make();
    for (const char* command : {"info", "render", "validate"}) {
        const auto r = host({command, file});
        EXPECT_EQ(r.status, 2) << command << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "") << command;
        const auto err = programrun::lines(r.err);
        ASSERT_EQ(err.size(), 1u) << command << "\n" << r.err;
        EXPECT_TRUE(startsWith(err[0], "ffglhost: error: " + file)) << err[0];
        EXPECT_TRUE(contains(err[0], GetParam().message)) << err[0];
    }
    EXPECT_TRUE(written().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnloadableFile,
    ::testing::Values(Unloadable{"Truncated", "is not an FFGL plug-in: the file is truncated: its sections need "},
                      Unloadable{"Empty", "is not an FFGL plug-in: the file is empty"},
                      Unloadable{"Folder", "is a folder, not a plug-in file"},
                      Unloadable{"Text", "is not an FFGL plug-in: it is no Windows DLL (it lacks the MZ signature)"},
                      Unloadable{"ElfObject", "is not an FFGL plug-in: it is an ELF shared object"},
                      Unloadable{"NoPlugMain", "is not an FFGL plug-in: it exports no plugMain"},
                      Unloadable{"ThirtyTwoBit", " is a 32-bit x86 DLL; this ffglhost is 64-bit x86-64"},
                      Unloadable{"Program", "is not an FFGL plug-in: it is a 64-bit x86-64 program (.exe), not a DLL"}),
    [](const ::testing::TestParamInfo<Unloadable>& info) { return std::string(info.param.label); });

// Several DLLs in a folder, one that crashes in a frame and one that is no plug-in: each is
// validated in its own workers (the one that is not is an ERROR entry), the table ends the run,
// and the report files are written whole with the crash named by its exception (their schemas
// are checked on the build machine: validate_folder_reports in CMakeLists.txt).
TEST_F(FfglhostExe, ValidatesAFolderIntoReportsAndNamesItsVersion)
{
    const auto version = host({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(programrun::lines(version.out), std::vector<std::string>{std::string("ffglhost ") + KX_PROJECT_VERSION});

    const fs::path folder = inputs() / "plugins";
    fs::create_directories(folder);
    fs::copy_file(kInvert, folder / "Invert.dll");
    fs::copy_file(kNoPlugMain, folder / "Helper.DLL");
    fs::copy_file(kBroken / "CrashFrame.dll", folder / "CrashFrame.dll");
    const auto r = host({"validate", folder.string(), "--size", "32x18", "--report", "r.json", "--junit", "j.xml"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const auto out = programrun::lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "3 plug-ins: 1 passed, 1 failed, 1 could not be validated") << r.out;
    EXPECT_TRUE(contains(r.out, "ERROR ")) << r.out;
    EXPECT_EQ(written(), (std::vector<std::string>{"j.xml", "r.json"}));
    std::ifstream json(work() / "r.json");
    const std::string report((std::istreambuf_iterator<char>(json)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(contains(report, "\"exception\": \"access violation, 0xC0000005\"")) << report;
}

TEST_F(FfglhostExe, LinuxOnlyFeaturesAreRefusedInOneLine)
{
    const std::string quorus = dll("Quorus");
    const std::vector<std::vector<std::string>> asks = {
        {"preview", quorus, "--frames", "3"},
        {"sheet", quorus},
        {"render", quorus, "--video", "clip.mp4"},
    };
    for (const auto& args : asks) {
        const auto r = host(args);
        EXPECT_EQ(r.status, 2) << args[0] << "\n" << r.out << r.err;
        const auto err = programrun::lines(r.err);
        ASSERT_EQ(err.size(), 1u) << args[0] << "\n" << r.err;
        EXPECT_TRUE(startsWith(err[0], "ffglhost: error: ")) << err[0];
        EXPECT_TRUE(contains(err[0], " is Linux-only; this Windows ffglhost offers info, render and validate"))
            << err[0];
    }
    // Mesa's drivers are chosen through Mesa's environment, which only the Linux build reaches.
    const auto driver = host({"render", quorus, "--driver", "softpipe"});
    EXPECT_EQ(driver.status, 2) << driver.out << driver.err;
    EXPECT_EQ(programrun::lines(driver.err).size(), 1u) << driver.err;
    EXPECT_TRUE(contains(driver.err, "only possible on Linux")) << driver.err;
    EXPECT_TRUE(written().empty());
    // Plug-ins run in the host's own process on request, as on Linux.
    EXPECT_EQ(host({"render", quorus, "--size", "32x18", "--frames", "1", "--in-process"}).status, 0);
}

// A plug-in that takes its worker down in one call, each its own way.
struct Broken {
    const char* plugin;
    const char* fault;    // what the host says happened, after the plug-in's name
    const char* check;    // start of the name of the validator check that meets it first
    bool laterChecksRun;  // a fresh worker gets past it, so later checks run
    bool hangs;
};

void PrintTo(const Broken& b, std::ostream* os) { *os << b.plugin; }

const Broken kBrokenPlugins[] = {
    {"CrashFrame", "crashed (access violation, 0xC0000005) in code 17 (process OpenGL) at frame 3",
     "frames (code 17)", true, false},
    {"CrashInstance", "crashed (access violation, 0xC0000005) in code 18 (instantiate GL)", "instances created",
     false, false},
    {"HangFrame", "hung: no answer within 1 s in code 17 (process OpenGL) at frame 2", "frames (code 17)", true, true},
    {"AbortSetParam", "crashed (SIGABRT) in code 8 (set parameter)", "parameter indices past", true, false},
    {"OverflowFrame", "crashed (stack overflow, 0xC00000FD) in code 17 (process OpenGL) at frame 1",
     "frames (code 17)", true, false},
};

// Every check the validator reports for a source.
constexpr std::size_t kSourceChecks = 19;

class BrokenPlugin : public FfglhostExe, public ::testing::WithParamInterface<Broken> {
protected:
    programrun::Result hostWithTimeout(std::vector<std::string> args) const
    {
        // Long enough for any call of the test plug-ins, short enough to wait for a hang.
        if (GetParam().hangs)
            args.insert(args.end(), {"--timeout", "1"});
        return host(args);
    }
};

TEST_P(BrokenPlugin, ValidateAndRenderReportTheFaultAndTheHostCarriesOn)
{
    const Broken& b = GetParam();
    const std::string path = (kBroken / (std::string(b.plugin) + ".dll")).string();

    // validate: the check that meets the fault fails with it, the rest run in fresh workers, and
    // the summary comes.
    const auto v = hostWithTimeout({"validate", path, "--size", "16x16"});
    EXPECT_EQ(v.status, 1) << v.out << v.err;
    const auto out = programrun::lines(v.out);
    ASSERT_EQ(out.size(), kSourceChecks + 2) << "a header, every check, a summary:\n" << v.out << v.err;
    EXPECT_TRUE(startsWith(out.front(), std::string("validating ") + b.plugin + " (")) << out.front();
    EXPECT_TRUE(startsWith(out.back(), std::to_string(kSourceChecks) + " checks, ")) << out.back();
    std::size_t at = 0;
    for (std::size_t i = 1; i <= kSourceChecks && at == 0; ++i)
        if (out[i].find(b.check) == 6)
            at = i;
    ASSERT_NE(at, 0u) << v.out;
    EXPECT_TRUE(startsWith(out[at], "FAIL  ")) << out[at];
    EXPECT_TRUE(contains(out[at], std::string(": the plug-in ") + b.fault + "; its last output: \"" + b.plugin +
                                      " breaks in code "))
        << out[at];
    std::size_t laterRun = 0;
    for (std::size_t i = at + 1; i <= kSourceChecks; ++i)
        laterRun += startsWith(out[i], "SKIP  ") ? 0 : 1;
    EXPECT_EQ(laterRun > 0, b.laterChecksRun) << v.out;

    // render: one error line, exit 1; on standard output only what the plug-in printed itself.
    const auto r = hostWithTimeout({"render", path, "--size", "16x16", "--frames", "4", "--set", "Red=0.5"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(programrun::lines(r.err),
              std::vector<std::string>{"ffglhost: error: " + std::string(b.plugin) + " " + b.fault})
        << r.err;
    for (const std::string& line : programrun::lines(r.out))
        EXPECT_TRUE(startsWith(line, b.plugin)) << line;
    EXPECT_TRUE(written().empty()) << "a render that did not finish writes no last frame";
}

INSTANTIATE_TEST_SUITE_P(Plugins, BrokenPlugin, ::testing::ValuesIn(kBrokenPlugins),
                         [](const ::testing::TestParamInfo<Broken>& info) { return std::string(info.param.plugin); });

TEST_F(FfglhostExe, WorkersGetTheArgumentsAsGiven)
{
    // A worker parses the host's command line again, and validate's fresh workers get the
    // plug-in's path as a word of their own: blanks must survive both.
    const fs::path folder = inputs() / "a folder";
    fs::create_directories(folder);
    const fs::path broken = folder / "Crash Frame.dll";
    fs::copy_file(kBroken / "CrashFrame.dll", broken);
    const auto v = host({"validate", broken.string(), "--size", "16x16"});
    EXPECT_EQ(v.status, 1) << v.out << v.err;
    const auto out = programrun::lines(v.out);
    ASSERT_EQ(out.size(), kSourceChecks + 2) << v.out << v.err;
    EXPECT_TRUE(startsWith(out.front(), "validating CrashFrame (" + broken.string() + ") at 16x16")) << out.front();
    EXPECT_TRUE(startsWith(out[kSourceChecks], "PASS  de-initialise")) << "the last worker found the plug-in\n" << v.out;

    const auto r = host({"render", dll("Afterglow"), "--set", "Hue Drift=0.5", "--size", "16x16", "--frames", "1",
                         "--out", "a b\\c.png"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "parameter Hue Drift = 0.5 ")) << r.out;
    EXPECT_EQ(written(), std::vector<std::string>{"a b/c.png"});

    // The worker's own argument is not for people.
    const auto w = host({"--ffglhost-worker", "1,0", "0", "info", dll("Quorus")});
    EXPECT_EQ(w.status, 2);
    EXPECT_EQ(programrun::lines(w.err).size(), 1u) << w.err;
}

TEST_F(FfglhostExe, FramesWrittenBeforeACrashAreWholeAndNoTemporaryFileStays)
{
    // Frame 12 crashes; frames go out through a read-back ring and a writer queue, so some of the
    // last ones kept die with the worker (their temporary files removed), but the first ones are out.
    const auto r = host({"render", (kBroken / "CrashLateFrame.dll").string(), "--size", "16x16", "--frames", "20",
                         "--every", "1", "--out", "seq"});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto files = written();
    ASSERT_GE(files.size(), 2u);
    EXPECT_EQ(files[0], "seq/frame_00001.png");
    EXPECT_EQ(files[1], "seq/frame_00002.png");
    for (const std::string& f : files) {
        EXPECT_TRUE(startsWith(f, "seq/frame_000") && f < "seq/frame_00012.png") << f;
        hosttest::RgbImage image;
        EXPECT_TRUE(hosttest::readPngRgb(work() / f, image)) << f << " is no whole picture";
    }
}

} // namespace
