#pragma once
// The XML export: one element per node, named after the member name (or the item name for
// array elements and the top node), values as element text, children indented by depth.
// There is no reader for this form.
#include <string>
#include <string_view>

#include "document/doc_node.h"

struct XmlLayout {
    std::string_view itemName = "item";
    std::string_view lineBreak = "\r\n";
    std::string_view indent = "\t";
};

// Appends one element for the node (an empty item element for no node) at `depth`.
void writeXml(const DocNode* node, std::string& out, const XmlLayout& layout, int depth);
// Appends the NUL-terminated text with & < > ' " escaped; two-byte characters are copied whole.
void escapeXmlText(const char* text, std::string& out);
