// Memory that ends where an inaccessible page begins, for tests and fuzz targets that must see a
// read past the end of a buffer at once (a fault), even inside libraries that the sanitizers do
// not instrument.
//
// GuardedMemory owns one anonymous mapping: capacity bytes rounded up to whole pages, then one
// page with no access. tail(n) hands out the last n bytes before that page; they stay valid until
// the next tail() or the object's end. Header only; no GL; one thread per object.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

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
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t usable = (capacity + page - 1) / page * page;
        void* base = mmap(nullptr, usable + page, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            return false;
        base_ = static_cast<char*>(base);
        usable_ = usable;
        mapped_ = usable + page;
        if (mprotect(base_ + usable_, page, PROT_NONE) != 0) {
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
    void unmap()
    {
        if (base_ != nullptr)
            munmap(base_, mapped_);
        base_ = nullptr;
        usable_ = mapped_ = 0;
    }

    char* base_ = nullptr;
    std::size_t usable_ = 0; // bytes before the guard page
    std::size_t mapped_ = 0;
};
