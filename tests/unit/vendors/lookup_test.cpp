// The real fetch under the look-ups, against a server on loopback: a failed request is told
// apart from an empty answer, a stop drops the request in flight, and a look-up reads a
// long reply from the vendor simulator as the page lists it.
#include "vendors/lookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/wininet.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/scoped_env.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/lg.h"

namespace {

using namespace std::chrono_literals;
using testsupport::RawHttpServer;
using testsupport::RawReply;
using testsupport::RawRequest;

TEST(RealFetch, TellsAFailedRequestFromAnEmptyAnswerAndSaysWhy) {
    RawHttpServer server([](const RawRequest& r) {
        if (r.target() == "/empty") return testsupport::okReply("");
        if (r.target() == "/gone") return testsupport::rawReply("404 Not Found", "", "<html>");
        if (r.target() == "/big") return testsupport::okReply(std::string(4096, 'x'));
        if (r.target() == "/cut")  // announces more than it sends, then closes
            return testsupport::rawReply("200 OK", "Content-Length: 100\r\n", "short");
        return testsupport::okReply("body");
    });
    const FetchReply empty = fetchOverNet({server.base() + "/empty"});
    EXPECT_FALSE(empty.failed);
    EXPECT_EQ(empty.body, "");
    const FetchReply cut = fetchOverNet({server.base() + "/cut"});
    EXPECT_TRUE(cut.failed);
    EXPECT_EQ(cut.body, "");
    EXPECT_EQ(cut.failure.kind, FailureKind::Network);
    EXPECT_FALSE(cut.failure.detail.empty());
    const std::string port = std::to_string(testsupport::unusedPort());
    const FetchReply nobody = fetchOverNet({"http://127.0.0.1:" + port + "/"});
    EXPECT_TRUE(nobody.failed);
    EXPECT_EQ(nobody.failure.kind, FailureKind::Network);
    EXPECT_NE(nobody.failure.detail.find("port " + port), std::string::npos)
        << "libcurl's own words: " << nobody.failure.detail;
    const FetchReply gone = fetchOverNet({server.base() + "/gone"});
    EXPECT_TRUE(gone.failed);
    EXPECT_EQ(gone.body, "");
    EXPECT_EQ(gone.failure, (Failure{FailureKind::HttpStatus, 404}));
    // Past the request layer's own cap, as past a service's cap at the seam.
    const wininet::Limits saved = wininet::limits();
    wininet::Limits small = saved;
    small.maxReplyBytes = 1000;
    wininet::setLimits(small);
    const FetchReply big = fetchOverNet({server.base() + "/big"});
    wininet::setLimits(saved);
    EXPECT_TRUE(big.failed);
    EXPECT_EQ(big.failure.kind, FailureKind::TooLarge);
    EXPECT_EQ(fetchOverNet({server.base() + "/big"}).failure.kind, FailureKind::None);
    const FetchReply posted = fetchOverNet({server.base() + "/p", 1, "a=1&b= 2"});
    EXPECT_FALSE(posted.failed);
    EXPECT_EQ(posted.body, "body");
    EXPECT_EQ(server.lastRequest().requestLine(), "POST /p HTTP/1.1");
    EXPECT_EQ(server.lastRequest().body, "a=1&b= 2");
}

// A look-up stopped from another thread while its request waits for a slow reply: the
// request is dropped at once, not when the reply comes, and no further request is made.
TEST(RealFetch, AStopDropsTheRequestInFlight) {
    RawHttpServer server([](const RawRequest&) {
        RawReply reply = testsupport::okReply("<model>X</model>");
        reply.delay = 5s;
        return reply;
    });
    std::atomic<bool> stop{false};
    LookupContext ctx;
    ctx.stop = &stop;
    const testsupport::ScopedEnv host("ROMHAUL_LG_HOST",
                                      "127.0.0.1:" + std::to_string(server.port()));
    std::chrono::steady_clock::time_point stoppedAt;
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stoppedAt = std::chrono::steady_clock::now();
        stop = true;
    });
    const LgLookup l = lgLookUpSerial("1", ctx);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_EQ(l.end, LookupEnd::Stopped);
    EXPECT_EQ(l.reply.outcome, LgOutcome::NoReply);
    // Counted from the stop, not from the start, so a late-waking stopper on a busy
    // machine does not count against it; waiting for the held reply would take 5 s.
    EXPECT_LT(ended - stoppedAt, 1s);
    EXPECT_EQ(server.requestCount(), 1u);
    // The flag belongs to the look-up: a later request on this thread is not aborted.
    EXPECT_EQ(wininet::abortFlag(), nullptr);
}

// Many threads, each with its own flag, some stopped mid-request: a flag stops only the
// look-up it was given to.
TEST(RealFetch, EachLookUpHasItsOwnStop) {
    RawHttpServer server([](const RawRequest& r) {
        RawReply reply = testsupport::okReply("ok");
        if (r.target() == "/slow") reply.delay = 5s;
        return reply;
    });
    constexpr int kThreads = 6;
    std::atomic<bool> stops[kThreads] = {};
    LookupEnd ends[kThreads] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            LookupContext ctx;
            ctx.stop = &stops[i];
            const bool slow = i % 2 == 0;
            ends[i] = endAfter(ctx, fetchFor(ctx, VendorService::Huawei,
                                             {server.base() + (slow ? "/slow" : "/fast")}));
        });
    }
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < kThreads; i += 2) stops[i] = true;
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(ends[i], i % 2 == 0 ? LookupEnd::Stopped : LookupEnd::Complete) << i;
}

// The simulator's 1.2 MB search page, read over the wire: the result that straddles byte
// 1,000,000 is found, and the type found again near the end is listed once. (The chunk
// cuts themselves are checked on crafted replies in coolpad_lg_test.)
TEST(OverTheWire, CoolpadSearchFindsEveryResultOfALongReply) {
    vendorsim::Simulator sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    sim.exportEnvironment();
    const CoolpadSearch s = coolpadSearchTypes("8297");
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.types, (std::vector<std::string>{"8297", "8297W", "8297D", "8297-T01"}));
    EXPECT_EQ(sim.requestCount(VendorService::Coolpad), 1u);

    // A reply past the service's cap is a failure that says so, not "nothing found".
    const HuaweiSearch oversize = huaweiSearchFiles(vendorsim::kOversizeKeyword);
    EXPECT_EQ(oversize.end, LookupEnd::Failed);
    EXPECT_EQ(oversize.failure.kind, FailureKind::TooLarge);
}

}  // namespace
