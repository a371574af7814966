// The pictures of our plug-ins must not change unnoticed: each case of tests/reference/cases.txt
// is rendered with ffglhost and every frame it writes is compared, decoded pixel by pixel, with
// the PNG kept in tests/reference/<case>/. Mesa's software rasteriser renders the same bytes
// every run, so any difference is a change in what the plug-in draws (or in how the host reads
// and writes frames). A failing case keeps its frames in the temporary folder it names.
#include "HeadlessGL.h"
#include "HostRun.h"
#include "ReferenceCases.h"

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace reference {
// How gtest names a case in its messages.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
} // namespace reference

namespace {

const fs::path kReferenceDir = REFERENCE_DIR;
const fs::path kPluginDir = PLUGIN_DIR;

using hostrun::Image;
using hostrun::quote;
using hostrun::readPng;
using reference::Case;
using reference::pngFilesIn;

std::vector<Case> loadCases() { return reference::loadCases(kReferenceDir); }

// How two pictures of the same size differ: the count of differing pixels and the first one.
std::string describeDifference(const Image& got, const Image& want)
{
    long differing = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < got.rgba.size(); i += 4) {
        if (!std::equal(got.rgba.begin() + i, got.rgba.begin() + i + 4, want.rgba.begin() + i)) {
            if (differing++ == 0)
                first = i / 4;
        }
    }
    std::ostringstream s;
    s << differing << " pixels differ, the first at (" << first % got.width << ", " << first / got.width << ")";
    return s.str();
}

class ReferenceFrames : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceFrames, RenderSameAsKept)
{
    if (!kxhost::HeadlessGL::displayAvailable())
        GTEST_SKIP() << "no EGL display is available on this machine";
    const Case& c = GetParam();
    const fs::path kept = kReferenceDir / c.name;
    const std::vector<std::string> expected = pngFilesIn(kept);
    ASSERT_FALSE(expected.empty()) << "no reference pictures in " << kept;

    const fs::path out = fs::temp_directory_path() / ("reference-" + c.name + "-" + std::to_string(getpid()));
    fs::remove_all(out);
    std::string cmd = quote(FFGLHOST_EXE) + " render " + quote((kPluginDir / (c.plugin + ".so")).string()) +
                      " --size " + c.size + " --frames " + c.frames + " --every " + c.every + " --out " +
                      quote(out.string());
    for (const std::string& s : c.settings)
        cmd += " --set " + quote(s);
    cmd += " >" + quote(out.string() + ".log") + " 2>&1";
    const int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << cmd << "\nfailed; its output is in " << out << ".log";

    EXPECT_EQ(pngFilesIn(out), expected) << "frames written into " << out;
    bool same = true;
    for (const std::string& file : expected) {
        Image got, want;
        ASSERT_TRUE(readPng(kept / file, want)) << kept / file;
        if (!readPng(out / file, got)) {
            ADD_FAILURE() << "cannot read " << out / file;
            same = false;
            continue;
        }
        if (got.width != want.width || got.height != want.height) {
            ADD_FAILURE() << file << ": " << got.width << "x" << got.height << ", kept " << want.width << "x"
                          << want.height;
            same = false;
        } else if (got.rgba != want.rgba) {
            ADD_FAILURE() << c.name << "/" << file << ": " << describeDifference(got, want) << " (kept in " << out
                          << ")";
            same = false;
        }
    }
    if (same && !HasFailure()) {
        fs::remove_all(out);
        fs::remove(out.string() + ".log");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceFrames, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// A test binary that finds no cases must not pass silently.
TEST(ReferenceCases, ListIsReadable)
{
    const std::vector<Case> cases = loadCases();
    ASSERT_FALSE(cases.empty()) << "no cases in " << kReferenceDir / "cases.txt";
    for (const Case& c : cases) {
        EXPECT_FALSE(c.every.empty()) << c.name << ": a case needs plug-in, size, frames and every";
        EXPECT_TRUE(fs::exists(kPluginDir / (c.plugin + ".so"))) << c.name << ": no plug-in " << c.plugin;
    }
}

} // namespace
