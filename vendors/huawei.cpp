#include "vendors/huawei.h"

#include "base/text_util.h"
#include "net/entities.h"
#include "net/fetch_url.h"
#include "text/regex_object.h"
#include "text/script_time.h"
#include "vendors/service_hosts.h"

const char* const kHuaweiFilePattern =
    R"re(fileName":"(.*?)",".*?fileSize":"(.*?)",".*?releaseDate":(.*?),"downloadUrl":"(.*?)","languageList)re";

std::string huaweiPageAddress(int page, std::string_view keyword) {
    std::string address = huaweiBase();
    address +=
        "/support/services/service/file/list?jsonp=jQuery17109587828987278044_1396585821312"
        "&siteCode=cn&fileType=software&pageSize=5&curPage=";
    address += std::to_string(page);
    address += "&keywords=";
    address += keyword;
    return address;
}

std::vector<HuaweiFile> huaweiFiles(RegexObject& regex, std::string_view replyText) {
    std::vector<HuaweiFile> files;
    if (!regex.create(kHuaweiFilePattern, replyText)) return files;
    const int count = regex.matchCount();
    files.reserve(std::size_t(count > 0 ? count : 0));
    for (int i = 1; i <= count; ++i) {
        // Groups in subject order: the regex object finds byte offsets by walking on from
        // the last one it found, and a step back walks from the start of the reply again.
        HuaweiFile f;
        f.name = net::decodeEntities(regex.subMatchText(i, 1));
        f.size = regex.subMatchText(i, 2);
        f.date = releaseDateText(regex.subMatchText(i, 3));
        f.address = net::decodeEntities(regex.subMatchText(i, 4));
        files.push_back(std::move(f));
    }
    return files;
}

std::vector<HuaweiFile> huaweiFiles(std::string_view replyText) {
    RegexObject regex;
    return huaweiFiles(regex, replyText);
}

HuaweiSearch huaweiSearchFiles(std::string_view keyword, const LookupContext& ctx,
                               const HuaweiPageFiles& onPage) {
    HuaweiSearch search;
    RegexObject regex;
    std::string previousReply;
    for (int page = 1;; ++page) {
        if (page > kHuaweiMaxPages) {
            search.rule = HuaweiStopRule::PageCap;
            search.incomplete = true;
            break;
        }
        if (ctx.stopped()) {
            search.end = LookupEnd::Stopped;
            break;
        }
        const std::string address = huaweiPageAddress(page, keyword);
        FetchReply reply = fetchFor(ctx, VendorService::Huawei, {address});
        search.pages = page;
        endAfter(ctx, reply, search);
        if (search.end != LookupEnd::Complete) break;
        if (page > 1 && reply.body == previousReply) {
            search.rule = HuaweiStopRule::SameReply;
            break;
        }
        std::vector<HuaweiFile> files = huaweiFiles(regex, net::utf8ToText(reply.body));
        if (regex.cutShort()) search.readInPart();
        if (files.empty()) {
            search.rule = HuaweiStopRule::NoMatch;
            break;
        }
        for (HuaweiFile& f : files) f.address = downloadAddress(address, f.address);
        search.fileCount += int(files.size());
        if (onPage) {
            onPage(std::move(files));
        } else {
            search.files.insert(search.files.end(), std::make_move_iterator(files.begin()),
                                std::make_move_iterator(files.end()));
        }
        previousReply = std::move(reply.body);
    }
    return search;
}

const std::string& huaweiEmptyKeywordMessage() {
    static const std::string text = gbk("您要搜索的手机型号呢？");
    return text;
}

const std::string& huaweiNoResultMessage() {
    static const std::string text = gbk("抱歉，未找到合适结果。");
    return text;
}
