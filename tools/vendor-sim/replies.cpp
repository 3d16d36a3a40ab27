#include "tools/vendor-sim/replies.h"

#include <algorithm>
#include <cstdio>
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

Reply downloadFile(std::string_view method, std::string_view path) {
    constexpr std::string_view kPrefix = "/files/";
    const std::string_view rest = path.substr(std::min(path.size(), kPrefix.size()));
    const std::size_t slash = rest.find('/');
    const std::string_view digits = rest.substr(0, slash);
    const bool named = slash != std::string_view::npos && slash + 1 < rest.size();
    const bool numeric = !digits.empty() && digits.size() <= 15 &&
                         digits.find_first_not_of("0123456789") == std::string_view::npos;
    if (path.substr(0, kPrefix.size()) != kPrefix || !named || !numeric)
        return {404, "text/html;charset=UTF-8",
                "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body>"
                "</html>"};
    // Firmware files run to gigabytes: their size is announced, never sent.
    if (method != "HEAD") return {405, "text/plain", "HEAD only", {{"Allow", "HEAD"}}};
    Reply reply{200, "application/octet-stream", "", {{"Last-Modified", kFileDate}}};
    reply.headLength = std::stoll(std::string(digits));
    return reply;
}

}  // namespace vendorsim
