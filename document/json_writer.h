#pragma once
// The JSON text writer: compact JSON that the reader reads back, with byte arrays in the
// "\e1,n,..." form inside strings and date-times as single-quoted texts.
#include <string>

#include "document/doc_node.h"

// Appends the JSON form of one node; `top` leaves its key out.
void writeJson(const DocNode* node, std::string& out, bool top);
// Appends a NUL-terminated text with JSON escapes; two-byte characters are copied whole.
void escapeJsonText(const char* text, std::string& out);
