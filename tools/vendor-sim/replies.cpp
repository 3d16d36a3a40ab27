#include "tools/vendor-sim/replies.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>

#include "platform/codepage.h"

namespace vendorsim {

namespace {

using json = nlohmann::ordered_json;

std::string dumpJson(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Blanks at both ends as a search service drops them: ASCII space and U+3000 (UTF-8).
std::string_view trimBlanks(std::string_view text) {
    static constexpr std::string_view kWide = "\xE3\x80\x80";
    for (bool changed = true; changed;) {
        changed = false;
        if (!text.empty() && text.front() == ' ') text.remove_prefix(1), changed = true;
        if (!text.empty() && text.back() == ' ') text.remove_suffix(1), changed = true;
        if (text.substr(0, kWide.size()) == kWide) text.remove_prefix(kWide.size()), changed = true;
        if (text.size() >= kWide.size() && text.substr(text.size() - kWide.size()) == kWide) {
            text.remove_suffix(kWide.size());
            changed = true;
        }
    }
    return text;
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

constexpr const char* kCrLf = "\r\n";

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                   hexDigit(text[i + 2]) >= 0) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> items;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view item = body.substr(0, amp);
        if (!item.empty()) {
            const std::size_t eq = item.find('=');
            items.emplace_back(
                percentDecode(item.substr(0, eq)),
                eq == std::string_view::npos ? std::string() : percentDecode(item.substr(eq + 1)));
        }
        if (amp == std::string_view::npos) break;
        body.remove_prefix(amp + 1);
    }
    return items;
}

Target parseTarget(std::string_view rawTarget) {
    rawTarget = rawTarget.substr(0, rawTarget.find('#'));
    const std::size_t question = rawTarget.find('?');
    Target target;
    target.path = percentDecode(rawTarget.substr(0, question));
    if (question != std::string_view::npos)
        target.params = parseForm(rawTarget.substr(question + 1));
    return target;
}

std::string Target::param(std::string_view name, bool* found) const {
    for (const auto& [key, value] : params) {
        if (key == name) {
            if (found) *found = true;
            return value;
        }
    }
    if (found) *found = false;
    return {};
}

std::vector<std::string> readingsOf(std::string_view requestBytes) {
    std::vector<std::string> readings{codepage::gbkToUtf8(requestBytes)};
    if (isValidUtf8(requestBytes) && readings.front() != requestBytes) {
        readings.emplace_back(requestBytes);
    }
    return readings;
}

// ---------------------------------------------------------------- Huawei

const HuaweiProduct* findHuaweiProduct(const Fixtures& fixtures, std::string_view keyword) {
    for (const std::string& reading : readingsOf(keyword)) {
        const std::string_view wanted = trimBlanks(reading);
        if (wanted.empty()) continue;
        for (const HuaweiProduct& product : fixtures.huawei) {
            for (const std::string& k : product.keywords) {
                if (equalsNoCase(k, wanted)) return &product;
            }
        }
    }
    return nullptr;
}

std::string huaweiPage(std::string_view callback, const std::vector<HuaweiFile>& files,
                       std::string_view productName, int page, int pageSize) {
    json list = json::array();
    const long long first = (long long)(page - 1) * pageSize;
    for (long long i = first; i >= 0 && i < first + pageSize && i < (long long)files.size(); ++i) {
        const HuaweiFile& f = files[std::size_t(i)];
        // Key order matters to readers that cut records out by pattern: name, later the
        // size, later the stamp, then the address and the language list.
        json record;
        record["fileId"] = f.fileId;
        record["fileName"] = f.fileName;
        record["fileType"] = "software";
        record["fileSize"] = f.fileSize;
        record["productName"] = productName;
        record["siteCode"] = "cn";
        record["releaseDate"] = f.releaseDate;
        record["downloadUrl"] = f.downloadUrl;
        record["languageList"] =
            json::array({json{{"languageCode", "zh-cn"}, {"languageName", "简体中文"}}});
        record["downloadCount"] = 1000 + (f.releaseDate / 1000) % 9000;
        list.push_back(std::move(record));
    }
    json reply;
    reply["status"] = "0";
    reply["message"] = "success";
    reply["total"] = files.size();
    reply["pageSize"] = pageSize;
    reply["curPage"] = page;
    reply["fileList"] = std::move(list);
    return std::string(callback) + "(" + dumpJson(reply) + ")";
}

// ---------------------------------------------------------------- ZTE

std::string zteModelList(const std::string& prefix, const std::vector<ZteSeries>& series) {
    json doc = json::object();
    for (const ZteSeries& s : series) {
        json models = json::object();
        for (const ZteModel& m : s.models)
            models[m.id] = json::array({m.order, m.name, m.downloads});
        doc[s.key] = json::array({s.title, s.categoryId, std::move(models)});
    }
    return prefix + dumpJson(doc) + ";";
}

namespace {

// Both sites' pages open alike: declaration, html, head and the UTF-8 content type.
std::string htmlPageOpening() {
    std::string page;
    for (const char* line :
         {"<!DOCTYPE html>", "<html>", "<head>",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"}) {
        page += line;
        page += kCrLf;
    }
    return page;
}

std::string ztePageHead(std::string_view title) {
    std::string page = htmlPageOpening();
    page += "<title>" + escapeHtml(title) + " - 中兴通讯终端服务支持</title>" + kCrLf;
    page += "<link href=\"/css/support.css\" rel=\"stylesheet\" type=\"text/css\" />" +
            std::string(kCrLf);
    page += std::string("</head>") + kCrLf + "<body>" + kCrLf;
    page +=
        "<div class=\"nav\"><a href=\"/\">首页</a> &gt; <a href=\"/support/\">服务支持</a> &gt; "
        "<a href=\"/support/download.html\">下载中心</a></div>" +
        std::string(kCrLf);
    return page;
}

std::string ztePageFoot() {
    std::string page;
    for (const char* line :
         {"<div class=\"footer\">版权所有 &copy; 中兴通讯股份有限公司 "
          "<a href=\"http://www.zte.com.cn/\" target=\"_blank\">中兴通讯</a></div>",
          "</body>", "</html>"}) {
        page += line;
        page += kCrLf;
    }
    return page;
}

}  // namespace

std::string zteFilePage(const ZteSeries& series, const ZteModel& model) {
    std::string page = ztePageHead(model.name + " 软件下载");
    page += "<div class=\"download\">" + std::string(kCrLf);
    page += "<h3>" + escapeHtml(series.title) + " &gt; " + escapeHtml(model.name) + "</h3>" + kCrLf;
    if (model.files.empty()) {
        page += "<p class=\"empty\">该机型暂无可下载的文件。</p>" + std::string(kCrLf);
    } else {
        page += "<ul class=\"down-list\">" + std::string(kCrLf);
        int count = 0;
        for (const ZteFile& f : model.files) {
            // The size line must follow the heading line directly: readers take the two
            // lines together.
            page += "<li>" + std::string(kCrLf);
            page +=
                "<h4><a href=\"" + f.url + "\" target=\"_blank\">" + f.name + "</a></h4>" + kCrLf;
            page += "<pre>文件大小：" + f.size + "　　更新日期：" + f.date + "　　下载次数：" +
                    std::to_string(model.downloads / (++count)) + "</pre>" + kCrLf;
            page += "</li>" + std::string(kCrLf);
        }
        page += "</ul>" + std::string(kCrLf);
    }
    page += "</div>" + std::string(kCrLf);
    return page + ztePageFoot();
}

std::string zteMissingPage() {
    return ztePageHead("页面不存在") + "<p class=\"error\">对不起，您访问的页面不存在。</p>" +
           kCrLf + ztePageFoot();
}

// ---------------------------------------------------------------- Coolpad

namespace {

const char* coolpadKeyOf(std::string_view category) {
    if (category == "下载中心") return "DOWNLOAD_KEY";
    if (category == "新闻中心") return "NEWS_KEY";
    return "SERVICE_KEY";
}

// One result line; a reader finds the handler call and the category on the same line.
std::string coolpadResultLine(std::string_view type, std::string_view category) {
    const std::string name = escapeHtml(type);
    return "<li><a href=\"javascript:void(0);\" title=\"" + name + "\" onclick=\"searchResult('" +
           name + "','" + coolpadKeyOf(category) + "')\">" + name +
           "</a><span class=\"cate\">所属类别：" + std::string(category) + "</span></li>" + kCrLf;
}

std::string coolpadPageHead(std::string_view keyword) {
    std::string page;
    for (const char* line :
         {"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">",
          "<html xmlns=\"http://www.w3.org/1999/xhtml\">", "<head>",
          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />",
          "<title>搜索结果 - 酷派官方网站</title>", "</head>", "<body>",
          "<div class=\"search-box\">"}) {
        page += line;
        page += kCrLf;
    }
    page +=
        "<p class=\"search-title\">搜索“<em>" + escapeHtml(keyword) + "</em>”的结果：</p>" + kCrLf;
    page += "<ul class=\"search-list\">" + std::string(kCrLf);
    return page;
}

std::string coolpadPageFoot() {
    return std::string("</ul>") + kCrLf + "</div>" + kCrLf +
           "<div class=\"footer\">Copyright &copy; 宇龙计算机通信科技(深圳)有限公司</div>" + kCrLf +
           "</body>" + kCrLf + "</html>" + kCrLf;
}

std::string gbkOf(std::string_view utf8) {
    return codepage::utf8ToGbk(utf8);
}

// News lines of the large page; none of them is a download result.
std::string coolpadFillerLine(std::size_t n) {
    static const char* const kTitles[] = {"酷派新品发布会圆满落幕", "酷派手机系统升级常见问题解答",
                                          "酷派服务网点查询", "酷派官方商城限时优惠",
                                          "酷派手机使用技巧分享"};
    const std::string title = std::string(kTitles[n % 5]) + " 第" + std::to_string(n) + "期";
    return gbkOf(coolpadResultLine(title, n % 2 ? "新闻中心" : "服务支持"));
}

// Grows `page` to exactly `size` bytes: news lines while they fit, then a comment.
void padTo(std::string& page, std::size_t size, std::size_t& n) {
    for (;;) {
        const std::string line = coolpadFillerLine(n);
        if (page.size() + line.size() + 9 > size) break;
        page += line;
        ++n;
    }
    if (page.size() + 9 > size) return;
    page += "<!--" + std::string(size - page.size() - 9, ' ') + "-->\r\n";
}

}  // namespace

const CoolpadKeyword* findCoolpadKeyword(const Fixtures& fixtures, std::string_view keyword) {
    for (const std::string& reading : readingsOf(keyword)) {
        const std::string_view wanted = trimBlanks(reading);
        for (const CoolpadKeyword& k : fixtures.coolpadKeywords) {
            if (!wanted.empty() && equalsNoCase(k.keyword, wanted)) return &k;
        }
    }
    return nullptr;
}

std::string coolpadSearchPage(std::string_view keyword, const CoolpadKeyword* found) {
    std::string page = coolpadPageHead(keyword);
    if (!found || found->results.empty()) {
        page += "<li class=\"none\">抱歉，没有找到与“" + escapeHtml(keyword) +
                "”相关的结果。</li>" + kCrLf;
    } else {
        for (const CoolpadResult& r : found->results) page += coolpadResultLine(r.type, r.category);
    }
    return page + coolpadPageFoot();
}

std::string coolpadLargeSearchPageGbk(const CoolpadKeyword& keyword, std::size_t size) {
    const auto linesAt = [&](ChunkPlace place) {
        std::string lines;
        for (const CoolpadResult& r : keyword.results) {
            if (r.place == place) lines += gbkOf(coolpadResultLine(r.type, r.category));
        }
        return lines;
    };
    std::size_t n = 0;
    std::string page = gbkOf(coolpadPageHead(keyword.keyword));
    page += linesAt(ChunkPlace::First);
    page += linesAt(ChunkPlace::None);

    // A two-byte character across the first boundary: its lead byte is byte 500,000.
    const std::string notice = "<p class=\"tip\">";
    padTo(page, kCoolpadChunk - 1 - notice.size(), n);
    page += notice + gbkOf("酷派官方商城限时优惠活动火热进行中</p>") + kCrLf;
    page += linesAt(ChunkPlace::Second);

    // A result cut by the second boundary inside its handler call.
    const std::string straddle = linesAt(ChunkPlace::Straddle);
    const std::size_t cut = straddle.empty() ? 0 : straddle.find("DOWNLOAD_KEY") + 4;
    padTo(page, 2 * kCoolpadChunk - cut, n);
    page += straddle;

    page += linesAt(ChunkPlace::Third);
    const std::string foot = gbkOf(coolpadPageFoot());
    padTo(page, size - foot.size(), n);
    return page + foot;
}

const CoolpadType* findCoolpadType(const Fixtures& fixtures, std::string_view name) {
    for (const std::string& reading : readingsOf(name)) {
        for (const CoolpadType& t : fixtures.coolpadTypes) {
            if (t.name == reading) return &t;
        }
    }
    return nullptr;
}

std::string coolpadDownloadPage(std::string_view typeName, const CoolpadType* found) {
    std::string page = htmlPageOpening();
    page += "<title>" + escapeHtml(typeName) + " 下载中心 - 酷派官方网站</title>" + kCrLf;
    page += std::string("</head>") + kCrLf + "<body>" + kCrLf;
    page += "<h2 class=\"product-name\">" + escapeHtml(typeName) + "</h2>" + kCrLf;
    page += "<div class=\"down-list\" id=\"downListUL\">" + std::string(kCrLf);
    page += "<table class=\"down-table\" cellspacing=\"0\" cellpadding=\"0\">" + std::string(kCrLf);
    page += "<tr>" + std::string(kCrLf);
    for (const char* head :
         {"<th width=\"38%\">描述</th>", "<th>更新日期</th>", "<th>文件大小</th>",
          "<th>适用系统</th>", "<th>文件种类</th>", "<th>下载</th>"}) {
        page += head;
        page += kCrLf;
    }
    page += "</tr>" + std::string(kCrLf);
    if (!found || found->files.empty()) {
        page += "<tr><td colspan=\"6\" class=\"none\">暂无下载</td></tr>" + std::string(kCrLf);
    } else {
        // Readers take seven lines per file: description, date, size, system, kind, the
        // cell opening and the link, each cell closed on its own line.
        for (const CoolpadFile& f : found->files) {
            page += "<tr>" + std::string(kCrLf);
            page += "<td width=\"38%\" class=\"desc\">" + f.description + "</td>" + kCrLf;
            page += "<td>" + f.date + "</td>" + kCrLf;
            page += "<td>" + f.size + "</td>" + kCrLf;
            page += "<td>" + f.os + "</td>" + kCrLf;
            page += "<td>" + f.kind + "</td>" + kCrLf;
            page += "<td>" + std::string(kCrLf);
            page +=
                "<a href=\"" + f.url + "\" target=\"_blank\" class=\"down-btn\">下载</a>" + kCrLf;
            page += "</td>" + std::string(kCrLf);
            page += "</tr>" + std::string(kCrLf);
        }
    }
    page +=
        "</table>" + std::string(kCrLf) + "</div>" + kCrLf + "</body>" + kCrLf + "</html>" + kCrLf;
    return page;
}

// ---------------------------------------------------------------- LG

std::string lgReply(const Fixtures& fixtures, std::string_view esn) {
    static const std::string kHead = "<?xml version='1.0' encoding='utf-8'?>\r\n";
    for (const std::string& reading : readingsOf(esn)) {
        const std::string_view wanted = trimBlanks(reading);
        for (const LgSerial& s : fixtures.lg) {
            if (s.esn != wanted) continue;
            if (s.literal) return s.reply;
            std::string reply = kHead + "<PRODUCT status='OK'>\r\n";
            for (const auto& [tag, value] : s.fields) {
                reply += "<" + tag + ">" + value + "</" + tag + ">\r\n";
            }
            return reply + "</PRODUCT>";
        }
    }
    return kHead + "<PRODUCT status='FAIL' reason='ESN NOT FOUND'>\r\n<esn>" +
           escapeHtml(readingsOf(esn).front()) + "</esn>\r\n</PRODUCT>";
}

// ---------------------------------------------------------------- iPhone

std::string iphoneTextList(const std::vector<std::string>& items) {
    json list = json::array();
    for (const std::string& item : items) list.push_back(item);
    return dumpJson(list);
}

std::string iphoneFirmwareList(const Fixtures& fixtures, std::string_view model,
                               std::string_view type, std::string_view version,
                               std::string_view brush, int bulkRows) {
    const auto entryOf = [](const IphoneFirmware& f) {
        json entry;
        entry["version"] = f.version;
        entry["productName"] = f.productName;
        entry["types"] = f.types;
        if (f.hasIsSetup) entry["isSetup"] = f.isSetup;
        entry["productState"] = f.productState;
        entry["downUrl"] = f.downUrl;
        return entry;
    };
    json reply = json::object();
    if (bulkRows > 0) {
        static const int kTypes[] = {0, 1, 5};
        static const int kSetup[] = {20, 80, 120, 0};
        static const int kState[] = {30, 60, 90, 120, 0};
        for (int i = 0; i < bulkRows; ++i) {
            IphoneFirmware f;
            f.type = "iPhone" + std::to_string(3 + i % 10) + ",1";
            f.version = std::to_string(5 + i % 4) + "." + std::to_string(i % 3) + "." +
                        std::to_string(i % 7);
            char serial[16];
            std::snprintf(serial, sizeof serial, "%05d", i + 1);
            f.productName = f.type + "_" + f.version + "_Restore_" + serial + ".ipsw";
            f.types = kTypes[i % 3];
            f.isSetup = kSetup[i % 4];
            f.productState = kState[i % 5];
            f.downUrl = "http://appldnld.apple.com/iOS" + f.version + "/" + f.productName;
            reply[f.type].push_back(entryOf(f));
        }
        return dumpJson(reply);
    }
    const auto passes = [](std::string_view wanted, const std::vector<std::string>& readings,
                           const std::string& value) {
        if (wanted == "all") return true;
        return std::find(readings.begin(), readings.end(), value) != readings.end();
    };
    const auto models = readingsOf(model);
    const auto types = readingsOf(type);
    const auto versions = readingsOf(version);
    for (const IphoneFirmware& f : fixtures.iphoneFirmware) {
        if (!passes(model, models, f.model) || !passes(type, types, f.type) ||
            !passes(version, versions, f.version)) {
            continue;
        }
        if (brush != "1" && f.productState == 30) continue;
        reply[f.type].push_back(entryOf(f));
    }
    return dumpJson(reply);
}

namespace {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.size() <= 15 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

// One range of a file of `length` bytes from a Range header; false when the header is not
// a single byte range (the whole file is sent then), `satisfiable` false when it starts
// past the end.
bool parseRange(std::string_view header, std::uint64_t length, std::uint64_t& first,
                std::uint64_t& last, bool& satisfiable) {
    constexpr std::string_view kUnit = "bytes=";
    if (header.substr(0, kUnit.size()) != kUnit) return false;
    const std::string_view bounds = header.substr(kUnit.size());
    const std::size_t dash = bounds.find('-');
    if (dash == std::string_view::npos) return false;
    const std::string_view from = bounds.substr(0, dash), to = bounds.substr(dash + 1);
    if ((!from.empty() && !allDigits(from)) || (!to.empty() && !allDigits(to))) return false;
    satisfiable = true;
    if (from.empty()) {  // the last N bytes
        if (to.empty()) return false;
        const std::uint64_t n = std::stoull(std::string(to));
        if (n == 0 || length == 0) return satisfiable = false, true;
        first = length - std::min(n, length);
        last = length - 1;
        return true;
    }
    first = std::stoull(std::string(from));
    last = to.empty() ? length - 1 : std::stoull(std::string(to));
    if (!to.empty() && last < first) return false;
    if (first >= length) return satisfiable = false, true;
    last = std::min(last, length - 1);
    return true;
}

}  // namespace

void filePattern(std::uint64_t offset, char* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint64_t at = offset + i;
        out[i] = char(mix(at >> 3) >> ((at & 7) * 8));
    }
}

Reply downloadFile(std::string_view method, std::string_view path, std::string_view range,
                   std::string_view ifRange) {
    constexpr std::string_view kPrefix = "/files/";
    const std::string_view rest = path.substr(std::min(path.size(), kPrefix.size()));
    const std::size_t slash = rest.find('/');
    const std::string_view digits = rest.substr(0, slash);
    const bool named = slash != std::string_view::npos && slash + 1 < rest.size();
    if (path.substr(0, kPrefix.size()) != kPrefix || !named || !allDigits(digits))
        return {404, "text/html;charset=UTF-8",
                "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body>"
                "</html>"};
    const std::uint64_t length = std::stoull(std::string(digits));
    if (method == "HEAD") {
        Reply reply{200, "application/octet-stream", "", {{"Last-Modified", kFileDate}}};
        reply.headLength = (long long)length;
        return reply;
    }
    // Firmware files run to gigabytes: those are announced, never sent.
    if (method != "GET" || length > kMaxServedFile)
        return {405, "text/plain", "HEAD only", {{"Allow", "HEAD"}}};
    // Every file is the same pattern, so its length is its version.
    const std::string etag = "\"" + std::to_string(length) + "\"";
    Reply reply{200,
                "application/octet-stream",
                "",
                {{"Last-Modified", kFileDate}, {"ETag", etag}, {"Accept-Ranges", "bytes"}}};
    reply.streamLength = (long long)length;
    std::uint64_t first = 0, last = 0;
    bool satisfiable = true;
    const bool sameVersion = ifRange.empty() || ifRange == etag || ifRange == kFileDate;
    if (!range.empty() && sameVersion && parseRange(range, length, first, last, satisfiable)) {
        if (!satisfiable) {
            reply = {416,
                     "text/plain",
                     "Range Not Satisfiable",
                     {{"Content-Range", "bytes */" + std::to_string(length)}}};
            return reply;
        }
        reply.status = 206;
        reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                        std::to_string(last) + "/" +
                                                        std::to_string(length));
        reply.streamOffset = first;
        reply.streamLength = (long long)(last - first + 1);
    }
    return reply;
}

