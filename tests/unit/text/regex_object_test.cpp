#include "text/regex_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_util.h"
#include "platform/com.h"

using namespace std::string_literals;

namespace {

// The extraction patterns of the vendor pages, exactly as the program holds them.
const std::string kHuaweiPattern =
    R"re(fileName":"(.*?)",".*?fileSize":"(.*?)",".*?releaseDate":(.*?),"downloadUrl":"(.*?)","languageList)re";
const std::string kZteModelPattern = R"re("(.{36})":\[\d+,"(.*?)",\d+\])re";
const std::string kZteFilePattern = gbk(R"re(<a href="(.*?)" target="_blank">(.*?)</a></h4>)re"
                                        "\r\n"
                                        ".*?<pre>文件大小：(.+[a-z]).+更新日期：(.{10})");
const std::string kCoolpadSearchPattern =
    gbk(R"re(\('(.*?)','DOWNLOAD_KEY'\)">.*?所属类别：下载中心</span>)re");
const std::string kCoolpadDownloadPattern = R"re(<td width=.*>(.*)</td>.*\n.*<td>(.*)</td>)re"
                                            "\r"
                                            R"re(.*\n.*<td>(.*)</td>)re"
                                            "\r"
                                            R"re(.*\n.*\n.*<td>(.*)</td>)re"
                                            "\r"
                                            R"re(.*\n.*<td>.*\n.*<a href="(.*?)" )re";

// All groups of all matches, 1-based as the object counts them. The pages here are
// genuine ones: each is read whole.
std::vector<std::vector<std::string>> rows(const RegexObject& re, int groups) {
    EXPECT_FALSE(re.cutShort());
    std::vector<std::vector<std::string>> out;
    for (int i = 1; i <= re.matchCount(); ++i) {
        std::vector<std::string> row;
        for (int k = 1; k <= groups; ++k) row.push_back(re.subMatchText(i, k));
        out.push_back(row);
    }
    return out;
}

std::string huaweiRecord(const std::string& id, const std::string& name, const std::string& size,
                         const std::string& stamp, const std::string& url) {
    return R"({"fileId":")" + id + R"(","fileName":")" + name + R"(","fileSize":")" + size +
           R"(","fileType":"software","releaseDate":)" + stamp + R"(,"downloadUrl":")" + url +
           R"(","languageList":[{"languageCode":"zh-cn","languageName":"简体中文"}],"remark":"适用于 )" +
           name + R"("})";
}

TEST(RegexObjectVendors, HuaweiJsonpReply) {
    const std::string url1 =
        "http://download-c.huawei.com/download/downloadCenter?downloadId=29741&version=67341"
        "&siteCode=cn";
    const std::string url2 =
        "http://download-c.huawei.com/download/downloadCenter?downloadId=29742";
    // One long line, as the service sends it, with a second page glued on after a CR LF.
    const std::string reply = gbk(
        "jQuery17109587828987278044_1396585821312({\"status\":\"1\",\"fileList\":[" +
        huaweiRecord("29741", "P6-U06 V100R001C00B118 升级包(适用于中国大陆)", "812.53 MB",
                     "1396585821312", url1) +
        "," + huaweiRecord("29742", "华为 P6 \\\"双卡\\\" 固件", "1.2 GB", "1388505600000", url2) +
        "],\"totalCount\":7})\r\n" + huaweiRecord("1", "第三个", "5 KB", "null", "ftp://x/y") +
        "\r\n");
    RegexObject re;
    ASSERT_TRUE(re.create(kHuaweiPattern, reply));
    EXPECT_EQ(rows(re, 4), (std::vector<std::vector<std::string>>{
                               {gbk("P6-U06 V100R001C00B118 升级包(适用于中国大陆)"), "812.53 MB",
                                "1396585821312", url1},
                               {gbk("华为 P6 \\\"双卡\\\" 固件"), "1.2 GB", "1388505600000", url2},
                               {gbk("第三个"), "5 KB", "null", "ftp://x/y"},
                           }));
    // No record: a run with an empty collection, not a failure.
    ASSERT_TRUE(re.create(kHuaweiPattern, "jQuery1({\"status\":\"1\",\"fileList\":[]})"));
    EXPECT_EQ(re.matchCount(), 0);
    EXPECT_EQ(re.subMatchCount(), 0);
    EXPECT_EQ(re.subMatchText(1, 1), "");
}

