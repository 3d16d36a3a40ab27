#include "document/value_convert.h"

#include <locale.h>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "base/api.h"
#include "document/data_document.h"
#include "document/node_arr.h"

namespace {

win::HANDLE heap() {
    static const win::HANDLE h = api::GetProcessHeap();
    return h;
}

void* heapAlloc(std::size_t bytes) {
    return api::HeapAlloc(heap(), win::HEAP_ZERO_MEMORY, bytes);
}

void heapFree(void* block) {
    if (block) api::HeapFree(heap(), 0, block);
}

std::int32_t bytesLength(const void* block) {
    if (!block) return 0;
    ByteArrayHeader h;
    std::memcpy(&h, block, sizeof h);
    return h.length > 0 ? h.length : 0;
}

const unsigned char* bytesData(const void* block) {
    return static_cast<const unsigned char*>(block) + sizeof(ByteArrayHeader);
}

// The first `width` bytes of a byte array, little-endian; bytes the array does not have
// count as zero.
std::uint64_t leadingBytes(const void* block, int width) {
    std::uint64_t value = 0;
    const int n = bytesLength(block) < width ? bytesLength(block) : width;
    const unsigned char* data = n ? bytesData(block) : nullptr;
    for (int i = n - 1; i >= 0; --i) value = value << 8 | data[i];
    return value;
}

void* makeBytes(const void* data, std::size_t n) {
    auto* block = static_cast<unsigned char*>(heapAlloc(sizeof(ByteArrayHeader) + n));
    if (!block) return nullptr;
    const ByteArrayHeader h{1, std::int32_t(n)};
    std::memcpy(block, &h, sizeof h);
    if (n) std::memcpy(block + sizeof h, data, n);
    return block;
}

char* makeText(const char* data, std::size_t n) {
    auto* text = static_cast<char*>(heapAlloc(n + 1));
    if (text && n) std::memcpy(text, data, n);
    return text;
}

// Truncation toward zero with the processor's answer for what does not fit: the most
// negative number.
std::int32_t truncateToInt32(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return std::int32_t(value);
}
std::int64_t truncateToInt64(double value) {
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
    return std::int64_t(value);
}

// Full-width ASCII (A3 A1..A3 FE) read as ASCII and the ideographic space as a blank, before
// a text is read as a number.
std::string narrowed(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x80 || !p[1]) {
            out += *p;
            continue;
        }
        const auto t = static_cast<unsigned char>(p[1]);
        if (c == 0xA3 && t >= 0xA1)
            out += char(t - 0x80);
        else if (c == 0xA1 && t == 0xA1)
            out += ' ';
        else
            out.append(p, 2);
        ++p;
    }
    return out;
}

bool needsNarrowing(const char* text) {
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) == 0xA1 || static_cast<unsigned char>(*p) == 0xA3)
            return true;
    return false;
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi: blanks, an optional sign, digits; held at the 32-bit limits.
std::int32_t textToInt32(const char* text) {
    if (!text) return 0;
    std::string wide;
    if (needsNarrowing(text)) {
        wide = narrowed(text);
        text = wide.c_str();
    }
    while (isSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > 2147483648ll) value = 2147483648ll;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return std::int32_t(value);
}

// atof, independent of the locale that the window layer sets.
double textToNumber(const char* text) {
    if (!text) return 0;
    std::string wide;
    if (needsNarrowing(text)) {
        wide = narrowed(text);
        text = wide.c_str();
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(text, nullptr, cLocale);
}

// The leading ASCII digits, modulo 2^32.
std::uint32_t leadingDigits(const char* text) {
    std::uint32_t value = 0;
    if (text)
        for (; *text >= '0' && *text <= '9'; ++text)
            value = value * 10u + std::uint32_t(*text - '0');
    return value;
}

void appendGeneral(std::string& out, double value, int precision) {
    char digits[64];
    auto [end, ec] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, precision);
    if (ec == std::errc()) out.append(digits, end);
}

