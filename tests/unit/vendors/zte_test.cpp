#include "vendors/zte.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_util.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/vendors/scripted_fetch.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::string kPrefix = "var supportData = ";  // 18 bytes

TEST(ZteModelList, CutsThePrefixAndTheClosingByteOrGivesNothing) {
    struct Case {
        std::string reply;
        std::string json;
    };
    const Case cases[] = {
        {"", ""},
        {"0123456789", ""},   // ten bytes: the cut would be negative
        {kPrefix, ""},        // the prefix alone
        {kPrefix + ";", ""},  // prefix and closing byte, nothing between
        {kPrefix + "{};", "{}"},
        {kPrefix + "{\"a\":1}\n", "{\"a\":1}"},
    };
    for (const Case& c : cases) EXPECT_EQ(zteModelListJson(c.reply), c.json) << c.reply;
}

TEST(ZteModelList, ReadsSeriesAndModelsInDocumentOrder) {
    const std::string id1(36, 'a'), id2(36, 'b'), id3(36, 'c');
    const std::string script =
        kPrefix +
        gbk("{\"s2\":[\"功能手机\",\"1002\",{\"" + id1 + "\":[6,\"中兴 U960\",51476],\"" + id2 +
            "\":[7,\"F160\",2]}],\"s1\":[\"固定台\",\"1003\",{}],\"s3\":[\"平板\",\"1004\",{\"" +
            id3 + "\":[1,\"中兴 U960\",3]}]};");
    const std::vector<ZteSeries> series = zteReadModelList(script);
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series[0].title, gbk("功能手机"));
    EXPECT_EQ(series[0].categoryId, "1002");
    ASSERT_EQ(series[0].models.size(), 2u);
    EXPECT_EQ(series[0].models[0].modelId, id1);
    EXPECT_EQ(series[0].models[0].modelName, gbk("中兴 U960"));
    EXPECT_EQ(series[0].models[1].modelName, "F160");
    EXPECT_EQ(series[1].title, gbk("固定台"));
    EXPECT_TRUE(series[1].models.empty());
    EXPECT_EQ(series[2].models[0].modelId, id3);
    EXPECT_EQ(zteTreeItemCount(series), 6);
}

TEST(ZteModelList, BrokenRepliesGiveWhatCanBeRead) {
    for (const std::string& reply : {std::string(), std::string("0123456789"), kPrefix + "[1,2,3];",
                                     kPrefix + "\"text\";", kPrefix + "{\"s\":5,\"t\":{\"x\":1}};",
                                     kPrefix + "{\"s\":[\"A\",\"1\",{\"short\":[1,\"n\",2]}]"}) {
        const std::vector<ZteSeries> series = zteReadModelList(reply);
        for (const ZteSeries& s : series) EXPECT_TRUE(s.models.empty()) << reply;
        EXPECT_LT(zteTreeItemCount(series), kZteMinTreeItems) << reply;
    }
}

std::string heading(const std::string& url, const std::string& name) {
    return "<h4><a href=\"" + url + "\" target=\"_blank\">" + name + "</a></h4>";
}

TEST(ZteFiles, FilePatternNeedsTheSizeLineRightAfterTheHeading) {
    const std::string pre =
        gbk("<pre>文件大小：12.3MB　　更新日期：2013-05-18　　下载次数：9</pre>");
    const std::string page = "<ul>\r\n<li>\r\n" + heading("http://h/a.zip", gbk("　 升级包 ")) +
                             "\r\n" + pre + "\r\n</li>\r\n<li>\r\n" +
                             heading("http://h/b.rar", "B") + "\n" + pre + "\r\n</li>\r\n<li>\r\n" +
                             heading("/x?id=1", "C") + "\r\n" +
                             gbk("<pre>文件大小：3.2 mb　更新日期：2012-11-02</pre>") + "\r\n</ul>";
    EXPECT_EQ(zteFileList(page), "http://h/a.zip|" + gbk("升级包") + "|12.3MB|2013-05-18\r\n" +
                                     "/x?id=1|C|3.2 mb|2012-11-02\r\n");
    EXPECT_EQ(zteFileList(""), "");
    EXPECT_EQ(zteFileList(gbk("<html>没有文件</html>")), "");
}

