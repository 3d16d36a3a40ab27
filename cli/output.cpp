#include "cli/output.h"

#include <iconv.h>
#include <langinfo.h>
#include <wchar.h>

#include <algorithm>
#include <clocale>
#include <cstdint>

#include "base/text_util.h"
#include "platform/codepage.h"

namespace lookup {
namespace {

std::string normalized(std::string_view codeset) {
    std::string n;
    for (char c : codeset) {
        if (c == '-' || c == '_') continue;
        n += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return n;
}

// One UTF-8 character at `i`: its code point (U+FFFD for a broken sequence) and length.
std::pair<char32_t, std::size_t> decodeAt(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return {b, 1};
    const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (len == 1 || i + len > s.size()) return {0xFFFD, 1};
    char32_t cp = b & (0x3F >> (len - 1));
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return {0xFFFD, 1};
        cp = cp << 6 | (c & 0x3F);
    }
    return {cp, len};
}

// iconv from one encoding to another; what cannot be converted becomes "?", one input
// character at a time (`step` tells how long a character of the input is).
template <class Step>
std::string convertWith(const char* to, const char* from, std::string_view input, Step step) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return std::string(input);
    std::string out;
    out.reserve(input.size() * 2);
    char buffer[4096];
    std::size_t at = 0;
    while (at < input.size()) {
        char* in = const_cast<char*>(input.data() + at);
        std::size_t inLeft = input.size() - at;
        char* o = buffer;
        std::size_t oLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, std::size_t(o - buffer));
        at = input.size() - inLeft;
        if (r == std::size_t(-1) && errno != E2BIG) {
            out += '?';
            at += std::max<std::size_t>(1, step(input, at));
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::size_t utf8Step(std::string_view s, std::size_t i) {
    return decodeAt(s, i).second;
}

std::size_t byteStep(std::string_view, std::size_t) {
    return 1;
}

std::string fieldOut(std::string_view utf8, const LocaleText& locale, bool forTerminal) {
    return locale.outUtf8(forTerminal ? withoutControls(utf8) : std::string(utf8));
}

}  // namespace

std::optional<Format> formatNamed(std::string_view name) {
    if (name == "table") return Format::Table;
    if (name == "tsv") return Format::Tsv;
    if (name == "csv") return Format::Csv;
    if (name == "json") return Format::Json;
    return std::nullopt;
}

LocaleText::LocaleText(std::string_view codeset) : codeset_(codeset) {
    const std::string n = normalized(codeset);
    if (n.empty() || n == "UTF8" || n == "ANSIX3.41968" || n == "ASCII" || n == "USASCII")
        kind_ = Kind::Utf8;
    else if (n == "GBK" || n == "CP936" || n == "GB2312" || n == "EUCCN" || n == "GB18030")
        kind_ = Kind::Gbk;  // the program's own code page, or one that holds it
    else
        kind_ = Kind::Other;
}

LocaleText LocaleText::fromEnvironment() {
    std::setlocale(LC_CTYPE, "");
    return LocaleText(nl_langinfo(CODESET));
}

std::string LocaleText::out(std::string_view programText) const {
    if (kind_ == Kind::Gbk) return std::string(programText);
    return outUtf8(codepage::gbkToUtf8(programText));
}

std::string LocaleText::outUtf8(std::string_view utf8) const {
    switch (kind_) {
        case Kind::Utf8:
            return std::string(utf8);
        case Kind::Gbk:
            return codepage::utf8ToGbk(utf8);
        case Kind::Other:
            break;
    }
    return convertWith((codeset_ + "//TRANSLIT").c_str(), "UTF-8", utf8, utf8Step);
}

std::string LocaleText::in(std::string_view localeBytes) const {
    switch (kind_) {
        case Kind::Utf8:
            return codepage::utf8ToGbk(localeBytes);
        case Kind::Gbk:
            return std::string(localeBytes);
        case Kind::Other:
            break;
    }
    return codepage::utf8ToGbk(convertWith("UTF-8", codeset_.c_str(), localeBytes, byteStep));
}

std::string withoutControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, len] = decodeAt(utf8, i);
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0))
            out += '?';
        else
            out.append(utf8.substr(i, len));
        i += len;
    }
    return out;
}

