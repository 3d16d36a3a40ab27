#pragma once
// Value conversion: a node's value read as another kind, typed values stored into nodes, and
// deep copies of node content. Texts and byte-array blocks that these routines make come
// from the process heap and belong to the caller.
#include <cstdint>
#include <string>

#include "document/doc_date.h"
#include "document/doc_node.h"

// The width of a scalar of the kind: 1 byte, 2 short, 4 int32/float/bool/routine,
// 8 int64/double/dateTime, 0 for every other code.
int scalarSize(std::uint32_t kind);

// Reads the node's value as `targetKind` into `destination`, whose layout the target decides:
// byte/short/int32/bool/float 1, 2, 4, 4, 4 bytes; int64/double/dateTime 8 bytes; text,
// bytes and native arrays (128 + e) a pointer slot whose old block is released and replaced;
// kDocument a DataDocument; kValueAddress a pointer slot that receives the node's value
// address. False, destination untouched, when either is missing or no rule fits.
bool convertValue(const DocNode* node, void* destination, int targetKind);
// Replaces the node's value with the value of `kind` read at `source` (for texts, byte
// arrays, native arrays and documents: a slot holding their address).
bool storeValue(DocNode* node, const void* source, int kind);
// Gives `destination` a deep copy of the source's value and kind; its old content is
// released, its key kept.
bool copyContent(const DocNode* source, DocNode* destination);
// A new node with a copy of the key and a deep copy of the content (no parent).
DocNode* cloneNode(const DocNode* source);

char* copyText(const char* text);
// None for a missing block or a length that is not positive.
void* copyBytes(const void* block);
// None when the heap's size of the block disagrees with its header, or for an element kind
// that has no size and is neither text nor bytes.
void* copyNativeArray(const void* array, std::uint32_t elementKind);

// The node's value as text (false: no rule); what textValue and the text target give.
bool appendValueText(const DocNode* node, std::string& out);
// The node's value as a 32-bit integer (every kind has a rule).
std::int32_t valueAsInt32(const DocNode* node);
