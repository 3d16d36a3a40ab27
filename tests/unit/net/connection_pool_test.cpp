// Kept-alive connections under fetchUrl, against loopback servers that keep connections,
// close them after each reply, or break them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/fetch_url.h"
#include "platform/wininet.h"
#include "tests/support/raw_http_server.h"

namespace {

using namespace net;
using testsupport::keptReply;
using testsupport::okReply;
using testsupport::RawReply;
using testsupport::RawRequest;

class ConnectionPool : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = wininet::limits();
        wininet::Limits quick = saved_;
        quick.connectTimeout = std::chrono::milliseconds(3000);
        quick.idleTimeout = std::chrono::milliseconds(5000);
        wininet::setLimits(quick);
    }
    void TearDown() override {
        wininet::setLimits(saved_);
        wininet::setConnectionReuse(true);
    }
    wininet::Limits saved_;
};

std::string bodyFor(const RawRequest& r) {
    return "body of " + r.target();
}

TEST_F(ConnectionPool, OneConnectionServesALookUpAndTheNextWithTheSameBytesOnTheWire) {
    testsupport::RawHttpServer server([](const RawRequest& r) { return keptReply(bodyFor(r)); });
    auto run = [&](int pages) {
        for (int i = 1; i <= pages; ++i) {
            const std::string path = "/page/" + std::to_string(i);
            EXPECT_EQ(fetchUrl(server.base() + path), "body of " + path);
            EXPECT_FALSE(lastFetchFailed());
        }
    };
    run(5);
    EXPECT_EQ(server.connectionCount(), 1u) << "one look-up, one connection";
    run(3);
    EXPECT_EQ(server.connectionCount(), 1u) << "the next look-up finds it kept";
    EXPECT_GE(wininet::idleConnectionHandles(), 1u);

    // Without the pool every request has a connection of its own, and sends the same bytes.
    wininet::setConnectionReuse(false);
    EXPECT_EQ(wininet::idleConnectionHandles(), 0u);
    run(3);
    EXPECT_EQ(server.connectionCount(), 4u);
    const std::vector<RawRequest> sent = server.requests();
    ASSERT_EQ(sent.size(), 11u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sent[8 + i].head, sent[i].head) << i;
}

TEST_F(ConnectionPool, ServersThatCloseOrBreakConnections) {
    // Each case: the replies of four GETs in a row, and the connections that must take.
    std::atomic<int> served{0};
    struct Case {
        const char* what;
        std::function<RawReply(int)> reply;  // by the request's number, from 0
        std::size_t connections;
        std::size_t requests;
    };
    const std::string body = "0123456789";
    auto half = [&](RawReply r) {
        r.bytes.resize(r.bytes.size() - 5);  // cut inside the body, then closed
        r.keepOpen = false;
        return r;
    };
    const Case cases[] = {
        {"closes after each reply", [&](int) { return okReply(body); }, 4, 4},
        {"closes a kept connection without a word after each reply",
         [&](int) {
             RawReply r = keptReply(body);
             r.keepOpen = false;
             return r;
         },
         4, 4},
        {"breaks the second reply halfway on the kept connection",
         [&](int n) { return n == 1 ? half(keptReply(body)) : keptReply(body); }, 2, 5},
    };
    for (const Case& c : cases) {
        served = 0;
        testsupport::RawHttpServer server([&](const RawRequest&) { return c.reply(served++); });
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(fetchUrl(server.base() + "/x"), body) << c.what << ", request " << i;
            EXPECT_FALSE(lastFetchFailed()) << c.what;
        }
        EXPECT_EQ(server.connectionCount(), c.connections) << c.what;
        EXPECT_EQ(server.requestCount(), c.requests) << c.what;
    }
}

TEST_F(ConnectionPool, OnlyGetAndHeadAreSentTwice) {
    std::atomic<bool> breaking{false};
    const std::string body = "0123456789";
    auto route = [&](const RawRequest&) {
        RawReply r = keptReply(body);
        if (breaking) {
            r.bytes.resize(r.bytes.size() - 5);
            r.keepOpen = false;
        }
        return r;
    };
    {
        // A GET whose kept connection breaks goes once more on a new one, and no more.
        testsupport::RawHttpServer server(route);
        EXPECT_EQ(fetchUrl(server.base() + "/a"), body);
        breaking = true;
        EXPECT_EQ(fetchUrl(server.base() + "/b"), "");
        EXPECT_TRUE(lastFetchFailed());
        EXPECT_NE(lastFetchError(), "");
        EXPECT_EQ(server.requestCount(), 3u);
        EXPECT_EQ(server.connectionCount(), 2u);
    }
    {
        // A POST takes a connection of its own, and one that breaks is not sent again.
        breaking = false;
        testsupport::RawHttpServer server(route);
        EXPECT_EQ(fetchUrl(server.base() + "/a"), body);
        breaking = true;
        EXPECT_EQ(fetchUrl(server.base() + "/form", 1, "a=1"), "");
        EXPECT_TRUE(lastFetchFailed());
        EXPECT_EQ(server.requestCount(), 2u);
        EXPECT_EQ(server.connectionCount(), 2u);
    }
}

// Also run under ThreadSanitizer (scripts/tsan-tests).
TEST_F(ConnectionPool, SeveralJobsAtOnceEachGetTheirOwnReplies) {
    testsupport::RawHttpServer server([](const RawRequest& r) { return keptReply(bodyFor(r)); });
    constexpr int kThreads = 6, kRequests = 40;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRequests; ++i) {
                const std::string path = "/job/" + std::to_string(t) + "/" + std::to_string(i);
                // Half of them without automatic cookies: the other share.
                std::string jar;
                const std::string got = i % 2 ? fetchUrl(server.base() + path)
                                              : fetchUrl(server.base() + path, 0, {}, &jar);
                if (got == "body of " + path && !lastFetchFailed()) ++good[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(good[t], kRequests) << "job " << t;
    EXPECT_LE(server.connectionCount(), std::size_t(kThreads))
        << "no more connections than requests in flight at once";
}

}  // namespace
