#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "document/node_pool.h"

namespace {

constexpr int kSlot = 20;
constexpr int kPerBlock = 20480;

struct Pool : NodePool {
    Pool(int slots = kPerBlock) { init(kSlot, slots, true); }
    ~Pool() { releaseAll(); }
    std::vector<void*> take(int n) {
        std::vector<void*> s;
        for (int i = 0; i < n; ++i) s.push_back(alloc());
        return s;
    }
};

TEST(NodePool, InitChoosesTheBitmapSize) {
    NodePool pool;
    EXPECT_FALSE(pool.init(0, 100, true));
    EXPECT_FALSE(pool.isInitialized());
    for (auto [exact, bytes] : {std::pair{true, 12}, {false, 128}}) {
        ASSERT_TRUE(pool.init(kSlot, 100, exact));
        EXPECT_EQ(pool.bitmapBytes(), bytes);
    }
    EXPECT_TRUE(pool.isInitialized());
}

TEST(NodePool, AllocFreeAndGrowth) {
    Pool pool;
    auto* p = static_cast<unsigned char*>(pool.alloc());
    EXPECT_EQ(p, pool.blockStart(1));
    EXPECT_EQ(pool.currentBlock(), 1);
    EXPECT_EQ(pool.totalSlots(), kPerBlock);
    EXPECT_EQ(p[0] | p[kSlot - 1], 0);
    std::memset(p, 0x5A, kSlot);
    EXPECT_EQ(pool.alloc(), p + kSlot);
    // Refused, changing nothing: null, inside a slot, outside every block, already free.
    const unsigned char map = pool.bitmap(1)[0];
    int outside = 0;
    EXPECT_FALSE(pool.free(nullptr));
    EXPECT_FALSE(pool.free(p + 1));
    EXPECT_FALSE(pool.free(&outside));
    EXPECT_EQ(pool.bitmap(1)[0], map);
    ASSERT_TRUE(pool.free(p));
    EXPECT_FALSE(pool.free(p));
    EXPECT_EQ(pool.liveSlots(), 1);
    EXPECT_EQ(pool.alloc(), p);  // the remembered slot, with its old contents
    EXPECT_EQ(p[7], 0x5A);
    EXPECT_NE(pool.alloc(), p);
    auto rest = pool.take(kPerBlock - 3);
    EXPECT_EQ(pool.blockCount(), 1);
    void* grown = pool.alloc();
    EXPECT_EQ(grown, pool.blockStart(2));
}

TEST(NodePool, TheLastFreeReleasesNothing) {
    Pool pool;
    auto slots = pool.take(2 * kPerBlock + 1);
    for (std::size_t i = 0; i + 1 < slots.size(); ++i) ASSERT_TRUE(pool.free(slots[i]));
    const int blocks = pool.blockCount();
    ASSERT_TRUE(pool.free(slots.back()));
    EXPECT_EQ(pool.liveSlots(), 0);
    EXPECT_EQ(pool.blockCount(), blocks);
}

TEST(NodePool, CompactionReleasesEmptyBlocksAndRenumbersTheCurrentOne) {
    Pool pool;
    auto slots = pool.take(4 * kPerBlock);
    unsigned char* fourth = pool.blockStart(4);
    for (int i = 1; i < 3 * kPerBlock; ++i) ASSERT_TRUE(pool.free(slots[std::size_t(i)]));
    ASSERT_EQ(pool.blockCount(), 4);
    ASSERT_TRUE(pool.free(slots[3 * kPerBlock + 5]));
    EXPECT_EQ(pool.blockCount(), 2);
    EXPECT_EQ(pool.blockStart(2), fourth);
    EXPECT_EQ(pool.currentBlock(), 2);
    EXPECT_EQ(pool.totalSlots(), 2 * kPerBlock);
    EXPECT_EQ(pool.alloc(), slots[3 * kPerBlock + 5]);
}

TEST(NodePool, ForgetsTheRememberedSlotWhenItsBlockIsReleased) {
    Pool pool;
    auto slots = pool.take(3 * kPerBlock + 1);
    for (int i = kPerBlock; i < 3 * kPerBlock; ++i) ASSERT_TRUE(pool.free(slots[std::size_t(i)]));
    ASSERT_TRUE(pool.free(slots.back()));  // empties block 4; compaction releases it
    ASSERT_EQ(pool.blockCount(), 1);
    void* fresh = pool.alloc();
    EXPECT_EQ(fresh, pool.blockStart(2));
    EXPECT_EQ(pool.liveSlots(), kPerBlock + 1);
    pool.releaseAll();
    EXPECT_EQ(pool.totalSlots() + pool.liveSlots(), 0);
    fresh = pool.alloc();
    EXPECT_EQ(fresh, pool.blockStart(1));  // usable again, as a new pool
}

// After every step the pool's counts match a model that tracks live slots per block.
TEST(NodePool, RandomChurnMatchesAModel) {
    constexpr int kSmall = 64;
    Pool pool(kSmall);
    std::mt19937 rng(20261208);
    std::vector<void*> live;
    std::set<void*> liveSet;
    std::vector<std::pair<unsigned char*, int>> blocks;
    auto blockOf = [&](void* p) {
        auto* b = static_cast<unsigned char*>(p);
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (b >= blocks[i].first && b < blocks[i].first + kSmall * kSlot) return i;
        return blocks.size();
    };
    for (int step = 0; step < 60000; ++step) {
        const unsigned roll = rng() % 100, allocShare = (step / 5000) % 2 ? 30 : 65;
        if (live.empty() || roll < allocShare) {
            void* p = pool.alloc();
            ASSERT_TRUE(liveSet.insert(p).second) << "handed out twice, step " << step;
            if (blockOf(p) == blocks.size()) {
                ASSERT_EQ(live.size(), blocks.size() * kSmall) << "grew while not full";
                blocks.push_back({pool.blockStart(pool.blockCount()), 0});
            }
            const std::size_t b = blockOf(p);
            ASSERT_LT(b, blocks.size());
            ASSERT_EQ((static_cast<unsigned char*>(p) - blocks[b].first) % kSlot, 0);
            ++blocks[b].second;
            live.push_back(p);
        } else if (roll < 97) {
            const std::size_t i = rng() % live.size();
            void* p = live[i];
            ASSERT_TRUE(pool.free(p));
            live[i] = live.back();
            live.pop_back();
            liveSet.erase(p);
            --blocks[blockOf(p)].second;
            if (!live.empty() && blocks.size() * kSmall >= 4 * live.size() && blocks.size() > 2)
                std::erase_if(blocks, [](auto& b) { return b.second == 0; });
        } else {
            auto* p = static_cast<unsigned char*>(live[rng() % live.size()]);
            ASSERT_FALSE(pool.free(p + 1 + rng() % (kSlot - 1)));
        }
        ASSERT_EQ(pool.liveSlots(), int(live.size())) << "step " << step;
        ASSERT_EQ(pool.blockCount(), int(blocks.size())) << "step " << step;
        ASSERT_EQ(pool.totalSlots(), int(blocks.size()) * kSmall) << "step " << step;
    }
}

TEST(NodePool, FourThreadsShareOnePool) {
    Pool pool(256);
    auto worker = [&pool](unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<std::pair<unsigned*, unsigned>> mine;
        for (int step = 0; step < 40000; ++step) {
            if (mine.empty() || rng() % 100 < 55) {
                auto* p = static_cast<unsigned*>(pool.alloc());
                mine.push_back({p, unsigned(rng())});
                p[0] = mine.back().second;
                p[4] = ~p[0];
            } else {
                const std::size_t i = rng() % mine.size();
                auto [p, stamp] = mine[i];
                // Another thread writing into this slot would show here.
                if (p[0] != stamp || p[4] != ~stamp || !pool.free(p)) std::abort();
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
}

}  // namespace