TEST(RegexObjectVendors, ZteModelListAndFilePage) {
    const std::string id1 = "0b1c7d2e-3f40-4a51-8b62-7c83d94ea5f6";
    const std::string id2 = "1a2b3c4d-5e6f-4071-8293-a4b5c6d7e8f9";
    const std::string models =
        gbk("{\"" + id1 + "\":[1,\"ZTE U880\",3],\"" + id2 + "\":[12,\"中兴 V5 Max\",0]}");
    RegexObject re;
    ASSERT_TRUE(re.create(kZteModelPattern, models));
    EXPECT_EQ(rows(re, 2), (std::vector<std::vector<std::string>>{{id1, "ZTE U880"},
                                                                  {id2, gbk("中兴 V5 Max")}}));

    const std::string page = gbk(
        "<ul class=\"downlist\">\r\n"
        "<li><h4><a href=\"http://dl.zte.com.cn/U880/U880_V2.3.zip\" target=\"_blank\">"
        "ZTE U880 升级软件包 V2.3</a></h4>\r\n"
        "<div class=\"info\"><pre>文件大小：186.50MB      更新日期：2012-03-15</pre></div>\r\n"
        "</li>\r\n"
        "<li><h4><a href=\"http://dl.zte.com.cn/U880/manual.pdf\" target=\"_blank\">用户手册</a>"
        "</h4>\r\n"
        "<div class=\"info\"><pre>文件大小：2.1 Mb 更新日期：2011-12-01</pre></div>\r\n"
        "</li>\r\n</ul>\r\n");
    ASSERT_TRUE(re.create(kZteFilePattern, page));
    EXPECT_EQ(rows(re, 4),
              (std::vector<std::vector<std::string>>{
                  {"http://dl.zte.com.cn/U880/U880_V2.3.zip", gbk("ZTE U880 升级软件包 V2.3"),
                   "186.50MB", "2012-03-15"},
                  {"http://dl.zte.com.cn/U880/manual.pdf", gbk("用户手册"), "2.1 Mb", "2011-12-01"},
              }));
}

TEST(RegexObjectVendors, CoolpadSearchAndDownloadPages) {
    std::string search = "<ul>\r\n";
    for (const char* name : {"大神F2", "大神F2", "锋尚Pro"})
        search += "<li><a href=\"javascript:void(0)\" onclick=\"toDetail('" + std::string(name) +
                  "','DOWNLOAD_KEY')\">" + name +
                  " 全网通</a> <span class=\"cat\">所属类别：下载中心</span></li>\r\n";
    search +=
        "<li><a onclick=\"toDetail('8676','NEWS_KEY')\">新闻</a><span>所属类别：新闻</span>"
        "</li>\r\n</ul>";
    RegexObject re;
    ASSERT_TRUE(re.create(kCoolpadSearchPattern, gbk(search)));
    EXPECT_EQ(rows(re, 1), (std::vector<std::vector<std::string>>{
                               {gbk("大神F2")}, {gbk("大神F2")}, {gbk("锋尚Pro")}}));

    std::string page;
    for (int i = 1; i <= 2; ++i)
        page += "<tr>\r\n<td width=\"40%\">酷派大神F2 官方刷机包 4.4." + std::to_string(i) +
                "</td>\r\n<td>2015-03-1" + std::to_string(i) + "</td>\r\n<td>1.0" +
                std::to_string(i) + "GB</td>\r\n<td>官方</td>\r\n<td>ROM</td>\r\n<td>\r\n" +
                "<a href=\"http://dl.coolpad.com/rom/F2_" + std::to_string(i) +
                ".zip\" target=\"_blank\">下载</a>\r\n</td>\r\n</tr>\r\n";
    ASSERT_TRUE(re.create(kCoolpadDownloadPattern, gbk(page)));
    EXPECT_EQ(rows(re, 5), (std::vector<std::vector<std::string>>{
                               {gbk("酷派大神F2 官方刷机包 4.4.1"), "2015-03-11", "1.01GB", "ROM",
                                "http://dl.coolpad.com/rom/F2_1.zip"},
                               {gbk("酷派大神F2 官方刷机包 4.4.2"), "2015-03-12", "1.02GB", "ROM",
                                "http://dl.coolpad.com/rom/F2_2.zip"},
                           }));
}

