// The pictures of our plug-ins must not change unnoticed: each case of tests/reference/cases.txt
// is rendered with ffglhost and every frame it writes is compared, decoded pixel by pixel, with
// the PNG kept in tests/reference/<case>/. The kept pictures come from Mesa's llvmpipe, which
// renders the same bytes every run: under it (and under the platform's default driver here) any
// difference is a change in what the plug-in draws, or in how the host reads and writes frames.
// A 32-bit build compares with the tolerance of the 32-bit rasteriser (ReferenceCases.h).
//
// With KX_REFERENCE_DRIVER naming another of Mesa's drivers (the driver matrix of the CMake
// file), ffglhost renders with --driver and the frames may differ from the kept ones as far as
// that driver's tolerance below allows. A failing case keeps its frames in the folder it names.
#include "HeadlessGL.h"
#include "HostRun.h"
#include "ReferenceCases.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kReferenceDir = REFERENCE_DIR;
const fs::path kPluginDir = PLUGIN_DIR;

// How far each driver's frames may lie from the kept llvmpipe ones, from measurements with Mesa
// 22.3 on every case. zink runs on lavapipe, whose rasteriser is llvmpipe's: its frames are the
// same bytes. softpipe computes fog, blending and edge coverage its own way: up to 15% of the
// pixels differ, nearly all by a few levels, and edge pixels flip (at most 65 of 57600, 0.11%, by
// more than 8 levels). Its bound, 0.25% by more than 8 levels (about twice the worst measured),
// lets that noise pass and little else: a scene that moved or changed shifts far more pixels.
struct DriverTolerance {
    const char* driver;
    refcases::Tolerance tolerance;
};
const DriverTolerance kDriverTolerances[] = {
    {"llvmpipe", {0, 0.0}},
    {"softpipe", {8, 0.0025}},
    {"zink", {0, 0.0}},
};

// The driver of this run: "" for the platform's default.
std::string driver()
{
    const char* d = std::getenv("KX_REFERENCE_DRIVER");
    return d != nullptr ? d : "";
}

class ReferenceFrames : public ::testing::TestWithParam<refcases::Case> {};

TEST_P(ReferenceFrames, RenderSameAsKept)
{
    if (!kxhost::HeadlessGL::displayAvailable())
        GTEST_SKIP() << "no EGL display is available on this machine";
    const refcases::Case& c = GetParam();
    // The kept pictures are the 64-bit build's; a 32-bit build's llvmpipe differs in a few pixels.
    refcases::Tolerance tolerance = sizeof(void*) == 4 ? refcases::kI386Tolerance : refcases::Tolerance{};
    std::string extra;
    if (!driver().empty()) {
        const DriverTolerance* known = nullptr;
        for (const DriverTolerance& t : kDriverTolerances)
            if (driver() == t.driver)
                known = &t;
        ASSERT_NE(known, nullptr) << "no tolerance is known for the driver " << driver();
        tolerance = known->tolerance;
        extra = "--driver " + hostrun::quote(driver());
    }
    const fs::path out = fs::temp_directory_path() /
                         ("reference-" + c.name + (driver().empty() ? "" : "-" + driver()) + "-" +
                          std::to_string(getpid()));
    const std::string failed = refcases::renderCase(FFGLHOST_EXE, kPluginDir, c, out, extra);
    ASSERT_TRUE(failed.empty()) << failed;
    if (refcases::compareFolders(c.name, out, kReferenceDir / c.name, tolerance) && !HasFailure()) {
        fs::remove_all(out);
        fs::remove(out.string() + ".log");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceFrames, ::testing::ValuesIn(refcases::loadCases(kReferenceDir / "cases.txt")),
                         [](const ::testing::TestParamInfo<refcases::Case>& info) {
                             return refcases::testName(info.param);
                         });

// A test binary that finds no cases must not pass silently.
TEST(ReferenceCases, ListIsReadable)
{
    const std::vector<refcases::Case> cases = refcases::loadCases(kReferenceDir / "cases.txt");
    ASSERT_FALSE(cases.empty()) << "no cases in " << kReferenceDir / "cases.txt";
    for (const refcases::Case& c : cases) {
        EXPECT_FALSE(c.every.empty()) << c.name << ": a case needs plug-in, size, frames and every";
        EXPECT_TRUE(fs::exists(kPluginDir / (c.plugin + ".so"))) << c.name << ": no plug-in " << c.plugin;
    }
}

} // namespace
