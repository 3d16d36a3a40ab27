#include "net/fetch_url.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/wininet.h"
#include "tests/support/raw_http_server.h"

namespace {

using namespace net;
using testsupport::okReply;
using testsupport::rawReply;
using testsupport::RawReply;
using testsupport::RawRequest;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const char kForm[] = "Content-Type: application/x-www-form-urlencoded";

std::string paddedHeader(std::size_t blockSize, std::string_view status) {
    // "HTTP/1.1 <status>\r\n" + "Content-Length: 2\r\n" + "Connection: close\r\n" +
    // "X-Pad: ...\r\n" + "\r\n" comes to blockSize bytes.
    const std::size_t fixed = 9 + status.size() + 2 + 19 + 19 + 9 + 2;
    return "X-Pad: " + std::string(blockSize - fixed, 'p') + "\r\n";
}

RawReply route(const RawRequest& r) {
    const std::string t = r.target();
    if (t == "/plain") return okReply("hello");
    if (t == "/echo-body") return okReply(r.body);
    if (t.rfind("/id/", 0) == 0) return okReply("body of " + t.substr(4));
    if (t == "/cookies") return okReply("c", "set-cookie: A=1; path=/\r\nSet-Cookie: B=2\r\n");
    if (t == "/jar-reply")
        return okReply("j", "Set-Cookie: b=3; path=/\r\nSet-Cookie: d=deleted\r\n");
    if (t == "/set-auto") return okReply("s", "Set-Cookie: auto=1; path=/\r\n");
    if (t == "/redirect") return rawReply("302 Found", "Location: /plain\r\n", "moved");
    if (t == "/redirect-setting")
        return rawReply("302 Found", "Location: /plain\r\nSet-Cookie: hop=1\r\n", "");
    if (t == "/loop") return rawReply("302 Found", "Location: /loop\r\n", "again");
    if (t == "/binary") return okReply(std::string("a\0b\xff", 4));
    if (t == "/big-header")
        return okReply("ok", paddedHeader(5000, "200 OK") + "Set-Cookie: x=1\r\n");
    if (t == "/header-4999") {
        // Set-Cookie line (18 bytes) included in the 4999.
        return okReply("ok", paddedHeader(4999 - 17, "200 OK") + "Set-Cookie: y=1\r\n");
    }
    if (t == "/silent") {
        RawReply reply;
        reply.hang = true;
        return reply;
    }
    if (t == "/stall") {
        RawReply reply = rawReply("200 OK", "", std::string(100, 'x'));
        reply.bytes.resize(reply.bytes.size() - 50);  // half the promised body, then silence
        reply.hang = true;
        return reply;
    }
    if (t == "/short") {
        RawReply reply = rawReply("200 OK", "", std::string(100, 'x'));
        reply.bytes.resize(reply.bytes.size() - 50);  // half the promised body, then closed
        return reply;
    }
    if (t == "/endless-header") {
        RawReply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 40000; ++i) reply.bytes += "X-Line: " + std::string(50, 'x') + "\r\n";
        reply.hang = true;
        return reply;
    }
    if (t.rfind("/size/", 0) == 0) return okReply(std::string(std::stoul(t.substr(6)), 'z'));
    if (t.rfind("/unsized/", 0) == 0) {
        // No Content-Length: the body runs until the server closes.
        RawReply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" +
                      std::string(std::stoul(t.substr(9)), 'u');
        return reply;
    }
    return okReply("target " + t);
}

class FetchUrl : public ::testing::Test {
  protected:
    void SetUp() override {
        wininet::clearCookies();
        saved_ = wininet::limits();
        wininet::Limits quick = saved_;
        // Short enough for tests that wait on them, long enough for a sanitizer build.
        quick.connectTimeout = milliseconds(2000);
        quick.idleTimeout = milliseconds(3000);
        quick.maxReplyBytes = 1 << 20;
        wininet::setLimits(quick);
    }
    void TearDown() override { wininet::setLimits(saved_); }

    static void setIdleTimeout(milliseconds idle) {
        wininet::Limits l = wininet::limits();
        l.idleTimeout = idle;
        wininet::setLimits(l);
    }

    std::string url(std::string_view path) const { return server_.base() + std::string(path); }
    std::string hostLine() const { return "Host: 127.0.0.1:" + std::to_string(server_.port()); }

