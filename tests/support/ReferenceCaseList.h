// The reference cases of tests/reference/cases.txt, read the same way on every platform: which
// plug-in renders what, and the kept pictures of a case. The Linux picture tests build on it
// (tests/host/ReferenceCases.h: rendering and comparing), and the Windows host's tests compare
// ffglhost.exe's frames with the same pictures. Header only; plain values; any thread.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace refcases {

// One line of cases.txt: case  plug-in  size  frames  every  [in:SOURCE]...  settings
// (NAME=VALUE, ';' between). Each in:SOURCE is an --input of the plug-in: pattern:NAME, or a
// file named relative to the repository.
struct Case {
    std::string name;
    std::string plugin;
    std::string size;
    std::string frames;
    std::string every;
    std::vector<std::string> inputs;   // pattern:NAME or an absolute path
    std::vector<std::string> settings; // NAME=VALUE
};

// Every case of `casesFile` (tests/reference/cases.txt of a repository), in file order
// (comments and blank lines skipped).
inline std::vector<Case> loadCases(const std::filesystem::path& casesFile)
{
    const std::filesystem::path repository = std::filesystem::absolute(casesFile).parent_path().parent_path().parent_path();
    auto trim = [](const std::string& s) {
        const auto first = s.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            return std::string();
        return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
    };
    std::vector<Case> cases;
    std::ifstream in(casesFile);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Case c;
        if (!(fields >> c.name) || c.name[0] == '#')
            continue;
        fields >> c.plugin >> c.size >> c.frames >> c.every;
        std::string rest;
        std::getline(fields, rest);
        for (std::string::size_type at = rest.find_first_not_of(" \t"); at != std::string::npos &&
                                                                          rest.compare(at, 3, "in:") == 0;
             at = rest.find_first_not_of(" \t")) {
            const std::string::size_type end = rest.find_first_of(" \t", at);
            const std::string source = rest.substr(at + 3, end == std::string::npos ? std::string::npos : end - at - 3);
            c.inputs.push_back(source.rfind("pattern:", 0) == 0 ? source : (repository / source).string());
            rest = end == std::string::npos ? std::string() : rest.substr(end);
        }
        std::istringstream pairs(rest);
        for (std::string pair; std::getline(pairs, pair, ';');)
            if (!trim(pair).empty())
                c.settings.push_back(trim(pair));
        cases.push_back(c);
    }
    return cases;
}

// The .png file names in `folder`, sorted.
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

} // namespace refcases
