// What --input names (see InputFactory.h).
#include "inputs/InputFactory.h"

#include "inputs/ImageFile.h"
#include "inputs/ImageInput.h"
#include "inputs/PatternInput.h"
#ifndef _WIN32
#include "inputs/VideoInput.h"
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ffglhost {

namespace {

// Bytes read from the start of a file to tell what it is.
constexpr std::size_t kSniffBytes = 16;

std::string lowerExtension(const std::string& path)
{
    std::string e = std::filesystem::path(path).extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

bool isSharedObject(const unsigned char* b, std::size_t n)
{
    const bool elf = n >= 4 && b[0] == 0x7f && b[1] == 'E' && b[2] == 'L' && b[3] == 'F';
    const bool pe = n >= 2 && b[0] == 'M' && b[1] == 'Z';
    return elf || pe;
}

Status checkPattern(const std::string& source)
{
    Pattern p;
    const std::string name = source.substr(std::strlen(kPatternPrefix));
    if (!findPattern(name, p))
        return Status::badInput("--input " + source + ": there is no pattern \"" + name +
                                "\" (patterns: " + patternNames() + ")");
    return Status();
}

} // namespace

const char* inputKindName(InputKind kind)
{
    switch (kind) {
    case InputKind::Pattern: return "pattern";
    case InputKind::Image: return "image";
    case InputKind::Video: return "video";
    case InputKind::Plugin: return "plug-in";
    }
    return "input";
}

Status classifyInput(const std::string& source, InputKind& kind)
{
    if (source.rfind(kPatternPrefix, 0) == 0) {
        kind = InputKind::Pattern;
        return checkPattern(source);
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(source, ec);
    if (source.find("://") != std::string::npos && !fs::exists(st)) {
        kind = InputKind::Video;
    } else if (!fs::exists(st)) {
        return Status::badInput("--input " + source + ": no such file (inputs are image, video and plug-in files, "
                                "or pattern:NAME)");
    } else if (fs::is_directory(st)) {
        return Status::badInput("--input " + source + ": is a folder, not an image, a video or a plug-in");
    } else if (fs::is_character_file(st)) {
        kind = InputKind::Video; // a camera
    } else {
        unsigned char head[kSniffBytes] = {};
        std::size_t n = 0;
        if (std::FILE* f = std::fopen(source.c_str(), "rb")) {
            n = std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        } else {
            return Status::badInput("--input " + source + ": cannot read it: " + std::strerror(errno));
        }
        const std::string ext = lowerExtension(source);
        if (sniffImageFormat(head, n) != ImageFormat::None || ext == ".png" || ext == ".jpg" || ext == ".jpeg")
            kind = InputKind::Image;
        else if (isSharedObject(head, n) || ext == ".so" || ext == ".dll")
            kind = InputKind::Plugin;
        else
            kind = InputKind::Video;
    }
#ifdef _WIN32
    if (kind == InputKind::Video)
        return Status::badInput("--input " + source + ": this ffglhost reads images, patterns and plug-ins as inputs; "
                                "videos and cameras need the Linux build (ffmpeg)");
#endif
    return Status();
}

Status makeInputSource(const std::string& source, InputKind kind, std::unique_ptr<InputSource>& out)
{
    out.reset();
    switch (kind) {
    case InputKind::Pattern: {
        Pattern p = Pattern::Card;
        (void)findPattern(source.substr(std::strlen(kPatternPrefix)), p);
        out = std::make_unique<PatternInput>(p);
        return checkPattern(source);
    }
    case InputKind::Image: out = std::make_unique<ImageInput>(source); return Status();
    case InputKind::Video:
#ifdef _WIN32
        break;
#else
        out = std::make_unique<VideoInput>(source);
        return Status();
#endif
    case InputKind::Plugin: break;
    }
    return Status::failed("--input " + source + ": no source of this kind here");
}

} // namespace ffglhost