bool documentTarget(const DocNode* node, DataDocument* view) {
    // Copied into a fresh node first: the view's node may be the source or hold it.
    DocNode* copy = newNode();
    copyContent(node, copy);
    DocNode* target = view->node();
    if (!target) {
        target = newNode();
    } else {
        releaseContent(target);
    }
    target->value = copy->value;
    target->type = (target->type & DocNode::keyBorrowed) | copy->kind();
    // Children of the copy now belong to the target.
    if (target->kind() == kArray) {
        auto* list = static_cast<NodeArr*>(target->value.address);
        for (int i = 1; i <= nodeArrCount(list); ++i)
            if (DocNode* e = nodeArrGet(list, i)) e->parent = target;
    } else if (target->kind() == kObject) {
        const NodeArr* members = target->value.object.members;
        for (int i = 1; i <= nodeArrCount(members); ++i)
            if (DocNode* m = nodeArrGet(members, i)) m->parent = target;
    }
    std::memset(&copy->value, 0, sizeof copy->value);
    copy->type = 0;
    nodePool().free(copy);
    view->attach(target, target, view->textBuffer());
    return true;
}

}  // namespace

int scalarSize(std::uint32_t kind) {
    switch (kind) {
        case kByte:
            return 1;
        case kShort:
            return 2;
        case kInt32:
        case kFloat:
        case kBool:
        case kRoutine:
            return 4;
        case kInt64:
        case kDouble:
        case kDateTime:
            return 8;
        default:
            return 0;
    }
}

char* copyText(const char* text) {
    if (!text) return nullptr;
    return makeText(text, std::strlen(text));
}

void* copyBytes(const void* block) {
    if (!block) return nullptr;
    const std::int32_t n = bytesLength(block);
    if (n <= 0) return nullptr;
    return makeBytes(bytesData(block), std::size_t(n));
}

void* copyNativeArray(const void* array, std::uint32_t elementKind) {
    if (!array) return nullptr;
    const auto* bytes = static_cast<const unsigned char*>(array);
    const std::size_t heapSize = api::HeapSize(heap(), 0, array);
    std::int32_t dims;
    if (heapSize < 4) return nullptr;
    std::memcpy(&dims, bytes, 4);
    if (dims < 0 || std::size_t(dims) > (heapSize - 4) / 4) return nullptr;
    const std::size_t header = 4 + 4 * std::size_t(dims);
    std::size_t total = 1;
    for (std::int32_t d = 0; d < dims; ++d) {
        std::int32_t size;
        std::memcpy(&size, bytes + 4 + 4 * std::size_t(d), 4);
        if (size < 0) return nullptr;
        if (size && total > heapSize / std::size_t(size)) return nullptr;
        total *= std::size_t(size);
    }
    const int s = scalarSize(elementKind);
    const std::size_t width = s ? std::size_t(s) : sizeof(void*);
    if (total > (heapSize - header) / width) return nullptr;
    const std::size_t expected = header + total * width;
    if (heapSize != expected) return nullptr;
    auto* copy = static_cast<unsigned char*>(heapAlloc(expected));
    if (!copy) return nullptr;
    if (s > 0) {
        std::memcpy(copy, bytes, expected);
        return copy;
    }
    if (elementKind != kText && elementKind != kBytes) {
        heapFree(copy);
        return nullptr;
    }
    std::memcpy(copy, bytes, header);
    for (std::size_t i = 0; i < total; ++i) {
        void* element;
        std::memcpy(&element, bytes + header + i * width, width);
        void* copied = elementKind == kText
                           ? static_cast<void*>(copyText(static_cast<char*>(element)))
                           : copyBytes(element);
        std::memcpy(copy + header + i * width, &copied, width);
    }
    return copy;
}

