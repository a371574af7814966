// The 32-bit build against the 64-bit one (built only where the build names the other one,
// KX_COMPARE_BUILD_DIR): both render the same pictures for the same settings, and neither host
// loads the other's plug-in (a process cannot call into code of another word size).
#include "HeadlessGL.h"
#include "HostRun.h"
#include "ReferenceCases.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One build: its host program and its plug-in folder.
struct Build {
    const char* name;
    std::string ffglhost;
    fs::path plugins;
};
const Build kThis{THIS_WORDS, FFGLHOST_EXE, PLUGIN_DIR};
const Build kOther{OTHER_WORDS, OTHER_FFGLHOST_EXE, OTHER_PLUGIN_DIR};

// A longer run at the host's default size than the kept reference cases (which this build's
// test_reference_frames already compares with the 64-bit pictures): more frames for the effect's
// arithmetic to drift apart if it were computed differently, at the size hosts render.
std::vector<refcases::Case> comparedCases() { return {{"long-default", "Quorus", "1280x720", "90", "45", {}, {}}}; }

class BuildsRenderAlike : public ::testing::TestWithParam<refcases::Case> {};

// Same settings, same frames: the pictures of the two builds agree within what the 32-bit
// rasteriser changes (see kI386Tolerance).
TEST_P(BuildsRenderAlike, FramesMatch)
{
    if (!kxhost::HeadlessGL::displayAvailable())
        GTEST_SKIP() << "no EGL display is available on this machine";
    const refcases::Case& c = GetParam();
    const fs::path base = fs::temp_directory_path() / ("builds-" + c.name + "-" + std::to_string(getpid()));
    const fs::path mine = base / kThis.name;
    const fs::path other = base / kOther.name;
    ASSERT_TRUE(fs::create_directories(base));
    std::string failed = refcases::renderCase(kThis.ffglhost, kThis.plugins, c, mine);
    ASSERT_TRUE(failed.empty()) << failed;
    failed = refcases::renderCase(kOther.ffglhost, kOther.plugins, c, other);
    ASSERT_TRUE(failed.empty()) << failed;
    if (refcases::compareFolders(c.name, mine, other, refcases::kI386Tolerance) && !HasFailure())
        fs::remove_all(base);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildsRenderAlike, ::testing::ValuesIn(comparedCases()),
                         [](const ::testing::TestParamInfo<refcases::Case>& info) {
                             return refcases::testName(info.param);
                         });

class OtherWordSize : public hostrun::HostTest {
protected:
    // The standard error lines of `host` running "info" on `plugin`'s Quorus.so; its exit status
    // and standard output go to `status` and `out`.
    std::vector<std::string> info(const Build& host, const Build& plugin, int& status, std::string& out)
    {
        const std::string cmd = hostrun::quote(host.ffglhost) + " info " +
                                hostrun::quote((plugin.plugins / "Quorus.so").string()) + " >" +
                                hostrun::quote((work() / "out.txt").string()) + " 2>" +
                                hostrun::quote((work() / "err.txt").string());
        const int raw = std::system(cmd.c_str());
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        out = hostrun::readFile(work() / "out.txt");
        return hostrun::lines(hostrun::readFile(work() / "err.txt"));
    }
    const std::pair<const Build*, const Build*> pairs_[2] = {{&kThis, &kOther}, {&kOther, &kThis}};
};

// Each host given the other build's plug-in: bad input, one line, nothing reported.
TEST_F(OtherWordSize, HostRefusesThePlugInWithOneLine)
{
    for (const auto& [host, plugin] : pairs_) {
        SCOPED_TRACE(std::string(host->name) + " host, " + plugin->name + " plug-in");
        int status = 0;
        std::string out;
        const std::vector<std::string> err = info(*host, *plugin, status, out);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(err.size(), 1u);
        EXPECT_EQ(out, "");
    }
}

// The line says what is wrong in the host's terms: both word sizes, before the plug-in's file is
// handed to the dynamic loader.
TEST_F(OtherWordSize, TheLineNamesBothWordSizes)
{
    for (const auto& [host, plugin] : pairs_) {
        SCOPED_TRACE(std::string(host->name) + " host, " + plugin->name + " plug-in");
        int status = 0;
        std::string out;
        const std::vector<std::string> err = info(*host, *plugin, status, out);
        ASSERT_EQ(err.size(), 1u);
        EXPECT_NE(err[0].find("32-bit"), std::string::npos) << err[0];
        EXPECT_NE(err[0].find("64-bit"), std::string::npos) << err[0];
    }
}

} // namespace
