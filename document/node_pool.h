#pragma once
// NodePool: fixed-size slots carved from large zero-filled heap blocks, one bit per slot.
// Every DocNode of every document comes from the one pool that prepare() makes; the window
// thread and the list jobs share it, so alloc and free hold the pool's lock throughout.
#include <cstdint>
#include <vector>

#include "platform/lock.h"

class NodePool {
  public:
    NodePool();
    ~NodePool();
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;

    // exact: a block holds slotCount rounded down to a multiple of 32 slots; otherwise 1,024.
    bool init(int slotSize, int slotCount, bool exact);
    // Never fails for want of a slot: a full pool grows by one block. The slot is
    // zero-filled unless it is the one just given back, which comes back as it was.
    void* alloc();
    // False, changing nothing, for null, an address that is not the start of a slot of
    // this pool, or a slot that is not in use.
    bool free(void* slot);
    // n slots taken, or given back (null entries skipped), one after the other as alloc and
    // free would, under one hold of the lock: one reader filling one tree takes its nodes so.
    // Every slot of a batch comes zero-filled.
    void allocBatch(void** slots, int n);
    void freeBatch(void* const* slots, int n);
    // Returns every block to the heap and brings the pool back to the state of a new one
    // (keeping its slot size and block size).
    bool releaseAll();
    bool isInitialized() const { return initialized_; }

    // For tests and benchmarks; not locked.
    int totalSlots() const { return totalSlots_; }
    int liveSlots() const { return liveSlots_; }
    int blockCount() const { return int(blocks_.size()); }
    int currentBlock() const { return currentBlock_; }
    int bitmapBytes() const { return bitmapBytes_; }
    int slotSize() const { return slotSize_; }
    unsigned char* blockStart(int number) const { return blocks_[std::size_t(number - 1)]; }
    const unsigned char* bitmap(int number) const { return bitmaps_[std::size_t(number - 1)]; }

  private:
    std::uint32_t blockBytes() const {
        return std::uint32_t(bitmapBytes_) * 8u * std::uint32_t(slotSize_);
    }
    // The byte position of the first group of n, from p, that has a clear bit; -1 if none.
    // Takes 1 to `want` slots (those of one bit-map group) into out; how many it took.
    int allocLocked(void** out, int want);
    bool freeLocked(void* slot);
    static int scan(const unsigned char* map, int p, int n);
    void compact();
    void releaseBlock(std::size_t index);

    std::vector<unsigned char*> blocks_;
    int bitmapBytes_ = 128;
    std::vector<unsigned char*> bitmaps_;
    // Set bits per block, so that compaction need not read whole bit maps on every free.
    std::vector<int> blockLive_;
    // Blocks with no slot in use: compaction has nothing to release while there are none.
    int emptyBlocks_ = 0;
    unsigned char* hint_ = nullptr;
    int currentBlock_ = 0;
    int slotSize_ = 20;
    unsigned char* rememberedSlot_ = nullptr;
    unsigned char* rememberedByte_ = nullptr;
    int rememberedBlock_ = 0;
    int rememberedBit_ = 0;
    int totalSlots_ = 0;
    int liveSlots_ = 0;
    win::CRITICAL_SECTION* lock_ = nullptr;
    bool initialized_ = false;
};