    testsupport::RawHttpServer server_{route};
    wininet::Limits saved_;
};

TEST_F(FetchUrl, UrlAloneSendsTheFourDefaultLinesInOrder) {
    const std::string u = url("/plain");
    EXPECT_EQ(fetchUrl(u), "hello");
    const RawRequest r = server_.lastRequest();
    EXPECT_EQ(r.head, "GET /plain HTTP/1.1\r\n" + hostLine() + "\r\nUser-Agent: " + kAgent +
                          "\r\nAccept: */*\r\nReferer: " + u + "\r\nAccept-Language: zh-cn\r\n" +
                          kForm + "\r\n\r\n");
    const wininet::RequestRecord rec = wininet::lastRequest();
    EXPECT_EQ(rec.flags, 0x80004010u);
    EXPECT_EQ(rec.agent, kAgent);
    EXPECT_EQ(rec.accessType, 0u) << "preconfigured: the process's proxy settings";
    EXPECT_EQ(rec.proxy, "");
    EXPECT_EQ(rec.host, "127.0.0.1");
    EXPECT_EQ(rec.port, server_.port());
    EXPECT_EQ(rec.version, "HTTP/1.1");
}

TEST_F(FetchUrl, SecureRequestsCarryTheSecureFlag) {
    // Nothing speaks TLS on this port; the flags are what matters here.
    setIdleTimeout(milliseconds(300));
    const std::string u = "https://127.0.0.1:" + std::to_string(server_.port()) + "/plain";
    EXPECT_EQ(fetchUrl(u), "");
    EXPECT_EQ(wininet::lastRequest().flags, 0x80800010u);
    EXPECT_EQ(wininet::lastRequest().port, server_.port());
}

TEST_F(FetchUrl, MethodsAndBodies) {
    EXPECT_EQ(fetchUrl(url("/m7"), 7), "target /m7");
    EXPECT_EQ(server_.lastRequest().requestLine(), "GET /m7 HTTP/1.1");
    EXPECT_EQ(fetchUrl(url("/m-1"), -1), "target /m-1");
    EXPECT_EQ(server_.lastRequest().requestLine(), "GET /m-1 HTTP/1.1");

    std::string bytes;
    EXPECT_EQ(fetchUrl(url("/echo-body"), 1, "a=1", nullptr, nullptr, nullptr, nullptr, {}, &bytes),
              "a=1");
    RawRequest r = server_.lastRequest();
    EXPECT_EQ(r.requestLine(), "POST /echo-body HTTP/1.1");
    EXPECT_EQ(r.body, "a=1");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.header("Content-Length"), "3");
    EXPECT_EQ(bytes, "a=1") << "bodyBytes is filled from bodyText";

    bytes = std::string("raw\0bytes", 9);
    EXPECT_EQ(
        fetchUrl(url("/echo-body"), 1, "ignored", nullptr, nullptr, nullptr, nullptr, {}, &bytes),
        bytes);

    // A POST without any body still says so.
    EXPECT_EQ(fetchUrl(url("/echo-body"), 1), "");
    EXPECT_EQ(server_.lastRequest().header("Content-Length"), "0");

    // Large bodies go at once, without waiting for "100 Continue".
    const std::string large(3 << 20, 'L');
    EXPECT_EQ(fetchUrl(url("/echo-body"), 1, large).size(), 0u) << "reply over the 1 MiB cap";
    r = server_.lastRequest();
    EXPECT_TRUE(r.body == large) << r.body.size() << " bytes arrived";
    EXPECT_EQ(r.header("Expect"), "");

    bytes.clear();
    EXPECT_EQ(fetchUrl(url("/plain"), 2, "h=1", nullptr, nullptr, nullptr, nullptr, {}, &bytes),
              "");
    EXPECT_EQ(server_.lastRequest().requestLine(), "HEAD /plain HTTP/1.1");
    EXPECT_EQ(bytes, "h=1");
}

