// The reference cases of tests/reference/cases.txt: which plug-in renders what, and where its
// kept pictures are. Read by the reference test (Linux) and by the Windows host's tests, which
// compare ffglhost.exe's frames with the same pictures. Header only; plain values; any thread.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace reference {

// One line of cases.txt: case  plug-in  size  frames  every  settings (NAME=VALUE, ';' between).
struct Case {
    std::string name;
    std::string plugin;
    std::string size;
    std::string frames;
    std::string every;
    std::vector<std::string> settings; // NAME=VALUE
};

inline std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Every case of `folder`/cases.txt, in file order (comments and blank lines skipped).
inline std::vector<Case> loadCases(const std::filesystem::path& folder)
{
    std::vector<Case> cases;
    std::ifstream in(folder / "cases.txt");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Case c;
        if (!(fields >> c.name) || c.name[0] == '#')
            continue;
        fields >> c.plugin >> c.size >> c.frames >> c.every;
        std::string rest;
        std::getline(fields, rest);
        std::istringstream pairs(rest);
        for (std::string pair; std::getline(pairs, pair, ';');)
            if (!trim(pair).empty())
                c.settings.push_back(trim(pair));
        cases.push_back(c);
    }
    return cases;
}

// The kept PNG files of a case folder, sorted by name.
inline std::vector<std::string> pngFilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> files;
    if (std::filesystem::is_directory(folder))
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.path().extension() == ".png")
                files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace reference
