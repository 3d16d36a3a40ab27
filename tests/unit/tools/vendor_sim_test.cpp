// The simulator's replies are proven against the very patterns and rules the vendor pages
// read them with, and its request log against the bytes actually sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/codepage.h"
#include "tests/unit/tools/sim_support.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/service_hosts.h"

namespace {

using namespace simtest;
using vendorsim::Simulator;
using json = nlohmann::ordered_json;

const char* const kHuaweiPattern =
    R"p("fileName":"(.*?)",".*?fileSize":"(.*?)",".*?releaseDate":(.*?),"downloadUrl":"(.*?)","languageList)p";
const char* const kZteModelPattern = R"p("(.{36})":\[\d+,"(.*?)",\d+\])p";
const std::string kZteFilePattern =
    std::string(R"p(<a href="(.*?)" target="_blank">(.*?)</a></h4>)p") + "\r\n" +
    R"p(.*?<pre>文件大小：(.+[a-z]).+更新日期：(.{10}))p";
const char* const kCoolpadSearchPattern =
    R"p(\('(.*?)','DOWNLOAD_KEY'\)">.*?所属类别：下载中心</span>)p";
const std::string kCoolpadDownloadPattern =
    std::string(R"p(<td width=.*>(.*)</td>.*\n.*<td>(.*)</td>)p") + "\r" +
    R"p(.*\n.*<td>(.*)</td>)p" + "\r" + R"p(.*\n.*\n.*<td>(.*)</td>)p" + "\r" +
    R"p(.*\n.*<td>.*\n.*<a href="(.*?)" )p";

const std::string kHuaweiPath =
    "/support/services/service/file/list?jsonp=jQuery17109587828987278044_1396585821312"
    "&siteCode=cn&fileType=software&pageSize=5&curPage=";
const std::string kCoolpadSearch = "/search/search/searchKeyword/searclist.html";
const std::string kCoolpadDownload =
    "/product/download/downloadInfo/downloadInfo.html?downloadInfoBO.downloadInfo.mobileType=";
const std::string kLgPath = "/csmg/b2c/client/auth_model_check2.jsp?esn=";

std::string gbkText(std::string_view utf8) {
    return codepage::utf8ToGbk(utf8);
}

std::string trimBlanks(std::string text) {
    const std::string wide = "\xE3\x80\x80";
    for (bool changed = true; changed;) {
        changed = false;
        if (!text.empty() && text.front() == ' ') text.erase(0, 1), changed = true;
        if (!text.empty() && text.back() == ' ') text.pop_back(), changed = true;
        if (text.rfind(wide, 0) == 0) text.erase(0, wide.size()), changed = true;
        if (text.size() >= wide.size() &&
            text.compare(text.size() - wide.size(), wide.size(), wide) == 0) {
            text.resize(text.size() - wide.size());
            changed = true;
        }
    }
    return text;
}

// textBetween as the LG page uses it: first start tag, first end tag after it, or "".
std::string between(const std::string& text, const std::string& start, const std::string& end) {
    const std::size_t a = text.find(start);
    if (a == std::string::npos) return {};
    const std::size_t b = text.find(end, a + start.size());
    return b == std::string::npos ? std::string()
                                  : text.substr(a + start.size(), b - a - start.size());
}

class VendorSim : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sim = new Simulator();
        ASSERT_TRUE(sim->start()) << sim->error();
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        sim->clearRequests();
        sim->resetKnobs();
    }

    static int port(VendorService s) { return sim->port(s); }
    static const vendorsim::Fixtures& data() { return sim->fixtures(); }
    static Simulator* sim;
};
Simulator* VendorSim::sim = nullptr;

