#include <cstdio>
#include <cstring>

#include "tests/oracle/reader_oracle.h"

namespace {

void dumpInto(const DocNode* node, std::string& out) {
    if (!node) {
        out += '~';
        return;
    }
    char head[48];
    std::snprintf(head, sizeof head, "<%x|", node->type);
    out += head;
    if (node->key) out += node->key;
    out += '|';
    const std::uint32_t kind = node->kind();
    if (node->has(DocNode::typedArray)) {
        out += "typed";
    } else if (kind == kText) {
        out += static_cast<const char*>(node->value.address);
    } else if (kind == kBytes) {
        ByteArrayHeader h;
        std::memcpy(&h, node->value.address, sizeof h);
        out.append(static_cast<const char*>(node->value.address), sizeof h + std::size_t(h.length));
    } else if (kind == kArray) {
        const auto* list = static_cast<const NodeArr*>(node->value.address);
        for (int i = 1; i <= nodeArrCount(list); ++i) dumpInto(nodeArrGet(list, i), out);
    } else if (kind == kObject) {
        const NodeArr* members = node->value.object.members;
        for (int i = 1; i <= nodeArrCount(members); ++i) dumpInto(nodeArrGet(members, i), out);
    } else {
        std::uint64_t bits;
        std::memcpy(&bits, &node->value, sizeof bits);
        std::snprintf(head, sizeof head, "%llx", static_cast<unsigned long long>(bits));
        out += head;
    }
    out += '>';
}

}  // namespace

std::string oracleDump(const DocNode* node) {
    std::string out;
    dumpInto(node, out);
    return out;
}