bool appendValueText(const DocNode* node, std::string& out) {
    if (!node) return false;
    const DocNode::Value& v = node->value;
    switch (node->kind()) {
        case kText:
            if (v.address) out += static_cast<const char*>(v.address);
            return true;
        case kInt32: {
            char digits[16];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, std::int32_t(v.integer));
            out.append(digits, end);
            return true;
        }
        case kByte:
        case kShort:
        case kInt64: {
            char digits[24];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v.integer);
            out.append(digits, end);
            return true;
        }
        case kFloat:
            appendGeneral(out, double(v.single), 6);
            return true;
        case kDouble:
            appendGeneral(out, v.real, 13);
            return true;
        case kBool:
            out += v.integer ? "true" : "false";
            return true;
        case kDateTime:
            out += formatDate(v.real, "yyyyMMddHHmmss");
            return true;
        case kBytes:
            if (v.address) {
                const auto* data = reinterpret_cast<const char*>(bytesData(v.address));
                const std::size_t n = std::size_t(bytesLength(v.address));
                const void* zero = std::memchr(data, 0, n);
                out.append(data, zero ? std::size_t(static_cast<const char*>(zero) - data) : n);
            }
            return true;
        default:
            return false;
    }
}

std::int32_t valueAsInt32(const DocNode* node) {
    const DocNode::Value& v = node->value;
    switch (node->kind()) {
        case kText:
            return std::int32_t(leadingDigits(static_cast<const char*>(v.address)));
        case kDateTime:
            return std::int32_t(std::uint32_t(std::uint64_t(dateToSeconds(v.real))));
        case kFloat:
            return truncateToInt32(double(v.single));
        case kDouble:
            return truncateToInt32(v.real);
        case kBytes:
            return std::int32_t(std::uint32_t(leadingBytes(v.address, 4)));
        default:
            return std::int32_t(std::uint32_t(std::uint64_t(v.integer)));
    }
}

