// The view's operations beyond reading and paths: typed values, removal, renaming,
// inspection, the name search, sorting, cloning and joining.
#include <algorithm>
#include <cstring>

#include "base/api.h"
#include "base/error_log.h"
#include "base/text_util.h"
#include "document/data_document.h"
#include "document/value_convert.h"

namespace {

std::string_view untilNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool keyIs(const char* key, std::string_view name) {
    if (!key) return name.empty();
    return std::strncmp(key, name.data(), name.size()) == 0 && key[name.size()] == 0;
}

std::uint32_t hashOf(std::string_view name) {
    return nameHash(name.data(), name.size());
}

NodeArr* bucketFor(const DocNode* object, std::uint32_t hash) {
    const NodeArr* table = objectBuckets(const_cast<DocNode*>(object));
    const int buckets = nodeArrCount(table);
    return buckets ? bucketAt(table, bucketOf(hash, buckets)) : nullptr;
}

// The list without its first entry that holds `node`; the same list when none does. An
// emptied list goes back to the heap.
void removeFromList(NodeArr*& list, const DocNode* node) {
    const int at = nodeArrFind(list, node);
    if (!at) return;
    const int count = nodeArrCount(list);
    if (count == 1) {
        releaseNodeArr(list);
        list = nullptr;
        return;
    }
    DocNode** items = nodeArrItems(list);
    std::memmove(items + (at - 1), items + at, std::size_t(count - at) * sizeof(DocNode*));
    nodeArrResize(list, count - 1);
}

// Takes the member out of the bucket that its name hashes to.
void removeFromBucket(DocNode* object, const DocNode* member, std::uint32_t hash) {
    NodeArr* table = objectBuckets(object);
    const int buckets = nodeArrCount(table);
    if (!buckets) return;
    const int b = bucketOf(hash, buckets);
    NodeArr* bucket = bucketAt(table, b);
    removeFromList(bucket, member);
    setBucket(table, b, bucket);
}

void releaseBucketTable(NodeArr* table) {
    const int buckets = nodeArrCount(table);
    for (int b = 1; b <= buckets; ++b) releaseNodeArr(bucketAt(table, b));
    releaseNodeArr(table);
}

// Gives a node record back whose content has moved elsewhere.
void releaseShell(DocNode* node) {
    if (node->key && !node->has(DocNode::keyBorrowed))
        api::HeapFree(api::GetProcessHeap(), 0, node->key);
    std::memset(&node->value, 0, sizeof node->value);
    node->type = 0;
    nodePool().free(node);
}

// Moves the elements of `from` (an array taken out of `to`) to the end of array `to`.
void liftElements(DocNode* from, DocNode* to) {
    auto* source = static_cast<NodeArr*>(from->value.address);
    auto* target = static_cast<NodeArr*>(to->value.address);
    const int had = nodeArrCount(target);
    const int n = nodeArrCount(source);
    if (n) {
        nodeArrResize(target, had + n);
        for (int i = 1; i <= n; ++i) {
            DocNode* element = nodeArrGet(source, i);
            if (element) element->parent = to;
            nodeArrSet(target, had + i, element);
        }
        to->value.address = target;
    }
    releaseNodeArr(source);
    releaseShell(from);
}

// Moves the members of `from` (an object taken out of `to`) behind those of object `to`;
// a moved member whose name `to` already has is released, as the reader does with repeats.
void mergeMembers(DocNode* from, DocNode* to) {
    const NodeArr* kept = to->value.object.members;
    const NodeArr* moved = from->value.object.members;
    std::vector<DocNode*> all;
    all.reserve(std::size_t(nodeArrCount(kept) + nodeArrCount(moved)));
    for (const NodeArr* list : {kept, moved})
        for (int i = 1; i <= nodeArrCount(list); ++i)
            if (DocNode* m = nodeArrGet(list, i)) all.push_back(m);
    for (DocNode* m : all) m->parent = to;
    int length = int(all.size());
    NodeArr* table = ToDisorderArr(all.data(), length);
    releaseBucketTable(to->value.object.buckets);
    releaseNodeArr(to->value.object.members);
    releaseBucketTable(from->value.object.buckets);
    releaseNodeArr(from->value.object.members);
    to->value.object.buckets = table;
    to->value.object.members = nodeArrFromMembers(all.data(), length);
    releaseShell(from);
}

void collect(const DocNode* node, std::string_view name, std::uint32_t hash, int level,
             std::vector<DocNode*>& found) {
    --level;
    if (node->kind() == kArray && !node->has(DocNode::typedArray)) {
        if (level == 0) return;
        const auto* list = static_cast<const NodeArr*>(node->value.address);
        for (int i = 1; i <= nodeArrCount(list); ++i)
            if (const DocNode* e = nodeArrGet(list, i)) collect(e, name, hash, level, found);
    } else if (node->kind() == kObject) {
        const NodeArr* bucket = bucketFor(node, hash);
        for (int e = 1; e <= nodeArrCount(bucket); ++e) {
            DocNode* m = nodeArrGet(bucket, e);
            if (m && keyIs(m->key, name)) found.push_back(m);
        }
        if (level == 0) return;
        const NodeArr* members = node->value.object.members;
        for (int i = 1; i <= nodeArrCount(members); ++i) {
            const DocNode* m = nodeArrGet(members, i);
            if (m && (m->kind() == kArray || m->kind() == kObject))
                collect(m, name, hash, level, found);
        }
    }
}

std::int64_t numberKey(const DocNode* node) {
    std::int64_t key = 0;
    convertValue(node, &key, kInt64);
    return key;
}

// Binary search in a list sorted largest first; `compare` gives <0, 0, >0 for the key
// against entry p (from 1).
template <typename Compare>
int slotOf(int n, Compare compare) {
    if (n == 0) return 1;
    int lo = 0, hi = n, probe = n;
    for (;;) {
        const int c = compare(probe);
        if (c == 0) return probe;
        if (c > 0)
            hi = probe;
        else
            lo = probe;
        const int step = (hi - lo) / 2;
        if (step == 0) return lo + 1;
        probe = lo + step;
    }
}

}  // namespace

