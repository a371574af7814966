// Output files renamed into place when complete (see PendingFile.h).
#include "output/PendingFile.h"

#include "worker/TemporaryFiles.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ffglhost {

namespace {

std::atomic<unsigned> g_counter{0};

std::string temporaryNameFor(const std::string& path)
{
    const std::filesystem::path p(path);
    const std::string name = "." + p.stem().string() + ".partial-" + std::to_string(getpid()) + "-" +
                             std::to_string(g_counter.fetch_add(1)) + p.extension().string();
    return (p.parent_path() / name).string();
}

} // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), temporary_(temporaryNameFor(path_))
{
    slot_ = temporaryFiles().add(temporary_);
}

Status PendingFile::commit()
{
    if (!open_)
        return Status::failed("cannot write " + path_ + ": the file was already finished");
    // std::filesystem replaces a file already at the path on Windows too (std::rename does not there).
    std::error_code ec;
    std::filesystem::rename(temporary_, path_, ec);
    if (ec) {
        const std::string why = ec.message();
        discard();
        return Status::failed("cannot rename " + temporary_ + " to " + path_ + ": " + why);
    }
    open_ = false;
    temporaryFiles().drop(slot_);
    slot_ = -1;
    return Status();
}

void PendingFile::discard()
{
    if (!open_)
        return;
    open_ = false;
    std::remove(temporary_.c_str());
    temporaryFiles().drop(slot_);
    slot_ = -1;
}

Status createParentFolder(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    if (ec)
        return Status::failed("cannot create the folder " + parent.string() + ": " + ec.message());
    return Status();
}

} // namespace ffglhost
