// The plug-in file check before loading (see SharedObjectCheck.h): what every platform asks of
// the file, then the check of its own library format.
#include "plugin/SharedObjectCheck.h"

#ifdef _WIN32
#include "plugin/PeImageCheck.h"
#else
#include "plugin/ElfImageCheck.h"
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace ffglhost {

namespace {

namespace fs = std::filesystem;

// The bytes of an open file.
class FileBytes : public ImageBytes {
public:
    FileBytes(std::ifstream& in, uint64_t size) : in_(in), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(void* out, std::size_t bytes, uint64_t offset) const override
    {
        if (!insideImage(offset, bytes, size_))
            return false;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(bytes));
        return in_.gcount() == static_cast<std::streamsize>(bytes);
    }

private:
    std::ifstream& in_;
    uint64_t size_;
};

Status checkImage(const ImageBytes& file, const std::string& path)
{
#ifdef _WIN32
    return checkPeImage(file, path);
#else
    return checkElfImage(file, path);
#endif
}

} // namespace

std::string hostObjectKind()
{
#ifdef _WIN32
    return peHostKind();
#else
    return elfHostKind();
#endif
}

Status checkSharedObject(const std::string& path)
{
    std::error_code ec;
    const fs::path file(path);
    const fs::file_status st = fs::status(file, ec);
    if (st.type() == fs::file_type::not_found)
        return Status::badInput(path + ": no such file");
    if (ec)
        return Status::badInput(path + " cannot be read: " + ec.message());
    if (st.type() == fs::file_type::directory)
        return Status::badInput(path + " is a folder, not a plug-in file");
    if (st.type() != fs::file_type::regular)
        return Status::badInput(path + ": not a regular file");
    const uintmax_t size = fs::file_size(file, ec);
    if (ec)
        return Status::badInput(path + " cannot be read: " + ec.message());
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open())
        return Status::badInput(path + " cannot be read: " + (errno != 0 ? std::strerror(errno) : "open failed"));
    if (size == 0)
        return Status::badInput(path + " is not an FFGL plug-in: the file is empty");
    return checkImage(FileBytes(in, size), path);
}

} // namespace ffglhost
