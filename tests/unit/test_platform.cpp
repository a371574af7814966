// The platform layer's services that need no GL context: the debugger break (reports, then
// carries on when no debugger is attached) and the regular-file test behind folder listings.
#include "KXPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

TEST(Platform, DebuggerBreakReportsAndReturnsWithoutADebugger)
{
    ASSERT_FALSE(KXPlatform::isDebuggerAttached()) << "run the tests without a debugger";
    testing::internal::CaptureStdout();
    KXPlatform::debuggerBreak("texture not bound");
    KXPlatform::debuggerBreak(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Debugger break: texture not bound\nDebugger break: (unnamed precondition)\n");
}

TEST(Platform, OnlyRegularFilesAreRegularFiles)
{
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec) / ("kxplatform-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directory(dir, ec)) << ec.message();
    const fs::path file = dir / "a.txt";
    std::ofstream(file) << "x";

    EXPECT_TRUE(KXPlatform::isRegularFile(file.string().c_str()));
    EXPECT_FALSE(KXPlatform::isRegularFile(dir.string().c_str()));
    EXPECT_FALSE(KXPlatform::isRegularFile((dir / "missing").string().c_str()));
    EXPECT_FALSE(KXPlatform::isRegularFile(nullptr));
    // A link to a regular file is not one itself (where links can be made).
    std::error_code linkError;
    fs::create_symlink(file, dir / "link", linkError);
    if (!linkError) {
        EXPECT_FALSE(KXPlatform::isRegularFile((dir / "link").string().c_str()));
    }

    fs::remove_all(dir, ec);
}

} // namespace
