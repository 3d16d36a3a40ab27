#include "net/url_cookies.h"

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

}  // namespace

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
