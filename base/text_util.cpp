#include "base/text_util.h"

#include <algorithm>
#include <cstring>

#include "base/api.h"
#include "platform/codepage.h"

std::string gbk(std::string_view utf8) {
    return codepage::utf8ToGbk(utf8);
}

int textLength(const char* text) {
    return text ? int(std::strlen(text)) : 0;
}

int compareTexts(const char* a, const char* b) {
    return std::strcmp(a ? a : "", b ? b : "");
}

std::string joinTexts(std::initializer_list<std::string_view> texts) {
    std::size_t n = 0;
    for (auto t : texts) n += t.size();
    std::string out;
    out.reserve(n);
    for (auto t : texts) out.append(t);
    return out;
}

std::string joinBytes(std::initializer_list<std::string_view> arrays) {
    return joinTexts(arrays);
}

namespace {

bool isSpaceAt(std::string_view t, std::size_t i, std::size_t* width) {
    if (t[i] == ' ') {
        *width = 1;
        return true;
    }
    if (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
        static_cast<unsigned char>(t[i + 1]) == 0xA1) {
        *width = 2;
        return true;
    }
    return false;
}

// Width of the character that starts at i: 2 for a lead byte with a trail, else 1.
std::size_t charWidth(std::string_view t, std::size_t i) {
    return codepage::isGbkLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size() ? 2 : 1;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Compares needle at t[i..]; with ignoreCase only single-byte characters fold.
bool matchesAt(std::string_view t, std::size_t i, std::string_view needle, bool ignoreCase) {
    if (!ignoreCase) return t.compare(i, needle.size(), needle) == 0;
    for (std::size_t k = 0; k < needle.size();) {
        unsigned char n = static_cast<unsigned char>(needle[k]);
        if (codepage::isGbkLead(n) && k + 1 < needle.size()) {
            if (t[i + k] != needle[k] || t[i + k + 1] != needle[k + 1]) return false;
            k += 2;
        } else {
            if (lowerAscii(t[i + k]) != lowerAscii(needle[k])) return false;
            ++k;
        }
    }
    return true;
}

}  // namespace

std::string trimSpaces(std::string_view text) {
    std::size_t begin = 0, w = 0;
    while (begin < text.size() && isSpaceAt(text, begin, &w)) begin += w;
    // Walk characters forward so a trail byte A1 is never mistaken for half a space.
    std::size_t end = begin, lastKept = begin;
    while (end < text.size()) {
        if (isSpaceAt(text, end, &w)) {
            end += w;
        } else {
            end += charWidth(text, end);
            lastKept = end;
        }
    }
    return std::string(text.substr(begin, lastKept - begin));
}

bool isBlank(std::string_view text) {
    return trimSpaces(text).empty();
}

namespace {

// findText from 0-based byte `from`, given a character boundary at or before it. Loops that
// search on from their last hit hand the same `boundary` back in, so the walk over
// character starts resumes where it stopped instead of starting over at the beginning of
// the text on every call.
std::size_t findFrom(std::string_view text, std::string_view needle, std::size_t from,
                     bool ignoreCase, std::size_t& boundary) {
    if (from > text.size() || needle.size() > text.size() - from) return 0;
    if (boundary > from) boundary = 0;
    while (boundary < from) boundary += charWidth(text, boundary);
    if (needle.empty()) return boundary <= text.size() ? boundary + 1 : 0;
    const std::size_t last = text.size() - needle.size();
    if (ignoreCase) {
        for (; boundary <= last; boundary += charWidth(text, boundary))
            if (matchesAt(text, boundary, needle, true)) return boundary + 1;
        return 0;
    }
    for (std::size_t pos = boundary; pos <= last;) {
        std::size_t next = text.find(needle, pos);
        if (next == std::string_view::npos) return 0;
        while (boundary < next) boundary += charWidth(text, boundary);
        if (boundary == next) return next + 1;
        pos = next + 1;  // the hit began inside a two-byte character
    }
    return 0;
}

}  // namespace

std::size_t findText(std::string_view text, std::string_view needle, std::size_t start,
                     bool ignoreCase) {
    std::size_t boundary = 0;
    return findFrom(text, needle, start == 0 ? 0 : start - 1, ignoreCase, boundary);
}

std::size_t findLastText(std::string_view text, std::string_view needle) {
    if (needle.empty()) return findText(text, needle);
    // One walk over character starts, comparing at each.
    std::size_t found = 0;
    for (std::size_t i = 0; i + needle.size() <= text.size(); i += charWidth(text, i))
        if (text[i] == needle[0] && text.compare(i, needle.size(), needle) == 0) found = i + 1;
    return found;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0, boundary = 0;
    for (std::size_t p = findFrom(text, from, 0, ignoreCase, boundary); p;
         p = findFrom(text, from, p - 1 + from.size(), ignoreCase, boundary)) {
        out.append(text.substr(copied, p - 1 - copied));
        out.append(to);
        copied = p - 1 + from.size();
    }
    out.append(text.substr(copied));
    return out;
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
    const std::vector<std::string_view> views = splitTextViews(text, separator);
    return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string_view> splitTextViews(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> items;
    if (text.empty()) return items;
    if (separator.empty()) {
        items.emplace_back(text);
        return items;
    }
    std::size_t from = 0, boundary = 0;
    while (from < text.size()) {
        std::size_t p = findFrom(text, separator, from, false, boundary);
        if (!p) {
            items.emplace_back(text.substr(from));
            break;
        }
        items.emplace_back(text.substr(from, p - 1 - from));
        from = p - 1 + separator.size();
    }
    return items;
}

std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); i += charWidth(out, i)) out[i] = lowerAscii(out[i]);
    return out;
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); i += charWidth(out, i)) out[i] = upperAscii(out[i]);
    return out;
}

std::u16string textToUtf16(std::string_view gbkText) {
    if (gbkText.empty()) return {};
    const int n = int(std::min<std::size_t>(gbkText.size(), 0x3FFFFFFF));
    int needed = api::MultiByteToWideChar(win::CP_GBK, 0, gbkText.data(), n, nullptr, 0);
    std::u16string out(std::size_t(needed), u'\0');
    if (needed) api::MultiByteToWideChar(win::CP_GBK, 0, gbkText.data(), n, out.data(), needed);
    return out;
}

std::string utf16ToText(std::u16string_view utf16) {
    if (utf16.empty()) return {};
    const int n = int(std::min<std::size_t>(utf16.size(), 0x3FFFFFFF));
    int needed =
        api::WideCharToMultiByte(win::CP_GBK, 0, utf16.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(needed), '\0');
    if (needed)
        api::WideCharToMultiByte(win::CP_GBK, 0, utf16.data(), n, out.data(), needed, nullptr,
                                 nullptr);
    return out;
}

std::string csvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}