std::intptr_t DataDocument::remove(bool dropAll, bool liftChildren) {
    if (!node_) return -1;
    DocNode* node = node_;
    DocNode* parent = node->parent;
    if (!parent) {
        if (node == root_) {
            releaseDocument(*this);
        } else {
            // A subtree taken out earlier: the text buffer still serves the tree it came from.
            releaseNode(node);
            attach(nullptr, nullptr, nullptr);
        }
        return 0;
    }
    const std::uint32_t parentKind = parent->kind();
    if (parentKind == kArray && !parent->has(DocNode::typedArray)) {
        auto* list = static_cast<NodeArr*>(parent->value.address);
        removeFromList(list, node);
        // An array keeps a list even when it has no elements left.
        parent->value.address = list ? list : makeNodeArr(0);
    } else if (parentKind == kObject) {
        removeFromBucket(parent, node, nameHash(node->key));
        removeFromList(parent->value.object.members, node);
    } else {
        errorLog().push(gbk("释放内存的时候, 因为类型不匹配,导致出现错误."));
    }
    node->parent = nullptr;

    const std::uint32_t kind = node->has(DocNode::typedArray) ? 0 : node->kind();
    std::intptr_t result = 0;
    if (liftChildren && !dropAll && kind == kArray && parentKind == kArray) {
        liftElements(node, parent);
    } else if (liftChildren && !dropAll && kind == kObject && parentKind == kObject) {
        mergeMembers(node, parent);
    } else if (liftChildren && !dropAll && (kind == kArray || kind == kObject)) {
        // Only taken out: the view keeps the node as the root of a tree of its own, whose
        // lists must not go with the arena of the document it came from.
        moveListsToHeap(node);
        return reinterpret_cast<std::intptr_t>(node);
    } else if (node->has(DocNode::typedArray) && (node->kind() & 0x7Fu) > kBytes) {
        return reinterpret_cast<std::intptr_t>(node);
    } else {
        releaseNode(node);
    }
    attach(nullptr, nullptr, nullptr);
    return result;
}

