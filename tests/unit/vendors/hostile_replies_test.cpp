// Replies as a hostile or broken server sends them, generated here, read over loopback by
// the real request routine and the real readers. What is checked is what comes out: the
// records that survive, the failure that the page shows, the bytes on the wire, the memory
// held and, with a wide margin, the time taken.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text_util.h"
#include "net/fetch_url.h"
#include "platform/codepage.h"
#include "platform/wininet.h"
#include "tests/support/hostile_pages.h"
#include "tests/support/raw_http_server.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/vendors/scripted_fetch.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/iphone.h"
#include "vendors/lg.h"
#include "vendors/service_hosts.h"
#include "vendors/zte.h"

namespace {

using std::chrono::milliseconds;
using testsupport::okReply;
using testsupport::RawHttpServer;
using testsupport::RawReply;
using testsupport::RawRequest;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The sanitizer build is unoptimised and instrumented: its cases take up to this many times
// longer.
constexpr int kSlowdown = kSanitized ? 20 : 1;

// Checks, when the case ends, the wall time since it began on its own clock: at most ten
// times its bound, the bound being about twice what the case takes in a plain build on an
// idle machine. The margin absorbs a loaded one; a reader fifty times slower still fails.
class TimeBudget {
  public:
    explicit TimeBudget(milliseconds bound) : bound_(bound) {}
    ~TimeBudget() {
        const long long spent =
            std::chrono::duration_cast<milliseconds>(Clock::now() - start_).count();
        EXPECT_LT(spent, 10 * kSlowdown * bound_.count())
            << "ms, against a bound of " << bound_.count() << " ms";
    }
    TimeBudget(const TimeBudget&) = delete;
    TimeBudget& operator=(const TimeBudget&) = delete;

  private:
    using Clock = std::chrono::steady_clock;
    milliseconds bound_;
    Clock::time_point start_ = Clock::now();
};

// Time-outs short enough to wait on, the overall one shortest.
class HostileWire : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = wininet::limits();
        wininet::Limits quick = saved_;
        quick.connectTimeout = milliseconds(2000);
        quick.idleTimeout = milliseconds(3000);
        quick.totalTimeout = milliseconds(1500);
        wininet::setLimits(quick);
    }
    void TearDown() override { wininet::setLimits(saved_); }
    wininet::Limits saved_;
};

TEST_F(HostileWire, TrickledHeadersOrBodyEndAtTheOverallDeadline) {
    // Both replies end at the overall deadline.
    const TimeBudget budget(2 * milliseconds(1500));
    // A byte every 20 ms never lets the idle clock run out; either reply would take over
    // 20 s to finish, and a finished one would come back whole.
    RawHttpServer server([](const RawRequest& r) {
        RawReply reply;
        if (r.target() == "/headers") {
            reply.bytes = "HTTP/1.1 200 OK\r\n";
            for (int i = 0; i < 100; ++i)
                reply.bytes += "X-Filler-" + std::to_string(i) + ": 0\r\n";
            reply.bytes += "Content-Length: 2\r\n\r\nok";
        } else {
            reply.bytes =
                "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(1000, 'b');
        }
        reply.trickle = milliseconds(20);
        return reply;
    });
    EXPECT_EQ(net::fetchUrl(server.base() + "/headers"), "");
    EXPECT_EQ(net::fetchUrl(server.base() + "/body"), "");
    EXPECT_EQ(server.requestCount(), 2u);
}

// True when no header line of the request starts with `name`.
bool noLineStartsWith(const RawRequest& r, std::string_view name) {
    for (const std::string& line : r.headerLines())
        if (line.rfind(name, 0) == 0) return false;
    return true;
}