TEST(RegexObject, RepeatCountsCharactersNotBytes) {
    RegexObject re;
    ASSERT_TRUE(re.create("(.{10})", gbk("固件名称：华为荣耀畅玩4X")));
    EXPECT_EQ(re.subMatchText(1, 1), gbk("固件名称：华为荣耀畅"));
    ASSERT_TRUE(re.create(gbk("更新日期：(.{10})"), gbk("更新日期：２０１４年４月４日是")));
    EXPECT_EQ(re.subMatchText(1, 1), gbk("２０１４年４月４日是"));
}

TEST(RegexObject, InvalidPatternFailsQuietly) {
    RegexObject re;
    ASSERT_TRUE(re.create("(a)", "a"));
    EXPECT_FALSE(re.create("(unbalanced", "unbalanced"));
    EXPECT_EQ(re.matchCount(), 0);
    EXPECT_EQ(re.subMatchCount(), 0);
    int position = 7;
    EXPECT_EQ(re.matchText(1, &position), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(re.subMatchText(1, 1), "");
    EXPECT_EQ(re.replace("x"), "");
    EXPECT_EQ(re.pattern(), "(unbalanced");  // the engine holds it all the same
}

TEST(RegexObject, SecondCreateReplacesTheFirst) {
    RegexObject re;
    EXPECT_EQ(re.pattern(), "");
    ASSERT_TRUE(re.create("(\\d)", "1 2 3"));
    EXPECT_EQ(re.matchCount(), 3);
    ASSERT_TRUE(re.create("([a-z])([a-z])", gbk("中xY")));
    EXPECT_EQ(re.matchCount(), 1);
    EXPECT_EQ(re.matchText(1), "xY");
    EXPECT_EQ(re.subMatchCount(), 2);
    EXPECT_EQ(re.matchText(2), "");
    EXPECT_EQ(re.pattern(), "([a-z])([a-z])");
    EXPECT_EQ(re.replace("$2$1"), gbk("中Yx"));
}

// One object run over the pieces of a long reply reuses its buffers: a shorter piece
// after a longer one must not see the longer one's tail, and a copy made before the next
// run keeps its own subject and matches.
TEST(RegexObject, LaterRunsKeepEarlierCopiesAndNoStaleTail) {
    RegexObject re;
    // Long enough to outgrow the second subject; "(\S+)$" tries every start in the run of
    // letters, so a much longer run would spend the engine's budget before "tail7".
    const std::string longer = gbk("甲乙 ") + std::string(1000, 'a') + gbk(" 丙丁 tail7");
    ASSERT_TRUE(re.create("(\\S+)$", longer));
    EXPECT_EQ(re.subMatchText(1, 1), "tail7");
    const RegexObject copy = re;
    ASSERT_TRUE(re.create("(\\S+)$", gbk("丙 x1")));
    EXPECT_EQ(re.matchCount(), 1);
    int position = -1;
    EXPECT_EQ(re.subMatchText(1, 1, &position), "x1");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(re.replace("[$1]"), gbk("丙 [x1]"));
    EXPECT_EQ(copy.subMatchText(1, 1, &position), "tail7");
    EXPECT_EQ(position, int(longer.size()) - 5);
    EXPECT_EQ(copy.matchText(1), "tail7");
    ASSERT_TRUE(re.create("a+", ""));
    EXPECT_EQ(re.matchCount(), 0);
    EXPECT_EQ(copy.replace("<$1>"), longer.substr(0, longer.size() - 5) + "<tail7>");
}

TEST(RegexObject, NumbersOutsideTheCollectionGiveEmptyText) {
    RegexObject re;
    EXPECT_EQ(re.matchCount(), 0);  // before any create
    EXPECT_EQ(re.matchText(1), "");
    ASSERT_TRUE(re.create("(a)(b)?", "a ab"));
    for (auto [n, k] : {std::pair{0, 1}, {3, 1}, {-1, 1}, {1, 0}, {1, 3}, {1, -5}})
        EXPECT_EQ(re.subMatchText(n, k), "") << n << "," << k;
    EXPECT_EQ(re.subMatchText(1, 2), "");  // took no part
    EXPECT_EQ(re.subMatchText(2, 2), "b");
}

TEST(RegexObject, OptionsAndQuoteToken) {
    RegexObject re;
    ASSERT_TRUE(re.create("abc", "ABC abc", true));
    EXPECT_EQ(re.matchCount(), 1);
    ASSERT_TRUE(re.create("abc", "ABC abc", false, true, false));
    EXPECT_EQ(re.matchCount(), 1);
    EXPECT_EQ(re.matchText(1), "ABC");
    ASSERT_TRUE(re.create("^b", "a\r\nb", false, false));
    EXPECT_EQ(re.matchCount(), 0);
    ASSERT_TRUE(re.create("^b", "a\r\nb"));
    EXPECT_EQ(re.matchCount(), 1);

    const std::string token = gbk("#引号");
    ASSERT_TRUE(re.create("title=" + token + "(.*?)" + token, gbk("<a title=\"升级\">"), false,
                          true, true, true));
    EXPECT_EQ(re.subMatchText(1, 1), gbk("升级"));
    EXPECT_EQ(re.pattern(), "title=\"(.*?)\"");
    // Without the flag the five bytes are matched as they stand.
    ASSERT_TRUE(re.create(token + "(\\d)", gbk("\"1 #引号2")));
    EXPECT_EQ(re.matchCount(), 1);
    EXPECT_EQ(re.subMatchText(1, 1), "2");
}

TEST(RegexObject, GbkTextComesBackByteForByte) {
    // Every two-byte GBK character, the single-byte euro sign and bytes that form no
    // character, one match per character: each must come back as its own bytes at its own
    // byte offset.
    std::string subject = "\x80,"s;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) subject += {char(lead), char(trail), ','};
    subject += "\xFF,\x81,\x81\x20,a\0b,"s;
    RegexObject re;
    ASSERT_TRUE(re.create("[^,]+", subject));
    std::size_t offset = 0;
    int checked = 0;
    for (int i = 1; i <= re.matchCount(); ++i) {
        int position = -2;
        std::string text = re.matchText(i, &position);
        std::size_t end = subject.find(',', offset);
        ASSERT_EQ(text, subject.substr(offset, end - offset)) << "match " << i;
        ASSERT_EQ(position, int(offset));
        offset = end + 1;
        ++checked;
    }
    EXPECT_EQ(offset, subject.size());
    EXPECT_GT(checked, 20000);
}

