// The plug-in files that `ffglhost validate PATH...` names. A PATH that is a folder stands for
// every plug-in file in it (.so; .dll on Windows, in any case), with `recursive` in its
// sub-folders too, in sorted order; entries whose names start with '.' are passed over (hidden
// files, the temporary files of output/PendingFile.h). Any other PATH is one plug-in file, kept
// as given even when it does not exist: it is reported as a plug-in that could not be loaded. So
// is a folder whose name ends like a plug-in file's ("X.so"): it is refused as no plug-in file.
// Symbolic links to files count as files; links to folders are not followed.
//
// Plain functions; one thread; no GL.
#pragma once

#include "Status.h"

#include <string>
#include <vector>

namespace ffglhost {

// The files of `paths`, in the order of `paths` (each folder's in sorted order). `folderGiven`
// tells whether a PATH was a folder. Bad input, one line, for a folder that cannot be read or
// that holds no plug-in file.
Status listPluginFiles(const std::vector<std::string>& paths, bool recursive, std::vector<std::string>& files,
                       bool& folderGiven);

// Whether a file name ends the way plug-ins of this platform do.
bool isPluginFileName(const std::string& name);

} // namespace ffglhost
