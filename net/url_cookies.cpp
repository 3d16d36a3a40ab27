#include "net/url_cookies.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "base/text_util.h"

namespace net {
namespace {

const std::string kFullWidthSpace = "\xA1\xA1";

// 1-based position just after the scheme that urlHost takes the host from, or 1 when the
// address has none.
std::size_t hostStart(std::string_view lowered) {
    if (lowered.substr(0, 8) == "https://") return 9;
    if (std::size_t p = findText(lowered, "http://")) return p + 7;
    return 1;
}

// The five components of an address (RFC 3986 appendix B), each with whether it is there:
// an empty query "?" is not the same as none.
struct Components {
    std::string_view scheme, authority, path, query, fragment;
    bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
};

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

Components splitComponents(std::string_view s) {
    Components c;
    const std::size_t colon = s.find_first_of(":/?#");
    if (colon != std::string_view::npos && colon > 0 && s[colon] == ':' && isAlpha(s[0])) {
        bool schemeChars = true;
        for (char ch : s.substr(1, colon - 1))
            schemeChars &=
                isAlpha(ch) || (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.';
        if (schemeChars) {
            c.hasScheme = true;
            c.scheme = s.substr(0, colon);
            s.remove_prefix(colon + 1);
        }
    }
    if (s.substr(0, 2) == "//") {
        s.remove_prefix(2);
        const std::size_t end = std::min(s.find_first_of("/?#"), s.size());
        c.hasAuthority = true;
        c.authority = s.substr(0, end);
        s.remove_prefix(end);
    }
    if (const std::size_t hash = s.find('#'); hash != std::string_view::npos) {
        c.hasFragment = true;
        c.fragment = s.substr(hash + 1);
        s = s.substr(0, hash);
    }
    if (const std::size_t question = s.find('?'); question != std::string_view::npos) {
        c.hasQuery = true;
        c.query = s.substr(question + 1);
        s = s.substr(0, question);
    }
    c.path = s;
    return c;
}

// RFC 3986 5.2.4, over the whole path at once; linear in its length.
std::string removeDotSegments(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    const auto dropLastSegment = [&out] {
        const std::size_t slash = out.rfind('/');
        out.resize(slash == std::string::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.substr(0, 3) == "../") {
            in.remove_prefix(3);
        } else if (in.substr(0, 2) == "./") {
            in.remove_prefix(2);
        } else if (in.substr(0, 3) == "/./") {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.substr(0, 4) == "/../") {
            in.remove_prefix(3);
            dropLastSegment();
        } else if (in == "/..") {
            in = "/";
            dropLastSegment();
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const std::size_t next = std::min(in.find('/', 1), in.size());
            out.append(in.substr(0, next));
            in.remove_prefix(next);
        }
    }
    return out;
}

}  // namespace

std::string resolveReference(std::string_view base, std::string_view reference) {
    const Components b = splitComponents(base);
    const Components r = splitComponents(reference);
    Components t;
    std::string path;
    if (r.hasScheme) {
        t = r;
        path = removeDotSegments(r.path);
    } else {
        t.hasScheme = b.hasScheme;
        t.scheme = b.scheme;
        if (r.hasAuthority) {
            t.hasAuthority = true;
            t.authority = r.authority;
            path = removeDotSegments(r.path);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        } else {
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
            if (r.path.empty()) {
                path = std::string(b.path);
                t.hasQuery = r.hasQuery || b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                if (r.path.front() == '/') {
                    path = removeDotSegments(r.path);
                } else if (b.hasAuthority && b.path.empty()) {  // RFC 3986 5.2.3, merge
                    path = removeDotSegments("/" + std::string(r.path));
                } else {
                    const std::size_t slash = b.path.rfind('/');
                    const std::string_view dir = slash == std::string_view::npos
                                                     ? std::string_view()
                                                     : b.path.substr(0, slash + 1);
                    path = removeDotSegments(std::string(dir) + std::string(r.path));
                }
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
        }
        t.hasFragment = r.hasFragment;
        t.fragment = r.fragment;
    }
    std::string out;  // RFC 3986 5.3
    out.reserve(base.size() + reference.size());
    if (t.hasScheme) {
        out.append(t.scheme);
        out += ':';
    }
    if (t.hasAuthority) {
        out += "//";
        out.append(t.authority);
    }
    out += path;
    if (t.hasQuery) {
        out += '?';
        out.append(t.query);
    }
    if (t.hasFragment) {
        out += '#';
        out.append(t.fragment);
    }
    return out;
}

std::string urlHost(std::string_view url, bool keepPort) {
    std::string a = toLowerAscii(url);
    if (a.empty() || a.back() != '/') a.push_back('/');
    if (a.compare(0, 8, "https://") != 0 && !findText(a, "http://")) a.insert(0, "http://");
    const std::size_t start = hostStart(a);
    // "http://" alone has no "/" after the scheme: the host runs to the end (it is empty).
    std::size_t slash = findText(a, "/", start);
    if (!slash) slash = a.size() + 1;
    std::string host = a.substr(start - 1, slash - start);
    if (!keepPort) {
        if (std::size_t colon = findText(host, ":")) host.resize(colon - 1);
    }
    return host;
}

int urlPort(std::string_view url) {
    const std::string h = urlHost(url, true);
    const std::size_t colon = findLastText(h, ":");
    if (!colon) return toLowerAscii(url.substr(0, 5)) == "https" ? 443 : 80;
    long long port = 0;
    for (std::size_t i = colon; i < h.size() && h[i] >= '0' && h[i] <= '9'; ++i) {
        port = port * 10 + (h[i] - '0');
        if (port > INT_MAX) return INT_MAX;  // far past any port; refused when connecting
    }
    return int(port);
}

std::string urlPath(std::string_view url) {
    const std::string h = urlHost(url);
    // The host is looked for after the scheme: searched from the start, a host such as "h"
    // or "tp" would be found inside "http://" itself.
    std::string lowered = toLowerAscii(url);
    if (lowered.empty() || lowered.back() != '/') lowered.push_back('/');
    const std::size_t from = hostStart(lowered);
    const std::size_t a = findText(url, h, from, true);
    const std::size_t b = findText(url, "/", a);
    if (b) return std::string(url.substr(b - 1));
    return "/";
}

std::string cookieName(std::string_view item) {
    const std::size_t eq = findText(item, "=");
    return trimSpaces(eq ? item.substr(0, eq - 1) : item);
}

std::string dedupeItems(std::string_view text, std::string_view separator) {
    std::unordered_set<std::string> seen;
    std::string out;
    for (std::string& item : splitText(text, separator)) {
        if (!seen.insert(item).second) continue;
        out.append(item);
        out.append(separator);
    }
    out.resize(out.size() - std::min(out.size(), separator.size()));
    return out;
}

std::string mergeCookies(std::string& cookieJar, std::string& newCookies) {
    cookieJar = replaceAll(replaceAll(cookieJar, kFullWidthSpace, ""), " ", "");
    newCookies = replaceAll(replaceAll(newCookies, kFullWidthSpace, ""), " ", "");
    std::vector<std::string> items = splitText(newCookies, ";");
    std::unordered_set<std::string> names;
    for (const std::string& item : items) names.insert(cookieName(item));
    for (std::string& old : splitText(cookieJar, ";")) {
        if (names.insert(cookieName(old)).second) items.push_back(std::move(old));
    }
    std::string jar;
    for (const std::string& item : items) {
        if (item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0) continue;
        jar.append(item);
        jar.append("; ");
    }
    jar.resize(jar.size() - std::min<std::size_t>(jar.size(), 2));
    cookieJar = dedupeItems(jar, "; ");
    return cookieJar;
}

}  // namespace net
