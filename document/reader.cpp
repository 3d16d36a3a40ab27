// The JSON reader: one pass over code page 936 text. Names, texts and tokens are decoded
// into one text buffer that the nodes borrow from; each nesting level is one call of
// Reader::level, and an error ends only the levels that are open around it.
#include <locale.h>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fast_float/fast_float.h>

#include "base/api.h"
#include "base/error_log.h"
#include "base/text_util.h"
#include "document/data_document.h"
#include "document/string_scan.h"

namespace {

inline bool isBlankByte(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes that neither end nor start anything outside a string: they are copied as a run.
struct PlainBytes {
    bool plain[256];
    constexpr PlainBytes() : plain() {
        for (int c = 0; c < 0x80; ++c) plain[c] = true;
        for (unsigned char c : {'\\', '"', '\'', '[', '{', ':', ',', ']', '}'}) plain[c] = false;
    }
};
constexpr PlainBytes kPlain;

inline int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reader's numbers must not depend on the locale the window layer sets. The longest
// valid prefix counts; out of range, the C library's conversion decides (infinity or 0).
double textToDouble(const char* begin, const char* end) {
    double value = 0;
    auto [ptr, ec] = fast_float::from_chars(begin, end, value, fast_float::chars_format::general);
    if (ec == std::errc()) return value;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    std::string copy(begin, end);
    return strtod_l(copy.c_str(), nullptr, cLocale);
}

// The literal reader: a NUL-terminated token (here [begin, end)) to a kind and a value.
bool readLiteral(const char* begin, const char* end, std::uint32_t& kind, DocNode::Value& value) {
    while (begin < end && isBlankByte(static_cast<unsigned char>(*begin))) ++begin;
    while (end > begin && isBlankByte(static_cast<unsigned char>(end[-1]))) --end;
    const std::size_t length = std::size_t(end - begin);
    if (length == 0) return false;
    std::memset(&value, 0, sizeof value);
    const char first = *begin;
    if (first == 'n' || first == 't' || first == 'f') {
        if (length == 4 && std::memcmp(begin, "null", 4) == 0) {
            kind = kNull;
            return true;
        }
        if (length == 4 && std::memcmp(begin, "true", 4) == 0) {
            kind = kBool;
            value.integer = 1;
            return true;
        }
        if (length == 5 && std::memcmp(begin, "false", 5) == 0) {
            kind = kBool;
            return true;
        }
        return false;
    }
    const bool negative = first == '-';
    std::size_t digits = 0;
    std::uint64_t magnitude = 0;
    for (const char* p = begin + (negative ? 1 : 0); p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            if (digits < 19) magnitude = magnitude * 10 + std::uint64_t(c - '0');
            ++digits;
        } else if (c == '.' || c == 'e' || c == 'E') {
            if (digits == 0) return false;
            kind = kDouble;
            value.real = textToDouble(begin, end);
            return true;
        } else {
            return false;
        }
    }
    if (digits >= 20) {
        kind = kDouble;
        value.real = textToDouble(begin, end);
        return true;
    }
    if (digits <= 10) {
        const std::int64_t v = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
        if (digits <= 9 || (v >= INT32_MIN && v <= INT32_MAX)) {
            kind = kInt32;
            value.integer = v;
            return true;
        }
        kind = kInt64;
        value.integer = v;
        return true;
    }
    // 11 to 19 digits: saturating, as the standard conversion does.
    kind = kInt64;
    if (negative)
        value.integer =
            magnitude > std::uint64_t(INT64_MAX) + 1 ? INT64_MIN : std::int64_t(0 - magnitude);
    else
        value.integer = magnitude > std::uint64_t(INT64_MAX) ? INT64_MAX : std::int64_t(magnitude);
    return true;
}

void pushError(const std::string& text) {
    errorLog().push(text);
}

class Reader {
  public:
    Reader(const std::string& text, char* buffer)
        : text_(reinterpret_cast<const unsigned char*>(text.data())),
          length_(text.size()),
          source_(text),
          buf_(buffer),
          arena_(*textBufferArena(buffer)) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { nodePool().freeBatch(stash_ + stashAt_, stashEnd_ - stashAt_); }

    // Reads one level; the opening bracket is at 1-based position `start`.
    void* readRoot(DocNode* root, std::size_t start, bool isArray) {
        pos_ = start;
        depth_ = 1;
        return level(root, isArray);
    }

    // The root text value; false when the text ends before its closing quote.
    bool readRootString(DocNode* root, std::size_t start);

  private:
    enum class Escape { done, end, byteArray };

