// The table of temporary output files (see TemporaryFiles.h).
#include "worker/TemporaryFiles.h"

#include <unistd.h>

#include <cstring>

namespace ffglhost {

namespace {

TemporaryFiles g_privateTable;
std::atomic<TemporaryFiles*> g_active{&g_privateTable};

} // namespace

TemporaryFiles::TemporaryFiles() = default;

int TemporaryFiles::add(const std::string& path)
{
    if (path.empty() || path.size() >= kTemporaryPathCapacity)
        return -1;
    for (std::size_t i = 0; i < kTemporaryFileSlots; ++i) {
        uint32_t expected = kFree;
        if (!slots_[i].state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire))
            continue;
        std::memcpy(slots_[i].path, path.c_str(), path.size() + 1);
        // Published with the path: whoever sees the slot live reads the whole name.
        slots_[i].state.store(kLive, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void TemporaryFiles::drop(int slot)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= kTemporaryFileSlots)
        return;
    slots_[slot].state.store(kFree, std::memory_order_release);
}

int TemporaryFiles::removeAll()
{
    int removed = 0;
    for (Slot& s : slots_) {
        if (s.state.load(std::memory_order_acquire) == kLive && unlink(s.path) == 0)
            ++removed;
        s.state.store(kFree, std::memory_order_release);
    }
    return removed;
}

void TemporaryFiles::clear()
{
    for (Slot& s : slots_)
        s.state.store(kFree, std::memory_order_release);
}

TemporaryFiles& temporaryFiles() { return *g_active.load(std::memory_order_relaxed); }

void useTemporaryFiles(TemporaryFiles* table)
{
    g_active.store(table != nullptr ? table : &g_privateTable, std::memory_order_relaxed);
}

} // namespace ffglhost
