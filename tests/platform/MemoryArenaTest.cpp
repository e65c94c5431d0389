#include "platform/MemoryArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

TEST(MemoryArena, HandsOutZeroedAlignedSeparateBlocks)
{
    platform::MemoryArena arena;
    std::vector<std::pair<std::byte *, size_t>> blocks;
    // Small blocks, one larger than a whole region, then small ones again.
    for (size_t size : {size_t(1), size_t(100), size_t(70000), size_t(5) << 20, size_t(3000)}) {
        for (int i = 0; i < 50; ++i) {
            std::byte *block = arena.allocate(size);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
            EXPECT_TRUE(
                std::all_of(block, block + size, [](std::byte b) { return b == std::byte{0}; }));
            std::memset(block, 0xAB, size);
            blocks.emplace_back(block, size);
        }
    }
    // Writing every block left every other block's bytes alone.
    for (auto [block, size] : blocks)
        EXPECT_TRUE(
            std::all_of(block, block + size, [](std::byte b) { return b == std::byte{0xAB}; }));
}

TEST(MemoryArena, MovedArenaKeepsItsBlocks)
{
    platform::MemoryArena first;
    std::byte *block = first.allocate(64);
    block[0] = std::byte{7};
    platform::MemoryArena second(std::move(first));
    EXPECT_EQ(block[0], std::byte{7});
    second = platform::MemoryArena();
    EXPECT_NE(first.allocate(8), nullptr);
}

} // namespace
