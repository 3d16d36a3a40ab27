#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "doc/node_pool.h"

namespace {

constexpr int kSlot = 20;
constexpr int kPerBlock = 20480;

bool bitSet(const NodePool& pool, int block, void* slot) {
    const auto k = std::size_t(static_cast<unsigned char*>(slot) - pool.blockStart(block)) / kSlot;
    return (pool.bitmap(block)[k / 8] >> (k % 8)) & 1;
}

TEST(NodePool, InitChoosesTheBitmapSize) {
    NodePool pool;
    EXPECT_FALSE(pool.isInitialized());
    EXPECT_FALSE(pool.init(0, 100, true));
    EXPECT_FALSE(pool.isInitialized());
    ASSERT_TRUE(pool.init(kSlot, 100, true));
    EXPECT_EQ(pool.bitmapBytes(), 12);
    ASSERT_TRUE(pool.init(kSlot, 100, false));
    EXPECT_EQ(pool.bitmapBytes(), 128);
    ASSERT_TRUE(pool.init(kSlot, kPerBlock, true));
    EXPECT_EQ(pool.bitmapBytes(), 2560);
    EXPECT_TRUE(pool.isInitialized());
}

TEST(NodePool, FirstAllocMakesBlockOneAndFreedSlotComesBackAsItWas) {
    NodePool pool;
    pool.init(kSlot, kPerBlock, true);
    auto* p = static_cast<unsigned char*>(pool.alloc());
    ASSERT_EQ(pool.blockCount(), 1);
    EXPECT_EQ(p, pool.blockStart(1));
    EXPECT_EQ(pool.currentBlock(), 1);
    EXPECT_EQ(pool.totalSlots(), kPerBlock);
    EXPECT_TRUE(std::all_of(p, p + kSlot, [](unsigned char b) { return b == 0; }));
    std::memset(p, 0x5A, kSlot);
    void* q = pool.alloc();
    EXPECT_EQ(q, p + kSlot);
    ASSERT_TRUE(pool.free(p));
    EXPECT_EQ(pool.alloc(), p);
    EXPECT_EQ(p[7], 0x5A);  // not zero-filled
    EXPECT_EQ(pool.liveSlots(), 2);
    pool.releaseAll();
}

TEST(NodePool, RefusesWhatIsNotALiveSlot) {
    NodePool pool;
    pool.init(kSlot, kPerBlock, true);
    auto* p = static_cast<unsigned char*>(pool.alloc());
    pool.alloc();
    const unsigned char before = pool.bitmap(1)[0];
    EXPECT_FALSE(pool.free(nullptr));
    EXPECT_FALSE(pool.free(p + 1));
    int outside = 0;
    EXPECT_FALSE(pool.free(&outside));
    EXPECT_EQ(pool.bitmap(1)[0], before);
    ASSERT_TRUE(pool.free(p));
    // Given back twice: refused, counted once, never handed out twice.
    EXPECT_FALSE(pool.free(p));
    EXPECT_EQ(pool.liveSlots(), 1);
    EXPECT_EQ(pool.alloc(), p);
    EXPECT_NE(pool.alloc(), p);
    pool.releaseAll();
}

TEST(NodePool, GrowsOnlyWhenEveryBlockIsFullAndKeepsBlocksOfAnEmptiedPool) {
    NodePool pool;
    pool.init(kSlot, kPerBlock, true);
    std::vector<void*> slots;
    for (int i = 0; i < kPerBlock; ++i) slots.push_back(pool.alloc());
    EXPECT_EQ(pool.blockCount(), 1);
    void* next = pool.alloc();
    ASSERT_EQ(pool.blockCount(), 2);
    EXPECT_EQ(next, pool.blockStart(2));
    slots.push_back(next);
    for (int i = 0; i < kPerBlock; ++i) slots.push_back(pool.alloc());
    ASSERT_EQ(pool.blockCount(), 3);
    // Compaction thins the pool on the way down, but the last free releases nothing.
    for (std::size_t i = 0; i + 1 < slots.size(); ++i) ASSERT_TRUE(pool.free(slots[i]));
    const int before = pool.blockCount();
    ASSERT_TRUE(pool.free(slots.back()));
    EXPECT_EQ(pool.liveSlots(), 0);
    EXPECT_EQ(pool.blockCount(), before);
    pool.releaseAll();
}

TEST(NodePool, CompactionReleasesEmptyBlocksAndRenumbersTheCurrentOne) {
    NodePool pool;
    pool.init(kSlot, kPerBlock, true);
    std::vector<void*> slots;
    for (int i = 0; i < 4 * kPerBlock; ++i) slots.push_back(pool.alloc());
    unsigned char* fourth = pool.blockStart(4);
    for (int i = kPerBlock; i < 3 * kPerBlock; ++i) ASSERT_TRUE(pool.free(slots[i]));
    for (int i = 1; i < kPerBlock; ++i) ASSERT_TRUE(pool.free(slots[i]));
    ASSERT_EQ(pool.blockCount(), 4);
    ASSERT_TRUE(pool.free(slots[3 * kPerBlock + 5]));
    EXPECT_EQ(pool.blockCount(), 2);
    EXPECT_EQ(pool.blockStart(2), fourth);
    EXPECT_EQ(pool.currentBlock(), 2);
    EXPECT_EQ(pool.totalSlots(), 2 * kPerBlock);
    EXPECT_EQ(pool.liveSlots(), kPerBlock);
    EXPECT_EQ(pool.alloc(), slots[3 * kPerBlock + 5]);
    pool.releaseAll();
}

TEST(NodePool, ForgetsTheRememberedSlotWhenItsBlockIsReleased) {
    NodePool pool;
    pool.init(kSlot, kPerBlock, true);
    std::vector<void*> slots;
    for (int i = 0; i < 3 * kPerBlock + 1; ++i) slots.push_back(pool.alloc());
    for (int i = kPerBlock; i < 3 * kPerBlock; ++i) ASSERT_TRUE(pool.free(slots[i]));
    ASSERT_EQ(pool.blockCount(), 4);
    // Empties block 4, which compaction then releases with the slot just remembered.
    ASSERT_TRUE(pool.free(slots.back()));
    ASSERT_EQ(pool.blockCount(), 1);
    void* fresh = pool.alloc();
    ASSERT_EQ(pool.blockCount(), 2);
    EXPECT_EQ(fresh, pool.blockStart(2));
    EXPECT_TRUE(bitSet(pool, 2, fresh));
    EXPECT_EQ(pool.liveSlots(), kPerBlock + 1);
    pool.releaseAll();
    EXPECT_EQ(pool.totalSlots(), 0);
    EXPECT_EQ(pool.liveSlots(), 0);
    // Usable again after releaseAll, as a new pool.
    EXPECT_NE(pool.alloc(), nullptr);
    EXPECT_EQ(pool.blockCount(), 1);
    pool.releaseAll();
}

// A model of the pool's bookkeeping: per block (by start address) its live slots.
TEST(NodePool, RandomChurnMatchesAModel) {
    constexpr int kSmallBlock = 64;
    NodePool pool;
    pool.init(kSlot, kSmallBlock, true);
    std::mt19937 rng(20261208);
    std::vector<void*> live;
    std::set<void*> liveSet;
    std::vector<std::pair<unsigned char*, int>> blocks;
    auto blockOf = [&](void* p) {
        auto* b = static_cast<unsigned char*>(p);
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (b >= blocks[i].first && b < blocks[i].first + kSmallBlock * kSlot) return int(i);
        return -1;
    };
    for (int step = 0; step < 60000; ++step) {
        // Phases of growth and shrinkage so that compaction gets its turn.
        const bool growing = (step / 5000) % 2 == 0;
        const unsigned roll = rng() % 100;
        if (live.empty() || roll < (growing ? 65u : 30u)) {
            void* p = pool.alloc();
            ASSERT_FALSE(liveSet.count(p)) << "slot handed out twice at step " << step;
            int b = blockOf(p);
            if (b < 0) {
                ASSERT_EQ(int(live.size()), int(blocks.size()) * kSmallBlock) << "grew while not full";
                blocks.push_back({pool.blockStart(pool.blockCount()), 0});
                b = blockOf(p);
                ASSERT_GE(b, 0);
            }
            ASSERT_EQ((static_cast<unsigned char*>(p) - blocks[std::size_t(b)].first) % kSlot, 0);
            ++blocks[std::size_t(b)].second;
            live.push_back(p);
            liveSet.insert(p);
        } else if (roll < 97) {
            const std::size_t i = rng() % live.size();
            void* p = live[i];
            ASSERT_TRUE(pool.free(p));
            live[i] = live.back();
            live.pop_back();
            liveSet.erase(p);
            --blocks[std::size_t(blockOf(p))].second;
            const int total = int(blocks.size()) * kSmallBlock;
            if (!live.empty() && total / int(live.size()) > 3 && blocks.size() > 2)
                std::erase_if(blocks, [](auto& b) { return b.second == 0; });
        } else {
            // Misaligned addresses and slots already given back are refused.
            auto* p = static_cast<unsigned char*>(live[rng() % live.size()]);
            ASSERT_FALSE(pool.free(p + 1 + rng() % (kSlot - 1)));
        }
        ASSERT_EQ(pool.liveSlots(), int(live.size())) << "step " << step;
        ASSERT_EQ(pool.blockCount(), int(blocks.size())) << "step " << step;
        ASSERT_EQ(pool.totalSlots(), int(blocks.size()) * kSmallBlock) << "step " << step;
    }
    pool.releaseAll();
}

TEST(NodePool, FourThreadsShareOnePool) {
    NodePool pool;
    pool.init(kSlot, 256, true);
    auto worker = [&pool](unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<std::pair<unsigned*, unsigned>> mine;
        for (int step = 0; step < 40000; ++step) {
            if (mine.empty() || rng() % 100 < 55) {
                auto* p = static_cast<unsigned*>(pool.alloc());
                const unsigned stamp = rng();
                p[0] = stamp;
                p[4] = ~stamp;
                mine.push_back({p, stamp});
            } else {
                const std::size_t i = rng() % mine.size();
                auto [p, stamp] = mine[i];
                // Another thread writing into this slot would show here.
                if (p[0] != stamp || p[4] != ~stamp) std::abort();
                if (!pool.free(p)) std::abort();
                mine[i] = mine.back();
                mine.pop_back();
            }
        }
        for (auto [p, stamp] : mine)
            if (p[0] != stamp || !pool.free(p)) std::abort();
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(worker, 1000 + t);
    for (auto& t : threads) t.join();
    EXPECT_EQ(pool.liveSlots(), 0);
    pool.releaseAll();
}

}  // namespace