    void* level(DocNode* owner, bool isArray);
    void* finish(DocNode* owner, bool isArray, std::size_t base);
    Escape escape(unsigned char quote, bool inString, bool keepBackslash, std::size_t stringStart);
    bool tryByteArray(unsigned char quote, std::size_t stringStart);
    bool closeToken(DocNode* member, std::size_t tokenStart);
    // A fresh null member of `owner`, from the slots this reader took from the pool.
    DocNode* newMember(DocNode* owner) {
        if (stashAt_ == stashEnd_) refill();
        auto* node = static_cast<DocNode*>(stash_[stashAt_++]);  // zero-filled
        node->parent = owner;
        return node;
    }
    void refill() {
        // Small documents take few slots; large ones take them in batches under one lock.
        stashEnd_ = stashWant_;
        stashAt_ = 0;
        nodePool().allocBatch(stash_, stashEnd_);
        if (stashWant_ < kStash) stashWant_ *= 2;
    }
    int dropRepeats(DocNode** members, int count);

    const unsigned char* text_;
    std::size_t length_;
    const std::string& source_;
    std::size_t pos_ = 0;  // 1-based position of the last byte read = index of the next one
    char* buf_;
    std::size_t w_ = 1;  // next buffer index; index 0 (position 1) is never written
    int depth_ = 0;
    std::vector<DocNode*> members_;
    void* ownedBlock_ = nullptr;  // a byte-array block that did not fit where its text was
    DocArena& arena_;
    static constexpr int kStash = 1024;
    void* stash_[kStash];
    int stashAt_ = 0, stashEnd_ = 0, stashWant_ = 16;
    std::vector<std::int32_t> seen_;  // dropRepeats: member index + 1 per slot, 0 for none
};

// Later members with a name seen before in the object are released and leave the list; the
// first of each name stays, in reading order. The count left is returned.
int Reader::dropRepeats(DocNode** members, int count) {
    if (count < 2) return count;
    int kept = 0;
    if (count <= 8) {
        for (int r = 0; r < count; ++r) {
            DocNode* m = members[r];
            bool repeated = false;
            const char* name = m->key ? m->key : "";
            for (int e = 0; e < kept && !repeated; ++e) {
                const char* other = members[e]->key ? members[e]->key : "";
                repeated = *other == *name && std::strcmp(other, name) == 0;
            }
            if (repeated)
                releaseNode(m);
            else
                members[kept++] = m;
        }
        return kept;
    }
    std::size_t slots = 16;
    while (slots < std::size_t(count) * 2) slots *= 2;
    seen_.assign(slots, 0);
    const std::size_t mask = slots - 1;
    for (int r = 0; r < count; ++r) {
        DocNode* m = members[r];
        std::size_t at = nameHash(m->key) & mask;
        bool repeated = false;
        for (; seen_[at]; at = (at + 1) & mask)
            if (sameName(members[seen_[at] - 1]->key, m->key)) {
                repeated = true;
                break;
            }
        if (repeated) {
            releaseNode(m);
            continue;
        }
        members[kept] = m;
        seen_[at] = ++kept;
    }
    return kept;
}

bool Reader::closeToken(DocNode* member, std::size_t tokenStart) {
    buf_[w_++] = 0;
    std::uint32_t kind;
    DocNode::Value value;
    if (!readLiteral(buf_ + tokenStart, buf_ + w_ - 1, kind, value)) return false;
    if (member->kind() != kNull) releaseContent(member);
    member->value = value;
    member->type = (member->type & DocNode::keyBorrowed) | kind;
    return true;
}

// A byte-array form "\e1,<n>,<v>,...,<v>" right up to the string's closing quote. Checked
// whole before anything is written, so a form that is not taken leaves nothing to undo.
bool Reader::tryByteArray(unsigned char quote, std::size_t stringStart) {
    std::size_t p = pos_;  // index of the byte after the 'e'
    auto number = [&](std::uint64_t limit, std::uint64_t& out) {
        std::size_t digits = 0;
        out = 0;
        int h;
        while (p < length_ && (h = hexValue(text_[p])) >= 0) {
            out = out * 16 + std::uint64_t(h);
            if (out > limit) return false;
            ++p;
            ++digits;
        }
        return digits > 0;
    };
    std::uint64_t one, n;
    if (!number(1, one) || one != 1 || p >= length_) return false;
    ++p;  // separator
    // A length beyond what the rest of the text could hold cannot be well-formed.
    if (!number(length_, n)) return false;
    const std::size_t valuesStart = p;
    for (std::uint64_t i = 0; i < n; ++i) {
        if (p >= length_) return false;
        ++p;  // separator
        std::uint64_t v;
        if (!number(0xFFFF'FFFF'FFFFull, v)) return false;
    }
    if (p >= length_ || text_[p] != quote) return false;
    const std::size_t quoteIndex = p;
    const std::size_t blockBytes = sizeof(ByteArrayHeader) + std::size_t(n);
    unsigned char* block;
    // Written in place only while the buffer stays no further along than the text, which
    // every other write keeps; otherwise the block gets a heap block of its own.
    if (stringStart + blockBytes + 1 <= quoteIndex + 1) {
        block = reinterpret_cast<unsigned char*>(buf_ + stringStart);
        w_ = stringStart + blockBytes;
    } else {
        block = static_cast<unsigned char*>(
            api::HeapAlloc(api::GetProcessHeap(), win::HEAP_ZERO_MEMORY, blockBytes));
        if (ownedBlock_) api::HeapFree(api::GetProcessHeap(), 0, ownedBlock_);
        ownedBlock_ = block;
        buf_[stringStart] = 1;  // what the name reads if the string turns out to be a key
        w_ = stringStart + 1;
    }
    const ByteArrayHeader header{1, std::int32_t(n)};
    std::memcpy(block, &header, sizeof header);
    unsigned char* out = block + sizeof header;
    p = valuesStart;
    for (std::uint64_t i = 0; i < n; ++i) {
        ++p;
        unsigned v = 0;
        int h;
        while ((h = hexValue(text_[p])) >= 0) {
            v = v * 16 + unsigned(h);
            ++p;
        }
        *out++ = static_cast<unsigned char>(v);
    }
    pos_ = quoteIndex;
    return true;
}

// After a backslash at pos_. Writes what the escape stands for.
Reader::Escape Reader::escape(unsigned char quote, bool inString, bool keepBackslash,
                              std::size_t stringStart) {
    if (pos_ >= length_) return Escape::end;
    const unsigned char e = text_[pos_++];
    switch (e) {
        case 'b':
            buf_[w_++] = 8;
            break;
        case 'f':
            buf_[w_++] = 12;
            break;
        case 'n':
            buf_[w_++] = 10;
            break;
        case 'r':
            buf_[w_++] = 13;
            break;
        case 't':
            buf_[w_++] = 9;
            break;
        case 'u': {
            unsigned unit = 0;
            for (std::size_t k = 0; k < 4 && pos_ + k < length_; ++k) {
                const int h = hexValue(text_[pos_ + k]);
                if (h < 0) break;
                unit = unit * 16 + unsigned(h);
            }
            const std::uint16_t entry = codePageTable()[unit];
            buf_[w_++] = static_cast<char>(entry & 0xFF);
            if (entry >> 8) buf_[w_++] = static_cast<char>(entry >> 8);
            // Four bytes are always skipped, but never past the end of the text.
            pos_ = pos_ + 4 < length_ ? pos_ + 4 : length_;
            break;
        }
        case 'e':
            if (inString && tryByteArray(quote, stringStart)) return Escape::byteArray;
            buf_[w_++] = 'e';
            break;
        default:
            if (e >= 0x80) {
                if (keepBackslash) buf_[w_++] = '\\';
                buf_[w_++] = static_cast<char>(e);
                if (pos_ < length_) buf_[w_++] = static_cast<char>(text_[pos_++]);
            } else {
                buf_[w_++] = static_cast<char>(e);
            }
    }
    return Escape::done;
}

void* Reader::finish(DocNode* owner, bool isArray, std::size_t base) {
    int count = int(members_.size() - base);
    void* result = nullptr;
    // An object's bucket table is built on its first look-up by name (objectBuckets).
    if (!isArray) count = dropRepeats(members_.data() + base, count);
    NodeArr* list = makeNodeArrIn(arena_, count);
    if (count)
        std::memcpy(nodeArrItems(list), members_.data() + base,
                    std::size_t(count) * sizeof(DocNode*));
    if (isArray)
        result = list;
    else
        owner->value.object.members = list;
    members_.resize(base);
    return result;
}

void* Reader::level(DocNode* owner, bool isArray) {
    const std::size_t base = members_.size();
    DocNode* member = newMember(owner);
    members_.push_back(member);
    bool colon = false, tokenPending = false, byteArrayRead = false;
    std::size_t tokenStart = 0, stringStart = 0;
    unsigned char quote = 0;
    std::string error;

    // The reading and writing positions live in locals while the loop runs: a store through
    // the buffer's char pointer could otherwise alias them and force them back to memory.
    // They go back to pos_ and w_ around every call that reads or moves them.
    const unsigned char* const t = text_;
    char* const b = buf_;
    const std::size_t n = length_;
    std::size_t p = pos_, w = w_;
    auto store = [&] {
        pos_ = p;
        w_ = w;
    };
    auto load = [&] {
        p = pos_;
        w = w_;
    };

    while (p < n) {
        if (quote) {
            // The body of a string: plain bytes and two-byte characters are copied as a run,
            // sixteen at a time while none of them is a quote, a backslash or a lead byte.
            // The buffer index never passes the text index, so the sixteen fit.
            while (p < n) {
                while (p + 16 <= n) {
                    const unsigned special = document_scan::specialMask(t + p, quote);
                    if (special == 0) {
                        std::memcpy(b + w, t + p, 16);
                        p += 16;
                        w += 16;
                        continue;
                    }
                    // Only the bytes before the first special one: the buffer holds spaces
                    // wherever nothing was decoded.
                    const unsigned plain = unsigned(__builtin_ctz(special));
                    std::memcpy(b + w, t + p, plain);
                    p += plain;
                    w += plain;
                    break;
                }
                if (p >= n) break;
                const unsigned char c = t[p];
                if (c >= 0x80) {
                    b[w++] = static_cast<char>(c);
                    if (++p < n) b[w++] = static_cast<char>(t[p++]);
                } else if (c == quote || c == '\\') {
                    break;
                } else {
                    b[w++] = static_cast<char>(c);
                    ++p;
                }
            }
            if (p >= n) break;
        }
        const unsigned char c = t[p++];
        if (c >= 0x80) {
            b[w++] = static_cast<char>(c);
            if (p < n) b[w++] = static_cast<char>(t[p++]);
            continue;
        }
        if (c == '\\') {
            store();
            const Escape result = escape(quote, quote != 0, true, stringStart);
            load();
            if (result == Escape::end) break;
            if (result == Escape::byteArray) byteArrayRead = true;
            continue;
        }
        if (quote) {
            if (c != quote) {
                b[w++] = static_cast<char>(c);
                continue;
            }
            b[w++] = 0;
            quote = 0;
            if (colon || isArray) {
                if (member->kind() != kNull) releaseContent(member);
                const std::uint32_t keep = member->type & DocNode::keyBorrowed;
                if (byteArrayRead && ownedBlock_) {
                    member->value.address = ownedBlock_;
                    member->type = keep | kBytes;
                } else {
                    member->value.address = b + stringStart;
                    member->type = keep | DocNode::valueBorrowed | (byteArrayRead ? kBytes : kText);
                }
                colon = false;
            } else {
                member->key = b + stringStart;
                member->type |= DocNode::keyBorrowed;
                if (byteArrayRead && ownedBlock_)
                    api::HeapFree(api::GetProcessHeap(), 0, ownedBlock_);
            }
            ownedBlock_ = nullptr;
            continue;
        }
        switch (c) {
            case '"':
            case '\'':
                quote = c;
                stringStart = w;
                byteArrayRead = false;
                continue;
            case '[':
            case '{': {
                if (!(colon || isArray) || tokenPending) {
                    error = formatErrorText(source_, p);
                    break;
                }
                if (depth_ >= kMaxNesting) {
                    error = nestingErrorText(p);
                    break;
                }
                if (member->kind() != kNull) releaseContent(member);
                member->type =
                    (member->type & DocNode::keyBorrowed) | (c == '[' ? kArray : kObject);
                ++depth_;
                store();
                void* nested = level(member, c == '[');
                load();
                --depth_;
                if (c == '[')
                    member->value.address = nested;
                else
                    member->value.object.buckets = static_cast<NodeArr*>(nested);
                continue;
            }
            case ':':
                if (isArray || tokenPending || colon) {
                    error = formatErrorText(source_, p);
                    break;
                }
                colon = true;
                continue;
            case ',':
                if (tokenPending) {
                    if (!(colon || isArray)) {
                        error = formatErrorText(source_, p);
                        break;
                    }
                    store();
                    const bool read = closeToken(member, tokenStart);
                    load();
                    if (!read) {
                        error = valueErrorText(p);
                        break;
                    }
                }
                member = newMember(owner);
                members_.push_back(member);
                colon = tokenPending = false;
                continue;
            case ']':
            case '}':
                if (isArray != (c == ']')) {
                    error = formatErrorText(source_, p);
                    break;
                }
                if (tokenPending) {
                    if (!isArray && !colon) {
                        error = formatErrorText(source_, p);
                        break;
                    }
                    store();
                    const bool read = closeToken(member, tokenStart);
                    load();
                    if (!read) {
                        error = valueErrorText(p);
                        break;
                    }
                } else if (members_.size() - base == 1 &&
                           (isArray ? member->value.address == nullptr &&
                                          member->kind() != kObject  // its table comes later
                                    : member->key == nullptr)) {
                    // The member that "[]" and "{}" start with was never filled.
                    releaseNode(member);
                    members_.pop_back();
                }
                store();
                return finish(owner, isArray, base);
            default: {
                // Token bytes and blanks, copied as a run up to the next byte with a meaning.
                // Blanks are plain bytes too; the token starts at the first other one.
                std::size_t q = p - 1;
                if (!tokenPending) {
                    while (q < n && isBlankByte(t[q])) ++q;
                    if (q < n && kPlain.plain[t[q]]) {
                        tokenPending = true;
                        tokenStart = w + (q - (p - 1));
                    }
                }
                while (q < n && kPlain.plain[t[q]]) ++q;
                std::memcpy(b + w, t + (p - 1), q - (p - 1));
                w += q - (p - 1);
                p = q;
                continue;
            }
        }
        break;  // an error
    }
    store();
    if (error.empty()) error = missingCloseText(pos_);
    pushError(error);
    if (ownedBlock_) {
        api::HeapFree(api::GetProcessHeap(), 0, ownedBlock_);
        ownedBlock_ = nullptr;
    }
    releaseNode(member);
    members_.pop_back();
    return finish(owner, isArray, base);
}

bool Reader::readRootString(DocNode* root, std::size_t start) {
    pos_ = start;
    const unsigned char quote = text_[start - 1];
    const std::size_t stringStart = w_;
    bool byteArrayRead = false;
    while (pos_ < length_) {
        const unsigned char c = text_[pos_++];
        if (c >= 0x80) {
            buf_[w_++] = static_cast<char>(c);
            if (pos_ < length_) buf_[w_++] = static_cast<char>(text_[pos_++]);
        } else if (c == '\\') {
            const Escape result = escape(quote, true, false, stringStart);
            if (result == Escape::end) break;
            if (result == Escape::byteArray) byteArrayRead = true;
        } else if (c == quote) {
            buf_[w_++] = 0;
            if (byteArrayRead && ownedBlock_) {
                root->value.address = ownedBlock_;
                root->type = kBytes;
            } else {
                root->value.address = buf_ + stringStart;
                root->type = DocNode::valueBorrowed | (byteArrayRead ? kBytes : kText);
            }
            ownedBlock_ = nullptr;
            return true;
        } else {
            buf_[w_++] = static_cast<char>(c);
        }
    }
    if (ownedBlock_) api::HeapFree(api::GetProcessHeap(), 0, ownedBlock_);
    ownedBlock_ = nullptr;
    return false;
}

void trimForParse(std::string& text) {
    if (text.empty()) return;
    const auto first = static_cast<unsigned char>(text.front());
    const auto last = static_cast<unsigned char>(text.back());
    if (first == ' ' || first == 0xA1 || last == ' ' || last == 0xA1) text = trimSpaces(text);
}

}  // namespace

DataDocument parse(std::string& text) {
    prepare();
    trimForParse(text);
    DocNode* root = newNode();
    const std::size_t length = text.size();
    std::size_t s = 0;
    while (s < length && isBlankByte(static_cast<unsigned char>(text[s]))) ++s;
    if (s == length) return DataDocument(root, root, nullptr);

    char* buffer = makeTextBuffer(length);
    if (!buffer) return DataDocument(root, root, nullptr);
    Reader reader(text, buffer);
    const char first = text[s];
    if (first == '[') {
        root->type = kArray;
        root->value.address = reader.readRoot(root, s + 1, true);
    } else if (first == '{') {
        root->type = kObject;
        root->value.object.buckets = static_cast<NodeArr*>(reader.readRoot(root, s + 1, false));
    } else if (first == '"' || first == '\'') {
        reader.readRootString(root, s + 1);
    } else {
        const char* begin = text.data() + s;
        const char* nul = static_cast<const char*>(std::memchr(begin, 0, length - s));
        std::uint32_t kind;
        DocNode::Value value;
        if (readLiteral(begin, nul ? nul : text.data() + length, kind, value)) {
            root->value = value;
            root->type = kind;
        }
    }
    return DataDocument(root, root, buffer);
}
