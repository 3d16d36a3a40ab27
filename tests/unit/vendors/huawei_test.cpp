// The Huawei reply reader on replies the simulator does not give: escapes, odd stamps,
// records across lines, a long page; and the search's paging with its stop rules, driven
// by a scripted fetch.
#include "vendors/huawei.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "base/text_util.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/vendors/scripted_fetch.h"

namespace {

std::string record(const std::string& name, const std::string& size, const std::string& stamp,
                   const std::string& url) {
    return R"({"fileId":"1","fileName":")" + name + R"(","fileType":"software","fileSize":")" +
           size + R"(","siteCode":"cn","releaseDate":)" + stamp + R"(,"downloadUrl":")" + url +
           R"(","languageList":[{"languageCode":"zh-cn"}]})";
}

class HuaweiReply : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(HuaweiReply, CapturesAreTakenAsTheServiceWritesThem) {
    struct Case {
        const char* what;
        std::string reply;
        std::vector<HuaweiFile> files;
    };
    const std::string cn = gbk("华为固件");
    const Case cases[] = {
        {"escapes stay",
         "cb([" +
             record(R"(P6 \u56fa\u4ef6 \"B118\")", "1.0GB", "1396585821312",
                    R"(http:\/\/h\/a.zip)") +
             "])",
         {{R"(P6 \u56fa\u4ef6 \"B118\")", "2014-04-04", "1.0GB", R"(http:\/\/h\/a.zip)"}}},
        {"stamp near midnight is the UTC day here",
         "cb([" + record(cn, "803.49MB", "1401553800000", "http://h/b") + "])",
         {{cn, "2014-05-31", "803.49MB", "http://h/b"}}},
        {"a stamp that is no number gives the fallback date",
         record("a", "1MB", "null", "http://h/a") + record("b", "2MB", R"("x")", "http://h/b"),
         {{"a", "100-01-01", "1MB", "http://h/a"}, {"b", "100-01-01", "2MB", "http://h/b"}}},
        {"a record broken over two lines is no record",
         R"({"fileName":"a","fileSize":"1MB",)"
         "\r\n"
         R"("releaseDate":1,"downloadUrl":"u","languageList":[]})",
         {}},
        {"a record without its language list is no record",
         R"({"fileName":"a","fileSize":"1MB","releaseDate":1,"downloadUrl":"u"})",
         {}},
        {"empty reply", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<HuaweiFile> files = huaweiFiles(c.reply);
        ASSERT_EQ(files.size(), c.files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i].name, c.files[i].name);
            EXPECT_EQ(files[i].date, c.files[i].date);
            EXPECT_EQ(files[i].size, c.files[i].size);
            EXPECT_EQ(files[i].address, c.files[i].address);
        }
    }
}

TEST_F(HuaweiReply, LongPageOnOneLineKeepsEveryRecordInOrder) {
    // Services write the whole JSONP reply as one line; lazy groups must not run across
    // record boundaries.
    std::string reply = "cb({\"fileList\":[";
    for (int i = 0; i < 2000; ++i)
        reply += record("f" + std::to_string(i), std::to_string(i) + "MB", "1396585821312",
                        "http://h/" + std::to_string(i)) +
                 ",";
    reply += "]})";
    const std::vector<HuaweiFile> files = huaweiFiles(reply);
    ASSERT_EQ(files.size(), 2000u);
    for (int i : {0, 1, 999, 1999}) {
        EXPECT_EQ(files[std::size_t(i)].name, "f" + std::to_string(i));
        EXPECT_EQ(files[std::size_t(i)].size, std::to_string(i) + "MB");
        EXPECT_EQ(files[std::size_t(i)].address, "http://h/" + std::to_string(i));
    }
}

// ---------------------------------------------------------------- paging

// A reply page of `count` records named "<tag>1", "<tag>2", ...
std::string page(const std::string& tag, int count) {
    std::string reply = "jQuery17109587828987278044_1396585821312({\"fileList\":[";
    for (int i = 1; i <= count; ++i)
        reply += record(tag + std::to_string(i), "1MB", "1396585821312", "http://h/" + tag) + ",";
    return reply + "]})";
}

std::vector<std::string> names(const std::vector<HuaweiFile>& files) {
    std::vector<std::string> out;
    for (const HuaweiFile& f : files) out.push_back(f.name);
    return out;
}

using Pages = std::vector<std::optional<std::string>>;  // none: the request fails

class HuaweiPaging : public ::testing::Test {
  protected:
    std::string address(int pageNumber, const std::string& keyword = "P6") const {
        return huaweiPageAddress(pageNumber, keyword);
    }
    // A search for `keyword` on a fresh script: page 1, 2, ... answer with `pages` in turn.
    HuaweiSearch search(const Pages& pages, const std::string& keyword = "P6") {
        fetch = ScriptedFetch();
        for (std::size_t i = 0; i < pages.size(); ++i)
            fetch.reply(address(int(i) + 1, keyword), pages[i]);
        return huaweiSearchFiles(keyword, fetch.context());
    }
    const testsupport::ScopedEnv host{"ROMHAUL_HUAWEI_HOST", "127.0.0.1:8001"};
    ScriptedFetch fetch;
};

