#pragma once
// Memory for large caches whose parts live and die together. It comes in
// big regions of zeroed pages that the system may back with huge pages, so
// that filling a cache of hundreds of megabytes does not pay one page fault
// per 4 KiB.

#include <cstddef>
#include <vector>

namespace platform {

class MemoryArena {
public:
    MemoryArena() = default;
    ~MemoryArena();
    MemoryArena(MemoryArena &&other) noexcept;
    MemoryArena &operator=(MemoryArena &&other) noexcept;
    MemoryArena(const MemoryArena &) = delete;
    MemoryArena &operator=(const MemoryArena &) = delete;

    /// `size` zero-filled bytes aligned to 16, valid until the arena goes.
    /// Throws std::bad_alloc when the system has no more memory.
    std::byte *allocate(size_t size);

private:
    struct Region {
        std::byte *base;
        size_t size;
    };
    void release();

    std::vector<Region> m_regions;
    size_t m_used = 0; ///< bytes handed out from the last region
    size_t m_reserved = 0;
};

} // namespace platform