TEST(ZteFiles, RowsComeFromLinesOfExactlyFourFields) {
    const std::string list =
        "http://h/a.zip|A|1MB|2013-01-01\r\n"
        "noextension|B|2MB|2013-01-02\r\n"
        "three|fields|only\r\n"
        "five|f|i|e|lds\r\n"
        "http://h/v1.2/c.tar.gz|C|3MB|\r\n";
    EXPECT_EQ(zteFileRows(list), (Rows{{"A", "1MB", "2013-01-01", "http://h/a.zip", "zip"},
                                       {"B", "2MB", "2013-01-02", "noextension", ""},
                                       {"C", "3MB", "", "http://h/v1.2/c.tar.gz", "gz"}}));
    EXPECT_TRUE(zteFileRows("").empty());
}

TEST(ZteFiles, DisplayNameGetsTheExtensionOnlyWhenItLacksIt) {
    struct Case {
        const char* name;
        const char* address;
        const char* shown;
    };
    const Case cases[] = {
        {"a.zip", "http://h/a.zip", "a.zip"},
        {"a", "http://h/a.zip", "a.zip"},
        {"a.ZIP", "http://h/a.zip", "a.ZIP.zip"},  // the name test counts letter case
        {"a.zip (2)", "http://h/a.zip", "a.zip (2)"},
        {"b", "noextension", "b"},
        {"b", "http://h.cn/support/fileDownload?fileId=88012", "b"},
        {"b", "http://h/dl.v2/b.apk?v=1.2#x.y", "b.apk"},
        {"", "http://h/c.exe", ".exe"},
    };
    for (const Case& c : cases) EXPECT_EQ(zteDisplayName(c.name, c.address), c.shown) << c.name;
    EXPECT_EQ(zteFileInfoPieces("a", "1MB", "2013-01-01", "http://h/a.zip"),
              (std::vector<std::string>{"a.zip\r\n\r\n", gbk("文件大小：") + "1MB\r\n\r\n",
                                        gbk("更新日期：") + "2013-01-01"}));
}

TEST(ZteFind, RunsToTheEndWithoutWrappingThenStartsOver) {
    const std::vector<std::string> items = {"0", "1", "2", "a X b", "4", "5", "6", "7", "xx", "9"};
    int pos = 0;
    const int expected[] = {3, 8, -1, 3, 8};
    for (int want : expected) {
        EXPECT_EQ(zteFindNext(items, "x", pos), want);
        EXPECT_EQ(pos, want < 0 ? 0 : want + 1);
    }
    pos = 5;
    EXPECT_EQ(zteFindNext(items, "X", pos), 8) << "starts where the last find stopped";
    pos = 42;
    EXPECT_EQ(zteFindNext(items, "x", pos), -1) << "past the end only empty texts";
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(zteFindNext({}, "x", pos), -1);
    const std::vector<std::string> chinese = {gbk("功能手机"), gbk("中兴 GRAND Memo")};
    pos = 0;
    EXPECT_EQ(zteFindNext(chinese, gbk("手机"), pos), 0);
    EXPECT_EQ(zteFindNext(chinese, "grand m", pos), 1);
}

// ---------------------------------------------------------------- look-ups

class ZteLookUps : public ::testing::Test {
  protected:
    const testsupport::ScopedEnv host{"ROMHAUL_ZTE_HOST", "127.0.0.1:8002"};
    ScriptedFetch fetch;
};

