#include "download/file_name.h"

#include <cctype>

namespace download {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// The value of one parameter (name in lower case) of a header value, unquoted.
std::string parameter(std::string_view value, std::string_view name) {
    std::size_t i = 0;
    while (i < value.size()) {
        std::size_t semi = i;
        bool quoted = false;
        while (semi < value.size() && (quoted || value[semi] != ';')) {
            if (value[semi] == '"') quoted = !quoted;
            if (quoted && value[semi] == '\\') ++semi;
            ++semi;
        }
        std::string_view part = value.substr(i, std::min(semi, value.size()) - i);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
            part.remove_prefix(1);
        if (startsWithNoCase(part, name)) {
            std::string_view rest = part.substr(name.size());
            while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
            if (!rest.empty() && rest.front() == '=') {
                rest.remove_prefix(1);
                while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                    rest.remove_prefix(1);
                while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
                    rest.remove_suffix(1);
                if (!rest.empty() && rest.front() == '"') {
                    std::string out;
                    for (std::size_t k = 1; k < rest.size() && rest[k] != '"'; ++k) {
                        if (rest[k] == '\\' && k + 1 < rest.size()) ++k;
                        out += rest[k];
                    }
                    return out;
                }
                return std::string(rest);
            }
        }
        i = semi + 1;
    }
    return "";
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 character.
std::string cutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

}  // namespace

std::string nameFromContentDisposition(std::string_view value) {
    std::string extended = parameter(value, "filename*");
    if (!extended.empty()) {
        // charset'language'percent-encoded
        const std::size_t q1 = extended.find('\'');
        const std::size_t q2 = q1 == std::string::npos ? q1 : extended.find('\'', q1 + 1);
        if (q2 != std::string::npos) {
            const std::string charset = extended.substr(0, q1);
            if (startsWithNoCase(charset, "utf-8") && charset.size() == 5)
                return percentDecode(std::string_view(extended).substr(q2 + 1));
        }
    }
    return parameter(value, "filename");
}

std::string nameFromUrl(std::string_view url) {
    const std::size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return "";
    rest = rest.substr(slash);
    return percentDecode(rest.substr(rest.rfind('/') + 1));
}

std::string safeFileName(std::string_view name) {
    // Whatever follows the last separator: a name never names a folder.
    const std::size_t sep = name.find_last_of("/\\");
    if (sep != std::string_view::npos) name = name.substr(sep + 1);
    std::string clean;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;
        clean += c;
    }
    std::size_t start = 0;
    while (start < clean.size() && (clean[start] == '.' || clean[start] == ' ')) ++start;
    clean.erase(0, start);
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == '.')) clean.pop_back();
    if (clean.empty()) return "download";
    if (clean.size() > kMaxNameBytes) {
        const std::size_t dot = clean.rfind('.');
        const std::string ext =
            dot != std::string::npos && clean.size() - dot <= 16 ? clean.substr(dot) : "";
        clean = cutUtf8(clean, kMaxNameBytes - ext.size()) + ext;
    }
    return clean;
}

std::string numberedName(const std::string& name, int n) {
    if (n == 0) return name;
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

}  // namespace download
