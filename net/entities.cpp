#include "net/entities.h"

#include <cstdint>

#include "platform/codepage.h"

namespace net {
namespace {

struct NamedEntity {
    const char* name;
    char16_t unit;
};

// Spaces first: they have no GBK form and read as a plain space.
constexpr NamedEntity kNamed[] = {
    {"nbsp", u'\u00A0'},   {"ensp", u'\u2002'},  {"emsp", u'\u2003'},   {"thinsp", u'\u2009'},
    {"amp", u'&'},         {"lt", u'<'},         {"gt", u'>'},          {"quot", u'"'},
    {"apos", u'\''},       {"copy", u'\u00A9'},  {"reg", u'\u00AE'},    {"trade", u'\u2122'},
    {"middot", u'\u00B7'}, {"times", u'\u00D7'}, {"divide", u'\u00F7'}, {"deg", u'\u00B0'},
    {"plusmn", u'\u00B1'}, {"sect", u'\u00A7'},  {"yen", u'\u00A5'},    {"laquo", u'\u00AB'},
    {"raquo", u'\u00BB'},  {"ndash", u'\u2013'}, {"mdash", u'\u2014'},  {"lsquo", u'\u2018'},
    {"rsquo", u'\u2019'},  {"ldquo", u'\u201C'}, {"rdquo", u'\u201D'},  {"hellip", u'\u2026'},
    {"bull", u'\u2022'},   {"larr", u'\u2190'},  {"rarr", u'\u2192'},   {"uarr", u'\u2191'},
    {"darr", u'\u2193'},
};

// Longest name above, and the most digits a numeric reference may have ("&#x0010FFFF;").
constexpr std::size_t kLongestName = 6;
constexpr std::size_t kMostDigits = 8;

bool isSpace(char32_t c) {
    return c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2009;
}

void appendCharacter(std::string& out, char32_t c) {
    if (c < 0x80 || isSpace(c)) {
        out += isSpace(c) ? ' ' : char(c);
        return;
    }
    const unsigned bytes = c <= 0xFFFF ? codepage::gbkOfUnit(char16_t(c)) : 0;
    if (bytes == 0) {
        out += '?';
    } else if (bytes > 0xFF) {
        out += char(bytes >> 8);
        out += char(bytes & 0xFF);
    } else {
        out += char(bytes);
    }
}

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reference that starts at text[at] == '&': the character it stands for and its length
// in bytes, or a length of 0 when there is none.
std::size_t readReference(std::string_view text, std::size_t at, char32_t& character) {
    const std::string_view rest = text.substr(at + 1);
    if (!rest.empty() && rest[0] == '#') {
        const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
        std::size_t i = hex ? 2 : 1;
        const std::size_t first = i;
        std::uint32_t value = 0;
        for (; i < rest.size() && i - first < kMostDigits; ++i) {
            const int d = digitValue(rest[i], hex);
            if (d < 0) break;
            value = value * (hex ? 16 : 10) + std::uint32_t(d);
        }
        if (i == first || i >= rest.size() || rest[i] != ';') return 0;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
        character = value;
        return i + 2;
    }
    const std::size_t semicolon = rest.substr(0, kLongestName + 1).find(';');
    if (semicolon == std::string_view::npos || semicolon == 0) return 0;
    const std::string_view name = rest.substr(0, semicolon);
    for (const NamedEntity& e : kNamed) {
        if (name == e.name) {
            character = e.unit;
            return semicolon + 2;
        }
    }
    return 0;
}

}  // namespace

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // A GBK trail byte is never "&", but a lead byte before the end is copied with its
        // trail all the same, so that the walk keeps in step with the characters.
        if (codepage::isGbkLead(byte) && i + 1 < text.size()) {
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        char32_t character = 0;
        const std::size_t length = byte == '&' ? readReference(text, i, character) : 0;
        if (length == 0) {
            out += char(byte);
            ++i;
            continue;
        }
        appendCharacter(out, character);
        i += length;
    }
    return out;
}

}  // namespace net
