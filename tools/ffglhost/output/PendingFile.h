// An output file written under a temporary name in its own folder and renamed into place when
// complete: a file that exists under its real name is always whole, and a file already there
// stays untouched until the new one is finished. The temporary name keeps the extension
// (".frame_00003.partial-1234-0.png", ".clip.partial-1234-1.mp4") so that programs which
// choose a format by extension (ffmpeg) choose the same one, and is noted in the active
// TemporaryFiles table while the file exists, so that a supervisor can remove it when the
// process dies.
//
// Ownership: a PendingFile owns its temporary file; destroyed before commit(), it removes it.
// Any thread; one object per thread.
#pragma once

#include "Status.h"

#include <string>

namespace ffglhost {

class PendingFile {
public:
    explicit PendingFile(std::string path);
    ~PendingFile() { discard(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The final path, and the name to write the contents under.
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Renames the temporary file to the final path (replacing a file there). A failure removes
    // the temporary file and names both paths.
    Status commit();
    // Removes the temporary file, if it is still there.
    void discard();

private:
    std::string path_;
    std::string temporary_;
    int slot_ = -1;
    bool open_ = true; // neither committed nor discarded yet
};

// Creates the folder `path` goes into, and the folders above it, where missing. A failure names
// the folder.
Status createParentFolder(const std::string& path);

} // namespace ffglhost
