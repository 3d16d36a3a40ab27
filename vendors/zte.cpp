#include "vendors/zte.h"

#include "base/text_util.h"
#include "document/data_document.h"
#include "net/entities.h"
#include "text/regex_object.h"
#include "vendors/service_hosts.h"

// The service writes "key":[order,"name",downloads] for each model; this depends on the
// JSON writer's compact form (no blank after ":" or ",", plain digits).
const char* const kZteModelPattern = "\"(.{36})\":\\[\\d+,\"(.*?)\",\\d+\\]";

namespace {

constexpr std::size_t kScriptPrefix = 18;
const std::string kCrLf = "\r\n";

// One field of a file list line: decoded, and without the bytes that separate fields and
// lines, which a reference such as "&#124;" or "&#10;" could otherwise bring in.
std::string fileListField(std::string_view captured) {
    std::string field = net::decodeEntities(captured);
    for (char& c : field) {
        if (c == '|' || c == '\r' || c == '\n') c = ' ';
    }
    return trimSpaces(field);
}

}  // namespace

const std::string& zteFilePattern() {
    static const std::string pattern = gbk("<a href=\"(.*?)\" target=\"_blank\">(.*?)</a></h4>") +
                                       kCrLf +
                                       gbk(".*?<pre>文件大小：(.+[a-z]).+更新日期：(.{10})");
    return pattern;
}

std::string zteModelListAddress() {
    return zteBase() + "/js/support_search.js";
}

std::string zteFilePageAddress(std::string_view categoryId, std::string_view modelId) {
    return zteBase() + "/support/" + std::string(categoryId) + "/" + std::string(modelId) + ".html";
}

std::string zteModelListJson(std::string_view scriptText) {
    // Shorter than prefix plus closing byte, the cut would have a negative length.
    if (scriptText.size() < kScriptPrefix + 1) return {};
    return std::string(scriptText.substr(kScriptPrefix, scriptText.size() - kScriptPrefix - 1));
}

std::vector<ZteSeries> zteReadModelList(std::string_view scriptText, bool* cutShort) {
    std::vector<ZteSeries> out;
    std::string json = zteModelListJson(scriptText);
    DataDocument root = parse(json);
    std::vector<std::string> names;
    root.names(names);
    for (const std::string& name : names) {
        ZteSeries series;
        DataDocument entry = root.key(name);
        series.title = entry.index(1).textValue();
        series.categoryId = entry.index(2).textValue();
        const std::string models = entry.index(3).jsonText();
        RegexObject regex;
        regex.create(kZteModelPattern, models);
        if (cutShort && regex.cutShort()) *cutShort = true;
        const int found = regex.matchCount();
        for (int j = 1; j <= found; ++j)
            series.models.push_back({regex.subMatchText(j, 1), regex.subMatchText(j, 2)});
        out.push_back(std::move(series));
    }
    releaseDocument(root);
    return out;
}

int zteTreeItemCount(const std::vector<ZteSeries>& series) {
    int items = 0;
    for (const ZteSeries& s : series) items += 1 + int(s.models.size());
    return items;
}

std::string zteFileList(std::string_view pageText, std::string_view pageAddress, bool* cutShort) {
    RegexObject regex;
    regex.create(zteFilePattern(), pageText);
    if (cutShort && regex.cutShort()) *cutShort = true;
    std::string list;
    const int found = regex.matchCount();
    for (int j = 1; j <= found; ++j) {
        std::string address = fileListField(regex.subMatchText(j, 1));
        if (!pageAddress.empty()) address = downloadAddress(pageAddress, address);
        list += address;
        for (int k = 2; k <= 4; ++k) {
            list += '|';
            list += fileListField(regex.subMatchText(j, k));
        }
        list += kCrLf;
    }
    return list;
}

std::vector<std::vector<std::string>> zteFileRows(std::string_view fileList) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string_view> f;
    for (std::string_view line : splitTextViews(fileList, kCrLf)) {
        f = splitTextViews(line, "|");
        // splitText drops a trailing empty field; an empty date still counts as a field.
        if (!line.empty() && line.back() == '|') f.emplace_back();
        if (f.size() != 4) continue;
        std::vector<std::string>& row = rows.emplace_back();
        row.reserve(5);
        for (std::string_view cell : {f[1], f[2], f[3], f[0]}) row.emplace_back(cell);
        row.push_back(zteExtension(f[0]));
    }
    return rows;
}

std::string zteExtension(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    const std::size_t slash = address.rfind('/');
    if (slash != std::string_view::npos) address.remove_prefix(slash + 1);
    // Byte-wise: "." and "/" are never the trail byte of a GBK character.
    const std::size_t dot = address.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(address.substr(dot + 1));
}

std::string zteDisplayName(std::string_view fileName, std::string_view address) {
    // Appended rather than `"." + text`: GCC 12 at -O3 reports a false -Wrestrict in that
    // operator+.
    const std::string extension = zteExtension(address);
    if (extension.empty()) return std::string(fileName);
    std::string suffix = ".";
    suffix += extension;
    if (findText(fileName, suffix) != 0) return std::string(fileName);
    return std::string(fileName) + suffix;
}

std::vector<std::string> zteFileInfoPieces(std::string_view fileName, std::string_view size,
                                           std::string_view date, std::string_view address) {
    return {zteDisplayName(fileName, address) + "\r\n\r\n",
            gbk("文件大小：") + std::string(size) + "\r\n\r\n",
            gbk("更新日期：") + std::string(date)};
}

int zteFindNext(const std::vector<std::string>& itemTexts, std::string_view typed, int& searchPos) {
    const int n = int(itemTexts.size());
    for (int tries = 0; tries < n; ++tries) {
        const int at = searchPos;
        ++searchPos;
        const std::string_view text =
            at >= 0 && at < n ? std::string_view(itemTexts[std::size_t(at)]) : std::string_view();
        if (findText(text, typed, 1, true) != 0) return at;
    }
    searchPos = 0;
    return -1;
}

ZteModelList zteFetchModelList(const LookupContext& ctx) {
    ZteModelList list;
    bool cutShort = false;
    list.series = zteReadModelList(
        fetchText(ctx, VendorService::Zte, {zteModelListAddress()}, list), &cutShort);
    if (list.series.empty()) list.fail(FailureKind::Unreadable);
    if (cutShort) list.readInPart();
    return list;
}

std::vector<ZteModel> zteModelRecords(const std::vector<ZteSeries>& series) {
    std::vector<ZteModel> records;
    for (const ZteSeries& s : series)
        for (const ZteTreeModel& m : s.models)
            records.push_back({s.categoryId, m.modelId, m.modelName, std::string()});
    return records;
}

ZteFiles zteFetchFiles(const ZteModel& record, const LookupContext& ctx) {
    ZteFiles files;
    files.fileList = record.fileList;
    if (files.fileList.empty()) {
        files.fetched = true;
        const std::string address = zteFilePageAddress(record.categoryId, record.modelId);
        bool cutShort = false;
        files.fileList =
            zteFileList(fetchText(ctx, VendorService::Zte, {address}, files), address, &cutShort);
        if (cutShort) files.readInPart();
    }
    files.rows = zteFileRows(files.fileList);
    return files;
}

const std::string& zteEmptyFindMessage() {
    static const std::string text = gbk("您要搜索的手机型号呢？");
    return text;
}

const std::string& zteNoMatchMessage() {
    static const std::string text = gbk("没有找到匹配的机型，再次搜索将从头开始。");
    return text;
}

const std::string& zteListErrorMessage() {
    static const std::string text = gbk("读取机型列表出错，请尝试刷新列表！");
    return text;
}
