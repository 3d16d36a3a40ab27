// The Huawei reply reader on replies the simulator does not give: escapes, odd stamps,
// records across lines, a long page.
#include "vendors/huawei.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/text_util.h"

namespace {

std::string record(const std::string& name, const std::string& size, const std::string& stamp,
                   const std::string& url) {
    return R"({"fileId":"1","fileName":")" + name + R"(","fileType":"software","fileSize":")" +
           size + R"(","siteCode":"cn","releaseDate":)" + stamp + R"(,"downloadUrl":")" + url +
           R"(","languageList":[{"languageCode":"zh-cn"}]})";
}

class HuaweiReply : public ::testing::Test {
  protected:
    void SetUp() override { setZone("UTC"); }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
    static void setZone(const char* zone) {
        setenv("TZ", zone, 1);
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

}  // namespace
