#include "document/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "document/data_document.h"
#include "document/value_convert.h"

namespace {

// 0: copied as it is; 1: escaped (or the end of the text); 2: first byte of a two-byte
// character.
struct EscapeClass {
    unsigned char of[256];
    constexpr EscapeClass() : of() {
        for (int c = 0x80; c < 256; ++c) of[c] = 2;
        for (int c : {0, 8, 9, 10, 12, 13, int('"'), int('/'), int('\\')}) of[c] = 1;
    }
};
constexpr EscapeClass kEscape;

// The output: one growing block written through a cursor; every piece first makes room for
// itself, so the writing loops need no checks of their own.
class JsonOut {
  public:
    JsonOut() = default;
    ~JsonOut() { std::free(begin_); }
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;

    void room(std::size_t n) {
        if (std::size_t(end_ - at_) >= n) return;
        const std::size_t used = std::size_t(at_ - begin_);
        std::size_t size = std::size_t(end_ - begin_) * 2;
        if (size < used + n) size = used + n + 256;
        auto* grown = static_cast<char*>(std::realloc(begin_, size));
        if (!grown) std::abort();
        begin_ = grown;
        at_ = grown + used;
        end_ = grown + size;
    }
    void put(char c) {
        room(1);
        *at_++ = c;
    }
    void put(const char* text, std::size_t n) {
        room(n);
        std::memcpy(at_, text, n);
        at_ += n;
    }
    template <std::size_t N>
    void put(const char (&literal)[N]) {
        put(literal, N - 1);
    }
    // Writing loops keep the cursor in a local (a char store could alias the member).
    char* cursor() const { return at_; }
    void moveTo(char* at) { at_ = at; }
    void appendTo(std::string& out) const { out.append(begin_, std::size_t(at_ - begin_)); }

  private:
    char* begin_ = nullptr;
    char* at_ = nullptr;
    char* end_ = nullptr;
};

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

constexpr std::uint64_t hasZeroByte(std::uint64_t v) {
    return (v - kOnes) & ~v & kHighs;
}

// Whether any of the eight bytes is a control byte, a quote, a slash, a backslash or the
// first byte of a two-byte character.
inline bool needsAttention(std::uint64_t word) {
    return ((word & kHighs) | hasZeroByte(word & ~(kOnes * 0x1F) & ~kHighs) |
            hasZeroByte(word ^ (kOnes * '"')) | hasZeroByte(word ^ (kOnes * '/')) |
            hasZeroByte(word ^ (kOnes * '\\'))) != 0;
}

void escapeInto(const char* text, JsonOut& out) {
    if (!text) return;
    const std::size_t length = std::strlen(text);
    // At most two bytes out for each byte in.
    out.room(2 * length);
    char* w = out.cursor();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = p + length;
    for (;;) {
        // Eight plain ASCII bytes at a time while they lie within the text.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (needsAttention(word)) break;
            std::memcpy(w, p, 8);
            w += 8;
            p += 8;
        }
        const unsigned char c = *p;
        const unsigned char cls = kEscape.of[c];
        if (cls == 0) {
            *w++ = char(c);
            ++p;
            continue;
        }
        if (cls == 2) {
            // A two-byte character is copied whole: its second byte may be a backslash.
            *w++ = char(c);
            if (p[1] == 0) break;
            *w++ = char(p[1]);
            p += 2;
            continue;
        }
        if (c == 0) break;
        *w++ = '\\';
        switch (c) {
            case 8:
                *w++ = 'b';
                break;
            case 9:
                *w++ = 't';
                break;
            case 10:
                *w++ = 'n';
                break;
            case 12:
                *w++ = 'f';
                break;
            case 13:
                *w++ = 'r';
                break;
            default:
                *w++ = char(c);
                break;
        }
        ++p;
    }
    out.moveTo(w);
}

void putInteger(JsonOut& out, std::int64_t value) {
    out.room(24);
    char* w = out.cursor();
    out.moveTo(std::to_chars(w, w + 24, value).ptr);
}

// NaN and the infinities have no JSON form: null.
void putReal(JsonOut& out, double value, int precision) {
    if (!std::isfinite(value)) {
        out.put("null");
        return;
    }
    out.room(40);
    char* w = out.cursor();
    out.moveTo(std::to_chars(w, w + 40, value, std::chars_format::general, precision).ptr);
}

void putHex(JsonOut& out, unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    char text[8];
    int n = 0;
    do {
        text[n++] = digits[value & 15u];
        value >>= 4;
    } while (value);
    out.room(std::size_t(n));
    char* w = out.cursor();
    while (n) *w++ = text[--n];
    out.moveTo(w);
}