int displayWidth(std::string_view utf8) {
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, len] = decodeAt(utf8, i);
        const int w = ::wcwidth(wchar_t(cp));
        // Without a UTF-8 locale wcwidth knows nothing past ASCII; the program's text is
        // Chinese, and its characters take two columns.
        width += w >= 0 ? w : cp >= 0x1100 ? 2 : 1;
        i += len;
    }
    return width;
}

std::string renderTable(const Table& table, const LocaleText& locale) {
    const std::size_t n = table.columns.size();
    std::vector<std::vector<std::string>> cells;  // UTF-8, controls replaced
    cells.reserve(table.rows.size() + 1);
    cells.push_back(table.columns);
    for (const auto& row : table.rows) {
        std::vector<std::string> line;
        line.reserve(n);
        for (std::size_t c = 0; c < n; ++c)
            line.push_back(withoutControls(codepage::gbkToUtf8(c < row.size() ? row[c] : "")));
        cells.push_back(std::move(line));
    }
    std::vector<int> widths(n, 0);
    for (const auto& line : cells)
        for (std::size_t c = 0; c < n; ++c) widths[c] = std::max(widths[c], displayWidth(line[c]));
    std::string out;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t c = 0; c < n; ++c) {
            text += line[c];
            if (c + 1 < n) text.append(std::size_t(widths[c] - displayWidth(line[c]) + 2), ' ');
        }
        out += locale.outUtf8(text);
        out += '\n';
    }
    return out;
}

std::string renderTsvLine(const std::vector<std::string>& fields, const LocaleText& locale,
                          bool forTerminal) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += '\t';
        // Escaped in UTF-8, where a byte below 0x80 is always a character of its own: in
        // code page 936 a backslash byte can be the second half of a Chinese character.
        std::string escaped;
        for (char c : codepage::gbkToUtf8(fields[i])) {
            switch (c) {
                case '\t':
                    escaped += "\\t";
                    break;
                case '\n':
                    escaped += "\\n";
                    break;
                case '\r':
                    escaped += "\\r";
                    break;
                case '\\':
                    escaped += "\\\\";
                    break;
                default:
                    escaped += c;
            }
        }
        out += fieldOut(escaped, locale, forTerminal);
    }
    out += '\n';
    return out;
}

std::string renderCsvLine(const std::vector<std::string>& fields, const LocaleText& locale,
                          bool forTerminal) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += fieldOut(csvField(codepage::gbkToUtf8(fields[i])), locale, forTerminal);
    }
    out += '\n';
    return out;
}

std::string renderJson(const Table& table) {
    auto quote = [](std::string& out, std::string_view utf8) {
        static const char hex[] = "0123456789abcdef";
        out += '"';
        for (char ch : utf8) {
            const auto c = static_cast<unsigned char>(ch);
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (c < 0x20 || c == 0x7F) {
                        out += "\\u00";
                        out += hex[c >> 4];
                        out += hex[c & 15];
                    } else {
                        out += ch;
                    }
            }
        }
        out += '"';
    };
    std::string out = "[";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += r ? ",\n  {" : "\n  {";
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            if (c) out += ", ";
            quote(out, table.columns[c]);
            out += ": ";
            const auto& row = table.rows[r];
            // gbkToUtf8 gives valid UTF-8 whatever the bytes: undecodable ones become "?".
            quote(out, codepage::gbkToUtf8(c < row.size() ? row[c] : ""));
        }
        out += '}';
    }
    out += table.rows.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string render(const Table& table, Format format, const LocaleText& locale, bool forTerminal,
                   bool withHeader) {
    if (format == Format::Table) return renderTable(table, locale);
    if (format == Format::Json) return renderJson(table);
    const auto line = format == Format::Tsv ? renderTsvLine : renderCsvLine;
    std::string out = withHeader ? line(table.columns, locale, forTerminal) : std::string();
    for (const auto& row : table.rows) out += line(row, locale, forTerminal);
    return out;
}

}  // namespace lookup
