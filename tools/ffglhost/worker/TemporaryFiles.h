// The table of output files being written under a temporary name right now (output/PendingFile.h),
// kept where the supervising process can read it: when the worker crashes or hangs, the
// supervisor removes every file still named here, so that no half-written picture or video is
// left behind.
//
// Plain lock-free atomics and characters, no pointers, so that the table can live in memory
// shared between processes. Any thread of the worker may add and drop entries (the PNG workers
// do); the supervisor reads it only once the worker is gone. Every process has one active
// table, temporaryFiles(): a private one until useTemporaryFiles() points it elsewhere.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ffglhost {

// Files in flight at once: the PNG worker threads, the last frame and a video, with room.
constexpr std::size_t kTemporaryFileSlots = 16;
// Longest path kept (PATH_MAX on Linux); a longer one is written but cannot be named here.
constexpr std::size_t kTemporaryPathCapacity = 4096;

class TemporaryFiles {
public:
    TemporaryFiles();
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    // Notes `path` before the file is created; the slot, or -1 when the table is full or the
    // path too long.
    int add(const std::string& path);
    // The file was renamed into place or removed. -1 is ignored.
    void drop(int slot);

    // Removes every file still named and empties the table; how many were removed. For the
    // supervisor, once the worker is gone.
    int removeAll();
    // Forgets every entry without touching the files (a new worker starts with an empty table).
    void clear();

private:
    enum SlotState : uint32_t { kFree, kClaimed, kLive };
    struct Slot {
        std::atomic<uint32_t> state{kFree};
        char path[kTemporaryPathCapacity] = {};
    };
    static_assert(std::atomic<uint32_t>::is_always_lock_free, "shared between processes: no locks");

    Slot slots_[kTemporaryFileSlots];
};

// The active table of this process: the private one (alive as long as the process) or the one
// last given to useTemporaryFiles().
TemporaryFiles& temporaryFiles();
// Makes `table` the active one (nullptr: the private one again). `table` outlives its use.
void useTemporaryFiles(TemporaryFiles* table);

} // namespace ffglhost
