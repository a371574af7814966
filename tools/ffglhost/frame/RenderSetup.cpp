// Settings, output paths and file names of a render (see RenderSetup.h).
#include "frame/RenderSetup.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ffglhost {

namespace {

// Capacity of a frame file name, "frame_0000010.png" and terminator.
constexpr std::size_t kFrameNameCapacity = 32;

} // namespace

Status resolveSettings(const PluginDescription& d, const std::vector<ParameterSetting>& settings,
                       std::vector<ResolvedSetting>& out)
{
    out.clear();
    for (const ParameterSetting& s : settings) {
        const ParameterInfo* p = findParameter(d, s.name);
        if (p == nullptr) {
            std::string names;
            for (const ParameterInfo& q : d.parameters)
                names += (names.empty() ? "" : ", ") + printable(q.name);
            return Status::badInput("--set: " + printable(d.name) + " has no parameter \"" + printable(s.name) +
                                    "\" (parameters: " + (names.empty() ? "none" : names) + ")");
        }
        if (!takesHostValue(*p))
            return Status::badInput("--set: parameter \"" + printable(s.name) + "\" is a " +
                                    parameterTypeName(p->type) + " parameter; only numeric parameters take 0..1");
        out.push_back(ResolvedSetting{p, s.value});
    }
    return Status();
}

Status checkOutputPath(const std::string& path, bool folder, const std::string& option)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    if (fs::exists(target, ec)) {
        if (folder && !fs::is_directory(target, ec))
            return Status::badInput(option + " " + path + " exists and is not a folder");
        if (!folder && fs::is_directory(target, ec))
            return Status::badInput(option + " " + path + " is a folder; give the path of a " +
                                    (option == "--out" ? ".png file" : "file"));
    }
    for (fs::path p = target.parent_path(); !p.empty(); p = p.parent_path()) {
        if (fs::exists(p, ec)) {
            if (!fs::is_directory(p, ec))
                return Status::badInput(option + " " + path + ": " + p.string() + " is not a folder");
            break;
        }
        if (p == p.parent_path())
            break;
    }
    return Status();
}

std::string frameFileName(int frame)
{
    char name[kFrameNameCapacity];
    std::snprintf(name, sizeof name, "frame_%05d.png", frame);
    return name;
}

std::string fileStem(const std::string& pluginName)
{
    std::string stem = pluginName;
    for (char& ch : stem) {
        const unsigned char u = static_cast<unsigned char>(ch);
        const bool keep = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '-' ||
                          u == '_' || u == '.';
        if (!keep)
            ch = '_';
    }
    if (stem.find_first_not_of('.') == std::string::npos)
        stem = "plugin";
    return stem;
}

} // namespace ffglhost
