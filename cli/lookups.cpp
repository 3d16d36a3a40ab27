#include "cli/lookups.h"

#include "base/text_util.h"
#include "net/fetch_url.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/iphone.h"
#include "vendors/lg.h"
#include "vendors/zte.h"

namespace lookup {
namespace {

Result found(Table table) {
    Result r;
    r.status = table.rows.empty() ? Status::Nothing : Status::Found;
    r.table = std::move(table);
    if (r.status == Status::Nothing) r.messages.push_back(noResultMessage());
    return r;
}

Result failed(std::string message, Table table) {
    Result r;
    r.status = Status::Failure;
    r.table = std::move(table);
    r.messages.push_back(std::move(message));
    return r;
}

const std::string& zteListFailedMessage() {
    static const std::string text = gbk("读取机型列表出错，请尝试刷新列表！");
    return text;
}

Table zteModelTable() {
    return {{"series", "model"}, {}};
}

}  // namespace

Status worse(Status a, Status b) {
    return int(a) >= int(b) ? a : b;
}

const std::string& noResultMessage() {
    static const std::string text = gbk("抱歉，未找到合适结果。");
    return text;
}

const std::string& emptyModelMessage() {
    static const std::string text = gbk("您要搜索的手机型号呢？");
    return text;
}

const std::string& serviceFailedMessage() {
    static const std::string text =
        gbk("服务无法连接或答复有误 / the service could not be reached");
    return text;
}

Result huaweiLookup(std::string_view keyword, const Progress&) {
    Table table{{"name", "date", "size", "url"}, {}};
    for (HuaweiFile& f : huaweiSearchFiles(keyword))
        table.rows.push_back(
            {std::move(f.name), std::move(f.date), std::move(f.size), std::move(f.address)});
    return found(std::move(table));
}

Result zteModelsLookup(std::string_view filter) {
    const std::vector<ZteSeries> series =
        zteReadModelList(net::utf8ToText(net::fetchUrl(zteModelListAddress())));
    Table table = zteModelTable();
    if (zteTreeItemCount(series) < kZteMinTreeItems)
        return failed(zteListFailedMessage(), std::move(table));
    for (const ZteSeries& s : series) {
        const bool seriesHolds = !filter.empty() && findText(s.title, filter, 1, true) != 0;
        for (const ZteTreeModel& m : s.models) {
            if (filter.empty() || seriesHolds || findText(m.modelName, filter, 1, true) != 0)
                table.rows.push_back({s.title, m.modelName});
        }
    }
    return found(std::move(table));
}

ZteChoice zteChooseModel(const std::vector<ZteSeries>& series, std::string_view name) {
    ZteChoice equal, holding;
    for (const ZteSeries& s : series) {
        for (const ZteTreeModel& m : s.models) {
            // Compared character by character: a trail byte of a Chinese character may look
            // like an ASCII letter.
            const std::size_t at = findText(m.modelName, name, 1, true);
            if (at == 1 && m.modelName.size() == name.size())
                equal.candidates.push_back({&s, &m});
            else if (at != 0)
                holding.candidates.push_back({&s, &m});
        }
    }
    if (!equal.candidates.empty()) return equal;
    for (const auto& [s, m] : holding.candidates)
        if (m->modelName != holding.candidates.front().second->modelName) holding.ambiguous = true;
    return holding;
}

Result zteFilesLookup(std::string_view model) {
    Table table{{"name", "size", "date", "format", "url"}, {}};
    const std::vector<ZteSeries> series =
        zteReadModelList(net::utf8ToText(net::fetchUrl(zteModelListAddress())));
    if (zteTreeItemCount(series) < kZteMinTreeItems)
        return failed(zteListFailedMessage(), std::move(table));

    const ZteChoice choice = zteChooseModel(series, model);
    Result r;
    if (choice.candidates.empty()) return found(std::move(table));
    if (choice.ambiguous) {
        // The find box would stop at the first; a script is better told to be precise.
        std::string list;
        for (const auto& [s, m] : choice.candidates) {
            if (!list.empty()) list += ", ";
            list += m->modelName;
        }
        r.status = Status::Usage;
        r.table = std::move(table);
        r.messages.push_back(gbk("多个型号包含 / several models hold \"") + std::string(model) +
                             "\": " + list);
        return r;
    }
    if (choice.candidates.size() > 1) {
        // Names repeat across series; the window lists the first one's files, and so do we.
        std::string list;
        for (const auto& [s, m] : choice.candidates) {
            if (!list.empty()) list += ", ";
            list += s->title + " / " + m->modelName;
        }
        r.messages.push_back(gbk("多个型号同名，列出第一个 / several models share the name, "
                                 "listing the first: ") +
                             list);
    }
    const auto& [chosenSeries, chosenModel] = choice.candidates.front();
    const std::string fileList = zteFileList(net::utf8ToText(
        net::fetchUrl(zteFilePageAddress(chosenSeries->categoryId, chosenModel->modelId))));
    for (std::vector<std::string>& row : zteFileRows(fileList))
        table.rows.push_back({std::move(row[0]), std::move(row[1]), std::move(row[2]),
                              std::move(row[4]), std::move(row[3])});
    Result files = found(std::move(table));
    files.messages.insert(files.messages.begin(), r.messages.begin(), r.messages.end());
    return files;
}

Result coolpadTypesLookup(std::string_view keyword) {
    Table table{{"type"}, {}};
    const std::string reply = net::fetchUrl(coolpadSearchAddress(), 1, coolpadSearchBody(keyword));
    for (std::string& type : coolpadProductTypes(net::utf8ToText(reply)))
        table.rows.push_back({std::move(type)});
    return found(std::move(table));
}

Result coolpadFilesLookup(std::string_view productType) {
    Table table{{"description", "date", "size", "kind", "url"}, {}};
    const std::string reply = net::fetchUrl(coolpadDownloadAddress(productType));
    for (CoolpadFileRow& f : coolpadFileRows(net::utf8ToText(reply)))
        table.rows.push_back({std::move(f.description), std::move(f.date), std::move(f.size),
                              std::move(f.kind), std::move(f.address)});
    return found(std::move(table));
}

Result lgLookup(std::string_view serial) {
    Table table{{"serial", "model", "esn", "msn", "prod_type", "sw_version", "sw_url"}, {}};
    const LgReply reply = readLgReply(net::utf8ToText(net::fetchUrl(lgLookupAddress(serial))));
    Result r;
    r.table = std::move(table);
    switch (reply.outcome) {
        case LgOutcome::NoReply:
            r.messages.push_back(lgNoReplyMessage());
            return r;
        case LgOutcome::Failed:
            r.messages.push_back(lgFailedMessage());
            return r;
        case LgOutcome::Found:
            break;
    }
    std::vector<std::string> row{std::string(serial)};
    row.insert(row.end(), reply.fields.begin(), reply.fields.end());
    r.table.rows.push_back(std::move(row));
    r.status = Status::Found;
    return r;
}

Result iphoneLookup(const IphoneQuery& q) {
    Table table{{"version", "product", "note", "url"}, {}};
    for (IphoneRow& row : iphoneReadFirmware(
             iphoneFetch(iphoneFirmwareAddress(q.model, q.type, q.version, q.allVersions))))
        table.rows.push_back(
            {std::move(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3])});
    return found(std::move(table));
}

}  // namespace lookup