TEST_F(HostileWire, LineBreaksFromAnAddressStayInsideTheRefererLine) {
    const TimeBudget budget(milliseconds(200));
    RawHttpServer server([](const RawRequest&) { return okReply("ok"); });
    const std::string address = server.base() + "/a?x=1\r\nX-Injected: yes\nY: z\x01\x7f";
    EXPECT_EQ(net::fetchUrl(address), "ok");
    const RawRequest r = server.lastRequest();
    EXPECT_TRUE(noLineStartsWith(r, "X-Injected")) << r.head;
    EXPECT_TRUE(noLineStartsWith(r, "Y:")) << r.head;
    EXPECT_EQ(r.header("Referer"), server.base() + "/a?x=1%0D%0AX-Injected: yes%0AY: z%01%7F");
    EXPECT_EQ(r.target(), "/a?x=1%0D%0AX-Injected:%20yes%0AY:%20z%01%7F");
    ASSERT_EQ(r.headerLines().size(), 6u) << r.head;

    // The same through the iPhone reader: a model name from one reply, with an escaped line
    // break, goes into the next request's address and Referer.
    RawHttpServer catalogue([](const RawRequest& req) {
        if (req.target().find("getModelSelect") != std::string::npos)
            return okReply("[\"iPhone\\r\\nX-Injected: yes\"]");
        return okReply("[\"GSM\"]");
    });
    const testsupport::ScopedEnv base("ROMHAUL_IPHONE_BASE", catalogue.base() + "/");
    const std::vector<std::string> models = iphoneFetchCatalogue().models;
    ASSERT_EQ(models.size(), 1u);
    EXPECT_EQ(models[0], "iPhone\r\nX-Injected: yes");
    EXPECT_EQ(iphoneFetchTypes(models[0]).entries, std::vector<std::string>{"GSM"});
    const RawRequest sent = catalogue.lastRequest();
    EXPECT_TRUE(noLineStartsWith(sent, "X-Injected")) << sent.head;
    EXPECT_NE(sent.header("Referer").find("iPhone%0D%0AX-Injected"), std::string::npos);
}

// The simulator serves the pages built here in place of its fixtures, as UTF-8.
class HostilePages : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.start()) << sim_.error();
        sim_.exportEnvironment();
    }
    void serve(VendorService service, std::string gbkPage) {
        auto body = std::make_shared<const std::string>(codepage::gbkToUtf8(gbkPage));
        sim_.setReplyHook(service, [body](const vendorsim::RecordedRequest&) {
            return std::optional<vendorsim::Reply>(vendorsim::Reply{200, "text/html", *body});
        });
    }
    std::string fetchText(const std::string& address) {
        return net::utf8ToText(net::fetchUrl(address));
    }
    vendorsim::Simulator sim_;
};

std::vector<std::string> names(const std::vector<HuaweiFile>& files) {
    std::vector<std::string> out;
    for (const HuaweiFile& f : files) out.push_back(f.name);
    return out;
}

TEST_F(HostilePages, HuaweiRecordsAroundABadLineStillComeOut) {
    const TimeBudget budget(milliseconds(200));
    using hostile::huaweiRecord;
    serve(VendorService::Huawei, "jQuery(" + huaweiRecord(1) + "," + huaweiRecord(2) + "\n" +
                                     hostile::huaweiBadLine() + huaweiRecord(3) + "," +
                                     hostile::huaweiBadLine(3) + huaweiRecord(4) + ")");
    const std::vector<HuaweiFile> files = huaweiFiles(fetchText(huaweiPageAddress(1, "P6")));
    EXPECT_EQ(names(files), (std::vector<std::string>{"P6 B1", "P6 B2", "P6 B3", "P6 B4"}));
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[3].size, "14 MB");
    EXPECT_EQ(files[3].address, "http://d/4");
}

TEST_F(HostilePages, HuaweiPageOfBadLinesEndsWithTheRecordsBeforeThem) {
    const TimeBudget budget(milliseconds(2000));
    const std::string bad = hostile::huaweiBadPage();
    ASSERT_LT(bad.size(), serviceReplyCap(VendorService::Huawei));
    serve(VendorService::Huawei, hostile::huaweiRecord(1) + "\n" + bad);
    EXPECT_EQ(names(huaweiFiles(fetchText(huaweiPageAddress(1, "P6")))),
              std::vector<std::string>{"P6 B1"});
    // Past the service's cap the page is refused whole: no files, the search's failure.
    serve(VendorService::Huawei,
          hostile::huaweiRecord(1) + "\n" + bad + bad + hostile::huaweiRecord(2));
    const HuaweiSearch search = huaweiSearchFiles("P6");
    EXPECT_TRUE(search.files.empty());
    EXPECT_EQ(search.end, LookupEnd::Failed);
    EXPECT_EQ(search.failure.kind, FailureKind::TooLarge);
}

