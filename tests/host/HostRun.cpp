// Running ffglhost from tests (see HostRun.h).
#include "HostRun.h"

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace hostrun {

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readFile(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::array<int, 4> Image::at(int x, int y) const
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

bool readPng(const fs::path& path, Image& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.assign(PNG_IMAGE_SIZE(png), 0);
    if (png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) == 0) {
        png_image_free(&png);
        return false;
    }
    return true;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);)
        out.push_back(line);
    return out;
}

void HostTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("ffglhost-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(work());
    fs::create_directories(inputs());
}

void HostTest::TearDown() { fs::remove_all(root_); }

Result HostTest::host(const std::vector<std::string>& args, const std::string& env) const
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

std::vector<std::string> HostTest::written() const
{
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(work()))
        if (!e.is_directory())
            files.push_back(fs::relative(e.path(), work()).string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace hostrun