namespace {

// A size as the fixtures write it ("1.52GB", "3.2 MB", "36K"), in bytes of 1024-kilos;
// 0 when it is not one.
std::uint64_t listedBytes(const std::string& text, std::string& unit, bool& blank) {
    std::size_t i = 0;
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) ++i;
    if (i == 0 || i > 12) return 0;
    const double value = std::atof(text.substr(0, i).c_str());
    blank = i < text.size() && text[i] == ' ';
    unit = text.substr(i + (blank ? 1 : 0));
    std::string upper;
    for (char c : unit) upper += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    int power = -1;
    if (upper == "B" || upper.empty()) power = 0;
    if (upper == "K" || upper == "KB") power = 1;
    if (upper == "M" || upper == "MB") power = 2;
    if (upper == "G" || upper == "GB") power = 3;
    if (power < 0 || value <= 0) return 0;
    return std::uint64_t(value * double(std::uint64_t(1) << (10 * power)) + 0.5);
}

std::string encodedName(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == '~';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out.empty() ? "file" : out;
}

// The last path segment of an address, without its query.
std::string lastSegment(const std::string& address) {
    std::string path = address.substr(0, address.find_first_of("?#"));
    return path.substr(path.rfind('/') + 1);
}

// The served address of a download listed at `size` (rewritten when over the cap); a size
// that says nothing gets a few MiB made from the name.
std::string servedAddress(const std::string& base, const std::string& name, std::string* size) {
    std::uint64_t bytes = 0;
    if (size) {
        std::string unit;
        bool blank = false;
        bytes = listedBytes(*size, unit, blank);
        if (bytes > kMaxServedFile) {
            const double mib = std::min(double(bytes / 32), double(kMaxServedFile)) / (1 << 20);
            char text[32];
            std::snprintf(text, sizeof text, "%.2f%sMB", mib, blank ? " " : "");
            *size = text;
            bytes = std::uint64_t(std::atof(text) * (1 << 20) + 0.5);
        }
    }
    if (bytes == 0)
        bytes = (std::uint64_t(1) << 20) +
                mix(std::hash<std::string>{}(name)) % (std::uint64_t(15) << 20);
    return base + "/files/" + std::to_string(bytes) + "/" + encodedName(name);
}

}  // namespace