TEST_F(VendorSim, RecordsEveryRequestByteForByte) {
    const std::string type = gbkText("大神F1");
    const std::string getRequest =
        "GET " + kCoolpadDownload + type +
        "#downListUL HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\nAccept: */*\r\n"
        "Referer: http://127.0.0.1/x\r\nAccept-Language: zh-cn\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
    const std::string body = "searchKeywordBO.searchKey=  " + gbkText("大神") + " &x=33&y=9";
    const std::string postRequest =
        "POST " + kCoolpadSearch +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    const HttpReply got = exchange(port(VendorService::Coolpad), getRequest);
    const HttpReply posted = exchange(port(VendorService::Coolpad), postRequest);
    const HttpReply refused = exchange(port(VendorService::Coolpad), "GET /a b c HTTP/1.1\r\n\r\n");

    const auto log = sim->requests(VendorService::Coolpad);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].raw, getRequest);
    EXPECT_EQ(log[0].requestLine, getRequest.substr(0, getRequest.find("\r\n")));
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, kCoolpadDownload + type + "#downListUL");
    EXPECT_EQ(log[0].param("downloadInfoBO.downloadInfo.mobileType"), type);
    ASSERT_EQ(log[0].headers.size(), 6u);
    EXPECT_EQ(log[0].headers[1],
              (std::pair<std::string, std::string>(
                  "User-Agent", "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)")));
    EXPECT_EQ(log[0].headers[5].first, "Content-Type");
    EXPECT_EQ(log[0].header("accept-language"), "zh-cn");
    EXPECT_EQ(log[0].headerBlock,
              getRequest.substr(getRequest.find("\r\n") + 2,
                                getRequest.size() - getRequest.find("\r\n") - 4));
    EXPECT_EQ(log[0].body, "");
    EXPECT_EQ(log[0].status, 200);
    // The GBK type with its fragment still finds its page.
    EXPECT_EQ(matchAll(kCoolpadDownloadPattern, textOf(got.body)).size(), 3u);

    EXPECT_EQ(log[1].raw, postRequest);
    EXPECT_EQ(log[1].body, body);
    EXPECT_EQ(log[1].header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(matchAll(kCoolpadSearchPattern, textOf(posted.body)).size(), 5u)
        << "the keyword is found though posted as GBK with blanks";

    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(log[2].raw, "GET /a b c HTTP/1.1\r\n\r\n");
    EXPECT_EQ(log[2].status, 400);

    EXPECT_EQ(sim->requestCount(VendorService::Huawei), 0u);
    EXPECT_EQ(sim->requests().size(), 3u);
    sim->clearRequests();
    EXPECT_TRUE(sim->requests().empty());
}

TEST_F(VendorSim, PointsTheServiceHostsAtItself) {
    sim->exportEnvironment();
    for (auto s :
         {VendorService::Huawei, VendorService::Zte, VendorService::Coolpad, VendorService::Lg}) {
        EXPECT_EQ(serviceBase(s), "http://127.0.0.1:" + std::to_string(port(s)));
    }
    EXPECT_EQ(iphoneBase(),
              "http://127.0.0.1:" + std::to_string(port(VendorService::Iphone)) + "/iphone/");
    for (const auto& [name, value] : sim->environment()) unsetenv(name.c_str());
}

TEST_F(VendorSim, HuaweiPagesFiveFilesUntilAPageWithoutMatch) {
    const auto& p6 = data().huawei[0].files;
    ASSERT_GE(p6.size(), 12u);
    const auto pageMatches = [&](const std::string& keyword, int page) {
        const HttpReply reply = get(port(VendorService::Huawei),
                                    kHuaweiPath + std::to_string(page) + "&keywords=" + keyword);
        EXPECT_EQ(reply.status, 200);
        return matchAll(kHuaweiPattern, textOf(reply.body));
    };
    std::vector<Match> all;
    for (int page = 1;; ++page) {
        const auto matches = pageMatches("%20%20P6%20%20", page);
        if (matches.empty()) break;
        EXPECT_LE(matches.size(), 5u);
        all.insert(all.end(), matches.begin(), matches.end());
        ASSERT_LT(page, 10);
    }
    ASSERT_EQ(all.size(), p6.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i], (Match{p6[i].fileName, p6[i].fileSize, std::to_string(p6[i].releaseDate),
                                 p6[i].downloadUrl}));
    }
    EXPECT_EQ(all[0][2], "1396585821312");
    EXPECT_EQ(pageMatches("mate7", 1).size(), 5u);
    EXPECT_EQ(pageMatches("mate7", 2).size(), 2u);
    EXPECT_EQ(pageMatches(percentEncoded(gbkText("华为P6")), 3).size(), 2u);
    EXPECT_TRUE(pageMatches("NoSuchPhone", 1).empty());
    EXPECT_TRUE(pageMatches("", 1).empty());
    EXPECT_TRUE(pageMatches("G610", 2).empty()) << "five files fill page 1 exactly";
}

