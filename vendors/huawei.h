#pragma once
// Huawei firmware search: the request addresses of the consumer support file-list service,
// the files cut out of its JSONP replies, and the search that pages through them. No
// controls here; huaweiSearch (app/pages/huawei_page.h) puts the files into the page's list.
//
// Texts are code page 936 (GBK) bytes, as every program text.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vendors/lookup.h"

class RegexObject;

// One file of the list, as it goes into the list's columns 0 to 3.
struct HuaweiFile {
    // As the service writes them, HTML character references decoded ("&amp;" is "&"); JSON
    // escapes are left as they are.
    std::string name;
    std::string date;     // the local release date, YYYY-MM-DD
    std::string size;     // as the service writes it ("803.49MB")
    std::string address;  // the download address, for the hidden column
};

// The pattern that cuts one file record out of a reply. The service writes each record on
// one line with its keys in a fixed order; the reply is never read as JSON.
extern const char* const kHuaweiFilePattern;

// The request address of page `page` (from 1) for `keyword` exactly as typed: neither
// trimmed nor percent-encoded here (the request layer encodes what may not stand raw on
// the wire).
std::string huaweiPageAddress(int page, std::string_view keyword);

// The files of one reply text, in reply order. `regex` is the search's regex object, run
// afresh on every reply.
std::vector<HuaweiFile> huaweiFiles(RegexObject& regex, std::string_view replyText);
std::vector<HuaweiFile> huaweiFiles(std::string_view replyText);

// The search asks for no page past this one: 1,000 files at five a page. A service that
// answers every page with new files would otherwise be asked for ever.
inline constexpr int kHuaweiMaxPages = 200;

// Why a search that was not stopped and met no failed request ended.
enum class HuaweiStopRule {
    NoMatch,    // a page yielded no file (an empty list or an error page)
    SameReply,  // a page's reply was byte for byte the reply of the page before
    PageCap,    // page kHuaweiMaxPages had files; no further page was asked for
};

struct HuaweiSearch : LookupStatus {
    // Every file found, in reply order, page after page; empty when onPage took them.
    std::vector<HuaweiFile> files;
    int fileCount = 0;  // files found, whether kept here or handed to onPage
    int pages = 0;      // requests sent
    // end Failed: the request of page `pages` failed; Stopped: the caller stopped the
    // search. Either way the files of the pages before stay found. `incomplete` after the
    // page cap, and with `tooComplex` after a page that was read only in part.
    HuaweiStopRule rule = HuaweiStopRule::NoMatch;  // for a Complete search
};

// Receives the files of one page as soon as the page is read, for a caller that shows them
// page by page. Runs on the searching thread.
using HuaweiPageFiles = std::function<void(std::vector<HuaweiFile>&& files)>;

// Fetches page 1, 2, 3 ... for `keyword` (as typed), each file's address made absolute
// against its page's address (downloadAddress), until a page yields no file (an empty
// list, an error page, a failed request), a stop, or page kHuaweiMaxPages. A service that
// ignores the page number answers every page alike, which would never end; so a reply that
// is byte for byte the reply of the page before also ends the search, and its files are not
// taken a second time.
HuaweiSearch huaweiSearchFiles(std::string_view keyword, const LookupContext& ctx = {},
                               const HuaweiPageFiles& onPage = {});

// What the page tells the user.
const std::string& huaweiEmptyKeywordMessage();  // 您要搜索的手机型号呢？
const std::string& huaweiNoResultMessage();      // 抱歉，未找到合适结果。
