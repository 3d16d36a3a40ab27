#include "net/fetch_url.h"

#include <algorithm>
#include <cstring>

#include "base/api.h"
#include "base/text_util.h"
#include "net/url_cookies.h"
#include "platform/heap.h"
#include "platform/wininet.h"

namespace net {
namespace {

const char kDefaultAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr win::DWORD kHeaderBufferSize = 5000;
constexpr win::DWORD kReadSize = 1024;
constexpr win::DWORD kMaxReserve = 256u << 20;

// A text ends at its first zero byte.
std::string_view asText(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

// The address as it may stand in a header line: control bytes percent-encoded as in the
// request target. An address can carry a line break (a JSON escape in a reply, a keyword
// pasted with its line end), and raw it would end the Referer line and start a header
// line of the sender's choosing.
std::string headerSafe(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F)
            wininet::appendPercentEncoded(out, c);
        else
            out += char(c);
    }
    return out;
}

void appendDefaultHeaders(std::string& headers, std::string_view url, std::string_view jar) {
    if (headers.empty())
        headers = "Accept: */*";
    else if (!findText(headers, "Accept:"))
        headers += "\r\nAccept: */*";
    if (!findText(headers, "Referer:")) headers += joinTexts({"\r\nReferer: ", headerSafe(url)});
    if (!findText(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
    if (!findText(headers, "Content-Type:"))
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!jar.empty()) headers += joinTexts({"\r\nCookie: ", jar});
}

std::string cookiesOf(std::string_view replyHeaders) {
    std::string cookies;
    for (const std::string& line : splitText(replyHeaders, "\r\n")) {
        if (!findText(line, "Set-Cookie")) continue;
        std::string item = findText(line, ";")
                               ? trimSpaces(textBetween(line, "Set-Cookie:", ";"))
                               : trimSpaces(replaceAll(line, "Set-Cookie:", "", true));
        cookies += item;
        cookies += "; ";
    }
    cookies.resize(cookies.size() - std::min<std::size_t>(cookies.size(), 2));
    return cookies;
}

thread_local bool latestFailed = false;
thread_local std::string latestError;

// Marks the calling thread's latest fetch as failed for `why` and gives the empty reply.
std::string failedWith(std::string why) {
    latestFailed = true;
    latestError = std::move(why);
    return {};
}

// Closes what is open, innermost first.
struct Handles {
    win::HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    void close() {
        for (win::HINTERNET* h : {&request, &connection, &session}) {
            if (*h) api::InternetCloseHandle(*h);
            *h = nullptr;
        }
    }
    ~Handles() { close(); }
};

}  // namespace

std::string fetchUrl(std::string_view url, std::optional<int> method,
                     std::optional<std::string_view> bodyText, std::string* cookieJar,
                     std::string* replyCookies, std::string* headers, std::string* replyHeaders,
                     std::optional<bool> noRedirect, std::string* bodyBytes,
                     std::optional<std::string_view> proxy) {
    // The caller's variables where supplied, local ones otherwise.
    std::string localHeaders, localReplyHeaders, localCookies, localBody;
    std::string& head = headers ? *headers : localHeaders;
    std::string& replyHead = replyHeaders ? *replyHeaders : localReplyHeaders;
    std::string& cookies = replyCookies ? *replyCookies : localCookies;
    std::string& body = bodyBytes ? *bodyBytes : localBody;
    const std::string target(asText(url));
    latestFailed = true;  // until the body is in
    latestError = "the request could not be made";

    int m = method.value_or(0);
    if (m < 0 || m > 2) m = 0;
    static const char* const verbs[] = {"GET", "POST", "HEAD"};
    const bool secure = toLowerAscii(target.substr(0, 5)) == "https";

    std::string agent = kDefaultAgent;
    if (findText(head, "User-Agent:", 1, true)) {
        agent = trimSpaces(textBetween(head, "User-Agent:", "\r\n"));
        if (agent.empty()) agent = headerValue(head);
    }

    const std::string proxyText(asText(proxy.value_or("")));
    const std::string proxyName = proxyText.empty() ? "" : secure ? proxyText : "http=" + proxyText;
    // Without a proxy of the caller's, the process's proxy settings apply (setProxySettings):
    // the environment's proxy variables unless the user chose otherwise.
    Handles h;
    h.session = api::InternetOpenA(
        agent.c_str(),
        proxyText.empty() ? win::INTERNET_OPEN_TYPE_PRECONFIG : win::INTERNET_OPEN_TYPE_PROXY,
        proxyName.c_str(), "", 0);
    if (!h.session) return failedWith("no web session");

    // A port past 65535 would wrap to some other port; such an address has no connection.
    const int port = urlPort(target);
    if (port < 0 || port > 65535) return failedWith("port out of range");
    h.connection =
        api::InternetConnectA(h.session, urlHost(target).c_str(), win::INTERNET_PORT(port), "", "",
                              win::INTERNET_SERVICE_HTTP, 0, 0);
    if (!h.connection) return failedWith("no host in the address");

    win::DWORD flags = win::INTERNET_FLAG_RELOAD | win::INTERNET_FLAG_NEED_FILE;
    if (cookieJar) flags |= win::INTERNET_FLAG_NO_COOKIES;
    if (noRedirect.value_or(false)) flags |= win::INTERNET_FLAG_NO_AUTO_REDIRECT;
    flags |= secure ? win::INTERNET_FLAG_SECURE : win::INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    h.request = api::HttpOpenRequestA(h.connection, verbs[m], urlPath(target).c_str(), "HTTP/1.1",
                                      nullptr, nullptr, flags, 0);
    if (!h.request) return failedWith("the request could not be opened");

    appendDefaultHeaders(head, target, cookieJar ? asText(*cookieJar) : std::string_view{});

    if (m == 0) {
        api::HttpSendRequestA(h.request, head.c_str(), win::DWORD(head.size()),
                              const_cast<char*>(""), 0);
    } else {
        if (body.empty()) body = std::string(asText(bodyText.value_or("")));
        api::HttpSendRequestA(h.request, head.c_str(), win::DWORD(head.size()), body.data(),
                              win::DWORD(body.size()));
    }

    std::string reply;
    // Sizing the body up front spares the copies of a growing buffer (room for the last,
    // empty read included); the hint comes from the server, so it is bounded.
    win::DWORD announced = 0, announcedSize = sizeof announced;
    if (api::HttpQueryInfoA(h.request, win::HTTP_QUERY_CONTENT_LENGTH | win::HTTP_QUERY_FLAG_NUMBER,
                            &announced, &announcedSize, nullptr)) {
        reply.reserve(std::size_t(std::min(announced, kMaxReserve)) + kReadSize);
        platform::adviseLargeBuffer(reply.data(), reply.capacity());
    }
    // Each 1024-byte read lands, zero-filled first, straight at the end of the body. A read
    // that fails (time-out, reply cap, broken transfer) fails the whole request: a cut-off
    // page must not pass for a complete one.
    for (;;) {
        const std::size_t size = reply.size();
        reply.resize(size + kReadSize);
        win::DWORD read = 0;
        if (!api::InternetReadFile(h.request, reply.data() + size, kReadSize, &read)) {
            latestError = wininet::lastFailure();
            reply.clear();
            reply.shrink_to_fit();
            break;
        }
        reply.resize(size + std::min(read, kReadSize));
        if (read == 0) {
            latestFailed = false;
            latestError.clear();
            break;
        }
    }

    replyHead.assign(kHeaderBufferSize, ' ');
    win::DWORD length = kHeaderBufferSize;
    if (api::HttpQueryInfoA(h.request, win::HTTP_QUERY_RAW_HEADERS_CRLF, replyHead.data(), &length,
                            nullptr))
        replyHead.resize(std::strlen(replyHead.c_str()));
    replyHead = replaceAll(replyHead, "Set-Cookie", "Set-Cookie", true);

    h.close();

    cookies = cookiesOf(replyHead);
    if (cookieJar) mergeCookies(*cookieJar, cookies);
    return reply;
}

bool lastFetchFailed() {
    return latestFailed;
}

std::string lastFetchError() {
    return latestError;
}

FetchAbortScope::FetchAbortScope(const std::atomic<bool>* stop) : previous_(wininet::abortFlag()) {
    wininet::setAbortFlag(stop);
}

FetchAbortScope::~FetchAbortScope() {
    wininet::setAbortFlag(previous_);
}

std::string utf8ToText(std::string_view bytes) {
    const std::string_view text = asText(bytes);
    if (text.empty()) return {};
    const int n = int(std::min<std::size_t>(text.size(), 0x3FFFFFFF));
    const int units = api::MultiByteToWideChar(win::CP_UTF8, 0, text.data(), n, nullptr, 0);
    if (units <= 0) return {};
    std::u16string wide(std::size_t(units), u'\0');
    api::MultiByteToWideChar(win::CP_UTF8, 0, text.data(), n, wide.data(), units);
    const int size =
        api::WideCharToMultiByte(win::CP_GBK, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(std::size_t(size), '\0');
    api::WideCharToMultiByte(win::CP_GBK, 0, wide.data(), units, out.data(), size, nullptr,
                             nullptr);
    return out;
}

std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition, bool ignoreCase) {
    const std::size_t from = startPosition > 0 ? std::size_t(startPosition) : 1;
    const std::size_t start = findText(text, startMarker, from, ignoreCase);
    if (!start) return {};
    const std::size_t begin = start + startMarker.size();
    const std::size_t end = findText(text, endMarker, begin, ignoreCase);
    if (!end) return {};
    return std::string(text.substr(begin - 1, end - begin));
}

std::string headerValue(std::string_view text) {
    const std::size_t colon = findText(text, ":");
    if (!colon) return {};
    return trimSpaces(text.substr(colon));
}

}  // namespace net