bool DataDocument::getAs(int kind, void* destination) const {
    if (!node_ || !destination) return false;
    return convertValue(node_, destination, kind);
}

bool DataDocument::setAs(int kind, const void* source) {
    if (!node_) newRoot();
    return storeValue(node_, source, kind);
}

namespace {

// Clears the node (key and keyBorrowed stay) and stores a scalar of the kind.
void storeScalar(DocNode* node, std::uint32_t kind, const DocNode::Value& value) {
    releaseContent(node);
    node->value = value;
    node->type = (node->type & ~0xFFu) | kind;
}

}  // namespace

DocDateTime DataDocument::dateValue(DocDateTime value, bool set) {
    if (!node_) newRoot();
    if (!set) {
        DocDateTime result = 0;
        convertValue(node_, &result, kDateTime);
        return result;
    }
    DocNode::Value v{};
    v.real = value;
    storeScalar(node_, kDateTime, v);
    return 0;
}

bool DataDocument::setDocument(const DataDocument* other) {
    if (!node_) newRoot();
    return storeValue(node_, &other, kDocument);
}

std::int64_t DataDocument::int64Value(std::int64_t value, bool set) {
    if (!node_) newRoot();
    if (!set) {
        std::int64_t result = 0;
        convertValue(node_, &result, kInt64);
        return result;
    }
    DocNode::Value v{};
    v.integer = value;
    storeScalar(node_, kInt64, v);
    return 0;
}

float DataDocument::floatValue(float value, bool set) {
    if (!node_) newRoot();
    if (!set) {
        float result = 0;
        convertValue(node_, &result, kFloat);
        return result;
    }
    std::int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    DocNode::Value v{};
    v.integer = bits;  // the high word repeats the top bit
    storeScalar(node_, kFloat, v);
    return 0;
}

double DataDocument::doubleValue(double value, bool set) {
    if (!node_) newRoot();
    if (!set) {
        double result = 0;
        convertValue(node_, &result, kDouble);
        return result;
    }
    DocNode::Value v{};
    v.real = value;
    storeScalar(node_, kDouble, v);
    return 0;
}

bool DataDocument::boolValue(bool value, bool set) {
    if (!node_) newRoot();
    std::uint32_t low;
    std::memcpy(&low, node_->value.raw, sizeof low);
    if (set) {
        DocNode::Value v{};
        v.integer = value ? 1 : 0;
        storeScalar(node_, kBool, v);
    }
    return low != 0;
}

std::string DataDocument::keyName() const {
    return node_ && node_->key ? std::string(node_->key) : std::string();
}

bool DataDocument::rename(std::string_view newName) {
    if (!node_ || !node_->parent || node_->parent->kind() != kObject) return false;
    newName = untilNul(newName);
    DocNode* parent = node_->parent;
    removeFromBucket(parent, node_, nameHash(node_->key));
    NodeArr*& table = parent->value.object.buckets;
    if (!table) table = makeNodeArr(31);
    const int b = bucketOf(hashOf(newName), table->count);
    NodeArr* bucket = bucketAt(table, b);
    nodeArrAppend(bucket, node_);
    setBucket(table, b, bucket);
    if (node_->key && !node_->has(DocNode::keyBorrowed))
        api::HeapFree(api::GetProcessHeap(), 0, node_->key);
    node_->key = copyText(std::string(newName).c_str());
    node_->type &= ~DocNode::keyBorrowed;
    return true;
}

bool DataDocument::isEmpty() const {
    if (!node_) return true;
    if (node_->has(DocNode::typedArray)) return false;
    switch (node_->kind()) {
        case kText:
        case kArray:
        case kObject:
            return count() == 0;
        default:
            return node_->kind() == kNull;
    }
}

int DataDocument::kindOf() const {
    return node_ ? int(node_->type & 0xFFu) : -1;
}