TEST_F(FetchUrl, HeaderBlockIsCompletedInPlaceAndSentInOrder) {
    const std::string u = url("/h");
    std::string headers = "User-Agent: test";
    fetchUrl(u, {}, {}, nullptr, nullptr, &headers);
    EXPECT_EQ(headers, "User-Agent: test\r\nAccept: */*\r\nReferer: " + u +
                           "\r\nAccept-Language: zh-cn\r\n" + kForm);
    EXPECT_EQ(wininet::lastRequest().agent, "test");
    std::vector<std::string> lines = server_.lastRequest().headerLines();
    const std::vector<std::string> expected = {
        hostLine(),      "User-Agent: test",       "Accept: */*",
        "Referer: " + u, "Accept-Language: zh-cn", kForm};
    EXPECT_EQ(lines, expected);

    // Lines the caller gives stay, in the caller's order; only missing defaults are added.
    headers = "X-First: 1\r\nAccept: text/html\r\nReferer: http://r/\r\nX-Empty:";
    fetchUrl(u, 0, {}, nullptr, nullptr, &headers);
    lines = server_.lastRequest().headerLines();
    const std::vector<std::string> expected2 = {hostLine(),
                                                "User-Agent: " + std::string(kAgent),
                                                "X-First: 1",
                                                "Accept: text/html",
                                                "Referer: http://r/",
                                                "X-Empty:",
                                                "Accept-Language: zh-cn",
                                                kForm};
    EXPECT_EQ(lines, expected2);

    // An agent taken from a header line can never split into header lines of its own.
    headers = "user-agent: a\r\nX-B: 1";
    fetchUrl(u, 0, {}, nullptr, nullptr, &headers);
    EXPECT_EQ(wininet::lastRequest().agent, "a");
    EXPECT_EQ(server_.lastRequest().header("User-Agent"), "a");
}

TEST_F(FetchUrl, CookieJarIsSentAndMerged) {
    std::string jar = "a=1; b=2", cookies;
    EXPECT_EQ(fetchUrl(url("/jar-reply"), 0, {}, &jar, &cookies), "j");
    EXPECT_EQ(server_.lastRequest().headerLines().back(), "Cookie: a=1; b=2");
    EXPECT_EQ(wininet::lastRequest().flags, 0x80084010u);
    EXPECT_EQ(jar, "b=3; a=1");
    EXPECT_EQ(cookies, "b=3;d=deleted") << "merging leaves the reply cookies without spaces";

    // A supplied empty jar: no Cookie line, still no automatic cookies.
    std::string empty;
    fetchUrl(url("/set-auto"), 0, {}, &empty);
    EXPECT_EQ(empty, "auto=1");
    EXPECT_EQ(wininet::lastRequest().flags, 0x80084010u);
    fetchUrl(url("/plain"));
    EXPECT_EQ(server_.lastRequest().header("Cookie"), "") << "a jar keeps the store out of it";
}

TEST_F(FetchUrl, ReplyCookiesAndReplyHeaders) {
    std::string cookies, replyHeaders;
    EXPECT_EQ(fetchUrl(url("/cookies"), {}, {}, nullptr, &cookies, nullptr, &replyHeaders), "c");
    EXPECT_EQ(cookies, "A=1; B=2");
    EXPECT_EQ(replyHeaders,
              "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nConnection: close\r\n"
              "Set-Cookie: A=1; path=/\r\nSet-Cookie: B=2\r\n\r\n");
}

TEST_F(FetchUrl, HeaderBlockOver5000BytesIsNotRead) {
    std::string cookies = "stale", replyHeaders;
    EXPECT_EQ(fetchUrl(url("/big-header"), {}, {}, nullptr, &cookies, nullptr, &replyHeaders),
              "ok");
    EXPECT_EQ(replyHeaders, std::string(5000, ' '));
    EXPECT_EQ(cookies, "");

    EXPECT_EQ(fetchUrl(url("/header-4999"), {}, {}, nullptr, &cookies, nullptr, &replyHeaders),
              "ok");
    EXPECT_EQ(replyHeaders.size(), 4999u);
    EXPECT_EQ(cookies, "y=1");
}

