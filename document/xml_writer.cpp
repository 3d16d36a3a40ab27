#include "document/xml_writer.h"

#include <cstdio>

#include "document/data_document.h"
#include "document/doc_date.h"
#include "document/node_arr.h"

namespace {

void appendIndent(std::string& out, const XmlLayout& layout, int depth) {
    out += layout.lineBreak;
    for (int i = 0; i < depth; ++i) out += layout.indent;
}

void appendFormatted(std::string& out, const char* format, double value) {
    char digits[64];
    const int n = std::snprintf(digits, sizeof digits, format, value);
    if (n > 0)
        out.append(digits, std::size_t(n) < sizeof digits ? std::size_t(n) : sizeof digits - 1);
}

}  // namespace

void escapeXmlText(const char* text, std::string& out) {
    if (!text) return;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += char(*p);
                // The trail byte of a two-byte character may look like one of the above.
                if (*p >= 0x80 && p[1]) out += char(*++p);
                break;
        }
    }
}

void writeXml(const DocNode* node, std::string& out, const XmlLayout& layout, int depth) {
    appendIndent(out, layout, depth);
    if (!node) {
        out += '<';
        out += layout.itemName;
        out += "></";
        out += layout.itemName;
        out += '>';
        return;
    }
    const std::string_view name = node->key ? std::string_view(node->key) : layout.itemName;
    out += '<';
    out += name;
    out += '>';
    if (node->has(DocNode::typedArray)) {
        // Native arrays have no element form here: an empty element.
    } else {
        switch (node->kind()) {
            case kNull:
                out += "null";
                break;
            case kBool:
                out += std::int32_t(node->value.integer) != 0 ? "true" : "false";
                break;
            case kInt32:
                out += std::to_string(std::int32_t(node->value.integer));
                break;
            case kInt64:
                out += std::to_string(node->value.integer);
                break;
            case kFloat:
                appendFormatted(out, "%.6g", double(node->value.single));
                break;
            case kDouble:
                appendFormatted(out, "%.13g", node->value.real);
                break;
            case kDateTime:
                out += formatDate(node->value.real, "yyyy-MM-ddTHH:mm:ssZ");
                break;
            case kText:
                escapeXmlText(static_cast<const char*>(node->value.address), out);
                break;
            case kArray: {
                const auto* list = static_cast<const NodeArr*>(node->value.address);
                const int n = nodeArrCount(list);
                for (int i = 1; i <= n; ++i) writeXml(nodeArrGet(list, i), out, layout, depth + 1);
                if (n) appendIndent(out, layout, depth);
                break;
            }
            case kObject: {
                const NodeArr* members = node->value.object.members;
                const int n = nodeArrCount(members);
                for (int i = 1; i <= n; ++i)
                    if (const DocNode* m = nodeArrGet(members, i))
                        writeXml(m, out, layout, depth + 1);
                if (n) appendIndent(out, layout, depth);
                break;
            }
            default:
                // byte, short, routine and byte arrays: an empty element.
                break;
        }
    }
    out += "</";
    out += name;
    out += '>';
}

std::string DataDocument::xmlText(std::string_view itemName, std::string_view encoding,
                                  std::string_view lineBreak, std::string_view indent) const {
    std::string out = "<?xml version=\"1.0\" encoding=\"";
    out += encoding;
    out += "\"?>";
    writeXml(node_, out, XmlLayout{itemName, lineBreak, indent}, 0);
    return out;
}
