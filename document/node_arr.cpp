#include "document/node_arr.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <random>

#include "base/api.h"
#include "base/text_util.h"
#include "document/data_document.h"

namespace {

win::HANDLE processHeap() {
    static const win::HANDLE heap = api::GetProcessHeap();
    return heap;
}

// Every list carries one word in front of it that says where it came from: a heap block
// of its own, or a document's arena (given back with the document, never one by one).
constexpr std::uint64_t kOnHeap = 0x48656170;
constexpr std::uint64_t kInArena = 0x4172656e;
constexpr std::size_t kTag = sizeof(std::uint64_t);

NodeArr* allocNodeArr(int n) {
    auto* block = static_cast<unsigned char*>(
        api::HeapAlloc(processHeap(), win::HEAP_ZERO_MEMORY,
                       kTag + sizeof(NodeArr) + std::size_t(n) * sizeof(DocNode*)));
    std::memcpy(block, &kOnHeap, kTag);
    auto* list = reinterpret_cast<NodeArr*>(block + kTag);
    list->dims = 1;
    list->count = n;
    return list;
}

std::uint64_t tagOf(const NodeArr* list) {
    std::uint64_t tag;
    std::memcpy(&tag, reinterpret_cast<const unsigned char*>(list) - kTag, kTag);
    return tag;
}

// Nodes go back to the pool in batches, in the order in which they are released, so that
// releasing a tree takes the pool's lock once per batch instead of once per node.
class SlotBatch {
  public:
    SlotBatch() = default;
    SlotBatch(const SlotBatch&) = delete;
    SlotBatch& operator=(const SlotBatch&) = delete;
    ~SlotBatch() { flush(); }
    void add(DocNode* node) {
        if (n_ == kSize) flush();
        slots_[n_++] = node;
    }
    void flush() {
        if (n_) nodePool().freeBatch(slots_, n_);
        n_ = 0;
    }

  private:
    static constexpr int kSize = 256;
    void* slots_[kSize];
    int n_ = 0;
};

void releaseContentInto(DocNode* node, SlotBatch& batch);

void releaseNodeInto(DocNode* node, SlotBatch& batch) {
    if (!node) return;
    if (node->key && !node->has(DocNode::keyBorrowed)) api::HeapFree(processHeap(), 0, node->key);
    releaseContentInto(node, batch);
    batch.add(node);
}

// SipHash-1-3 of a name under a key drawn once per process: bucket places cannot be
// foreseen by whoever writes the names, so a reply full of names of one h*31 value costs
// no more than any other.
struct HashKey {
    std::uint64_t k0, k1;
};
const HashKey& hashKey() {
    static const HashKey key = [] {
        std::random_device device;
        HashKey k;
        k.k0 = (std::uint64_t(device()) << 32) ^ device();
        k.k1 = (std::uint64_t(device()) << 32) ^ device();
        return k;
    }();
    return key;
}

inline std::uint64_t rotl(std::uint64_t x, int b) {
    return (x << b) | (x >> (64 - b));
}

std::uint32_t sipHash13(const unsigned char* in, std::size_t length) {
    const HashKey& key = hashKey();
    std::uint64_t v0 = 0x736f6d6570736575ull ^ key.k0, v1 = 0x646f72616e646f6dull ^ key.k1,
                  v2 = 0x6c7967656e657261ull ^ key.k0, v3 = 0x7465646279746573ull ^ key.k1;
    auto round = [&] {
        v0 += v1;
        v1 = rotl(v1, 13);
        v1 ^= v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotl(v1, 17);
        v1 ^= v2;
        v2 = rotl(v2, 32);
    };
    const std::size_t whole = length & ~std::size_t(7);
    for (std::size_t i = 0; i < whole; i += 8) {
        std::uint64_t m;
        std::memcpy(&m, in + i, 8);
        v3 ^= m;
        round();
        v0 ^= m;
    }
    std::uint64_t last = std::uint64_t(length) << 56;
    for (std::size_t i = whole; i < length; ++i) last |= std::uint64_t(in[i]) << (8 * (i - whole));
    v3 ^= last;
    round();
    v0 ^= last;
    v2 ^= 0xff;
    round();
    round();
    round();
    const std::uint64_t h = v0 ^ v1 ^ v2 ^ v3;
    return std::uint32_t(h ^ (h >> 32));
}

DocMessageBox messageBox = nullptr;

void releaseTypedArray(void* block, std::uint32_t elementKind) {
    if (!block) return;
    if (elementKind == kText || elementKind == kBytes) {
        const auto* bytes = static_cast<const unsigned char*>(block);
        std::int32_t dims;
        std::memcpy(&dims, bytes, 4);
        std::size_t total = 1;
        for (std::int32_t d = 0; d < dims; ++d) {
            std::int32_t size;
            std::memcpy(&size, bytes + 4 + 4 * d, 4);
            total *= std::size_t(size > 0 ? size : 0);
        }
        const unsigned char* elements = bytes + 4 + 4 * std::size_t(dims);
        for (std::size_t i = 0; i < total; ++i) {
            void* element;
            std::memcpy(&element, elements + i * sizeof(void*), sizeof(void*));
            if (element) api::HeapFree(processHeap(), 0, element);
        }
    }
    api::HeapFree(processHeap(), 0, block);
}

}  // namespace

