#pragma once
// NodeArr: the one container of the data document (array elements, object members, hash
// buckets): a heap block of a dimension count (1), an element count, then node addresses.
// Positions count from 1. A bucket table is a NodeArr whose elements are buckets, each a
// NodeArr of member nodes or nothing.
#include <cstdint>
#include <string>

#include "document/doc_arena.h"
#include "document/doc_node.h"

struct NodeArr {
    std::int32_t dims;
    std::int32_t count;
};

inline DocNode** nodeArrItems(NodeArr* list) {
    return reinterpret_cast<DocNode**>(list + 1);
}
inline DocNode* const* nodeArrItems(const NodeArr* list) {
    return reinterpret_cast<DocNode* const*>(list + 1);
}

NodeArr* makeNodeArr(int n);
// A list in a document's arena: released with the document, never on its own (release list
// does nothing for it), so that a tree read goes back in a few large frees.
NodeArr* makeNodeArrIn(DocArena& arena, int n);
inline int nodeArrCount(const NodeArr* list) {
    return list ? list->count : 0;
}
// Nothing outside 1 to count.
inline DocNode* nodeArrGet(const NodeArr* list, int position) {
    if (!list || position < 1 || position > list->count) return nullptr;
    return nodeArrItems(list)[position - 1];
}
DocNode* nodeArrSet(NodeArr* list, int position, DocNode* node);
void nodeArrAppend(NodeArr*& list, DocNode* node);
void nodeArrResize(NodeArr*& list, int n);
bool nodeArrInsert(NodeArr*& list, int position, DocNode* node);
int nodeArrFind(const NodeArr* list, const DocNode* node);
NodeArr* nodeArrFromMembers(DocNode* const* members, int count);
void releaseNodeArr(NodeArr* list);

// Buckets live in the element positions of a bucket table.
inline NodeArr* bucketAt(const NodeArr* table, int b) {
    return reinterpret_cast<NodeArr*>(nodeArrGet(table, b));
}
inline void setBucket(NodeArr* table, int b, NodeArr* bucket) {
    nodeArrSet(table, b, reinterpret_cast<DocNode*>(bucket));
}

// The hash that places a name in a bucket: keyed once per process (SipHash-1-3), so that
// names chosen to collide cannot pile into one bucket. A missing and an empty name give 0.
std::uint32_t nameHash(const char* name);
std::uint32_t nameHash(const char* name, std::size_t length);
// Byte-exact; a missing name equals an empty one.
bool sameName(const char* a, const char* b);
inline int bucketOf(std::uint32_t hash, int buckets) {
    return int(hash % std::uint32_t(buckets)) + 1;
}

// Builds an object's bucket table from its members in reading order. A later member with a
// name already seen is released and removed from `members` (length shrinks); the first
// stays. With useN, only the first n members count, and fewer than n given is an error
// (message box, no table).
NodeArr* ToDisorderArr(DocNode** members, int& length, int n = 0, bool useN = false);
// An object's bucket table. The reader leaves it to be built here on the first look-up by
// name (31 buckets up to 30 members, else 1.73 per member, members in order), since most
// objects read are never looked up by name.
NodeArr* objectBuckets(DocNode* object);
// Gives every list of the subtree that lies in a document's arena a heap block of its own,
// for a subtree that leaves its document and may outlive it.
void moveListsToHeap(DocNode* node);
// A table with 1.35 times the buckets, every entry rehashed in order; the old one released.
NodeArr* rebuildBuckets(NodeArr* table);

// A new null node from the node pool (zero key, value, type and parent).
DocNode* newNode();
// Releases what the node owns below it (elements, members, buckets, owned texts and byte
// arrays) and leaves it null, keeping its key and keyBorrowed.
void releaseContent(DocNode* node);
// Releases a native typed array block, with the texts or byte arrays it holds for those
// element kinds.
void releaseNativeArray(void* block, std::uint32_t elementKind);
// Releases the node's key unless borrowed, its content, and gives the node back to the pool.
void releaseNode(DocNode* node);

// Texts for the user (message boxes) go through this hook; the window layer installs one.
// Without it they are dropped.
using DocMessageBox = void (*)(const std::string& gbkText);
void setDocMessageBox(DocMessageBox show);
