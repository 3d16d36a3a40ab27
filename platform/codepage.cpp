#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>

namespace codepage {
namespace {

// Both directions of code page 936 come from the C library's converter once, into flat
// tables; after that every conversion is a table look-up per character.
struct GbkTables {
    std::array<char16_t, 65536> toUnicode{};         // (lead << 8 | trail) -> unit, 0 = none
    std::array<std::uint16_t, 65536> fromUnicode{};  // unit -> bytes, 0 = none
    char16_t singleByte[256]{};                      // 0 = not a single-byte character
};

const GbkTables& tables() {
    static const std::unique_ptr<GbkTables> built = [] {
        auto t = std::make_unique<GbkTables>();
        iconv_t cd = iconv_open("UTF-16LE", "CP936");
        auto convert = [&](const unsigned char* in, size_t inLength) -> char16_t {
            char out[8];
            char* ip = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
            size_t il = inLength;
            char* op = out;
            size_t ol = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0 || sizeof out - ol != 2)
                return 0;
            return char16_t(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1])
                                                                     << 8);
        };
        for (unsigned b = 0; b < 0x80; ++b) t->singleByte[b] = char16_t(b);
        if (cd != iconv_t(-1)) {
            unsigned char euro = 0x80;
            t->singleByte[0x80] = convert(&euro, 1);
            for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
                for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                    if (trail == 0x7F) continue;
                    const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                                   static_cast<unsigned char>(trail)};
                    char16_t u = convert(pair, 2);
                    if (!u) continue;
                    t->toUnicode[lead << 8 | trail] = u;
                    if (!t->fromUnicode[u]) t->fromUnicode[u] = std::uint16_t(lead << 8 | trail);
                }
            }
            iconv_close(cd);
        }
        for (unsigned b = 0; b < 0x80; ++b) t->fromUnicode[b] = std::uint16_t(b);
        if (t->singleByte[0x80]) t->fromUnicode[t->singleByte[0x80]] = 0x80;
        return t;
    }();
    return *built;
}

// Appends the UTF-16 form of code page 936 bytes.
template <class Sink>
void decodeGbk(const unsigned char* s, size_t n, Sink&& put) {
    const GbkTables& t = tables();
    for (size_t i = 0; i < n;) {
        unsigned char b = s[i];
        if (b < 0x80) {
            put(char16_t(b));
            ++i;
        } else if (isGbkLead(b) && i + 1 < n && t.toUnicode[b << 8 | s[i + 1]]) {
            put(t.toUnicode[b << 8 | s[i + 1]]);
            i += 2;
        } else if (t.singleByte[b]) {
            put(t.singleByte[b]);
            ++i;
        } else {
            put(u'?');
            ++i;
        }
    }
}

// decodeGbk into a buffer known to be large enough (one unit per byte at most), with
// ASCII taken eight bytes at a time: replies and regex subjects are mostly ASCII.
size_t decodeGbkInto(const unsigned char* s, size_t n, char16_t* out) {
    const GbkTables& t = tables();
    char16_t* const start = out;
    size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if (!(word & 0x8080808080808080ULL)) {
                for (int k = 0; k < 8; ++k) out[k] = char16_t(s[i + k]);
                out += 8;
                i += 8;
                continue;
            }
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            *out++ = char16_t(b);
            ++i;
            continue;
        }
        if (isGbkLead(b) && i + 1 < n) {
            if (char16_t u = t.toUnicode[b << 8 | s[i + 1]]) {
                *out++ = u;
                i += 2;
                continue;
            }
        }
        *out++ = t.singleByte[b] ? t.singleByte[b] : u'?';
        ++i;
    }
    return size_t(out - start);
}

template <class Sink>
void encodeGbk(const char16_t* s, size_t n, unsigned char fallback, bool* usedDefault, Sink&& put) {
    const GbkTables& t = tables();
    for (size_t i = 0; i < n; ++i) {
        std::uint16_t g = s[i] == 0 ? 0 : t.fromUnicode[s[i]];
        if (s[i] == 0) {
            put(0);
        } else if (!g) {
            put(fallback);
            if (usedDefault) *usedDefault = true;
        } else if (g > 0xFF) {
            put(static_cast<unsigned char>(g >> 8));
            put(static_cast<unsigned char>(g & 0xFF));
        } else {
            put(static_cast<unsigned char>(g));
        }
    }
}

