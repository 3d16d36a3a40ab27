#include "document/node_arr.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/api.h"
#include "base/text_util.h"
#include "document/data_document.h"

namespace {

win::HANDLE processHeap() {
    static const win::HANDLE heap = api::GetProcessHeap();
    return heap;
}

NodeArr* allocNodeArr(int n) {
    auto* list = static_cast<NodeArr*>(api::HeapAlloc(
        processHeap(), win::HEAP_ZERO_MEMORY, sizeof(NodeArr) + std::size_t(n) * sizeof(DocNode*)));
    list->dims = 1;
    list->count = n;
    return list;
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
    if (list) api::HeapFree(processHeap(), 0, list);
}

std::uint32_t nameHash(const char* name) {
    std::uint32_t h = 0;
    if (name)
        for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) h = h * 31u + *p;
    return h;
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
    if (!node) return;
    const std::uint32_t kind = node->kind();
    if (!node->has(DocNode::valueBorrowed)) {
        if (node->has(DocNode::typedArray)) {
            releaseTypedArray(node->value.address, kind & 0x7Fu);
        } else if (kind == kArray) {
            auto* list = static_cast<NodeArr*>(node->value.address);
            const int count = nodeArrCount(list);
            for (int i = 0; i < count; ++i) releaseNode(nodeArrItems(list)[i]);
            releaseNodeArr(list);
        } else if (kind == kObject) {
            NodeArr* table = node->value.object.buckets;
            const int buckets = nodeArrCount(table);
            for (int b = 1; b <= buckets; ++b) {
                NodeArr* bucket = bucketAt(table, b);
                const int entries = nodeArrCount(bucket);
                for (int e = 0; e < entries; ++e) releaseNode(nodeArrItems(bucket)[e]);
                releaseNodeArr(bucket);
            }
            releaseNodeArr(table);
            releaseNodeArr(node->value.object.members);
        } else if ((kind == kText || kind == kBytes) && node->value.address) {
            api::HeapFree(processHeap(), 0, node->value.address);
        }
    }
    std::memset(&node->value, 0, sizeof node->value);
    node->type &= DocNode::keyBorrowed;
}

void releaseNode(DocNode* node) {
    if (!node) return;
    if (node->key && !node->has(DocNode::keyBorrowed)) api::HeapFree(processHeap(), 0, node->key);
    releaseContent(node);
    nodePool().free(node);
}