TEST_F(HostilePages, ZteEntriesAroundABadEntryStillComeOut) {
    const TimeBudget budget(milliseconds(1000));
    serve(VendorService::Zte,
          hostile::zteEntry(1) + hostile::zteBadEntry() + hostile::zteEntry(2) + "</ul>");
    const std::string list =
        zteFileList(fetchText(zteFilePageAddress("1002", std::string(36, 'a'))));
    const auto rows = zteFileRows(list);
    ASSERT_EQ(rows.size(), 2u) << list.substr(0, 200);
    EXPECT_EQ(rows[0][0], "file 1");
    EXPECT_EQ(rows[1][0], "file 2");
    EXPECT_EQ(rows[1][1], "12MB");
    EXPECT_EQ(rows[1][2], "2014-01-03");
    EXPECT_EQ(rows[1][4], "zip");
    // Ten times the bad line is past the cap: refused, a failure with an empty list.
    serve(VendorService::Zte, hostile::zteEntry(1) + hostile::zteBadEntry(4'800'000));
    const ZteFiles files = zteFetchFiles({"1002", std::string(36, 'a'), "m", ""});
    EXPECT_EQ(files.fileList, "");
    EXPECT_EQ(files.failure.kind, FailureKind::TooLarge);
}

TEST(HostileText, LongFileListsAndAddressesReadInOnePass) {
    const TimeBudget budget(milliseconds(100));
    const auto rows = zteFileRows(hostile::zteFileListLines(20'000));
    ASSERT_EQ(rows.size(), 20'000u);
    EXPECT_EQ(rows.back()[0], "f19999");
    EXPECT_EQ(rows.back()[4], "zip");
    const std::string dots(1 << 20, '.');
    EXPECT_EQ(zteExtension(dots), "");
    EXPECT_EQ(zteDisplayName("a", dots), "a");
    EXPECT_EQ(zteExtension("x" + dots + "apk"), "apk");
}

TEST_F(HostilePages, CoolpadRowsAndTypesAroundBadOnesStillComeOut) {
    const TimeBudget budget(milliseconds(400));
    serve(VendorService::Coolpad,
          hostile::coolpadRow(1) + hostile::coolpadBadRow() + hostile::coolpadRow(2) + "</table>");
    const std::vector<CoolpadFileRow> rows =
        coolpadFileRows(fetchText(coolpadDownloadAddress("8720L")));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].description, gbk("固件 1"));
    EXPECT_EQ(rows[1].address, "http://d/2.zip");

    // A search page whose first piece is all bad openings, the result in the second.
    std::string search = hostile::coolpadBadSearch(kCoolpadChunkBytes - 100);
    search.resize(kCoolpadChunkBytes, ' ');
    search += hostile::coolpadResult("8720L") + hostile::coolpadBadSearch(300'000);
    EXPECT_EQ(coolpadProductTypes(search), std::vector<std::string>{"8720L"});
    serve(VendorService::Coolpad, search + std::string(1'000'000, ' '));
    const CoolpadSearch past = coolpadSearchTypes("8720");
    EXPECT_TRUE(past.types.empty()) << "past the cap the search reads nothing";
    EXPECT_EQ(past.failure.kind, FailureKind::TooLarge);
}

// A reply that the pattern engine gives up on in part still ends the look-up as found, with
// the rows read, and says that the list may be incomplete.
TEST(HostileScripted, RepliesReadInPartKeepTheirRowsAndSaySo) {
    const TimeBudget budget(milliseconds(1000));
    std::string reply;  // for the next request; a further Huawei page has no file
    ScriptedFetch fetch;
    fetch.answerAll([&](const FetchRequest&) {
        return FetchReply{codepage::gbkToUtf8(std::exchange(reply, {}))};
    });
    const auto readInPart = [](const LookupStatus& s) {
        return s.end == LookupEnd::Complete && s.incomplete && s.tooComplex;
    };
    using hostile::huaweiRecord;
    reply = "jQuery(" + huaweiRecord(1) + "\n" + hostile::huaweiBadLine() + huaweiRecord(2) + ")";
    const HuaweiSearch huawei = huaweiSearchFiles("P6", fetch.context());
    EXPECT_EQ(huawei.files.size(), 2u);
    EXPECT_TRUE(readInPart(huawei));
    reply = hostile::zteEntry(1) + hostile::zteBadEntry() + hostile::zteEntry(2);
    const ZteFiles zte = zteFetchFiles({"1002", std::string(36, 'a'), "m", ""}, fetch.context());
    EXPECT_EQ(zte.rows.size(), 2u);
    EXPECT_TRUE(readInPart(zte));
}

TEST_F(HostilePages, LgReplyOfEndlessOpeningsAndOutsizedReplies) {
    {
        const TimeBudget budget(milliseconds(40));
        std::string reply;
        for (int i = 0; i < 100'000; ++i) reply += "<model><esn>";
        const LgReply read = readLgReply(reply + "<sw_url>u</sw_url>");
        EXPECT_EQ(read.outcome, LgOutcome::Found);
        EXPECT_EQ(read.fields[0], "");
        EXPECT_EQ(read.fields[5], "u");
    }
    serve(VendorService::Lg, std::string(serviceReplyCap(VendorService::Lg) + 1, ' '));
    const LgLookup outsized = lgLookUpSerial("1");
    EXPECT_EQ(outsized.reply.outcome, LgOutcome::NoReply);
    EXPECT_EQ(outsized.failure.kind, FailureKind::TooLarge);
}

// Starts the peak resident memory over; false where the kernel does not let the process.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}
// Peak resident memory since the last reset, in bytes; -1 where the kernel does not tell.
long long peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
    return -1;
}

TEST(HostileJson, ListsOfEmptyElementsStayWithinTheMemoryBound) {
    const TimeBudget budget(milliseconds(4000));
    // Past the cap: refused before any reading, whatever the reader would hold.
    const std::size_t cap = serviceReplyCap(VendorService::Iphone);
    LookupContext ctx;
    ctx.fetch = [&](const FetchRequest& r) {
        return FetchReply{r.address.find("getDown") != std::string::npos
                              ? "{\"a\":" + hostile::jsonCommas(cap) + "]}"
                              : hostile::jsonCommas(8 << 20)};
    };
    const IphoneFirmware firmware = iphoneFetchFirmware("all", "all", "all", false, ctx);
    EXPECT_TRUE(firmware.rows.empty());
    EXPECT_EQ(firmware.failure.kind, FailureKind::TooLarge);
    EXPECT_EQ(iphoneFetchTypes("x", ctx).failure.kind, FailureKind::TooLarge);
    ctx.fetch = [&](const FetchRequest&) {
        return FetchReply{std::string(18, ' ') + "{\"s\":" + hostile::jsonCommas(cap)};
    };
    EXPECT_EQ(zteFetchModelList(ctx).failure.kind, FailureKind::TooLarge);
    if (kSanitized) GTEST_SKIP() << "the bound is for a plain build";
    if (!resetPeak()) GTEST_SKIP() << "peak memory cannot be reset here";
    // Just under the cap: read, and the peak stays under 1 GiB.
    const std::string reply =
        std::string(18, ' ') + "{\"s\":" + hostile::jsonCommas(cap - 30) + "]};";
    const long long before = peakBytes();
    if (before < 0) GTEST_SKIP() << "the peak (VmHWM in /proc/self/status) cannot be read here";
    const std::vector<ZteSeries> series = zteReadModelList(reply);
    const long long peak = peakBytes();
    ASSERT_GE(peak, before);
    ASSERT_EQ(series.size(), 1u);
    EXPECT_LT(peak, 1LL << 30) << "before: " << before;
}

}  // namespace
