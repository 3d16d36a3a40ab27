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
// A transfer fails when the connection cannot be made within the connect time-out, when
// nothing arrives for the idle time-out, when the whole request (connection, header lines
// and body, however slowly they trickle in) outlasts the overall time-out, or when the
// body grows past the reply cap; a failed transfer makes InternetReadFile return FALSE.
#include <atomic>
#include <chrono>
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
// Runs the request until the final response's headers are in (or the transfer fails).
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

// A certificate file to trust instead of the system's store (tests run their own TLS
// server); empty means the system's store.
void setTrustedCertificates(const std::string& caFile);

// Forgets the process's automatic cookies (tests start from an empty store).
void clearCookies();

// The request target that goes on the wire for an object name: bytes that may stand raw in
// a request line stay as they are (so "%41" and "?a=1&b=2" are unchanged), every other byte
// is percent-encoded, the "#fragment" is dropped, and a missing leading "/" is added.
std::string requestTarget(std::string_view object);
// Why the calling thread's latest HttpSendRequestA or InternetReadFile that failed did, in
// libcurl's words ("Failed to connect to 127.0.0.1 port 9: Connection refused", "Timeout
// was reached") or, for the reply cap, "reply larger than N bytes"; cleared by each send.
std::string lastErrorText();
// Whether that failure was the reply cap (or the header block's).
bool lastFailureTooLarge();

// Appends `byte` as "%XX", upper-case hex, as requestTarget writes it.
void appendPercentEncoded(std::string& out, unsigned char byte);

}  // namespace wininet