int DataDocument::findAll(std::string_view name, std::vector<DataDocument>& out, int depth) const {
    name = untilNul(name);
    std::vector<DocNode*> found;
    if (node_) collect(node_, name, hashOf(name), depth, found);
    out.clear();
    out.reserve(found.size());
    for (DocNode* m : found) out.push_back(viewOn(m));
    return int(found.size());
}

bool DataDocument::hasKey(std::string_view name) const {
    name = untilNul(name);
    if (!node_ || name.empty() || node_->kind() != kObject) return false;
    const NodeArr* bucket = bucketFor(node_, hashOf(name));
    for (int e = 1; e <= nodeArrCount(bucket); ++e) {
        const DocNode* m = nodeArrGet(bucket, e);
        if (m && keyIs(m->key, name)) return true;
    }
    return false;
}

DataDocument DataDocument::rootView() const {
    return viewOn(root_);
}

DataDocument DataDocument::parentView() const {
    return viewOn(node_ ? node_->parent : nullptr);
}

int DataDocument::textSlot(const std::vector<std::string>& sorted, std::string_view key) {
    return slotOf(int(sorted.size()),
                  [&](int p) { return key.compare(sorted[std::size_t(p - 1)]); });
}

int DataDocument::numberSlot(const std::vector<DocNode*>& sorted, std::int64_t key) {
    return slotOf(int(sorted.size()), [&](int p) {
        const std::int64_t entry = numberKey(sorted[std::size_t(p - 1)]);
        return key < entry ? -1 : key > entry ? 1 : 0;
    });
}

namespace {

// The order that inserting the elements one by one, in array order, at the slot that
// slotOf gives would build, without moving them one by one. Between keys the order is the
// keys' own; within a run of equal keys it depends only on how many greater and how many
// equal keys were inserted before each element, so a count per key rank (a Fenwick tree)
// and a replay of the search over those counts put each element at its place in its run.
// `rankOf[i]` is element i's key rank, 0 for the largest key; `ranks` the number of ranks.
std::vector<DocNode*> insertionOrder(DocNode* const* items, const std::vector<int>& rankOf,
                                     int ranks) {
    const int n = int(rankOf.size());
    std::vector<int> size(std::size_t(ranks), 0);
    for (int r : rankOf) ++size[std::size_t(r)];
    std::vector<int> start(std::size_t(ranks) + 1, 0);
    for (int r = 0; r < ranks; ++r)
        start[std::size_t(r) + 1] = start[std::size_t(r)] + size[std::size_t(r)];
    std::vector<int> tree(std::size_t(ranks) + 1, 0);  // inserted elements per rank
    std::vector<int> inRun(std::size_t(ranks), 0);
    std::vector<DocNode*> out(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int r = rankOf[std::size_t(i)];
        if (size[std::size_t(r)] == 1) {
            // A key of its own: its place is known, only the counts need it.
            out[std::size_t(start[std::size_t(r)])] = items[i];
            for (int k = r + 1; k <= ranks; k += k & -k) ++tree[std::size_t(k)];
            continue;
        }
        int greater = 0;  // inserted elements of ranks 0 to r - 1
        for (int k = r; k > 0; k -= k & -k) greater += tree[std::size_t(k)];
        const int equal = inRun[std::size_t(r)];
        const int slot = slotOf(i, [&](int p) {
            return p <= greater ? -1 : p <= greater + equal ? 0 : 1;
        });
        const int at = slot - greater - 1;  // 0 to equal
        DocNode** run = out.data() + start[std::size_t(r)];
        std::memmove(run + at + 1, run + at, std::size_t(equal - at) * sizeof(DocNode*));
        run[at] = items[i];
        ++inRun[std::size_t(r)];
        for (int k = r + 1; k <= ranks; k += k & -k) ++tree[std::size_t(k)];
    }
    return out;
}

// Ranks of the keys, 0 for the largest; equal keys share a rank. Keys and places are
// sorted together so that comparisons read neighbouring memory.
template <typename Key>
int rankKeys(const std::vector<Key>& keys, std::vector<int>& rankOf) {
    const int n = int(keys.size());
    std::vector<std::pair<Key, int>> byKey;
    byKey.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) byKey.emplace_back(keys[std::size_t(i)], i);
    std::sort(byKey.begin(), byKey.end(),
              [](const std::pair<Key, int>& a, const std::pair<Key, int>& b) {
                  return b.first < a.first;
              });
    rankOf.assign(std::size_t(n), 0);
    int rank = -1;
    for (int k = 0; k < n; ++k) {
        if (k == 0 || byKey[std::size_t(k - 1)].first != byKey[std::size_t(k)].first) ++rank;
        rankOf[std::size_t(byKey[std::size_t(k)].second)] = rank;
    }
    return rank + 1;
}

}  // namespace

