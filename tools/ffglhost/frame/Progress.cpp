// Terminal progress bar (see Progress.h).
#include "frame/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace ffglhost {

namespace {

constexpr int kBarWidth = 40;

} // namespace

Progress::Progress(int total) : total_(total > 0 ? total : 1), enabled_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { finish(); }

void Progress::update(int done)
{
    // Redraws once per percent (and for the last frame), so fast plug-ins do not spend their
    // time on the terminal.
    const int percent = static_cast<int>(static_cast<long long>(done) * 100 / total_);
    if (!enabled_ || (percent == lastDrawn_ && done != total_))
        return;
    lastDrawn_ = percent;
    const int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / total_);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %d/%d frames", bar.c_str(), done, total_);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::finish()
{
    if (drawn_)
        std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
    enabled_ = false;
}

} // namespace ffglhost