// UTF-8 decoding by the maximal-subpart rule: each invalid stretch gives one U+FFFD.
template <class Sink>
void decodeUtf8(const unsigned char* s, size_t n, Sink&& put) {
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            put(char16_t(b));
            ++i;
            continue;
        }
        unsigned need;
        char32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;  // no encoded surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            put(char16_t(0xFFFD));
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (unsigned k = 0; k < need; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            unsigned char c = s[j];
            unsigned char l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
            if (c < l || c > h) {
                ok = false;
                break;
            }
            cp = cp << 6 | (c & 0x3F);
        }
        if (!ok) {
            put(char16_t(0xFFFD));
            i = j;  // the valid prefix of the sequence is one maximal subpart
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(char16_t(0xD800 + (cp >> 10)));
            put(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            put(char16_t(cp));
        }
        i = j;
    }
}

template <class Sink>
void encodeUtf8(const char16_t* s, size_t n, Sink&& put) {
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            put(static_cast<unsigned char>(cp));
        } else if (cp < 0x800) {
            put(static_cast<unsigned char>(0xC0 | cp >> 6));
            put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            put(static_cast<unsigned char>(0xE0 | cp >> 12));
            put(static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F)));
            put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        } else {
            put(static_cast<unsigned char>(0xF0 | cp >> 18));
            put(static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F)));
            put(static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F)));
            put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        }
    }
}

bool isGbkPage(win::UINT page) {
    return page == win::CP_ACP || page == win::CP_GBK;
}

}  // namespace

unsigned gbkOfUnit(char16_t unit) {
    return unit == 0 ? 0 : tables().fromUnicode[unit];
}

std::u16string gbkToUtf16(std::string_view gbk) {
    std::u16string out;
    out.reserve(gbk.size());
    decodeGbk(reinterpret_cast<const unsigned char*>(gbk.data()), gbk.size(),
              [&](char16_t u) { out.push_back(u); });
    return out;
}

std::string utf16ToGbk(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 2);
    encodeGbk(utf16.data(), utf16.size(), '?', nullptr,
              [&](unsigned char b) { out.push_back(char(b)); });
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    decodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(),
               [&](char16_t u) { out.push_back(u); });
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    encodeUtf8(utf16.data(), utf16.size(), [&](unsigned char b) { out.push_back(char(b)); });
    return out;
}

std::string gbkToUtf8(std::string_view gbk) {
    return utf16ToUtf8(gbkToUtf16(gbk));
}
std::string utf8ToGbk(std::string_view utf8) {
    return utf16ToGbk(utf8ToUtf16(utf8));
}

}  // namespace codepage

namespace win {

int MultiByteToWideChar(UINT codePage, DWORD, const char* source, int sourceLength,
                        WCHAR* destination, int destinationLength) {
    if (!source || sourceLength < -1 || sourceLength == 0 || destinationLength < 0 ||
        (destinationLength > 0 && !destination))
        return 0;
    if (!codepage::isGbkPage(codePage) && codePage != CP_UTF8) return 0;
    size_t n = sourceLength == -1 ? std::strlen(source) + 1 : size_t(sourceLength);
    const auto* s = reinterpret_cast<const unsigned char*>(source);
    size_t count = 0;
    bool overflow = false;
    auto put = [&](char16_t u) {
        if (destinationLength > 0) {
            if (count >= size_t(destinationLength)) {
                overflow = true;
                return;
            }
            destination[count] = u;
        }
        ++count;
    };
    if (codePage == CP_UTF8)
        codepage::decodeUtf8(s, n, put);
    else if (destinationLength > 0 && n <= size_t(destinationLength))
        count = codepage::decodeGbkInto(s, n, destination);
    else
        codepage::decodeGbk(s, n, put);
    if (overflow || count > 0x7FFFFFFF) return 0;
    return int(count);
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* source, int sourceLength,
                        char* destination, int destinationLength, const char* defaultChar,
                        BOOL* usedDefaultChar) {
    if (!source || sourceLength < -1 || sourceLength == 0 || destinationLength < 0 ||
        (destinationLength > 0 && !destination))
        return 0;
    if (!codepage::isGbkPage(codePage) && codePage != CP_UTF8) return 0;
    size_t n = sourceLength;
    if (sourceLength == -1) {
        n = 0;
        while (source[n]) ++n;
        ++n;
    }
    size_t count = 0;
    bool overflow = false;
    auto put = [&](unsigned char b) {
        if (destinationLength > 0) {
            if (count >= size_t(destinationLength)) {
                overflow = true;
                return;
            }
            destination[count] = char(b);
        }
        ++count;
    };
    bool used = false;
    if (codePage == CP_UTF8) {
        codepage::encodeUtf8(source, n, put);
    } else {
        unsigned char fallback = defaultChar ? static_cast<unsigned char>(*defaultChar) : '?';
        codepage::encodeGbk(source, n, fallback, &used, put);
    }
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
    if (overflow || count > 0x7FFFFFFF) return 0;
    return int(count);
}

}  // namespace win
