// The WinINet stand-in on its own, through the ApiTable as the program calls it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/api.h"
#include "tests/support/raw_http_server.h"

namespace {

using testsupport::okReply;
using testsupport::RawRequest;

class WinInet : public ::testing::Test {
  protected:
    struct Open {
        win::HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    };

    Open open(const char* verb, const char* object, win::DWORD flags = 0x80004010,
              win::DWORD access = win::INTERNET_OPEN_TYPE_DIRECT) {
        Open o;
        o.session = api::InternetOpenA("agent\r\nX-Injected: 1", access, "", "", 0);
        o.connection =
            api::InternetConnectA(o.session, "127.0.0.1", win::INTERNET_PORT(server_.port()), "",
                                  "", win::INTERNET_SERVICE_HTTP, 0, 0);
        o.request = api::HttpOpenRequestA(o.connection, verb, object, "HTTP/1.1", nullptr, nullptr,
                                          flags, 0);
        return o;
    }
    static void close(Open& o) {
        EXPECT_TRUE(api::InternetCloseHandle(o.request));
        EXPECT_TRUE(api::InternetCloseHandle(o.connection));
        EXPECT_TRUE(api::InternetCloseHandle(o.session));
    }

    testsupport::RawHttpServer server_{[](const RawRequest& r) {
        if (r.target() == "/hundred") return okReply(std::string(100, 'h'));
        return okReply("t=" + r.target());
    }};
};

TEST_F(WinInet, ReadsHandOutTheSizeAskedFor) {
    Open o = open("GET", "/hundred");
    ASSERT_TRUE(o.request);
    EXPECT_TRUE(api::HttpSendRequestA(o.request, "", 0, nullptr, 0));
    std::vector<win::DWORD> sizes;
    char buffer[7];
    for (;;) {
        win::DWORD read = 99;
        ASSERT_TRUE(api::InternetReadFile(o.request, buffer, sizeof buffer, &read));
        sizes.push_back(read);
        if (!read) break;
    }
    std::vector<win::DWORD> expected(14, 7);
    expected.push_back(2);
    expected.push_back(0);
    EXPECT_EQ(sizes, expected);
    close(o);
}

TEST_F(WinInet, QueryInfoNeedsRoomForTheWholeBlock) {
    Open o = open("GET", "/hundred");
    api::HttpSendRequestA(o.request, nullptr, 0, nullptr, 0);
    const std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n";
    std::string buffer(block.size(), '#');
    win::DWORD length = win::DWORD(block.size());
    EXPECT_FALSE(api::HttpQueryInfoA(o.request, win::HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(),
                                     &length, nullptr))
        << "no room for the terminating zero";
    EXPECT_EQ(length, block.size() + 1);
    EXPECT_EQ(buffer, std::string(block.size(), '#')) << "a failed query writes nothing";
    buffer.assign(block.size() + 1, '#');
    EXPECT_TRUE(api::HttpQueryInfoA(o.request, win::HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(),
                                    &length, nullptr));
    EXPECT_EQ(length, block.size());
    EXPECT_EQ(buffer, block + '\0');

    win::DWORD contentLength = 0, size = sizeof contentLength;
    EXPECT_TRUE(api::HttpQueryInfoA(o.request,
                                    win::HTTP_QUERY_CONTENT_LENGTH | win::HTTP_QUERY_FLAG_NUMBER,
                                    &contentLength, &size, nullptr));
    EXPECT_EQ(contentLength, 100u);
    EXPECT_FALSE(api::HttpQueryInfoA(o.request, 1, buffer.data(), &length, nullptr));
    close(o);
}

TEST_F(WinInet, HandlesAreChecked) {
    char buffer[4];
    win::DWORD read = 5;
    EXPECT_FALSE(api::InternetReadFile(nullptr, buffer, 4, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_FALSE(api::InternetCloseHandle(nullptr));
    EXPECT_FALSE(api::InternetConnectA(nullptr, "h", 80, "", "", 3, 0, 0));

    Open o = open("GET", "/x");
    // A session handle is no request, and a request not yet sent has nothing to read.
    EXPECT_FALSE(api::InternetReadFile(o.session, buffer, 4, &read));
    EXPECT_FALSE(api::InternetReadFile(o.request, buffer, 4, &read));
    EXPECT_FALSE(api::HttpOpenRequestA(o.request, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0));
    EXPECT_FALSE(api::InternetConnectA(o.session, "", 80, "", "", 3, 0, 0));

    // Closing the session and connection first leaves the request usable.
    EXPECT_TRUE(api::InternetCloseHandle(o.session));
    EXPECT_TRUE(api::InternetCloseHandle(o.connection));
    EXPECT_FALSE(api::InternetCloseHandle(o.session)) << "closed twice";
    EXPECT_TRUE(api::HttpSendRequestA(o.request, "", 0, nullptr, 0));
    EXPECT_TRUE(api::InternetReadFile(o.request, buffer, 4, &read));
    EXPECT_EQ(std::string(buffer, read), "t=/x");
    EXPECT_TRUE(api::InternetCloseHandle(o.request));
}

TEST_F(WinInet, HeaderBlockLinesAndAgent) {
    Open o = open("GET", "/h");
    const std::string block = "A: 1\nB: 2\r\n\r\nC: 3\r\n";
    api::HttpSendRequestA(o.request, block.c_str(), win::DWORD(-1), nullptr, 0);
    const std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(server_.port()),
                                               "User-Agent: agent", "A: 1", "B: 2", "C: 3"};
    EXPECT_EQ(server_.lastRequest().headerLines(), expected)
        << "the agent ends at its first line end; libcurl adds no Accept of its own";
    close(o);
}

TEST_F(WinInet, PreconfiguredAccessTakesTheEnvironmentsProxy) {
    // This server is the proxy: it sees the absolute address.
    ::setenv("http_proxy", server_.base().c_str(), 1);
    Open o;
    o.session = api::InternetOpenA("a", win::INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
    o.connection = api::InternetConnectA(o.session, "vendor.example", 80, "", "",
                                         win::INTERNET_SERVICE_HTTP, 0, 0);
    o.request =
        api::HttpOpenRequestA(o.connection, "GET", "/p", "HTTP/1.1", nullptr, nullptr, 0, 0);
    api::HttpSendRequestA(o.request, "", 0, nullptr, 0);
    ::unsetenv("http_proxy");
    EXPECT_EQ(server_.lastRequest().target(), "http://vendor.example/p");
    close(o);
}

}  // namespace