TEST(RegexObject, PositionsAreByteOffsets) {
    RegexObject re;
    ASSERT_TRUE(re.create("(b)(c)", gbk("中文ab中bc")));
    int position = -2;
    EXPECT_EQ(re.matchText(1, &position), "bc");
    EXPECT_EQ(position, 8);
    EXPECT_EQ(re.subMatchText(1, 2, &position), "c");
    EXPECT_EQ(position, 9);
    // Read backwards too: the offsets do not depend on the order of the reads.
    ASSERT_TRUE(re.create("x", gbk("x中x中文x")));
    const int offsets[] = {0, 3, 8};
    for (int i : {3, 1, 2}) {
        re.matchText(i, &position);
        EXPECT_EQ(position, offsets[i - 1]);
    }
    ASSERT_TRUE(re.create("(a)|(b)", "b"));
    EXPECT_EQ(re.subMatchText(1, 1, &position), "");
    EXPECT_EQ(position, -1);
}

TEST(RegexObject, ReplaceKeepsChineseText) {
    RegexObject re;
    ASSERT_TRUE(re.create(gbk("(\\d+)年"), gbk("发布于2014年，更新于2015年")));
    EXPECT_EQ(re.replace(gbk("$1 年")), gbk("发布于2014 年，更新于2015 年"));
    EXPECT_EQ(re.replace("[$&|$`]"),
              gbk("发布于[2014年|发布于]，更新于[2015年|发布于2014年，更新于]"));
    ASSERT_TRUE(re.create("\\d", "a1b2", false, true, false));
    EXPECT_EQ(re.replace("#"), "a#b2");
}

TEST(RegexObject, ComIsInitialisedOncePerObject) {
    const int before = win::comInitDepth();
    {
        RegexObject a;
        EXPECT_EQ(win::comInitDepth(), before + 1);
        ASSERT_TRUE(a.create("(\\w)", "xy"));
        {
            RegexObject b(a);
            EXPECT_EQ(win::comInitDepth(), before + 2);
            // The copy reads the same matches, and keeps them when the original runs again.
            ASSERT_TRUE(a.create("z", "z"));
            EXPECT_EQ(b.matchCount(), 2);
            EXPECT_EQ(b.subMatchText(2, 1), "y");
            RegexObject c;
            c = b;
            EXPECT_EQ(win::comInitDepth(), before + 3);
            EXPECT_EQ(c.matchText(1), "x");
        }
        EXPECT_EQ(win::comInitDepth(), before + 1);
        EXPECT_EQ(a.matchText(1), "z");
    }
    EXPECT_EQ(win::comInitDepth(), before);
}

}  // namespace
