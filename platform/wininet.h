#pragma once
// WinINet stand-in over libcurl: the session, connection and request handles that the web
// request routine opens for each call, with the behaviour it relies on:
//  - the session holds the agent string and the access mode; direct access ignores any
//    proxy from the environment, proxy access takes the WinINet proxy list
//    ("http=host:port" for plain requests, a bare "host:port" for every scheme);
//  - request flags: no auto redirect, secure (TLS with certificate checks), plain requests
//    may be redirected to https only with IGNORE_REDIRECT_TO_HTTPS, and without NO_COOKIES
//    cookies are kept in memory for the life of the process and sent back;
//  - the header block goes on the wire as given, in its order, after Host and the agent;
//  - the reply streams out through InternetReadFile in reads of the size asked for, and
//    HttpQueryInfoA(HTTP_QUERY_RAW_HEADERS_CRLF) gives the final response's raw header block.
//  - preconfigured access takes the process's proxy configuration (setPreconfiguredProxy:
//    by default the environment's http_proxy, https_proxy, all_proxy and no_proxy, in
//    either letter case), as WinINet takes the system's.
// A transfer fails when the connection cannot be made within the connect time-out, when
// nothing arrives for the idle time-out, when the whole request (connection, header lines
// and body, however slowly they trickle in) outlasts the overall time-out, or when the
// body grows past the reply cap; a failed transfer makes InternetReadFile return FALSE,
// and lastFailure() says why.
//
// Handles come and go with each request, but connections do not: a finished transfer's
// connection stays open in a process-wide pool and the next request to the same host
// (through the same proxy) goes out on it, as the system's client keeps connections alive.
// DNS answers and TLS sessions are cached for the process too. A GET or HEAD whose kept
// connection turns out to have been closed by the server is sent once more on a new one;
// a POST never goes out on a kept connection, so it is never sent twice.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace win {

using HINTERNET = void*;
using INTERNET_PORT = std::uint16_t;
using DWORD_PTR = std::uintptr_t;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;

constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x00080000;
constexpr DWORD INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000;
constexpr DWORD INTERNET_FLAG_NEED_FILE = 0x00000010;

constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy,
                        const char* proxyBypass, DWORD flags);
HINTERNET InternetConnectA(HINTERNET session, const char* serverName, INTERNET_PORT serverPort,
                           const char* userName, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context);
HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           DWORD flags, DWORD_PTR context);
// Runs the request until the final response's headers and the start of its body (the
// whole body when it is small) are in, or the transfer fails.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
// Hands out up to `bytesToRead` bytes of the body; *bytesRead 0 with TRUE is the end,
// FALSE means the transfer failed (connect, time-out, reply cap, broken connection).
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead);
// Level 22: the raw header block with CR LF line ends and the blank line at the end,
// zero-terminated; FALSE, and *bufferLength set to the bytes needed, when it does not fit.
// Level 5 | HTTP_QUERY_FLAG_NUMBER: the final response's Content-Length as a DWORD.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength,
                    DWORD* index);
BOOL InternetCloseHandle(HINTERNET handle);

}  // namespace win

namespace wininet {

// Limits that the system client applies on its own. Tests shorten them.
struct Limits {
    std::chrono::milliseconds connectTimeout{60000};
    std::chrono::milliseconds idleTimeout{60000};
    // From the send to the last byte: a server that trickles a byte now and then keeps
    // the idle clock from running out, but not this one. 0 for none.
    std::chrono::milliseconds totalTimeout{120000};
    // The readers above take a few MiB at most; this bounds what a reply costs before
    // they see it (the body and its conversions hold about four times its size).
    std::uint64_t maxReplyBytes = std::uint64_t(16) << 20;
};
Limits limits();
void setLimits(const Limits& limits);

// A flag that, once raised from any thread, makes the requests of the thread that set it
// fail at once, as a broken transfer does: the transfer in flight is dropped within about
// 100 ms. Per thread; nullptr (the start) clears it. The flag must outlive its setting.
void setAbortFlag(const std::atomic<bool>* flag);
const std::atomic<bool>* abortFlag();

// What the last HttpOpenRequestA (on any thread) was given, for tests.
struct RequestRecord {
    std::string agent;
    win::DWORD accessType = 0;
    std::string proxy;
    std::string host;
    win::INTERNET_PORT port = 0;
    std::string verb;
    std::string object;
    std::string version;
    win::DWORD flags = 0;
};
RequestRecord lastRequest();

// Why the calling thread's latest failed request failed, in a few words (libcurl's text
// where libcurl saw the fault: a proxy that refused, a name that did not resolve); set
// when HttpSendRequestA or InternetReadFile returns FALSE for a request that was sent.
std::string lastFailure();

// What preconfigured access (INTERNET_OPEN_TYPE_PRECONFIG) means for this process. The
// loopback host (localhost, 127.0.0.1, ::1) is reached directly in every mode.
struct ProxyConfig {
    enum class Mode {
        Direct,       // no proxy, whatever the environment says
        Environment,  // http_proxy, https_proxy, all_proxy, no_proxy (either case)
        Manual,       // `proxy` for every request except the hosts in `bypass`
    };
    Mode mode = Mode::Environment;
    std::string proxy;           // a proxy address libcurl takes: "http://h:p", "socks5h://h:p"
    std::string user, password;  // for the proxy; empty user: none
    std::string bypass;          // no_proxy syntax: "host,.domain,10.0.0.0/8"
};
ProxyConfig preconfiguredProxy();
void setPreconfiguredProxy(const ProxyConfig& config);

// Keeping connections between requests, on by default. Off, every request opens and closes
// its own connection (benchmarks compare the two); turning it off closes the idle ones.
void setConnectionReuse(bool on);
// Idle kept connections' handles waiting in the pool, for tests.
std::size_t idleConnectionHandles();

// A certificate file to trust instead of the system's store (tests run their own TLS
// server); empty means the system's store.
void setTrustedCertificates(const std::string& caFile);

// Forgets the process's automatic cookies (tests start from an empty store).
void clearCookies();

// The request target that goes on the wire for an object name: bytes that may stand raw in
// a request line stay as they are (so "%41" and "?a=1&b=2" are unchanged), every other byte
// is percent-encoded, the "#fragment" is dropped, and a missing leading "/" is added.
std::string requestTarget(std::string_view object);
// Appends `byte` as "%XX", upper-case hex, as requestTarget writes it.
void appendPercentEncoded(std::string& out, unsigned char byte);

}  // namespace wininet
