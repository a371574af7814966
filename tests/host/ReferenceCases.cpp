// Reference cases, rendering and frame comparison (see ReferenceCases.h).
#include "ReferenceCases.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace refcases {

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string testName(const Case& c)
{
    std::string name = c.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

std::string renderCase(const std::string& ffglhost, const fs::path& pluginDir, const Case& c, const fs::path& out,
                       const std::string& extraArgs)
{
    using hostrun::quote;
    fs::remove_all(out);
    std::string cmd = quote(ffglhost) + " render " + quote((pluginDir / (c.plugin + ".so")).string()) + " --size " +
                      c.size + " --frames " + c.frames + " --every " + c.every + " --out " + quote(out.string());
    for (const std::string& i : c.inputs)
        cmd += " --input " + quote(i);
    for (const std::string& s : c.settings)
        cmd += " --set " + quote(s);
    if (!extraArgs.empty())
        cmd += " " + extraArgs;
    cmd += " >" + quote(out.string() + ".log") + " 2>&1";
    const int raw = std::system(cmd.c_str());
    if (WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
        return std::string();
    return cmd + "\nfailed; its output is in " + out.string() + ".log";
}

Difference compare(const hostrun::Image& got, const hostrun::Image& want, int levels)
{
    Difference d;
    d.pixels = static_cast<long>(got.rgba.size() / 4);
    for (std::size_t i = 0; i + 3 < got.rgba.size() && i + 3 < want.rgba.size(); i += 4) {
        int worst = 0;
        for (std::size_t k = 0; k < 4; ++k)
            worst = std::max(worst, std::abs(int(got.rgba[i + k]) - int(want.rgba[i + k])));
        if (worst == 0)
            continue;
        if (d.differing++ == 0) {
            const std::size_t p = i / 4;
            d.firstAt = "(" + std::to_string(p % got.width) + ", " + std::to_string(p / got.width) + ")";
        }
        d.largest = std::max(d.largest, worst);
        if (worst > levels)
            ++d.above;
    }
    return d;
}

bool within(const Difference& d, const Tolerance& t)
{
    return static_cast<double>(d.above) <= t.share * static_cast<double>(d.pixels);
}

std::string describe(const Difference& d, const Tolerance& t)
{
    std::ostringstream s;
    s << d.differing << " of " << d.pixels << " pixels differ";
    if (d.differing > 0)
        s << " (the first at " << d.firstAt << ", by up to " << d.largest << " levels; " << d.above
          << " by more than " << t.levels << ", " << t.share * 100.0 << "% of the picture allowed)";
    return s.str();
}

bool compareFolders(const std::string& caseName, const fs::path& got, const fs::path& want, const Tolerance& t)
{
    const std::vector<std::string> files = pngFilesIn(want);
    if (files.empty()) {
        ADD_FAILURE() << "no pictures in " << want;
        return false;
    }
    bool same = pngFilesIn(got) == files;
    EXPECT_EQ(pngFilesIn(got), files) << "frames written into " << got;
    for (const std::string& file : files) {
        hostrun::Image g, w;
        if (!hostrun::readPng(want / file, w) || !hostrun::readPng(got / file, g)) {
            ADD_FAILURE() << "cannot read " << want / file << " or " << got / file;
            same = false;
        } else if (g.width != w.width || g.height != w.height) {
            ADD_FAILURE() << caseName << "/" << file << ": " << g.width << "x" << g.height << ", expected " << w.width
                          << "x" << w.height;
            same = false;
        } else {
            const Difference d = compare(g, w, t.levels);
            if (d.differing > 0)
                std::printf("%s/%s: %s\n", caseName.c_str(), file.c_str(), describe(d, t).c_str());
            if (!within(d, t)) {
                ADD_FAILURE() << caseName << "/" << file << ": " << describe(d, t) << " (kept in " << got << ")";
                same = false;
            }
        }
    }
    return same;
}

} // namespace refcases