TEST_F(VendorSim, HuaweiCanIgnoreCurPage) {
    const auto page = [&](int n) {
        return get(port(VendorService::Huawei), kHuaweiPath + std::to_string(n) + "&keywords=P6")
            .body;
    };
    EXPECT_NE(page(1), page(2));
    sim->setHuaweiIgnoresCurPage(true);
    EXPECT_EQ(page(1), page(2));
    EXPECT_EQ(page(1), page(7));
    sim->setHuaweiIgnoresCurPage(false);
}

TEST_F(VendorSim, ZteModelListIsTheScriptFileTheTreeIsBuiltFrom) {
    const HttpReply reply = get(port(VendorService::Zte), "/js/support_search.js");
    const std::string text = textOf(reply.body);
    ASSERT_GT(text.size(), 19u);
    EXPECT_EQ(data().ztePrefix.size(), 18u);
    EXPECT_EQ(text.substr(0, 18), data().ztePrefix);
    const json doc =
        json::parse(codepage::gbkToUtf8(text.substr(18, text.size() - 19)), nullptr, false);
    ASSERT_TRUE(doc.is_object());

    std::vector<std::string> tree;  // item texts in pre-order
    std::size_t seriesWithoutModels = 0, models = 0;
    std::map<std::string, std::set<std::string>> categoriesOfName;
    for (const auto& [key, series] : doc.items()) {
        ASSERT_TRUE(series.is_array() && series.size() >= 3) << key;
        tree.push_back(series[0].get<std::string>());
        const auto found = matchAll(kZteModelPattern, gbkText(series[2].dump()));
        seriesWithoutModels += found.empty();
        ASSERT_EQ(found.size(), series[2].size());
        for (const Match& m : found) {
            ASSERT_TRUE(series[2].contains(m[0]));
            EXPECT_EQ(series[2][m[0]][1], m[1]);
            tree.push_back(m[1]);
            categoriesOfName[m[1]].insert(series[1].get<std::string>());
            ++models;
        }
    }
    EXPECT_GE(doc.size(), 4u);
    EXPECT_GE(models, 20u);
    EXPECT_GE(tree.size(), 11u);
    EXPECT_EQ(seriesWithoutModels, 1u);
    EXPECT_EQ(categoriesOfName["中兴 U960"].size(), 2u);
    std::vector<std::size_t> grand;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        std::string lower = tree[i];
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (lower.find("grand") != std::string::npos) grand.push_back(i);
    }
    EXPECT_EQ(grand, (std::vector<std::size_t>{3, 8}));
}

TEST_F(VendorSim, ZteModelListCanFail) {
    struct Case {
        vendorsim::ZteModelList mode;
        int status;
        std::size_t size;
    };
    for (const Case& c : {Case{vendorsim::ZteModelList::TenBytes, 200, 10},
                          Case{vendorsim::ZteModelList::Empty, 200, 0}}) {
        sim->setZteModelList(c.mode);
        const HttpReply reply = get(port(VendorService::Zte), "/js/support_search.js");
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body.size(), c.size);
    }
    sim->setZteModelList(vendorsim::ZteModelList::NotFound);
    EXPECT_EQ(get(port(VendorService::Zte), "/js/support_search.js").status, 404);
    sim->setZteModelList(vendorsim::ZteModelList::FewItems);
    const std::string text = textOf(get(port(VendorService::Zte), "/js/support_search.js").body);
    const json doc = json::parse(codepage::gbkToUtf8(text.substr(18, text.size() - 19)));
    std::size_t items = 0;
    for (const auto& [key, series] : doc.items()) items += 1 + series[2].size();
    EXPECT_EQ(items, 8u);
    sim->setZteModelList(vendorsim::ZteModelList::Normal);
}

