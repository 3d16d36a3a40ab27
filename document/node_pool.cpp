#include "document/node_pool.h"

#include <cstring>

#include "base/api.h"
#include "base/text_util.h"

namespace {

win::HANDLE processHeap() {
    static const win::HANDLE heap = api::GetProcessHeap();
    return heap;
}

std::uint32_t groupAt(const unsigned char* p) {
    // Bit b of the little-endian value at byte p stands for slot 8p + b.
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void storeGroup(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

NodePool::NodePool() {
    lock_ = static_cast<win::CRITICAL_SECTION*>(
        api::HeapAlloc(processHeap(), win::HEAP_ZERO_MEMORY, sizeof(win::CRITICAL_SECTION)));
    if (!lock_) api::fatalError(gbk("内存不足"));
    api::InitializeCriticalSection(lock_);
}

NodePool::~NodePool() {
    api::DeleteCriticalSection(lock_);
    api::HeapFree(processHeap(), 0, lock_);
}

bool NodePool::init(int slotSize, int slotCount, bool exact) {
    if (slotSize <= 0) return false;
    slotSize_ = slotSize;
    bitmapBytes_ = exact ? int(4 * ((unsigned(slotCount) / 8) / 4)) : 128;
    initialized_ = true;
    return true;
}

int NodePool::scan(const unsigned char* map, int p, int n) {
    for (int g = 0; g < n; ++g, p += 4)
        if (groupAt(map + p) != 0xFFFFFFFFu) return p;
    return -1;
}

void* NodePool::alloc() {
    api::EnterCriticalSection(lock_);
    void* result;
    allocLocked(&result, 1);
    api::LeaveCriticalSection(lock_);
    return result;
}

void NodePool::allocBatch(void** slots, int n) {
    if (n <= 0) return;
    api::EnterCriticalSection(lock_);
    // The remembered slot comes back as it was left; a batch is handed out zero-filled.
    if (rememberedSlot_) std::memset(rememberedSlot_, 0, std::size_t(slotSize_));
    for (int i = 0; i < n;) i += allocLocked(slots + i, n - i);
    api::LeaveCriticalSection(lock_);
}

int NodePool::allocLocked(void** out, int want) {
    unsigned char* result;
    int taken = 1;
    if (rememberedSlot_) {
        // Handed back as it is: the caller that freed it a moment ago expects no zeroing.
        result = rememberedSlot_;
        *rememberedByte_ |= static_cast<unsigned char>(1u << rememberedBit_);
        if (blockLive_[std::size_t(rememberedBlock_ - 1)]++ == 0) --emptyBlocks_;
        rememberedSlot_ = nullptr;
    } else {
        const int groups = bitmapBytes_ / 4;
        int pos = -1;
        if (currentBlock_ == 0) {
            currentBlock_ = 1;
        } else if (hint_) {
            unsigned char* map = bitmaps_[std::size_t(currentBlock_ - 1)];
            int n = (bitmapBytes_ - int(hint_ - map)) / 4;
            if (n >= 3) pos = scan(map, int(hint_ - map), n);
        }
        if (pos < 0) {
            const int count = int(blocks_.size());
            const int s = currentBlock_;
            for (int j = s; j <= count && pos < 0; ++j)
                if ((pos = scan(bitmaps_[std::size_t(j - 1)], 0, groups)) >= 0) currentBlock_ = j;
            for (int j = 1; j < s && pos < 0; ++j)
                if ((pos = scan(bitmaps_[std::size_t(j - 1)], 0, groups)) >= 0) currentBlock_ = j;
            if (pos < 0) {
                auto* block = static_cast<unsigned char*>(
                    api::HeapAlloc(processHeap(), win::HEAP_ZERO_MEMORY, blockBytes()));
                auto* map = static_cast<unsigned char*>(api::HeapAlloc(
                    processHeap(), win::HEAP_ZERO_MEMORY, win::SIZE_T(bitmapBytes_)));
                if (!block || !map || groups == 0) {
                    // No slot can be had: a node pool that hands out nothing would only
                    // move the crash elsewhere.
                    api::LeaveCriticalSection(lock_);
                    api::fatalError(gbk("内存不足"));
                }
                blocks_.push_back(block);
                bitmaps_.push_back(map);
                blockLive_.push_back(0);
                ++emptyBlocks_;
                totalSlots_ += bitmapBytes_ * 8;
                currentBlock_ = count + 1;
                pos = 0;
            }
        }
        unsigned char* map = bitmaps_[std::size_t(currentBlock_ - 1)];
        unsigned char* block = blocks_[std::size_t(currentBlock_ - 1)];
        std::uint32_t group = groupAt(map + pos);
        // A batch takes the free slots of the group found, lowest first, as many as it wants.
        taken = 0;
        do {
            const int bit = __builtin_ctz(~group);
            group |= 1u << bit;
            result = block + std::size_t(8 * pos + bit) * std::size_t(slotSize_);
            // The document's node size is known here, so its zeroing needs no call.
            if (slotSize_ == 40)
                std::memset(result, 0, 40);
            else
                std::memset(result, 0, std::size_t(slotSize_));
            out[taken++] = result;
        } while (taken < want && group != 0xFFFFFFFFu);
        storeGroup(map + pos, group);
        if (blockLive_[std::size_t(currentBlock_ - 1)] == 0) --emptyBlocks_;
        blockLive_[std::size_t(currentBlock_ - 1)] += taken;
        hint_ = map + pos;
        liveSlots_ += taken;
        return taken;
    }
    out[0] = result;
    ++liveSlots_;
    return taken;
}

bool NodePool::free(void* slot) {
    if (!slot) return false;
    api::EnterCriticalSection(lock_);
    const bool result = freeLocked(slot);
    api::LeaveCriticalSection(lock_);
    return result;
}

void NodePool::freeBatch(void* const* slots, int n) {
    if (n <= 0) return;
    api::EnterCriticalSection(lock_);
    for (int i = 0; i < n; ++i)
        if (slots[i]) freeLocked(slots[i]);
    api::LeaveCriticalSection(lock_);
}

bool NodePool::freeLocked(void* slot) {
    auto* address = static_cast<unsigned char*>(slot);
    bool result = false;
    const std::size_t count = blocks_.size();
    const std::uint32_t bytes = blockBytes();
    // Blocks never overlap, so looking at the current block first finds the same one.
    const std::size_t first = currentBlock_ > 0 && std::size_t(currentBlock_) <= count
                                  ? std::size_t(currentBlock_ - 1)
                                  : 0;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t i = n == 0 ? first : (n <= first ? n - 1 : n);
        unsigned char* start = blocks_[i];
        if (address < start || address >= start + bytes) continue;
        std::size_t offset = std::size_t(address - start);
        if (offset % std::size_t(slotSize_) != 0) break;
        std::size_t k = offset / std::size_t(slotSize_);
        unsigned char* byte = bitmaps_[i] + k / 8;
        const int bit = int(k % 8);
        // A slot given back twice would otherwise be counted twice and handed out twice.
        if (!(*byte & (1u << bit))) break;
        *byte &= static_cast<unsigned char>(~(1u << bit));
        currentBlock_ = int(i) + 1;
        hint_ = byte;
        rememberedSlot_ = address;
        rememberedByte_ = byte;
        rememberedBit_ = bit;
        rememberedBlock_ = int(i) + 1;
        if (--blockLive_[i] == 0) ++emptyBlocks_;
        --liveSlots_;
        result = true;
        // totalSlots div liveSlots > 3, without a division on every free; a pass that
        // would find no empty block is not made.
        if (emptyBlocks_ > 0 && count > 2 && liveSlots_ > 0 &&
            std::int64_t(totalSlots_) >= 4 * std::int64_t(liveSlots_))
            compact();
        break;
    }
    return result;
}

void NodePool::compact() {
    const std::size_t count = blocks_.size();
    std::size_t j = 0;
    for (std::size_t examined = 0; examined < count; ++examined) {
        if (blockLive_[j] == 0)
            releaseBlock(j);
        else
            ++j;
    }
}

void NodePool::releaseBlock(std::size_t index) {
    unsigned char* block = blocks_[index];
    // The remembered slot would otherwise be handed out from memory that is gone.
    if (rememberedSlot_ && rememberedSlot_ >= block && rememberedSlot_ < block + blockBytes())
        rememberedSlot_ = nullptr;
    api::HeapFree(processHeap(), 0, block);
    api::HeapFree(processHeap(), 0, bitmaps_[index]);
    const int number = int(index) + 1;
    if (currentBlock_ == number) {
        currentBlock_ = 1;
        hint_ = nullptr;
    } else if (currentBlock_ > number) {
        --currentBlock_;
    }
    if (rememberedBlock_ > number) --rememberedBlock_;
    blocks_.erase(blocks_.begin() + std::ptrdiff_t(index));
    bitmaps_.erase(bitmaps_.begin() + std::ptrdiff_t(index));
    if (blockLive_[index] == 0) --emptyBlocks_;
    blockLive_.erase(blockLive_.begin() + std::ptrdiff_t(index));
    totalSlots_ -= bitmapBytes_ * 8;
}

bool NodePool::releaseAll() {
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        api::HeapFree(processHeap(), 0, blocks_[i]);
        api::HeapFree(processHeap(), 0, bitmaps_[i]);
    }
    blocks_.clear();
    bitmaps_.clear();
    blockLive_.clear();
    emptyBlocks_ = 0;
    hint_ = nullptr;
    currentBlock_ = 0;
    rememberedSlot_ = nullptr;
    rememberedByte_ = nullptr;
    rememberedBit_ = 0;
    rememberedBlock_ = 0;
    totalSlots_ = 0;
    liveSlots_ = 0;
    return true;
}