bool DataDocument::sort(bool descending) {
    if (!node_ || node_->kind() != kArray || node_->has(DocNode::typedArray)) return false;
    auto* list = static_cast<NodeArr*>(node_->value.address);
    const int n = nodeArrCount(list);
    const DocNode* first = nodeArrGet(list, 1);
    if (!first) return false;
    const std::uint32_t kind = first->kind();
    const bool byText = kind == kText && !first->has(DocNode::typedArray);
    const bool byNumber = kind >= kByte && kind <= kDateTime && !first->has(DocNode::typedArray);
    if (!byText && !byNumber) return false;

    DocNode** items = nodeArrItems(list);
    std::vector<int> rankOf;
    int ranks;
    if (byText) {
        // Texts are read where they lie; other elements are converted into `made`.
        std::vector<std::string> made(static_cast<std::size_t>(n));
        std::vector<std::string_view> keys(static_cast<std::size_t>(n));
        std::string_view key;
        for (int i = 0; i < n; ++i) {
            const DocNode* e = items[i];
            if (e && e->kind() == kText) {
                key = e->value.address
                          ? std::string_view(static_cast<const char*>(e->value.address))
                          : std::string_view();
            } else if (appendValueText(e, made[std::size_t(i)])) {
                // An element without a text form takes the key before it.
                key = made[std::size_t(i)];
            }
            keys[std::size_t(i)] = key;
        }
        ranks = rankKeys(keys, rankOf);
    } else {
        std::vector<std::int64_t> keys(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const DocNode* e = items[i];
            const std::uint32_t k = e ? e->kind() : kNull;
            // Whole numbers and truth values convert to themselves.
            keys[std::size_t(i)] =
                k == kInt32 || k == kInt64 || k == kBool ? e->value.integer : numberKey(e);
        }
        ranks = rankKeys(keys, rankOf);
    }
    const std::vector<DocNode*> order = insertionOrder(items, rankOf, ranks);
    for (int i = 0; i < n; ++i)
        items[i] = descending ? order[std::size_t(i)] : order[std::size_t(n - 1 - i)];
    return true;
}

DataDocument DataDocument::clone() const {
    DataDocument made;
    if (node_) convertValue(node_, &made, kDocument);
    return made;
}

std::string DataDocument::join(std::string_view separator, std::string_view equals,
                               bool keepEmpty) const {
    std::string out;
    if (!node_ || node_->has(DocNode::typedArray)) return out;
    bool first = true;
    if (node_->kind() == kArray) {
        const auto* list = static_cast<const NodeArr*>(node_->value.address);
        for (int i = 1; i <= nodeArrCount(list); ++i) {
            std::string value;
            if (!appendValueText(nodeArrGet(list, i), value) || value.empty()) continue;
            if (!first) out += separator;
            out += value;
            first = false;
        }
    } else if (node_->kind() == kObject) {
        const NodeArr* members = node_->value.object.members;
        for (int i = 1; i <= nodeArrCount(members); ++i) {
            const DocNode* m = nodeArrGet(members, i);
            std::string value;
            if (!m || !appendValueText(m, value) || (value.empty() && !keepEmpty)) continue;
            if (!first) out += separator;
            if (m->key) out += m->key;
            out += equals;
            out += value;
            first = false;
        }
    }
    return out;
}
