// Memory that ends where an inaccessible page begins, for tests and fuzz targets that must see a
// read past the end of a buffer at once (a fault), even inside libraries that the sanitizers do
// not instrument.
//
// GuardedMemory owns one anonymous mapping (mmap, or VirtualAlloc on Windows): capacity bytes
// rounded up to whole pages, then one page with no access. tail(n) hands out the last n bytes before that page; they stay valid until
// the next tail() or the object's end. Header only; no GL; one thread per object.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstddef>

class GuardedMemory {
public:
    GuardedMemory() = default;
    explicit GuardedMemory(std::size_t capacity) { reserve(capacity); }
    ~GuardedMemory() { unmap(); }

    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    // Makes room for at least `capacity` bytes before the guard page; false when the system
    // refuses the mapping (the object then holds none).
    bool reserve(std::size_t capacity)
    {
        if (base_ != nullptr && capacity <= usable_)
            return true;
        unmap();
        const std::size_t page = pageSize();
        const std::size_t usable = (capacity + page - 1) / page * page;
        void* base = map(usable + page);
        if (base == nullptr)
            return false;
        base_ = static_cast<char*>(base);
        usable_ = usable;
        mapped_ = usable + page;
        if (!protect(base_ + usable_, page)) {
            unmap();
            return false;
        }
        return true;
    }

    // The last `size` bytes before the guard page (growing the mapping when needed), or null.
    char* tail(std::size_t size)
    {
        if (!reserve(size))
            return nullptr;
        return base_ + usable_ - size;
    }

private:
#ifdef _WIN32
    static std::size_t pageSize()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwPageSize;
    }
    static void* map(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }
    static bool protect(char* at, std::size_t bytes)
    {
        DWORD old = 0;
        return VirtualProtect(at, bytes, PAGE_NOACCESS, &old) != 0;
    }
    void unmap()
    {
        if (base_ != nullptr)
            VirtualFree(base_, 0, MEM_RELEASE);
        base_ = nullptr;
        usable_ = mapped_ = 0;
    }
#else
    static std::size_t pageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }
    static void* map(std::size_t bytes)
    {
        void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return base == MAP_FAILED ? nullptr : base;
    }
    static bool protect(char* at, std::size_t bytes) { return mprotect(at, bytes, PROT_NONE) == 0; }
    void unmap()
    {
        if (base_ != nullptr)
            munmap(base_, mapped_);
        base_ = nullptr;
        usable_ = mapped_ = 0;
    }
#endif

    char* base_ = nullptr;
    std::size_t usable_ = 0; // bytes before the guard page
    std::size_t mapped_ = 0;
};
