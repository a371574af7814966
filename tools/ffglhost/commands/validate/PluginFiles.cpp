// The plug-in files of validate's command line (see PluginFiles.h).
#include "commands/validate/PluginFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace ffglhost {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const char kPluginExtension[] = ".dll";
#else
const char kPluginExtension[] = ".so";
#endif

bool hidden(const fs::path& p) { return p.filename().string().rfind('.', 0) == 0; }

// Every plug-in file in `folder` (below it with `recursive`), sorted.
Status listFolder(const std::string& folder, bool recursive, std::vector<std::string>& out)
{
    std::vector<std::string> found;
    std::error_code ec;
    const auto cannot = [&folder](const std::error_code& e) {
        return Status::badInput("cannot read the folder " + folder + ": " + e.message());
    };
    const auto consider = [&found](const fs::directory_entry& entry) {
        std::error_code ignored;
        // A link that leads nowhere is kept: its validation says what is wrong with it.
        if (!entry.is_directory(ignored) && isPluginFileName(entry.path().filename().string()))
            found.push_back(entry.path().string());
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (hidden(it->path())) {
                it.disable_recursion_pending();
                continue;
            }
            consider(*it);
        }
    } else {
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            if (!hidden(it->path()))
                consider(*it);
    }
    if (ec)
        return cannot(ec);
    if (found.empty())
        return Status::badInput("the folder " + folder + " holds no plug-in file (" + kPluginExtension + ")" +
                                (recursive ? ", nor do its sub-folders" : ""));
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
    return Status();
}

} // namespace

bool isPluginFileName(const std::string& name)
{
    const std::string extension = kPluginExtension;
    if (name.size() <= extension.size())
        return false;
    std::string tail = name.substr(name.size() - extension.size());
#ifdef _WIN32
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
#endif
    return tail == extension;
}

Status listPluginFiles(const std::vector<std::string>& paths, bool recursive, std::vector<std::string>& files,
                       bool& folderGiven)
{
    files.clear();
    folderGiven = false;
    for (const std::string& path : paths) {
        std::error_code ec;
        // "X.so" names a plug-in file, even where a folder has that name (that is refused then).
        if (fs::is_directory(path, ec) && !isPluginFileName(fs::path(path).filename().string())) {
            folderGiven = true;
            const Status s = listFolder(path, recursive, files);
            if (!s.ok())
                return s;
        } else {
            files.push_back(path);
        }
    }
    return Status();
}

} // namespace ffglhost
