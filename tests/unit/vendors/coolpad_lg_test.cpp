// The Coolpad and LG cores: requests as built and sent, replies read as the pages show them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/text_util.h"
#include "platform/codepage.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/vendors/scripted_fetch.h"
#include "vendors/coolpad.h"
#include "vendors/lg.h"
#include "vendors/service_hosts.h"

namespace {

using testsupport::ScopedEnv;

std::string resultLine(const std::string& type, const std::string& key = "DOWNLOAD_KEY",
                       const std::string& category = "下载中心") {
    return gbk("<li><a href=\"javascript:void(0);\" onclick=\"searchResult('" + type + "','" + key +
               "')\">" + type + "</a><span class=\"cate\">所属类别：" + category +
               "</span></li>\r\n");
}

// Pads `text` with a comment so that it ends exactly at byte `size`.
void padTo(std::string& text, std::size_t size) {
    ASSERT_LE(text.size() + 9, size);
    text += "<!--" + std::string(size - text.size() - 9, ' ') + "-->\r\n";
}

TEST(CoolpadCore, BuildsRequestsFromTheInputAsTyped) {
    const ScopedEnv host("ROMHAUL_COOLPAD_HOST", "127.0.0.1:4100");
    EXPECT_EQ(coolpadSearchAddress(),
              "http://127.0.0.1:4100/search/search/searchKeyword/searclist.html");
    // Blanks and GBK bytes are neither trimmed nor encoded.
    EXPECT_EQ(coolpadSearchBody(gbk(" 大神 F1&")),
              "searchKeywordBO.searchKey=" + gbk(" 大神 F1&") + "&x=33&y=9");
    EXPECT_EQ(coolpadSearchBody(""), "searchKeywordBO.searchKey=&x=33&y=9");
    EXPECT_EQ(coolpadDownloadAddress(gbk("大神F1 Plus")),
              "http://127.0.0.1:4100/product/download/downloadInfo/downloadInfo.html"
              "?downloadInfoBO.downloadInfo.mobileType=" +
                  gbk("大神F1 Plus") + "#downListUL");
}

TEST(CoolpadCore, ListsDownloadTypesOnceInReplyOrder) {
    const std::string reply = gbk("<ul>\r\n") + resultLine("大神F1") +
                              resultLine("大神F1 发布会", "NEWS_KEY", "新闻中心") +
                              resultLine("大神F2") + resultLine("大神F1") + resultLine("") +
                              resultLine("大神note") + resultLine("大神NOTE") +
                              resultLine("锋尚", "SERVICE_KEY", "服务支持") + gbk("</ul>");
    // Letter case counts in the comparison, as the list compares bytes.
    const std::vector<std::string> want = {gbk("大神F1"), gbk("大神F2"), gbk("大神note"),
                                           gbk("大神NOTE")};
    EXPECT_EQ(coolpadProductTypes(reply), want);
    EXPECT_TRUE(coolpadProductTypes("").empty());
    EXPECT_TRUE(coolpadProductTypes(gbk("<li class=\"none\">抱歉</li>")).empty());
}

// 1,200,000 bytes, as the search sends them: a result in each 500,000 bytes, one across
// byte 1,000,000, a two-byte character across byte 500,000, and the first type again near
// the end. Then one line of 1,200,000 bytes with results across both 500,000-byte marks.
TEST(CoolpadCore, FindsResultsAcrossChunkBoundaries) {
    const ScopedEnv host("ROMHAUL_COOLPAD_HOST", "127.0.0.1:4100");
    ScriptedFetch fetch;
    std::string reply = gbk("<html>\r\n") + resultLine("A1");
    padTo(reply, kCoolpadChunkBytes - 16);
    reply += gbk("<p class=\"tip\">");
    reply += gbk("酷派商城</p>\r\n");  // its first character's lead byte is byte 500,000
    ASSERT_EQ(gbk("酷").size(), 2u);
    ASSERT_EQ(reply.substr(kCoolpadChunkBytes - 1, 2), gbk("酷"));
    reply += resultLine("B2");
    const std::string straddle = resultLine("C3");
    const std::size_t cut = straddle.find("DOWNLOAD_KEY") + 4;  // inside the handler call
    padTo(reply, 2 * kCoolpadChunkBytes - cut);
    reply += straddle;
    reply += resultLine("D4") + resultLine("A1");
    padTo(reply, 1'200'000);
    ASSERT_EQ(reply.size(), 1'200'000u);

    fetch.answer(coolpadSearchAddress(), codepage::gbkToUtf8(reply));
    CoolpadSearch s = coolpadSearchTypes("x", fetch.context());
    EXPECT_EQ(s.types, (std::vector<std::string>{"A1", "B2", "C3", "D4"}));
    EXPECT_EQ(s.end, LookupEnd::Complete);

    const auto record = [](const std::string& type) {
        const std::string r = resultLine(type);
        return r.substr(0, r.size() - 2);  // no line end anywhere
    };
    std::string line = record("E5");
    line.resize(kCoolpadChunkBytes - 20, ' ');
    line += record("F6");
    line.resize(2 * kCoolpadChunkBytes - 20, ' ');
    line += record("G7");
    line.resize(1'200'000, ' ');
    fetch.answer(coolpadSearchAddress(), codepage::gbkToUtf8(line));
    s = coolpadSearchTypes("x", fetch.context());
    EXPECT_EQ(s.types, (std::vector<std::string>{"E5", "F6", "G7"}));
}

TEST(CoolpadCore, SearchPostsTheKeywordAndTellsAFailureFromNothingFound) {
    const ScopedEnv host("ROMHAUL_COOLPAD_HOST", "127.0.0.1:4100");
    const std::string address = "http://127.0.0.1:4100/search/search/searchKeyword/searclist.html";
    ScriptedFetch fetch;
    // The reply is UTF-8 on the wire; the types are program texts.
    fetch.answer(address, codepage::gbkToUtf8(resultLine("大神F1") + resultLine("大神F2")));
    CoolpadSearch s = coolpadSearchTypes(gbk(" 大神"), fetch.context());
    ASSERT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(
        fetch.requests[0],
        (FetchRequest{address, 1, "searchKeywordBO.searchKey=" + gbk(" 大神") + "&x=33&y=9"}));
    EXPECT_EQ(s.types, (std::vector<std::string>{gbk("大神F1"), gbk("大神F2")}));
    EXPECT_EQ(s.end, LookupEnd::Complete);

    fetch.answer(address, "");
    s = coolpadSearchTypes("x", fetch.context());
    EXPECT_TRUE(s.types.empty());
    EXPECT_EQ(s.end, LookupEnd::Complete);
    fetch.fail(address);
    s = coolpadSearchTypes("x", fetch.context());
    EXPECT_TRUE(s.types.empty());
    EXPECT_EQ(s.end, LookupEnd::Failed);
}

std::string fileRow(const std::string& desc, const std::string& date, const std::string& size,
                    const std::string& kind, const std::string& url) {
    return gbk("<tr>\r\n<td width=\"38%\" class=\"desc\">" + desc + "</td>\r\n<td>" + date +
               "</td>\r\n<td>" + size + "</td>\r\n<td>Android 4.4</td>\r\n<td>" + kind +
               "</td>\r\n<td>\r\n<a href=\"" + url +
               "\" target=\"_blank\" class=\"down-btn\">下载</a>\r\n</td>\r\n</tr>\r\n");
}

TEST(CoolpadCore, ReadsFiveCellsPerFileInPageOrder) {
    const std::string page = gbk("<table>\r\n<tr>\r\n<th width=\"38%\">描述</th>\r\n</tr>\r\n") +
                             fileRow("大神F1 官方固件 &amp; 驱动", "2014-05-06", "812.3M", "固件",
                                     "http://dl.coolpad.com/f1.zip") +
                             fileRow(" 说明书 ", "2014-01-02", "2.1M", "文档", "ftp://h/a b.pdf") +
                             gbk("</table>");
    const std::vector<CoolpadFileRow> want = {
        {gbk("大神F1 官方固件 & 驱动"), "2014-05-06", "812.3M", gbk("固件"),
         "http://dl.coolpad.com/f1.zip"},
        {gbk(" 说明书 "), "2014-01-02", "2.1M", gbk("文档"), "ftp://h/a b.pdf"},
    };
    EXPECT_EQ(coolpadFileRows(page), want);
    // The layout the pattern needs: without the CRs nothing matches.
    EXPECT_TRUE(coolpadFileRows(replaceAll(page, "\r\n", "\n")).empty());
    EXPECT_TRUE(coolpadFileRows("").empty());
}

TEST(CoolpadCore, DownloadsAreFetchedForTheTypeAsListedEveryTime) {
    const ScopedEnv host("ROMHAUL_COOLPAD_HOST", "127.0.0.1:4100");
    const std::string type = gbk("大神F1 Plus");
    const std::string address = coolpadDownloadAddress(type);
    ScriptedFetch fetch;
    fetch.answer(address,
                 codepage::gbkToUtf8(fileRow("A", "2014-05-06", "812.3M", "固件", "http://h/a")));
    for (int round = 0; round < 2; ++round) {
        const CoolpadDownloads d = coolpadFetchDownloads(type, fetch.context());
        EXPECT_EQ(d.end, LookupEnd::Complete);
        EXPECT_EQ(d.files, (std::vector<CoolpadFileRow>{
                               {"A", "2014-05-06", "812.3M", gbk("固件"), "http://h/a"}}));
    }
    ASSERT_EQ(fetch.requests.size(), 2u);
    EXPECT_EQ(fetch.requests[1], (FetchRequest{address, 0, ""}));
    EXPECT_NE(address.find("#downListUL"), std::string::npos);

    fetch.fail(address);
    const CoolpadDownloads failed = coolpadFetchDownloads(type, fetch.context());
    EXPECT_EQ(failed.end, LookupEnd::Failed);
    EXPECT_TRUE(failed.files.empty());
}

TEST(LgCore, BuildsTheRequestFromTheSerialAsTyped) {
    const ScopedEnv host("ROMHAUL_LG_HOST", "127.0.0.1");
    EXPECT_EQ(lgLookupAddress("356789051234567 "),
              "http://127.0.0.1:9002/csmg/b2c/client/auth_model_check2.jsp?esn=356789051234567 ");
}

TEST(LgCore, ReadsTheOutcomeAndTheSixFields) {
    using F = std::array<std::string, kLgFieldCount>;
    struct Case {
        const char* reply;
        LgOutcome outcome;
        F fields;
    };
    const Case cases[] = {
        {"", LgOutcome::NoReply, {}},
        {"<PRODUCT status='FAIL'><model>X</model><esn>1</esn></PRODUCT>", LgOutcome::Failed, {}},
        {"<model>X1</model><esn>123</esn>", LgOutcome::Found, {"X1", "123", "", "", "", ""}},
        {"<PRODUCT status='OK'><model>LG-D858</model><esn>3567</esn><msn>407K</msn>"
         "<prod_type>GSM</prod_type><sw_version>D85810c</sw_version>"
         "<sw_url>http://h/a.kdz?v=2&amp;s=b</sw_url></PRODUCT>",
         LgOutcome::Found,
         {"LG-D858", "3567", "407K", "GSM", "D85810c", "http://h/a.kdz?v=2&s=b"}},
        // The marker is looked for with letter case; values are not trimmed.
        {"status='Fail'<model> a </model>", LgOutcome::Found, {" a ", "", "", "", "", ""}},
        // A start tag without its end tag, and an end tag before its start tag.
        {"<model>LG-E612\r\n<esn>35</esn></msn><msn>9",
         LgOutcome::Found,
         {"", "35", "", "", "", ""}},
        // The first occurrence of each tag counts.
        {"<esn>1</esn><esn>2</esn><model></model>", LgOutcome::Found, {"", "1", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        const LgReply r = readLgReply(c.reply);
        EXPECT_EQ(r.outcome, c.outcome) << c.reply;
        EXPECT_EQ(r.fields, c.fields) << c.reply;
    }
}

TEST(LgCore, LookUpGivesTheOutcomeAndTellsAFailureFromNothingFound) {
    const ScopedEnv host("ROMHAUL_LG_HOST", "127.0.0.1");
    const std::string address = lgLookupAddress("3567 ");
    ScriptedFetch fetch;
    struct Case {
        const char* what;
        std::optional<std::string> reply;  // none: the request fails
        LgOutcome outcome;
        FailureKind failure;  // None: the look-up is Complete
        std::string model;
        std::string url = "";
    };
    const Case cases[] = {
        {"found, its address made absolute",
         "<model>LG-D858</model><esn>3567</esn><sw_url>/swdata/D85810c_00.kdz?a=1&amp;b=2</sw_url>",
         LgOutcome::Found, FailureKind::None, "LG-D858",
         "http://127.0.0.1:9002/swdata/D85810c_00.kdz?a=1&b=2"},
        {"marker", "<r status='FAIL'><model>X</model></r>", LgOutcome::Failed, FailureKind::None,
         ""},
        {"empty body", "", LgOutcome::NoReply, FailureKind::None, ""},
        {"failed request", std::nullopt, LgOutcome::NoReply, FailureKind::Network, ""},
        {"unreadable", "<html><h1>502 Bad Gateway</h1></html>", LgOutcome::NoReply,
         FailureKind::Unreadable, ""},
        {"over the cap", std::string(serviceReplyCap(VendorService::Lg) + 1, '<'),
         LgOutcome::NoReply, FailureKind::TooLarge, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fetch.reply(address, c.reply);
        const LgLookup l = lgLookUpSerial("3567 ", fetch.context());
        EXPECT_EQ(fetch.requests.back(), (FetchRequest{address, 0, ""}));
        EXPECT_EQ(l.reply.outcome, c.outcome);
        EXPECT_EQ(l.end, c.failure == FailureKind::None ? LookupEnd::Complete : LookupEnd::Failed);
        EXPECT_EQ(l.failure.kind, c.failure);
        EXPECT_EQ(l.reply.fields[0], c.model);
        EXPECT_EQ(l.reply.fields[5], c.url);
    }
}

}  // namespace