TEST_F(HuaweiPaging, AsksPageAfterPageUntilOneWithoutMatch) {
    // Seven results over two pages; the keyword goes out as typed, blanks and all.
    const HuaweiSearch s = search({page("a", 5), page("b", 2), page("c", 0)}, "  P6  ");
    EXPECT_EQ(fetch.addresses(),
              (std::vector<std::string>{address(1, "  P6  "), address(2, "  P6  "),
                                        address(3, "  P6  ")}));
    EXPECT_EQ(fetch.requests[0].address,
              "http://127.0.0.1:8001/support/services/service/file/list?jsonp="
              "jQuery17109587828987278044_1396585821312&siteCode=cn&fileType=software"
              "&pageSize=5&curPage=1&keywords=  P6  ");
    EXPECT_EQ(fetch.requests[0].method, 0);
    EXPECT_EQ(names(s.files), (std::vector<std::string>{"a1", "a2", "a3", "a4", "a5", "b1", "b2"}));
    EXPECT_EQ(s.fileCount, 7);
    EXPECT_EQ(s.pages, 3);
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.rule, HuaweiStopRule::NoMatch);
}

TEST_F(HuaweiPaging, AnErrorPageEndsTheListWithoutFailing) {
    const HuaweiSearch s = search({page("a", 5), "<html>502 Bad Gateway</html>"});
    EXPECT_EQ(s.fileCount, 5);
    EXPECT_EQ(s.pages, 2);
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.rule, HuaweiStopRule::NoMatch);
}

TEST_F(HuaweiPaging, AFailedRequestIsToldApartFromAnEmptyAnswer) {
    // Page 1: an empty body is nothing found, a failed request is a failure.
    HuaweiSearch s = search({""});
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.pages, 1);
    EXPECT_TRUE(s.files.empty());

    s = search({std::nullopt});
    EXPECT_EQ(s.end, LookupEnd::Failed);
    EXPECT_EQ(s.pages, 1);
    EXPECT_TRUE(s.files.empty());

    // A later page that fails keeps what the pages before found.
    s = search({page("a", 5), page("b", 5), std::nullopt});
    EXPECT_EQ(fetch.requests.size(), 3u);
    EXPECT_EQ(s.fileCount, 10);
    EXPECT_EQ(names(s.files)[9], "b5");
    EXPECT_EQ(s.pages, 3);
    EXPECT_EQ(s.end, LookupEnd::Failed);
}

TEST_F(HuaweiPaging, AReplyEqualToThePageBeforeEndsTheSearch) {
    // A service that ignores curPage answers every page alike.
    fetch.answerAll([](const FetchRequest&) { return FetchReply{page("a", 5), false}; });
    const HuaweiSearch s = huaweiSearchFiles("P6", fetch.context());
    EXPECT_EQ(fetch.requests.size(), 2u);
    EXPECT_EQ(s.fileCount, 5);  // the repeated page's files are not taken again
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.rule, HuaweiStopRule::SameReply);
}

TEST_F(HuaweiPaging, StopsAfterTwoHundredPagesKeepingTheirRows) {
    // A service that changes its reply on every page.
    int served = 0;
    fetch.answerAll([&](const FetchRequest&) {
        ++served;
        return FetchReply{page("p" + std::to_string(served) + "-", 5), false};
    });
    int pagesSeen = 0;
    const HuaweiSearch s =
        huaweiSearchFiles("P6", fetch.context(), [&](std::vector<HuaweiFile>&& files) {
            ++pagesSeen;
            EXPECT_EQ(files.size(), 5u);
            EXPECT_EQ(files.front().name, "p" + std::to_string(pagesSeen) + "-1");
        });
    EXPECT_EQ(served, kHuaweiMaxPages);
    EXPECT_EQ(fetch.requests.back().address, address(200));
    EXPECT_EQ(pagesSeen, 200);
    EXPECT_EQ(s.fileCount, 1000);
    EXPECT_TRUE(s.files.empty());  // handed over page by page, not kept twice
    EXPECT_EQ(s.end, LookupEnd::Complete);
    EXPECT_EQ(s.rule, HuaweiStopRule::PageCap);
    EXPECT_TRUE(s.incomplete);
    EXPECT_FALSE(s.tooComplex) << "every page was read whole";
}

TEST_F(HuaweiPaging, AStopEndsTheSearchBetweenPagesOrDuringOne) {
    std::atomic<bool> stop{false};
    fetch.answerAll([&](const FetchRequest& r) {
        // The stop comes while page 3 is in flight: its reply does not count.
        if (r.address == address(3)) stop = true;
        return FetchReply{page("x" + std::to_string(fetch.requests.size()) + "-", 5), false};
    });
    LookupContext ctx = fetch.context();
    ctx.stop = &stop;
    std::vector<std::string> progress;
    ctx.onRequest = [&](const FetchRequest& r) { progress.push_back(r.address); };
    HuaweiSearch s = huaweiSearchFiles("P6", ctx);
    EXPECT_EQ(progress, (std::vector<std::string>{address(1), address(2), address(3)}));
    EXPECT_EQ(s.fileCount, 10);
    EXPECT_EQ(s.end, LookupEnd::Stopped);

    // Raised before the search starts: no request at all.
    fetch.requests.clear();
    s = huaweiSearchFiles("P6", ctx);
    EXPECT_TRUE(fetch.requests.empty());
    EXPECT_EQ(s.end, LookupEnd::Stopped);
    EXPECT_EQ(s.pages, 0);

    // Raised from the page callback: the page is kept, no further page is asked for.
    stop = false;
    fetch.requests.clear();
    s = huaweiSearchFiles("P6", ctx, [&](std::vector<HuaweiFile>&&) { stop = true; });
    EXPECT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(s.fileCount, 5);
    EXPECT_EQ(s.end, LookupEnd::Stopped);
}

}  // namespace