void putByteArray(JsonOut& out, const void* block) {
    ByteArrayHeader h{1, 0};
    if (block) std::memcpy(&h, block, sizeof h);
    const int n = h.length > 0 ? h.length : 0;
    out.put("\"\\e1,");
    putHex(out, unsigned(n));
    // An empty array ends right after its length: the only form the reader takes back.
    const auto* bytes = block ? static_cast<const unsigned char*>(block) + sizeof h : nullptr;
    for (int i = 0; i < n; ++i) {
        out.put(',');
        putHex(out, bytes[i]);
    }
    out.put('"');
}

void writeNode(const DocNode* node, JsonOut& out, bool top);

void putNativeArray(JsonOut& out, const DocNode* node) {
    const std::uint32_t e = node->kind() & 0x7Fu;
    out.put('[');
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
            if (i) out.put(',');
            const unsigned char* at = elements + i * width;
            std::memset(&scratch->value, 0, sizeof scratch->value);
            if (width == 1) {
                scratch->value.integer = *at;
            } else if (width == 2) {
                std::int16_t v;
                std::memcpy(&v, at, 2);
                scratch->value.integer = v;
            } else {
                std::memcpy(scratch->value.raw, at, width);
            }
            // Kinds without a size hold addresses: only texts and byte arrays are read there.
            if (e > kBytes || (s == 0 && e != kText && e != kBytes))
                out.put("null");
            else
                writeNode(scratch, out, false);
        }
        // The scratch node never owned what it pointed to.
        std::memset(&scratch->value, 0, sizeof scratch->value);
        scratch->type = 0;
        nodePool().free(scratch);
    }
    out.put(']');
}

// Element lists and member lists lie apart on the heap: while one node is written, the list
// of the next sibling (or its text) is fetched.
inline void prefetchAhead(DocNode* const* items, int i, int count) {
    if (i + 1 >= count || !items[i + 1]) return;
    const DocNode* next = items[i + 1];
    __builtin_prefetch(next->kind() == kObject
                           ? static_cast<const void*>(next->value.object.members)
                           : next->value.address);
}

// An array's elements or an object's members (their names are theirs to write).
void putList(JsonOut& out, const NodeArr* list, char open, char close) {
    const int count = nodeArrCount(list);
    out.put(open);
    DocNode* const* items = count ? nodeArrItems(list) : nullptr;
    for (int i = 0; i < count; ++i) {
        if (i) out.put(',');
        prefetchAhead(items, i, count);
        writeNode(items[i], out, false);
    }
    out.put(close);
}

void writeNode(const DocNode* node, JsonOut& out, bool top) {
    if (!node) {
        out.put("null");
        return;
    }
    if (!top && node->key) {
        // Names are escaped like texts, so that every name reads back.
        out.put('"');
        escapeInto(node->key, out);
        out.put("\":");
    }
    if (node->has(DocNode::typedArray)) {
        putNativeArray(out, node);
        return;
    }
    const DocNode::Value& v = node->value;
    switch (node->kind()) {
        case kText:
            out.put('"');
            escapeInto(static_cast<const char*>(v.address), out);
            out.put('"');
            return;
        case kInt32:
        case kByte:
        case kShort:
            putInteger(out, std::int32_t(std::uint32_t(std::uint64_t(v.integer))));
            return;
        case kBool:
            if (v.integer & 0xFFFFFFFF)
                out.put("true");
            else
                out.put("false");
            return;
        case kInt64:
            putInteger(out, v.integer);
            return;
        case kFloat:
            putReal(out, double(v.single), 6);
            return;
        case kDouble:
            putReal(out, v.real, 13);
            return;
        case kDateTime: {
            const std::string text = formatDate(v.real, "'yyyy-MM-ddTHH:mm:ssZ'");
            out.put(text.data(), text.size());
            return;
        }
        case kBytes:
            putByteArray(out, v.address);
            return;
        case kArray:
            putList(out, static_cast<const NodeArr*>(v.address), '[', ']');
            return;
        case kObject:
            putList(out, v.object.members, '{', '}');
            return;
        default:
            // null, and a routine, which has no JSON form.
            out.put("null");
            return;
    }
}

}  // namespace

void escapeJsonText(const char* text, std::string& out) {
    JsonOut piece;
    escapeInto(text, piece);
    piece.appendTo(out);
}

void writeJson(const DocNode* node, std::string& out, bool top) {
    JsonOut piece;
    writeNode(node, piece, top);
    piece.appendTo(out);
}
