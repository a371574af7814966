// What a render settles before anything is drawn: --set settings resolved against a plug-in's
// parameter table, output paths checked against the file system, and the names of the files it
// writes. Shared by the single and the side-by-side render. Plain values; one thread; no GL
// context needed.
#pragma once

#include "Options.h"
#include "Status.h"
#include "plugin/PluginDescription.h"

#include <string>
#include <vector>

namespace ffglhost {

// A --set resolved against the plug-in's parameter table. `parameter` points into the
// PluginDescription it was resolved against.
struct ResolvedSetting {
    const ParameterInfo* parameter;
    float value;
};

// Bad input when a name is not a parameter of `d` or names one that takes no 0..1 value.
Status resolveSettings(const PluginDescription& d, const std::vector<ParameterSetting>& settings,
                       std::vector<ResolvedSetting>& out);

// Refuses an output that cannot be created: a file path naming a folder, a folder path naming a
// file, or a path below something that is not a folder. `option` names it in messages.
Status checkOutputPath(const std::string& path, bool folder, const std::string& option = "--out");

// "frame_00042.png": the file of frame `frame` in an --every folder.
std::string frameFileName(int frame);

// `pluginName` with every character that does not belong in a file name replaced by '_';
// "plugin" for a name of dots only (or an empty one).
std::string fileStem(const std::string& pluginName);

} // namespace ffglhost
