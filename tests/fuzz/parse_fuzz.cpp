// parse() over arbitrary bytes: every node reached must be well formed, and releasing the
// tree must give every node back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/data_document.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void walk(const DocNode* node, const DocNode* parent, int depth) {
    check(node && node->parent == parent && depth <= kMaxNesting + 1);
    if (node->key) (void)std::strlen(node->key);
    switch (node->kind()) {
        case kText:
            (void)std::strlen(static_cast<const char*>(node->value.address));
            break;
        case kBytes: {
            ByteArrayHeader h;
            std::memcpy(&h, node->value.address, sizeof h);
            check(h.one == 1 && h.length >= 0);
            volatile unsigned sum = 0;
            const auto* bytes = static_cast<const unsigned char*>(node->value.address) + sizeof h;
            for (int i = 0; i < h.length; ++i) sum = sum + bytes[i];
            break;
        }
        case kArray: {
            const auto* list = static_cast<const NodeArr*>(node->value.address);
            for (int i = 1; i <= nodeArrCount(list); ++i)
                walk(nodeArrGet(list, i), node, depth + 1);
            break;
        }
        case kObject: {
            const NodeArr* members = node->value.object.members;
            // Built here, on the first look-up by name, as key and query build it.
            const NodeArr* table = objectBuckets(const_cast<DocNode*>(node));
            int inBuckets = 0;
            for (int b = 1; b <= nodeArrCount(table); ++b)
                inBuckets += nodeArrCount(bucketAt(table, b));
            check(inBuckets == nodeArrCount(members));
            for (int i = 1; i <= nodeArrCount(members); ++i) {
                const DocNode* m = nodeArrGet(members, i);
                const NodeArr* bucket =
                    bucketAt(table, bucketOf(nameHash(m->key), nodeArrCount(table)));
                check(nodeArrFind(bucket, m) > 0);
                walk(m, node, depth + 1);
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const int liveBefore = nodePool().liveSlots();
    DataDocument doc = parse(text);
    walk(doc.root(), nullptr, 0);
    releaseDocument(doc);
    check(nodePool().liveSlots() == liveBefore);
    return 0;
}