bool convertValue(const DocNode* node, void* destination, int targetKind) {
    if (!node || !destination) return false;
    const std::uint32_t k = node->kind();
    const DocNode::Value& v = node->value;
    auto* out = static_cast<unsigned char*>(destination);
    switch (targetKind) {
        case kText: {
            std::string text;
            if (!appendValueText(node, text)) return false;
            char* made = makeText(text.data(), text.size());
            char* old;
            std::memcpy(&old, out, sizeof old);
            heapFree(old);
            std::memcpy(out, &made, sizeof made);
            return true;
        }
        case kByte:
        case kShort:
        case kInt32: {
            const std::uint32_t n = std::uint32_t(valueAsInt32(node));
            if (targetKind == kByte) {
                *out = static_cast<unsigned char>(n);
            } else if (targetKind == kShort) {
                const auto s = static_cast<std::uint16_t>(n);
                std::memcpy(out, &s, 2);
            } else {
                std::memcpy(out, &n, 4);
            }
            return true;
        }
        case kInt64: {
            std::int64_t value;
            if (k == kText) {
                value = textToInt32(static_cast<const char*>(v.address));
            } else if (k == kDateTime) {
                const std::int64_t seconds = dateToSeconds(v.real);
                value = seconds == INT64_MIN ? INT64_MIN : seconds * 1000;
            } else if (k == kDouble) {
                value = truncateToInt64(v.real);
            } else if (k == kFloat) {
                value = truncateToInt64(double(v.single));
            } else if (k == kBytes) {
                value = std::int64_t(leadingBytes(v.address, 8));
            } else {
                value = v.integer;
            }
            std::memcpy(out, &value, 8);
            return true;
        }
        case kFloat:
        case kDouble: {
            double value;
            if (k == kText) {
                value = textToNumber(static_cast<const char*>(v.address));
            } else if (k == kDouble) {
                value = v.real;
            } else if (k == kFloat) {
                value = double(v.single);
            } else if (k == kByte || k == kShort || k == kInt32 || k == kInt64) {
                value = double(v.integer);
            } else if (k == kBytes) {
                const std::uint64_t raw = leadingBytes(v.address, targetKind == kFloat ? 4 : 8);
                if (targetKind == kFloat) {
                    const auto word = std::uint32_t(raw);
                    std::memcpy(out, &word, 4);
                } else {
                    std::memcpy(out, &raw, 8);
                }
                return true;
            } else {
                return false;
            }
            if (targetKind == kFloat) {
                const auto single = float(value);
                std::memcpy(out, &single, 4);
            } else {
                std::memcpy(out, &value, 8);
            }
            return true;
        }
        case kBool: {
            const std::int32_t value = v.integer != 0 ? 1 : 0;
            std::memcpy(out, &value, 4);
            return true;
        }
        case kDateTime: {
            double value;
            if (k == kText) {
                value = parseDate(v.address ? static_cast<const char*>(v.address) : "");
            } else if (k == kDateTime) {
                value = v.real;
            } else if (k == kByte || k == kShort || k == kInt32) {
                value = secondsToDate(double(std::int32_t(v.integer)));
            } else if (k == kInt64) {
                value = secondsToDate(double(v.integer / 1000));
            } else if (k == kDouble) {
                value = secondsToDate(std::trunc(v.real / 1000));
            } else if (k == kBytes) {
                const std::uint64_t raw = leadingBytes(v.address, 8);
                std::memcpy(out, &raw, 8);
                return true;
            } else {
                return false;
            }
            std::memcpy(out, &value, 8);
            return true;
        }
        case kBytes: {
            void* made;
            if (k == kText) {
                const char* text = static_cast<const char*>(v.address);
                const std::size_t n = text ? std::strlen(text) : 0;
                made = n ? makeBytes(text, n) : nullptr;
            } else if (k >= kByte && k <= kRoutine) {
                made = makeBytes(v.raw, std::size_t(scalarSize(k)));
            } else if (k == kBytes) {
                made = copyBytes(v.address);
            } else {
                return false;
            }
            void* old;
            std::memcpy(&old, out, sizeof old);
            heapFree(old);
            std::memcpy(out, &made, sizeof made);
            return true;
        }
        case kDocument:
            return documentTarget(node, static_cast<DataDocument*>(destination));
        case kValueAddress: {
            const void* address = &node->value;
            std::memcpy(out, &address, sizeof address);
            return true;
        }
        default:
            break;
    }
    if (targetKind > int(DocNode::typedArray) && targetKind <= int(DocNode::typedArray + kBytes) &&
        k == std::uint32_t(targetKind)) {
        const std::uint32_t e = std::uint32_t(targetKind) - DocNode::typedArray;
        void* old;
        std::memcpy(&old, out, sizeof old);
        releaseNativeArray(old, e);
        void* made = copyNativeArray(v.address, e);
        std::memcpy(out, &made, sizeof made);
        return true;
    }
    return false;
}

bool storeValue(DocNode* node, const void* source, int kind) {
    if (!node) return false;
    if (kind == kNull) {
        releaseContent(node);
        return false;
    }
    if (!source) return false;
    const auto* in = static_cast<const unsigned char*>(source);
    DocNode::Value value;
    std::memset(&value, 0, sizeof value);
    // Texts, byte arrays, native arrays and documents: the source holds their address.
    const void* address = nullptr;
    if (kind == kText || kind == kBytes || kind == kDocument || kind > int(DocNode::typedArray))
        std::memcpy(&address, in, sizeof address);
    const bool negative = std::intptr_t(address) < 0;
    switch (kind) {
        case kByte:
            value.integer = *in;
            break;
        case kShort: {
            std::int16_t s;
            std::memcpy(&s, in, 2);
            value.integer = s;
            break;
        }
        case kInt32:
        case kFloat:
        case kBool: {
            std::int32_t w;
            std::memcpy(&w, in, 4);
            value.integer = w;
            break;
        }
        case kInt64:
        case kDouble:
        case kDateTime:
            std::memcpy(value.raw, in, 8);
            break;
        case kText:
            if (negative) return false;
            value.address = copyText(static_cast<const char*>(address));
            break;
        case kBytes:
            if (negative) return false;
            value.address = copyBytes(address);
            break;
        case kDocument: {
            const auto* view = static_cast<const DataDocument*>(address);
            if (!view) return false;
            if (view->node())
                copyContent(view->node(), node);
            else
                releaseContent(node);
            return true;
        }
        default:
            if (kind > int(DocNode::typedArray) && kind <= int(DocNode::typedArray + kBytes)) {
                if (negative) return false;
                value.address = copyNativeArray(address, std::uint32_t(kind) - DocNode::typedArray);
                break;
            }
            return false;
    }
    releaseContent(node);
    node->value = value;
    node->type = (node->type & ~(0xFFu | DocNode::valueBorrowed)) | std::uint32_t(kind);
    return true;
}

