#include "vendors/coolpad.h"

#include <unordered_set>

#include "base/text_util.h"
#include "net/entities.h"
#include "text/regex_object.h"
#include "vendors/service_hosts.h"

std::string coolpadSearchAddress() {
    return coolpadBase() + "/search/search/searchKeyword/searclist.html";
}

std::string coolpadSearchBody(std::string_view keyword) {
    return joinTexts({"searchKeywordBO.searchKey=", keyword, "&x=33&y=9"});
}

std::string coolpadDownloadAddress(std::string_view productType) {
    return joinTexts({coolpadBase(),
                      "/product/download/downloadInfo/downloadInfo.html"
                      "?downloadInfoBO.downloadInfo.mobileType=",
                      productType, "#downListUL"});
}

const std::string& coolpadSearchPattern() {
    static const std::string pattern =
        gbk(R"re(\('(.*?)','DOWNLOAD_KEY'\)">.*?所属类别：下载中心</span>)re");
    return pattern;
}

// The site's table puts each cell on a line of its own and ends the date, size and kind
// lines with CR LF; the literal CRs hold the match to that layout, since "." also takes
// a CR.
const std::string& coolpadDownloadPattern() {
    static const std::string pattern =
        std::string(R"re(<td width=.*>(.*)</td>.*\n.*<td>(.*)</td>)re") + "\r" +
        R"re(.*\n.*<td>(.*)</td>)re" + "\r" + R"re(.*\n.*\n.*<td>(.*)</td>)re" + "\r" +
        R"re(.*\n.*<td>.*\n.*<a href="(.*?)" )re";
    return pattern;
}

std::vector<std::string> coolpadProductTypes(std::string_view replyText, bool* cutShort) {
    std::vector<std::string> types;
    std::unordered_set<std::string> listed;
    RegexObject re;
    for (std::size_t s = 0; s < replyText.size();) {
        std::string_view chunk = replyText.substr(s, kCoolpadChunkBytes);
        std::size_t next = s + chunk.size();
        if (next < replyText.size()) {
            const std::size_t lineEnd = chunk.rfind('\n');
            if (lineEnd != std::string_view::npos) {
                chunk = chunk.substr(0, lineEnd + 1);
                next = s + chunk.size();
            } else {
                next -= kCoolpadChunkOverlap;
            }
        }
        s = next;
        re.create(coolpadSearchPattern(), chunk);
        if (cutShort && re.cutShort()) *cutShort = true;
        const int count = re.matchCount();
        for (int i = 1; i <= count; ++i) {
            std::string type = re.subMatchText(i, 1);
            if (type.empty() || listed.count(type)) continue;
            listed.insert(type);
            types.push_back(std::move(type));
        }
    }
    return types;
}

std::vector<CoolpadFileRow> coolpadFileRows(std::string_view pageText, bool* cutShort) {
    std::vector<CoolpadFileRow> rows;
    RegexObject re;
    re.create(coolpadDownloadPattern(), pageText);
    if (cutShort && re.cutShort()) *cutShort = true;
    const int count = re.matchCount();
    rows.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i) {
        const auto cell = [&](int group) { return net::decodeEntities(re.subMatchText(i, group)); };
        rows.push_back({cell(1), cell(2), cell(3), cell(4), cell(5)});
    }
    return rows;
}

CoolpadSearch coolpadSearchTypes(std::string_view keyword, const LookupContext& ctx) {
    CoolpadSearch search;
    bool cutShort = false;
    search.types = coolpadProductTypes(
        fetchText(ctx, VendorService::Coolpad,
                  {coolpadSearchAddress(), 1, coolpadSearchBody(keyword)}, search),
        &cutShort);
    if (cutShort) search.readInPart();
    return search;
}

CoolpadDownloads coolpadFetchDownloads(std::string_view productType, const LookupContext& ctx) {
    CoolpadDownloads downloads;
    const std::string address = coolpadDownloadAddress(productType);
    bool cutShort = false;
    downloads.files =
        coolpadFileRows(fetchText(ctx, VendorService::Coolpad, {address}, downloads), &cutShort);
    if (cutShort) downloads.readInPart();
    for (CoolpadFileRow& row : downloads.files) row.address = downloadAddress(address, row.address);
    return downloads;
}

const std::string& coolpadEmptyKeywordMessage() {
    static const std::string text = gbk("您要搜索的关键字呢？");
    return text;
}

const std::string& coolpadNoResultMessage() {
    static const std::string text = gbk("抱歉，未找到合适结果。");
    return text;
}