void releaseNativeArray(void* block, std::uint32_t elementKind) {
    releaseTypedArray(block, elementKind);
}

NodeArr* makeNodeArr(int n) {
    return allocNodeArr(n > 0 ? n : 0);
}

NodeArr* makeNodeArrIn(DocArena& arena, int n) {
    if (n < 0) n = 0;
    auto* block = static_cast<unsigned char*>(
        arena.take(kTag + sizeof(NodeArr) + std::size_t(n) * sizeof(DocNode*)));
    std::memcpy(block, &kInArena, kTag);
    auto* list = reinterpret_cast<NodeArr*>(block + kTag);
    list->dims = 1;
    list->count = n;
    return list;
}

DocNode* nodeArrSet(NodeArr* list, int position, DocNode* node) {
    if (!list || position < 1 || position > list->count) return nullptr;
    DocNode* previous = nodeArrItems(list)[position - 1];
    nodeArrItems(list)[position - 1] = node;
    return previous;
}

void nodeArrAppend(NodeArr*& list, DocNode* node) {
    const int count = nodeArrCount(list);
    NodeArr* grown = allocNodeArr(count + 1);
    if (count)
        api::RtlMoveMemory(nodeArrItems(grown), nodeArrItems(list),
                           std::size_t(count) * sizeof(DocNode*));
    nodeArrItems(grown)[count] = node;
    releaseNodeArr(list);
    list = grown;
}

void nodeArrResize(NodeArr*& list, int n) {
    if (n < 0) n = 0;
    const int keep = nodeArrCount(list) < n ? nodeArrCount(list) : n;
    NodeArr* resized = allocNodeArr(n);
    if (keep)
        api::RtlMoveMemory(nodeArrItems(resized), nodeArrItems(list),
                           std::size_t(keep) * sizeof(DocNode*));
    releaseNodeArr(list);
    list = resized;
}

bool nodeArrInsert(NodeArr*& list, int position, DocNode* node) {
    const int count = nodeArrCount(list);
    if (position < 1 || position > count + 1) return false;
    NodeArr* grown = allocNodeArr(count + 1);
    DocNode** to = nodeArrItems(grown);
    if (position > 1)
        api::RtlMoveMemory(to, nodeArrItems(list), std::size_t(position - 1) * sizeof(DocNode*));
    to[position - 1] = node;
    if (count >= position)
        api::RtlMoveMemory(to + position, nodeArrItems(list) + (position - 1),
                           std::size_t(count - position + 1) * sizeof(DocNode*));
    releaseNodeArr(list);
    list = grown;
    return true;
}

int nodeArrFind(const NodeArr* list, const DocNode* node) {
    const int count = nodeArrCount(list);
    for (int i = 0; i < count; ++i)
        if (nodeArrItems(list)[i] == node) return i + 1;
    return 0;
}

NodeArr* nodeArrFromMembers(DocNode* const* members, int count) {
    NodeArr* list = allocNodeArr(count);
    if (count) std::memcpy(nodeArrItems(list), members, std::size_t(count) * sizeof(DocNode*));
    return list;
}