namespace {

// The nodes of one deep copy, taken from the pool in one batch: exactly as many as the
// source has below the node copied, so none is left over.
struct NodeSupply {
    std::vector<void*> slots;
    std::size_t next = 0;
};
thread_local NodeSupply* supply = nullptr;

std::size_t nodesBelow(const DocNode* a) {
    if (a->has(DocNode::typedArray)) return 0;
    const NodeArr* list = a->kind() == kArray    ? static_cast<const NodeArr*>(a->value.address)
                          : a->kind() == kObject ? a->value.object.members
                                                 : nullptr;
    std::size_t n = 0;
    for (int i = 1; i <= nodeArrCount(list); ++i)
        if (const DocNode* e = nodeArrGet(list, i)) n += 1 + nodesBelow(e);
    return n;
}

DocNode* supplyNode() {
    if (supply && supply->next < supply->slots.size())
        return static_cast<DocNode*>(supply->slots[supply->next++]);  // zero-filled
    return newNode();
}

}  // namespace

bool copyContent(const DocNode* a, DocNode* p) {
    if (!a || !p) return false;
    if (!supply) {
        NodeSupply nodes;
        nodes.slots.resize(nodesBelow(a));
        nodePool().allocBatch(nodes.slots.data(), int(nodes.slots.size()));
        supply = &nodes;
        const bool copied = copyContent(a, p);
        supply = nullptr;
        // Nothing is left over unless the source changed under the copy; never kept.
        if (nodes.next < nodes.slots.size())
            nodePool().freeBatch(nodes.slots.data() + nodes.next,
                                 int(nodes.slots.size() - nodes.next));
        return copied;
    }
    DocNode::Value value;
    std::memset(&value, 0, sizeof value);
    const std::uint32_t kind = a->kind();
    if (a->has(DocNode::typedArray)) {
        value.address = copyNativeArray(a->value.address, kind & 0x7Fu);
    } else if (kind == kArray) {
        const auto* list = static_cast<const NodeArr*>(a->value.address);
        const int count = nodeArrCount(list);
        if (count) {
            NodeArr* made = makeNodeArr(count);
            for (int i = 1; i <= count; ++i) {
                DocNode* element = cloneNode(nodeArrGet(list, i));
                if (element) element->parent = p;
                nodeArrSet(made, i, element);
            }
            value.address = made;
        }
    } else if (kind == kObject) {
        const NodeArr* members = a->value.object.members;
        const int count = nodeArrCount(members);
        if (count) {
            // The copy's bucket table is built on its first look-up by name.
            NodeArr* ordered = makeNodeArr(count);
            for (int i = 1; i <= count; ++i) {
                DocNode* member = cloneNode(nodeArrGet(members, i));
                if (!member) continue;
                member->parent = p;
                nodeArrSet(ordered, i, member);
            }
            value.object.members = ordered;
        }
    } else if (kind == kText) {
        value.address = copyText(static_cast<const char*>(a->value.address));
    } else if (kind == kBytes) {
        value.address = copyBytes(a->value.address);
    } else {
        value = a->value;
    }
    // Released only now: the source may lie below the destination.
    releaseContent(p);
    p->value = value;
    p->type = (p->type & ~(0xFFu | DocNode::valueBorrowed)) | kind;
    return true;
}

DocNode* cloneNode(const DocNode* a) {
    if (!a) return nullptr;
    DocNode* node = supplyNode();
    node->type = a->type & 0xFFFF0000u;
    node->key = copyText(a->key);
    copyContent(a, node);
    return node;
}
