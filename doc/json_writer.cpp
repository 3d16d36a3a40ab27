#include "doc/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "doc/data_document.h"
#include "doc/value_convert.h"

namespace {

// 0: copied as it is; 1: escaped; 2: first byte of a two-byte character.
struct EscapeClass {
    unsigned char of[256];
    constexpr EscapeClass() : of() {
        for (int c = 0x80; c < 256; ++c) of[c] = 2;
        for (int c : {8, 9, 10, 12, 13, int('"'), int('/'), int('\\')}) of[c] = 1;
        of[0] = 1;
    }
};
constexpr EscapeClass kEscape;

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

// NaN and the infinities have no JSON form: null.
void appendReal(std::string& out, double value, int precision) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char digits[64];
    auto [end, ec] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, precision);
    out.append(digits, end);
}

void appendHex(std::string& out, unsigned value) {
    char digits[16];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, 16);
    for (char* p = digits; p < end; ++p)
        if (*p >= 'a') *p = char(*p - 'a' + 'A');
    out.append(digits, end);
}

void appendByteArray(std::string& out, const void* block) {
    ByteArrayHeader h{1, 0};
    if (block) std::memcpy(&h, block, sizeof h);
    const int n = h.length > 0 ? h.length : 0;
    out += "\"\\e1,";
    appendHex(out, unsigned(n));
    // An empty array ends right after its length, the only form the reader takes back.
    const auto* bytes = static_cast<const unsigned char*>(block) + sizeof h;
    for (int i = 0; i < n; ++i) {
        out += ',';
        appendHex(out, bytes[i]);
    }
    out += '"';
}

void appendNativeArray(std::string& out, const DocNode* node) {
    const std::uint32_t e = node->kind() & 0x7Fu;
    out += '[';
    const auto* block = static_cast<const unsigned char*>(node->value.address);
    if (block) {
        std::int32_t dims;
        std::memcpy(&dims, block, 4);
        std::size_t total = dims > 0 ? 1 : 0;
        for (std::int32_t d = 0; d < dims; ++d) {
            std::int32_t size;
            std::memcpy(&size, block + 4 + 4 * std::size_t(d), 4);
            total *= std::size_t(size > 0 ? size : 0);
        }
        // Every dimension's elements in storage order, after the real header.
        const unsigned char* elements = block + 4 + 4 * std::size_t(dims > 0 ? dims : 0);
        const int s = scalarSize(e);
        const std::size_t width = s ? std::size_t(s) : sizeof(void*);
        DocNode* scratch = newNode();
        scratch->type = e;
        for (std::size_t i = 0; i < total; ++i) {
            if (i) out += ',';
            const unsigned char* at = elements + i * width;
            std::memset(&scratch->value, 0, sizeof scratch->value);
            if (width == 1) {
                scratch->value.integer = *at;
            } else if (width == 2) {
                std::int16_t v;
                std::memcpy(&v, at, 2);
                scratch->value.integer = v;
            } else if (width == 4) {
                std::memcpy(scratch->value.raw, at, 4);
            } else {
                std::memcpy(scratch->value.raw, at, 8);
            }
            if (e > kBytes || (s == 0 && e != kText && e != kBytes))
                out += "null";
            else
                writeJson(scratch, out, false);
        }
        // The scratch node never owned what it pointed to.
        std::memset(&scratch->value, 0, sizeof scratch->value);
        scratch->type = 0;
        nodePool().free(scratch);
    }
    out += ']';
}

}  // namespace

void escapeJsonText(const char* text, std::string& out) {
    if (!text) return;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (;;) {
        const unsigned char* run = p;
        while (kEscape.of[*p] == 0) ++p;
        if (p > run) out.append(reinterpret_cast<const char*>(run), std::size_t(p - run));
        const unsigned char c = *p;
        if (c == 0) return;
        if (kEscape.of[c] == 2) {
            // The second byte of a two-byte character may be a backslash: copied as it is.
            if (p[1] == 0) {
                out += char(c);
                return;
            }
            out.append(reinterpret_cast<const char*>(p), 2);
            p += 2;
            continue;
        }
        char escaped[2] = {'\\', char(c)};
        switch (c) {
            case 8:
                escaped[1] = 'b';
                break;
            case 9:
                escaped[1] = 't';
                break;
            case 10:
                escaped[1] = 'n';
                break;
            case 12:
                escaped[1] = 'f';
                break;
            case 13:
                escaped[1] = 'r';
                break;
            default:
                break;
        }
        out.append(escaped, 2);
        ++p;
    }
}

void writeJson(const DocNode* node, std::string& out, bool top) {
    if (!node) {
        out += "null";
        return;
    }
    if (!top && node->key) {
        // Names are escaped like texts, so that every name reads back.
        out += '"';
        escapeJsonText(node->key, out);
        out += "\":";
    }
    if (node->has(DocNode::typedArray)) {
        appendNativeArray(out, node);
        return;
    }
    const DocNode::Value& v = node->value;
    switch (node->kind()) {
        case kBool:
            out += v.integer & 0xFFFFFFFF ? "true" : "false";
            return;
        case kByte:
        case kShort:
        case kInt32:
            appendInteger(out, std::int32_t(std::uint32_t(std::uint64_t(v.integer))));
            return;
        case kInt64:
            appendInteger(out, v.integer);
            return;
        case kFloat:
            appendReal(out, double(v.single), 6);
            return;
        case kDouble:
            appendReal(out, v.real, 13);
            return;
        case kDateTime:
            out += formatDate(v.real, "'yyyy-MM-ddTHH:mm:ssZ'");
            return;
        case kText:
            out += '"';
            escapeJsonText(static_cast<const char*>(v.address), out);
            out += '"';
            return;
        case kBytes:
            appendByteArray(out, v.address);
            return;
        case kArray: {
            const auto* list = static_cast<const NodeArr*>(v.address);
            const int count = nodeArrCount(list);
            out += '[';
            for (int i = 0; i < count; ++i) {
                if (i) out += ',';
                writeJson(nodeArrItems(list)[i], out, false);
            }
            out += ']';
            return;
        }
        case kObject: {
            const NodeArr* members = v.object.members;
            const int count = nodeArrCount(members);
            out += '{';
            for (int i = 0; i < count; ++i) {
                if (i) out += ',';
                writeJson(nodeArrItems(members)[i], out, false);
            }
            out += '}';
            return;
        }
        default:
            // null, and a routine, which has no JSON form.
            out += "null";
            return;
    }
}