void pointDownloadsAtSimulator(Fixtures& f, VendorService service, const std::string& base) {
    const auto named = [](const std::string& address, const std::string& fallback) {
        const std::string segment = lastSegment(address);
        return segment.find('.') != std::string::npos ? segment : fallback;
    };
    switch (service) {
        case VendorService::Huawei:
            for (HuaweiProduct& p : f.huawei)
                for (HuaweiFile& file : p.files)
                    if (!file.downloadUrl.empty())
                        file.downloadUrl =
                            servedAddress(base, file.fileName + ".zip", &file.fileSize);
            break;
        case VendorService::Zte:
            for (ZteSeries& s : f.zte)
                for (ZteModel& m : s.models)
                    for (ZteFile& file : m.files)
                        if (!file.url.empty())
                            file.url = servedAddress(base, named(file.url, file.name), &file.size);
            break;
        case VendorService::Coolpad:
            for (CoolpadType& t : f.coolpadTypes)
                for (CoolpadFile& file : t.files)
                    if (!file.url.empty())
                        file.url =
                            servedAddress(base, named(file.url, file.description), &file.size);
            break;
        case VendorService::Lg:
            for (LgSerial& l : f.lg)
                for (auto& [tag, value] : l.fields)
                    if (tag == "sw_url" && !value.empty())
                        value = servedAddress(base, named(value, l.esn + ".kdz"), nullptr);
            break;
        case VendorService::Iphone:
            for (IphoneFirmware& fw : f.iphoneFirmware)
                if (!fw.downUrl.empty())
                    fw.downUrl =
                        servedAddress(base, named(fw.downUrl, fw.version + ".ipsw"), nullptr);
            break;
    }
}

}  // namespace vendorsim
