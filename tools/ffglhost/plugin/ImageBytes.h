// Random access to the bytes of a plug-in file whose headers are checked before it is loaded
// (SharedObjectCheck.h): the file itself, or bytes in memory in the tests. Reads only; one thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ffglhost {

class ImageBytes {
public:
    virtual ~ImageBytes() = default;
    virtual uint64_t size() const = 0;
    // Copies `bytes` bytes from `offset` into `out`; false when they are not all there or cannot
    // be read.
    virtual bool readAt(void* out, std::size_t bytes, uint64_t offset) const = 0;
};

// Whether [offset, offset + bytes) lies inside `size` bytes, without overflow.
inline bool insideImage(uint64_t offset, uint64_t bytes, uint64_t size)
{
    return offset <= size && bytes <= size - offset;
}

} // namespace ffglhost
