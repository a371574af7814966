// Running the ffglhost program from a test: each test gets its own empty working folder (so
// "nothing written" means that folder stays empty) and a folder for the input files it makes;
// ffglhost runs there with its standard output, standard error and exit status captured. Also
// reading back the PNG files it writes. For the host tests of the validator and of side-by-side
// rendering; one thread.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace hostrun {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // rows top-down
    std::array<int, 4> at(int x, int y) const;
};

// False when the file is missing or no PNG.
bool readPng(const std::filesystem::path& path, Image& image);
std::vector<std::string> lines(const std::string& text);
std::string readFile(const std::filesystem::path& p);
// `s` quoted for the shell.
std::string quote(const std::string& s);

// Skips the test when the machine has no EGL display.
#define HOSTRUN_REQUIRE_DISPLAY()                                                                \
    if (!kxhost::HeadlessGL::displayAvailable())                                                 \
        GTEST_SKIP() << "no EGL display is available on this machine";

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path work() const { return root_ / "work"; }
    std::filesystem::path inputs() const { return root_ / "inputs"; }

    // Runs ffglhost with `args` in work(), with `env` ("NAME=value ...") in front.
    Result host(const std::vector<std::string>& args, const std::string& env = std::string()) const;
    // Every file below work(), relative to it, sorted.
    std::vector<std::string> written() const;

private:
    std::filesystem::path root_;
};

} // namespace hostrun