TEST_F(ZteLookUps, ModelListIsOneRequestReadIntoSeriesAndRecords) {
    const std::string id1(36, 'a'), id2(36, 'b');
    // The service sends UTF-8; the tree gets program texts.
    fetch.answer("http://127.0.0.1:8002/js/support_search.js",
                 kPrefix + "{\"s\":[\"功能手机\",\"1002\",{\"" + id1 + "\":[6,\"中兴 U960\",1],\"" +
                     id2 + "\":[7,\"F160\",2]}],\"t\":[\"平板\",\"1004\",{}]};");
    const ZteModelList list = zteFetchModelList(fetch.context());
    ASSERT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(fetch.requests[0].method, 0);
    EXPECT_EQ(list.end, LookupEnd::Complete);
    ASSERT_EQ(list.series.size(), 2u);
    EXPECT_EQ(list.series[0].title, gbk("功能手机"));
    EXPECT_EQ(list.series[0].models[0].modelName, gbk("中兴 U960"));
    const std::vector<ZteModel> records = zteModelRecords(list.series);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].categoryId, "1002");
    EXPECT_EQ(records[1].modelId, id2);
    EXPECT_EQ(records[1].modelName, "F160");
    EXPECT_EQ(records[1].fileList, "");

    fetch.fail("http://127.0.0.1:8002/js/support_search.js");
    const ZteModelList failed = zteFetchModelList(fetch.context());
    EXPECT_EQ(failed.end, LookupEnd::Failed);
    EXPECT_TRUE(failed.series.empty());
}

TEST_F(ZteLookUps, FilesComeFromTheCacheOrFromTheModelsPage) {
    const std::string id(36, 'c');
    const std::string pageAddress = "http://127.0.0.1:8002/support/1002/" + id + ".html";
    fetch.answer(pageAddress, "<li>\r\n" + heading("http://h/a.zip", "A") +
                                  "\r\n<pre>文件大小：12.3MB　更新日期：2013-05-18</pre>\r\n</li>");
    ZteModel record{"1002", id, "F160", ""};
    ZteFiles files = zteFetchFiles(record, fetch.context());
    EXPECT_EQ(fetch.addresses(), std::vector<std::string>{pageAddress});
    EXPECT_TRUE(files.fetched);
    EXPECT_EQ(files.end, LookupEnd::Complete);
    EXPECT_EQ(files.fileList, "http://h/a.zip|A|12.3MB|2013-05-18\r\n");
    EXPECT_EQ(files.rows, (Rows{{"A", "12.3MB", "2013-05-18", "http://h/a.zip", "zip"}}));

    // A cached list makes no request.
    record.fileList = files.fileList;
    files = zteFetchFiles(record, fetch.context());
    EXPECT_EQ(fetch.requests.size(), 1u);
    EXPECT_FALSE(files.fetched);
    EXPECT_EQ(files.rows.size(), 1u);

    // A page without files or a failed one leaves the list empty, to be asked again.
    record.fileList.clear();
    fetch.answer(pageAddress, "<html></html>");
    files = zteFetchFiles(record, fetch.context());
    EXPECT_TRUE(files.fetched);
    EXPECT_EQ(files.end, LookupEnd::Complete);
    EXPECT_TRUE(files.fileList.empty());
    fetch.fail(pageAddress);
    files = zteFetchFiles(record, fetch.context());
    EXPECT_EQ(files.end, LookupEnd::Failed);
    EXPECT_TRUE(files.rows.empty());
    EXPECT_EQ(fetch.requests.size(), 3u);

    // A relative address comes out absolute, and the format and details go by it; the
    // name's references are decoded, a "|" that one spells cannot split the line.
    fetch.answer(pageAddress,
                 "<li>\r\n" +
                     heading("/support/fileDownload?fileId=88012", "用户手册 &amp; 说明&#124;v2") +
                     "\r\n<pre>文件大小：1.2MB　更新日期：2013-05-18</pre>\r\n</li>");
    files = zteFetchFiles(record, fetch.context());
    const std::string absolute = "http://127.0.0.1:8002/support/fileDownload?fileId=88012";
    EXPECT_EQ(files.rows, (Rows{{gbk("用户手册 & 说明 v2"), "1.2MB", "2013-05-18", absolute, ""}}));
    EXPECT_EQ(zteDisplayName(files.rows[0][0], files.rows[0][3]), gbk("用户手册 & 说明 v2"));
}

}  // namespace
