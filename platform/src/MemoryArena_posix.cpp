#include "platform/MemoryArena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kLargestRegion = size_t(64) << 20;
constexpr size_t kAlignment = 16;

size_t roundUp(size_t value, size_t unit)
{
    return (value + unit - 1) / unit * unit;
}

// A region aligned to the huge page size, so that every 2 MiB of it can be
// one page; anonymous pages come zero-filled.
std::byte *mapRegion(size_t size)
{
    void *mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    auto start = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t aligned = roundUp(start, kHugePage);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (size_t tail = kHugePage - (aligned - start))
        munmap(reinterpret_cast<void *>(aligned + size), tail);
    // Only advice: without huge pages the region works the same.
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<std::byte *>(aligned);
}

// Regions of arenas that went away, kept for the next arena: a dataset that
// is closed and opened again then refills pages it has already touched,
// which costs far less than fresh pages from the system.
class RegionPool {
public:
    static constexpr size_t kKeptBytes = size_t(512) << 20;

    /// A kept region of exactly `size` bytes, zero-filled again, or null.
    std::byte *take(size_t size)
    {
        std::lock_guard lock(m_mutex);
        auto found = std::find_if(m_regions.begin(), m_regions.end(),
                                  [&](const auto &region) { return region.second == size; });
        if (found == m_regions.end())
            return nullptr;
        std::byte *base = found->first;
        m_kept -= size;
        m_regions.erase(found);
        std::memset(base, 0, size);
        return base;
    }

    void give(std::byte *base, size_t size)
    {
        std::lock_guard lock(m_mutex);
        if (m_kept + size > kKeptBytes) {
            munmap(base, size);
            return;
        }
        m_regions.emplace_back(base, size);
        m_kept += size;
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<std::byte *, size_t>> m_regions;
    size_t m_kept = 0;
};

RegionPool &regionPool()
{
    static RegionPool *pool = new RegionPool; // outlives every arena, even static ones
    return *pool;
}

std::byte *newRegion(size_t size)
{
    std::byte *kept = regionPool().take(size);
    return kept ? kept : mapRegion(size);
}

} // namespace

MemoryArena::~MemoryArena()
{
    release();
}

MemoryArena::MemoryArena(MemoryArena &&other) noexcept
    : m_regions(std::move(other.m_regions)), m_used(std::exchange(other.m_used, 0)),
      m_reserved(std::exchange(other.m_reserved, 0))
{
    other.m_regions.clear();
}

MemoryArena &MemoryArena::operator=(MemoryArena &&other) noexcept
{
    if (this != &other) {
        release();
        m_regions = std::move(other.m_regions);
        other.m_regions.clear();
        m_used = std::exchange(other.m_used, 0);
        m_reserved = std::exchange(other.m_reserved, 0);
    }
    return *this;
}

void MemoryArena::release()
{
    for (const Region &region : m_regions)
        regionPool().give(region.base, region.size);
    m_regions.clear();
    m_used = 0;
    m_reserved = 0;
}

std::byte *MemoryArena::allocate(size_t size)
{
    size = roundUp(std::max<size_t>(size, 1), kAlignment);
    if (m_regions.empty() || m_regions.back().size - m_used < size) {
        // Regions grow with the arena, so a small cache stays small and a
        // large one needs few regions.
        size_t regionSize = std::clamp(m_reserved, kHugePage, kLargestRegion);
        regionSize = std::max(regionSize, roundUp(size, kHugePage));
        m_regions.push_back({newRegion(regionSize), regionSize});
        m_reserved += regionSize;
        m_used = 0;
    }
    std::byte *place = m_regions.back().base + m_used;
    m_used += size;
    return place;
}

} // namespace platform
