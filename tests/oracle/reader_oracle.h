#pragma once
// The JSON reader as it was before its rewrite for speed: the oracle of the differential
// tests. Its trees (objects with their bucket tables made at once, the text buffer a heap
// block of its own) are released with releaseOracleDocument, never with releaseDocument.
#include <string>

#include "document/data_document.h"

DataDocument oracleParse(std::string& text);
void releaseOracleDocument(DataDocument& view);

// Every node of a tree as text, type words and all: key, type word in hex, and the value
// (texts and byte arrays byte for byte, doubles by their bits). Two readers agree on a text
// when these agree.
std::string oracleDump(const DocNode* node);