void releaseNodeArr(NodeArr* list) {
    if (list && tagOf(list) == kOnHeap)
        api::HeapFree(processHeap(), 0, reinterpret_cast<unsigned char*>(list) - kTag);
}

std::uint32_t nameHash(const char* name) {
    return name ? nameHash(name, std::strlen(name)) : 0;
}

std::uint32_t nameHash(const char* name, std::size_t length) {
    if (length == 0) return 0;
    return sipHash13(reinterpret_cast<const unsigned char*>(name), length);
}

bool sameName(const char* a, const char* b) {
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

void setDocMessageBox(DocMessageBox show) {
    messageBox = show;
}

NodeArr* ToDisorderArr(DocNode** members, int& length, int n, bool useN) {
    if (useN && length < n) {
        static const std::string text = gbk("ToDisorderArr 函数数组错误");
        if (messageBox) messageBox(text);
        return nullptr;
    }
    int m = useN ? n : length;
    const int buckets = m <= 30 ? 31 : int(double(m) * 1.73);
    NodeArr* table = allocNodeArr(buckets);

    // Each bucket is sized once: first chain the kept members per bucket, then copy the
    // chains out. The result is what appending one member at a time would give.
    constexpr int kSmall = 64;
    int headStore[128], tailStore[128], sizeStore[128], nextStore[kSmall];
    std::vector<int> heapInts;
    int *head = headStore, *tail = tailStore, *size = sizeStore, *next = nextStore;
    if (buckets > 128 || m > kSmall) {
        heapInts.resize(std::size_t(buckets) * 3 + std::size_t(m));
        head = heapInts.data();
        tail = head + buckets;
        size = tail + buckets;
        next = size + buckets;
    }
    std::fill(head, head + buckets, -1);
    std::fill(size, size + buckets, 0);

    int kept = 0;
    for (int r = 0; r < m; ++r) {
        DocNode* member = members[r];
        const char* name = member ? member->key : nullptr;
        const int b = bucketOf(nameHash(name), buckets) - 1;
        bool repeated = false;
        for (int e = head[b]; e >= 0; e = next[e])
            if (sameName(members[e] ? members[e]->key : nullptr, name)) {
                repeated = true;
                break;
            }
        if (repeated) {
            releaseNode(member);
            continue;
        }
        members[kept] = member;
        next[kept] = -1;
        if (head[b] < 0)
            head[b] = kept;
        else
            next[tail[b]] = kept;
        tail[b] = kept;
        ++size[b];
        ++kept;
    }
    // Members past m (useN) close up behind the kept ones.
    for (int r = m; r < length; ++r) members[kept + (r - m)] = members[r];
    length = kept + (length - m);

    DocNode** slots = nodeArrItems(table);
    for (int b = 0; b < buckets; ++b) {
        if (head[b] < 0) continue;
        NodeArr* bucket = allocNodeArr(size[b]);
        DocNode** out = nodeArrItems(bucket);
        for (int e = head[b]; e >= 0; e = next[e]) *out++ = members[e];
        slots[b] = reinterpret_cast<DocNode*>(bucket);
    }
    return table;
}

NodeArr* bucketsFromMembers(const NodeArr* members) {
    const int m = nodeArrCount(members);
    const int buckets = m <= 30 ? 31 : int(double(m) * 1.73);
    NodeArr* table = allocNodeArr(buckets);
    if (m == 0) return table;
    // Sized once per bucket: count, then fill, in member order.
    std::vector<int> placeOf(std::size_t(m), -1);
    std::vector<int> size(std::size_t(buckets), 0);
    DocNode* const* items = nodeArrItems(members);
    for (int i = 0; i < m; ++i) {
        if (!items[i]) continue;
        const int b = bucketOf(nameHash(items[i]->key), buckets) - 1;
        placeOf[std::size_t(i)] = b;
        ++size[std::size_t(b)];
    }
    DocNode** slots = nodeArrItems(table);
    std::vector<int> filled(std::size_t(buckets), 0);
    for (int i = 0; i < m; ++i) {
        const int b = placeOf[std::size_t(i)];
        if (b < 0) continue;
        auto* bucket = reinterpret_cast<NodeArr*>(slots[b]);
        if (!bucket) {
            bucket = allocNodeArr(size[std::size_t(b)]);
            slots[b] = reinterpret_cast<DocNode*>(bucket);
        }
        nodeArrItems(bucket)[filled[std::size_t(b)]++] = items[i];
    }
    return table;
}

void moveListsToHeap(DocNode* node) {
    if (!node || node->has(DocNode::typedArray)) return;
    NodeArr** list = node->kind() == kArray    ? reinterpret_cast<NodeArr**>(&node->value.address)
                     : node->kind() == kObject ? &node->value.object.members
                                               : nullptr;
    if (!list || !*list) return;
    if (tagOf(*list) == kInArena) *list = nodeArrFromMembers(nodeArrItems(*list), (*list)->count);
    for (int i = 0; i < (*list)->count; ++i) moveListsToHeap(nodeArrItems(*list)[i]);
}

NodeArr* objectBuckets(DocNode* object) {
    if (!object) return nullptr;
    NodeArr*& table = object->value.object.buckets;
    if (!table && object->value.object.members)
        table = bucketsFromMembers(object->value.object.members);
    return table;
}

NodeArr* rebuildBuckets(NodeArr* table) {
    const int old = nodeArrCount(table);
    const int buckets = int(double(old) * 1.35);
    NodeArr* rebuilt = allocNodeArr(buckets > 0 ? buckets : 1);
    const int count = rebuilt->count;
    for (int b = 1; b <= old; ++b) {
        NodeArr* bucket = bucketAt(table, b);
        const int entries = nodeArrCount(bucket);
        for (int e = 1; e <= entries; ++e) {
            DocNode* entry = nodeArrGet(bucket, e);
            if (!entry) continue;
            const int nb = bucketOf(nameHash(entry->key), count);
            NodeArr* target = bucketAt(rebuilt, nb);
            nodeArrAppend(target, entry);
            setBucket(rebuilt, nb, target);
        }
        releaseNodeArr(bucket);
    }
    releaseNodeArr(table);
    return rebuilt;
}

DocNode* newNode() {
    // The slot given back last comes back with its old contents; a node starts null.
    auto* node = static_cast<DocNode*>(nodePool().alloc());
    std::memset(static_cast<void*>(node), 0, sizeof *node);
    return node;
}

void releaseContent(DocNode* node) {
    SlotBatch batch;
    releaseContentInto(node, batch);
}

namespace {

void releaseContentInto(DocNode* node, SlotBatch& batch) {
    if (!node) return;
    const std::uint32_t kind = node->kind();
    if (!node->has(DocNode::valueBorrowed)) {
        if (node->has(DocNode::typedArray)) {
            releaseTypedArray(node->value.address, kind & 0x7Fu);
        } else if (kind == kArray) {
            auto* list = static_cast<NodeArr*>(node->value.address);
            const int count = nodeArrCount(list);
            for (int i = 0; i < count; ++i) releaseNodeInto(nodeArrItems(list)[i], batch);
            releaseNodeArr(list);
        } else if (kind == kObject) {
            NodeArr* table = node->value.object.buckets;
            if (table) {
                const int buckets = nodeArrCount(table);
                for (int b = 1; b <= buckets; ++b) {
                    NodeArr* bucket = bucketAt(table, b);
                    const int entries = nodeArrCount(bucket);
                    for (int e = 0; e < entries; ++e)
                        releaseNodeInto(nodeArrItems(bucket)[e], batch);
                    releaseNodeArr(bucket);
                }
                releaseNodeArr(table);
            } else {
                // A table not built yet: the member list is the only list of the members.
                const NodeArr* members = node->value.object.members;
                const int count = nodeArrCount(members);
                for (int i = 0; i < count; ++i) releaseNodeInto(nodeArrItems(members)[i], batch);
            }
            releaseNodeArr(node->value.object.members);
        } else if ((kind == kText || kind == kBytes) && node->value.address) {
            api::HeapFree(processHeap(), 0, node->value.address);
        }
    }
    std::memset(&node->value, 0, sizeof node->value);
    node->type &= DocNode::keyBorrowed;
}

}  // namespace

void releaseNode(DocNode* node) {
    SlotBatch batch;
    releaseNodeInto(node, batch);
}