TEST_F(VendorSim, ZteFilePagesYieldEveryFileThroughTheFilePattern) {
    std::size_t pages = 0;
    for (const auto& series : data().zte) {
        for (const auto& model : series.models) {
            const HttpReply reply = get(port(VendorService::Zte),
                                        "/support/" + series.categoryId + "/" + model.id + ".html");
            ASSERT_EQ(reply.status, 200) << model.name;
            EXPECT_EQ(std::count(reply.body.begin(), reply.body.end(), '\n'),
                      (long)std::count(reply.body.begin(), reply.body.end(), '\r'))
                << "every line ends with CR LF";
            const auto found = matchAll(kZteFilePattern, textOf(reply.body));
            ASSERT_EQ(found.size(), model.files.size()) << model.name;
            for (std::size_t i = 0; i < found.size(); ++i) {
                const auto& f = model.files[i];
                EXPECT_EQ(found[i], (Match{f.url, f.name, f.size, f.date}));
                EXPECT_EQ(trimBlanks(found[i][1]), trimBlanks(f.name));
            }
            ++pages;
        }
    }
    EXPECT_GE(pages, 20u);
    const HttpReply missing =
        get(port(VendorService::Zte), "/support/1001/" + std::string(36, 'x') + ".html");
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(matchAll(kZteFilePattern, textOf(missing.body)).empty());
}

TEST_F(VendorSim, CoolpadSearchListsDownloadResultsOnly) {
    const auto search = [&](std::string_view keyword) {
        const std::string body = "searchKeywordBO.searchKey=" + std::string(keyword) + "&x=33&y=9";
        return textOf(post(port(VendorService::Coolpad), kCoolpadSearch, body).body);
    };
    std::vector<std::string> types;
    for (const Match& m : matchAll(kCoolpadSearchPattern, search(gbkText("大神"))))
        types.push_back(m[0]);
    EXPECT_EQ(types,
              (std::vector<std::string>{"大神F1", "大神F2", "大神F1", "大神Note", "大神F1 Plus"}));
    EXPECT_TRUE(matchAll(kCoolpadSearchPattern, search("nothing-like-it")).empty());
    sim->setCoolpadEmptySearch(true);
    EXPECT_EQ(search(gbkText("大神")), "");
    sim->setCoolpadEmptySearch(false);
}