TEST_F(FetchUrl, Redirects) {
    std::string replyHeaders;
    EXPECT_EQ(fetchUrl(url("/redirect"), {}, {}, nullptr, nullptr, nullptr, &replyHeaders),
              "hello");
    EXPECT_EQ(replyHeaders.substr(0, 17), "HTTP/1.1 200 OK\r\n") << "the final reply's headers";
    EXPECT_EQ(server_.lastRequest().target(), "/plain");

    const std::size_t before = server_.requestCount();
    EXPECT_EQ(fetchUrl(url("/redirect"), {}, {}, nullptr, nullptr, nullptr, &replyHeaders, true),
              "moved");
    EXPECT_EQ(replyHeaders.substr(0, 20), "HTTP/1.1 302 Found\r\n");
    EXPECT_EQ(server_.requestCount(), before + 1);
    EXPECT_EQ(wininet::lastRequest().flags, 0x80204010u);

    // A redirect loop ends at the limit, as a failed request.
    const std::size_t start = server_.requestCount();
    EXPECT_EQ(fetchUrl(url("/loop")), "");
    EXPECT_LE(server_.requestCount() - start, 11u);
    EXPECT_GE(server_.requestCount() - start, 2u);
}

TEST_F(FetchUrl, AutomaticCookiesLastAcrossCallsWithoutAJar) {
    fetchUrl(url("/set-auto"));
    fetchUrl(url("/plain"));
    EXPECT_EQ(server_.lastRequest().header("Cookie"), "auto=1");

    std::string jar = "j=1";
    fetchUrl(url("/plain"), 0, {}, &jar);
    EXPECT_EQ(server_.lastRequest().header("Cookie"), "j=1");

    // Cookies set on a followed redirect are sent on the next hop.
    wininet::clearCookies();
    fetchUrl(url("/redirect-setting"));
    EXPECT_EQ(server_.lastRequest().header("Cookie"), "hop=1");
}

TEST_F(FetchUrl, RequestTargetOnTheWire) {
    const std::pair<std::string, std::string> cases[] = {
        {"/s?&keywords=  P6  ", "/s?&keywords=%20%20P6%20%20"},
        {"/%41?a=1&b=2", "/%41?a=1&b=2"},
        {"/k?q=\xB2\xE2\xCA\xD4", "/k?q=%B2%E2%CA%D4"},
        {"/a/../b/./c", "/a/../b/./c"},
        {"/frag#part two", "/frag"},
        {"/q\"<>", "/q%22%3C%3E"},
    };
    for (const auto& [path, target] : cases) {
        fetchUrl(url(path));
        EXPECT_EQ(server_.lastRequest().target(), target) << path;
        EXPECT_EQ(wininet::lastRequest().object, path) << "the object name goes unchanged";
    }
    // The address reaches the Referer line as it was given.
    EXPECT_EQ(server_.lastRequest().header("Referer"), url("/q\"<>"));
}

TEST_F(FetchUrl, FailuresGiveTheEmptyByteArray) {
    const int dead = testsupport::unusedPort();
    std::string replyHeaders, cookies = "x";
    const std::string body = fetchUrl("http://127.0.0.1:" + std::to_string(dead) + "/", {}, {},
                                      nullptr, &cookies, nullptr, &replyHeaders);
    EXPECT_EQ(body, "");
    EXPECT_EQ(utf8ToText(body), "");
    EXPECT_EQ(replyHeaders, std::string(5000, ' '));
    EXPECT_EQ(cookies, "");

    // A port that does not fit 16 bits connects nowhere rather than somewhere else.
    const std::size_t before = server_.requestCount();
    EXPECT_EQ(fetchUrl("http://127.0.0.1:" + std::to_string(server_.port() + 65536) + "/plain"),
              "");
    EXPECT_EQ(server_.requestCount(), before);

    EXPECT_EQ(fetchUrl("http:///x"), "") << "no host";
    EXPECT_EQ(fetchUrl("http://bad host/x"), "");
    EXPECT_EQ(fetchUrl(url("/short")), "") << "a cut-off body is no body";
    EXPECT_TRUE(lastFetchFailed());
    EXPECT_NE(lastFetchError(), "");
    EXPECT_EQ(fetchUrl(url("/plain")), "hello");
    EXPECT_FALSE(lastFetchFailed());
    EXPECT_EQ(lastFetchError(), "") << "a success clears the reason";
}

TEST_F(FetchUrl, HeaderFloodFailsWithoutWaitingForTheTimeOut) {
    setIdleTimeout(milliseconds(20000));
    const auto start = Clock::now();
    EXPECT_EQ(fetchUrl(url("/endless-header")), "");
    EXPECT_LT(Clock::now() - start, milliseconds(10000));
}

