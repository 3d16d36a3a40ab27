#pragma once
// The web request routine and the text helpers that go with it. A text is GBK bytes in a
// std::string; a byte array is a std::string too.
#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// One HTTP or HTTPS request; returns the whole reply body, or the empty byte array when
// the request could not be made or failed (time-out, reply cap, broken transfer).
// Optional arguments: an empty std::optional or a null pointer is "not supplied". Pointer
// arguments are the caller's variables, written back:
//   cookieJar     in/out  supplied (whatever its text): no automatic cookies; updated with
//                         the reply's cookies
//   replyCookies  out     the reply's cookies, name=value items joined by "; "
//   headers       in/out  request header lines separated by "\r\n", completed in place
//   replyHeaders  out     the raw reply header block (5000 spaces when it did not fit)
//   bodyBytes     in/out  request body; filled from bodyText for POST and HEAD when empty
// method: 0 GET, 1 POST, 2 HEAD, anything else GET. proxy: host:port; empty: the process's
// proxy settings (net/proxy_settings.h), by default the environment's proxy variables.
// Connections are kept between calls (one pool for the process, safe across threads).
std::string fetchUrl(std::string_view url, std::optional<int> method = {},
                     std::optional<std::string_view> bodyText = {},
                     std::string* cookieJar = nullptr, std::string* replyCookies = nullptr,
                     std::string* headers = nullptr, std::string* replyHeaders = nullptr,
                     std::optional<bool> noRedirect = {}, std::string* bodyBytes = nullptr,
                     std::optional<std::string_view> proxy = {});

// Whether the calling thread's latest fetchUrl failed: no connection, a time-out, the reply
// cap, a broken or aborted transfer. Tells such a failure apart from a reply whose body is
// empty, which fetchUrl returns alike.
bool lastFetchFailed();
// Why it failed, in a few words (libcurl's own text for a connection, name, TLS or proxy
// fault, e.g. "Failed to connect to 127.0.0.1 port 3128 after 0 ms: Connection refused");
// empty when the latest fetchUrl on the calling thread did not fail. Meant for showing
// beside the program's own failure message.
std::string lastFetchError();

// While it lives, fetchUrl on the calling thread gives up as soon as *stop is true, from
// whatever thread it is raised: a request in flight is dropped within about 100 ms and
// fails. Scopes nest; the flag must outlive the scope.
class FetchAbortScope {
  public:
    explicit FetchAbortScope(const std::atomic<bool>* stop);
    ~FetchAbortScope();
    FetchAbortScope(const FetchAbortScope&) = delete;
    FetchAbortScope& operator=(const FetchAbortScope&) = delete;

  private:
    const std::atomic<bool>* previous_;
};

// A UTF-8 reply body as text: up to its first zero byte, characters without a GBK form
// (and invalid UTF-8) become "?".
std::string utf8ToText(std::string_view bytes);

// The text between the first startMarker found from startPosition (1-based; 0 is the
// start) and the first endMarker after it; empty when either is missing.
std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition = 0, bool ignoreCase = false);

// Everything after the first ":", spaces trimmed; empty when there is no ":".
std::string headerValue(std::string_view text);

}  // namespace net