TEST_F(VendorSim, CoolpadLargeReplyPlacesResultsAgainstTheChunks) {
    const std::string body = "searchKeywordBO.searchKey=8297&x=33&y=9";
    const HttpReply reply = post(port(VendorService::Coolpad), kCoolpadSearch, body);
    EXPECT_GT(reply.body.size(), 1'000'000u);
    const std::string text = textOf(reply.body);
    ASSERT_EQ(text.size(), 1'200'000u);
    EXPECT_TRUE(codepage::isGbkLead(static_cast<unsigned char>(text[499'999])))
        << "a two-byte character spans bytes 500,000 and 500,001";
    std::vector<std::string> chunked;
    for (std::size_t start = 0; start < text.size(); start += 500'000) {
        for (const Match& m : matchAll(kCoolpadSearchPattern, text.substr(start, 500'000))) {
            chunked.push_back(m[0]);
        }
    }
    EXPECT_EQ(chunked, (std::vector<std::string>{"8297", "8297W", "8297-T01", "8297"}));
    std::vector<std::string> whole;
    for (const Match& m : matchAll(kCoolpadSearchPattern, text)) whole.push_back(m[0]);
    EXPECT_NE(std::find(whole.begin(), whole.end(), "8297D"), whole.end())
        << "only the boundary hides the straddling result";

    // The benchmark's longer page keeps the layout.
    const std::string longer = vendorsim::coolpadLargeSearchPageGbk(
        *vendorsim::findCoolpadKeyword(data(), "8297"), 1'500'000);
    EXPECT_EQ(longer.size(), 1'500'000u);
    EXPECT_EQ(longer.substr(0, 1'000'000), text.substr(0, 1'000'000));
}

TEST_F(VendorSim, CoolpadDownloadPagesYieldEveryFileThroughTheSevenPiecePattern) {
    for (const auto& type : data().coolpadTypes) {
        const HttpReply reply =
            get(port(VendorService::Coolpad),
                kCoolpadDownload + percentEncoded(gbkText(type.name)) + "#downListUL");
        const auto found = matchAll(kCoolpadDownloadPattern, textOf(reply.body));
        ASSERT_EQ(found.size(), type.files.size()) << type.name;
        for (std::size_t i = 0; i < found.size(); ++i) {
            const auto& f = type.files[i];
            EXPECT_EQ(found[i], (Match{f.description, f.date, f.size, f.kind, f.url}));
        }
    }
    EXPECT_TRUE(matchAll(kCoolpadDownloadPattern,
                         textOf(get(port(VendorService::Coolpad), kCoolpadDownload + "X").body))
                    .empty());
}

TEST_F(VendorSim, LgRepliesCarryTheTagsOrTheFailureMarker) {
    const char* const tags[] = {"model", "esn", "msn", "prod_type", "sw_version", "sw_url"};
    struct Case {
        std::string esn;
        bool fail;
        std::vector<std::string> values;  // per tag, as textBetween reads them
    };
    const std::string kdz = "http://csmg.lgmobile.com:9002/swdata/WEBSW/";
    const Case cases[] = {
        {"356789051234567",
         false,
         {"LG-D858", "356789051234567", "407KPXX123456", "GSM", "D85810c",
          kdz + "LGD858/AHKGBK/D85810c/D85810c_00.kdz"}},
        {"356789051234567%20",
         false,
         {"LG-D858", "356789051234567", "407KPXX123456", "GSM", "D85810c",
          kdz + "LGD858/AHKGBK/D85810c/D85810c_00.kdz"}},
        {"357710050123458",
         false,
         {"LG-E975", "357710050123458", "302KPRT654321", "WCDMA", "E97520b",
          kdz + "LGE975/AOPNBK/E97520b/E97520b_00.kdz?ver=2&amp;src=b2c"}},
        {"352000000000001", false, {"LG-P705", "352000000000001", "", "", "", ""}},
        {"352000000000003",
         false,
         {"", "352000000000003", "112KPAB777777", "GSM", "E61210e", kdz + "LGE612/E61210e_00.kdz"}},
        {"352000000000002", true, {}},
        {"123456789012345", true, {}},
    };
    for (const Case& c : cases) {
        const std::string text = textOf(get(port(VendorService::Lg), kLgPath + c.esn).body);
        EXPECT_EQ(text.find("status='FAIL'") != std::string::npos, c.fail) << c.esn;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const std::string tag = tags[i];
            EXPECT_EQ(between(text, "<" + tag + ">", "</" + tag + ">"), c.values[i])
                << c.esn << tag;
        }
    }
    EXPECT_NE(
        textOf(get(port(VendorService::Lg), kLgPath + "352000000000002").body).find("<model>"),
        std::string::npos)
        << "the refusal carries tags too";
    const HttpReply empty = get(port(VendorService::Lg), kLgPath + "000000000000000");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "");
}

TEST_F(VendorSim, IphoneCatalogueFiltersEveryWay) {
    const std::string base = "/iphone/";
    const auto fetch = [&](const std::string& path) {
        const HttpReply reply = get(port(VendorService::Iphone), base + path);
        EXPECT_EQ(reply.status, 200) << path;
        return json::parse(codepage::gbkToUtf8(textOf(reply.body)), nullptr, false);
    };
    EXPECT_EQ(fetch("model/getModelSelect.go"), json(data().iphoneModels));
    EXPECT_EQ(fetch("model/getVersionSelect.go?type=all"), json(data().iphoneVersions));
    EXPECT_EQ(fetch("model/getTypeSelect.go?model=" + percentEncoded(gbkText("iPhone 4 电信版"))),
              json::parse(R"(["iPhone3,3"])"));
    EXPECT_EQ(fetch("model/getTypeSelect.go?model=iPhone%205s"),
              json::parse(R"(["iPhone6,1","iPhone6,2"])"));
    EXPECT_EQ(fetch("model/getTypeSelect.go?model=Nokia"), json::array());
    EXPECT_EQ(get(port(VendorService::Iphone), "/model/getModelSelect.go").status, 404);

    struct Shape {
        std::string query;
        std::vector<std::pair<std::string, std::size_t>> members;
    };
    const auto shapeOf = [&](const std::string& query) {
        std::vector<std::pair<std::string, std::size_t>> members;
        const json reply = fetch("down/getDown.go?" + query);
        for (const auto& [name, entries] : reply.items()) {
            members.emplace_back(name, entries.size());
        }
        return members;
    };
    const Shape shapes[] = {
        {"model=iPhone%204&type=all&version=all&brush=30", {{"iPhone3,1", 3}, {"iPhone3,2", 2}}},
        {"model=iPhone%204&type=all&version=all&brush=1", {{"iPhone3,1", 4}, {"iPhone3,2", 2}}},
        {"model=iPhone%204&type=iPhone3,2&version=all&brush=30", {{"iPhone3,2", 2}}},
        {"model=all&type=all&version=8.1&brush=30",
         {{"iPhone6,1", 1}, {"iPhone6,2", 1}, {"iPhone7,1", 1}}},
        {"model=" + percentEncoded(gbkText("iPhone 4 电信版")) + "&type=all&version=all&brush=1",
         {{"iPhone3,3", 2}}},
        {"model=all&type=all&version=9.0&brush=1", {}},
    };
    for (const Shape& s : shapes) EXPECT_EQ(shapeOf(s.query), s.members) << s.query;

    std::size_t all30 = 0, all1 = 0;
    std::set<int> types, setups, states;
    bool lacksIsSetup = false;
    const json everything = fetch("down/getDown.go?model=all&type=all&version=all&brush=1");
    for (const auto& [name, entries] : everything.items()) {
        for (const auto& e : entries) {
            ++all1;
            types.insert(e["types"].get<int>());
            states.insert(e["productState"].get<int>());
            if (e.contains("isSetup"))
                setups.insert(e["isSetup"].get<int>());
            else
                lacksIsSetup = true;
            EXPECT_TRUE(e["version"].is_string() && e["productName"].is_string() &&
                        e["downUrl"].is_string());
        }
    }
    const json flashable = fetch("down/getDown.go?model=all&type=all&version=all&brush=30");
    for (const auto& [name, entries] : flashable.items()) {
        all30 += entries.size();
    }
    EXPECT_EQ(all1, data().iphoneFirmware.size());
    EXPECT_EQ(all1 - all30, 4u) << "four entries can no longer be flashed";
    EXPECT_EQ(types, (std::set<int>{0, 1, 5}));
    EXPECT_EQ(setups, (std::set<int>{0, 20, 50, 80, 120}));
    EXPECT_EQ(states, (std::set<int>{0, 30, 45, 60, 90, 120}));
    EXPECT_TRUE(lacksIsSetup);

    sim->setIphoneBulkRows(5000);
    std::size_t bulk = 0;
    const json generated = fetch("down/getDown.go?model=x&type=y&version=z&brush=30");
    for (const auto& [name, entries] : generated.items()) {
        bulk += entries.size();
    }
    sim->setIphoneBulkRows(0);
    EXPECT_EQ(bulk, 5000u);
}

TEST_F(VendorSim, HooksReplaceAndHoldReplies) {
    sim->setReplyHook(
        VendorService::Lg,
        [](const vendorsim::RecordedRequest& r) -> std::optional<vendorsim::Reply> {
            if (r.param("esn") != "hook") return std::nullopt;
            return vendorsim::Reply{200, "text/plain", "<model>X1</model><esn>123</esn>"};
        });
    EXPECT_EQ(get(port(VendorService::Lg), kLgPath + "hook").body,
              "<model>X1</model><esn>123</esn>");
    EXPECT_NE(get(port(VendorService::Lg), kLgPath + "other").body.find("FAIL"), std::string::npos);
    sim->setReplyHook(VendorService::Lg, nullptr);

    using namespace std::chrono;
    sim->setReplyDelay(VendorService::Lg, milliseconds(150));
    const auto started = steady_clock::now();
    get(port(VendorService::Lg), kLgPath + "1");
    EXPECT_GE(steady_clock::now() - started, milliseconds(150));
    sim->setReplyDelay(VendorService::Lg, milliseconds(0));
}

TEST(VendorSimLifecycle, StopsPromptlyWhileAReplyIsHeldAndRestarts) {
    using namespace std::chrono;
    Simulator sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    sim.setReplyDelay(VendorService::Huawei, seconds(30));
    std::thread client([port = sim.port(VendorService::Huawei)] { get(port, "/x"); });
    ASSERT_TRUE(sim.waitForRequests(VendorService::Huawei, 1, seconds(5)));
    const auto started = steady_clock::now();
    sim.stop();
    client.join();
    EXPECT_LT(steady_clock::now() - started, seconds(5));
    EXPECT_FALSE(sim.running());
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_GT(sim.port(VendorService::Lg), 0);

    vendorsim::Options broken;
    broken.fixtureDir = "/nonexistent";
    Simulator missing(broken);
    EXPECT_FALSE(missing.start());
    EXPECT_NE(missing.error().find("huawei.json"), std::string::npos);
}

}  // namespace

namespace {

// The demo: addresses in the replies point at the simulator, and what they name arrives
// there, whole or by range, as long as the list says.
TEST(VendorSimDemo, DownloadAddressesServeTheirBytes) {
    vendorsim::Options options;
    options.demo = true;
    Simulator sim(options);
    ASSERT_TRUE(sim.start()) << sim.error();

    const std::string huaweiBase =
        "http://127.0.0.1:" + std::to_string(sim.port(VendorService::Huawei)) + "/files/";
    const HttpReply page = get(sim.port(VendorService::Huawei), kHuaweiPath + "1&keywords=P6");
    const auto rows = matchAll(kHuaweiPattern, textOf(page.body));
    ASSERT_FALSE(rows.empty());
    for (const Match& row : rows) {
        const std::string& url = row[3];
        ASSERT_EQ(url.rfind(huaweiBase, 0), 0u) << url;
        const double served = std::stod(url.substr(huaweiBase.size()));
        EXPECT_LE(served, double(vendorsim::kMaxServedFile)) << url;
        // "25.11MB": what the list says, to its last digit.
        EXPECT_NEAR(std::stod(row[1]) * (1 << 20), served, 0.005 * (1 << 20)) << row[1];
    }

    const int lg = sim.port(VendorService::Lg);
    const HttpReply found = get(lg, kLgPath + sim.fixtures().lg.front().esn);
    const std::string base = "http://127.0.0.1:" + std::to_string(lg);
    const std::size_t at = found.body.find("<sw_url>" + base + "/files/");
    ASSERT_NE(at, std::string::npos) << found.body;
    const std::size_t from = at + 8 + base.size();
    const std::string target = found.body.substr(from, found.body.find('<', from) - from);
    const std::size_t length = std::stoull(target.substr(7));

    std::string pattern(length, '\0');
    vendorsim::filePattern(0, pattern.data(), length);
    const HttpReply whole = get(lg, target);
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, pattern);
    const std::string etag = "\"" + std::to_string(length) + "\"";
    EXPECT_NE(whole.head.find("ETag: " + etag), std::string::npos) << whole.head;

    const auto ranged = [&](const std::string& headers) {
        return simtest::exchange(lg, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                         headers + "Connection: close\r\n\r\n");
    };
    const HttpReply middle = ranged("Range: bytes=1000-1999\r\nIf-Range: " + etag + "\r\n");
    EXPECT_EQ(middle.status, 206);
    EXPECT_NE(middle.head.find("Content-Range: bytes 1000-1999/" + std::to_string(length)),
              std::string::npos)
        << middle.head;
    EXPECT_EQ(middle.body, pattern.substr(1000, 1000));
    EXPECT_EQ(ranged("Range: bytes=-10\r\n").body, pattern.substr(length - 10));
    // Another version of the file: all of it again.
    EXPECT_EQ(ranged("Range: bytes=10-\r\nIf-Range: \"1\"\r\n").status, 200);
    EXPECT_EQ(ranged("Range: bytes=" + std::to_string(length) + "-\r\n").status, 416);
}

}  // namespace