// A server that says nothing, and one that stops halfway, are given up on after the time-out
// of 400 ms that the test set, and not long after.
void expectBothStallsGiveUpAfter400Ms(const std::function<std::string(const char*)>& url) {
    for (const char* path : {"/silent", "/stall"}) {
        const auto start = Clock::now();
        EXPECT_EQ(fetchUrl(url(path)), "") << path;
        const auto took = Clock::now() - start;
        EXPECT_GE(took, milliseconds(350)) << path;
        EXPECT_LT(took, milliseconds(5000)) << path;
    }
}

TEST_F(FetchUrl, IdleTimeOut) {
    setIdleTimeout(milliseconds(400));
    expectBothStallsGiveUpAfter400Ms([this](const char* path) { return url(path); });
}

TEST_F(FetchUrl, TotalTimeOutEndsARequestThatIsNeverIdleForLong) {
    wininet::Limits l = wininet::limits();
    l.idleTimeout = milliseconds(20000);
    l.totalTimeout = milliseconds(400);
    wininet::setLimits(l);
    expectBothStallsGiveUpAfter400Ms([this](const char* path) { return url(path); });
    EXPECT_EQ(fetchUrl(url("/plain")), "hello") << "a quick request is not cut";
}

TEST_F(FetchUrl, ConnectTimeOut) {
    // A listener with a full backlog that never accepts: further connection attempts get
    // no answer at all.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(c);
    }
    std::this_thread::sleep_for(milliseconds(50));
    wininet::Limits l = wininet::limits();
    l.connectTimeout = milliseconds(300);
    l.idleTimeout = milliseconds(20000);  // so that only the connect time-out can end it
    wininet::setLimits(l);
    const auto start = Clock::now();
    EXPECT_EQ(fetchUrl("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/"), "");
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
    for (int c : fillers) ::close(c);
    ::close(fd);
}

TEST_F(FetchUrl, ReplyCap) {
    const std::size_t cap = 1 << 20;
    EXPECT_EQ(fetchUrl(url("/size/" + std::to_string(cap))).size(), cap);
    EXPECT_EQ(fetchUrl(url("/size/" + std::to_string(cap + 1))), "");
    EXPECT_EQ(fetchUrl(url("/unsized/" + std::to_string(cap))).size(), cap);
    EXPECT_EQ(fetchUrl(url("/unsized/" + std::to_string(3 * cap))), "");
}

TEST_F(FetchUrl, BodyBytesArriveUnchanged) {
    EXPECT_EQ(fetchUrl(url("/binary")), std::string("a\0b\xff", 4));
    EXPECT_EQ(utf8ToText(fetchUrl(url("/binary"))), "a");
}

TEST_F(FetchUrl, ProxyAccess) {
    // The loopback server stands in for the proxy: it receives the absolute address.
    const std::string proxy = "127.0.0.1:" + std::to_string(server_.port());
    EXPECT_EQ(fetchUrl("http://vendor.example/file?id=1", 0, {}, nullptr, nullptr, nullptr, nullptr,
                       {}, nullptr, proxy),
              "target http://vendor.example/file?id=1");
    const wininet::RequestRecord rec = wininet::lastRequest();
    EXPECT_EQ(rec.accessType, 3u);
    EXPECT_EQ(rec.proxy, "http=" + proxy);
    EXPECT_EQ(server_.lastRequest().header("Host"), "vendor.example");

    fetchUrl("https://vendor.example/", 0, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr,
             proxy);
    EXPECT_EQ(wininet::lastRequest().proxy, proxy);
    EXPECT_EQ(server_.lastRequest().requestLine(), "CONNECT vendor.example:443 HTTP/1.1");
}

TEST_F(FetchUrl, ConcurrentCallsAreIndependent) {
    constexpr int kThreads = 8, kRequests = 50;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRequests; ++i) {
                const std::string id = std::to_string(t) + "-" + std::to_string(i);
                std::string cookies;
                if (fetchUrl(url("/id/" + id), {}, {}, nullptr, &cookies) == "body of " + id)
                    ++good[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kRequests) << "thread " << t;
}

}  // namespace
