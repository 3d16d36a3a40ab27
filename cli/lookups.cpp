#include "cli/lookups.h"

#include "base/text_util.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/iphone.h"
#include "vendors/lg.h"
#include "vendors/service_hosts.h"
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

// A request failed: what was found before it is still shown, but the status says the
// list may be short.
Result failed(std::string message, Table table) {
    Result r;
    r.status = Status::Failure;
    r.table = std::move(table);
    r.messages.push_back(std::move(message));
    return r;
}

Result failed(VendorService service, const Failure& why, Table table) {
    return failed(serviceFailedMessage() + serviceHost(service) + ": " + failureReason(why),
                  std::move(table));
}

// One line for a list that may be incomplete although nothing failed, saying why when a
// reply was too complex to read whole.
void sayIncomplete(const LookupStatus& status, Result& r) {
    if (status.tooComplex)
        r.messages.push_back(tooComplexMessage());
    else if (status.incomplete)
        r.messages.push_back(incompleteMessage());
}

// The rows so far and how the look-up ended: found, nothing found, or failed; a list cut
// short says that it may be incomplete, without changing the status.
Result ended(VendorService service, const LookupStatus& status, Table table) {
    if (status.end != LookupEnd::Complete) return failed(service, status.failure, std::move(table));
    Result r = found(std::move(table));
    sayIncomplete(status, r);
    return r;
}

// The model list, or the failure that takes its place. `partial` keeps how the list was
// read, for a look-up whose answer it decides.
bool readZteModelList(std::vector<ZteSeries>& series, Result& failure,
                      LookupStatus* partial = nullptr) {
    ZteModelList list = zteFetchModelList();
    if (partial) *partial = list;
    if (list.end != LookupEnd::Complete) {
        failure = failed(VendorService::Zte, list.failure, {});
        return false;
    }
    // Too few items is what the window reports as a failed load.
    if (zteTreeItemCount(list.series) < kZteMinTreeItems) {
        failure = failed(zteListErrorMessage(), {});
        return false;
    }
    series = std::move(list.series);
    return true;
}

}  // namespace

Status worse(Status a, Status b) {
    return int(a) >= int(b) ? a : b;
}

// Every service words these two alike; the Huawei page's texts stand for all.
const std::string& noResultMessage() {
    return huaweiNoResultMessage();
}

const std::string& emptyModelMessage() {
    return huaweiEmptyKeywordMessage();
}

const std::string& serviceFailedMessage() {
    static const std::string text = gbk("服务请求失败 / a request to the service failed: ");
    return text;
}

const std::string& incompleteMessage() {
    static const std::string text = gbk("列表可能不完整 / the list may be incomplete");
    return text;
}

const std::string& tooComplexMessage() {
    static const std::string text =
        gbk("回复太复杂，未能读完，列表可能不完整 / a reply was too complex to read whole: the "
            "list may be incomplete");
    return text;
}

const std::string& iphoneNoBaseMessage() {
    static const std::string text =
        gbk("未设置 iPhone 固件目录地址，请设置 ROMHAUL_IPHONE_BASE / no catalogue address: "
            "set ROMHAUL_IPHONE_BASE");
    return text;
}

std::string failureReason(const Failure& failure) {
    switch (failure.kind) {
        case FailureKind::Network:
            return gbk("网络错误 / network error: ") + failure.detail;
        case FailureKind::HttpStatus:
            return gbk("服务返回 HTTP 状态 / the service answered with HTTP status ") +
                   std::to_string(failure.httpStatus);
        case FailureKind::TooLarge:
            return gbk("回复过大 / the reply is too large");
        case FailureKind::Unreadable:
            return gbk("回复无法读取 / the reply cannot be read");
        case FailureKind::None:
            break;
    }
    return {};
}

Result huaweiLookup(std::string_view keyword, const Progress& progress) {
    Table table{{"name", "date", "size", "url"}, {}};
    LookupContext ctx;
    int page = 0;
    if (progress) {
        ctx.onRequest = [&](const FetchRequest&) {
            ++page;
            progress(gbk("华为 第 ") + std::to_string(page) + gbk(" 页，已找到 ") +
                     std::to_string(table.rows.size()) + gbk(" 个 / Huawei page ") +
                     std::to_string(page) + ", " + std::to_string(table.rows.size()) + " files");
        };
    }
    const HuaweiSearch search =
        huaweiSearchFiles(keyword, ctx, [&](std::vector<HuaweiFile>&& files) {
            for (HuaweiFile& f : files)
                table.rows.push_back({std::move(f.name), std::move(f.date), std::move(f.size),
                                      std::move(f.address)});
        });
    Result r = ended(VendorService::Huawei, search, std::move(table));
    if (search.rule == HuaweiStopRule::PageCap)
        r.messages.insert(r.messages.begin(),
                          gbk("已到 ") + std::to_string(kHuaweiMaxPages) +
                              gbk(" 页上限，后面的页未查询 / stopped at the limit of ") +
                              std::to_string(kHuaweiMaxPages) + " pages");
    return r;
}

Result zteModelsLookup(std::string_view filter) {
    std::vector<ZteSeries> series;
    Result r;
    LookupStatus listRead;
    if (!readZteModelList(series, r, &listRead)) return r;
    Table table{{"series", "model"}, {}};
    for (const ZteSeries& s : series) {
        const bool seriesHolds = !filter.empty() && findText(s.title, filter, 1, true) != 0;
        for (const ZteTreeModel& m : s.models) {
            if (filter.empty() || seriesHolds || findText(m.modelName, filter, 1, true) != 0)
                table.rows.push_back({s.title, m.modelName});
        }
    }
    r = found(std::move(table));
    sayIncomplete(listRead, r);
    return r;
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
    std::vector<ZteSeries> series;
    Result r;
    LookupStatus listRead;
    if (!readZteModelList(series, r, &listRead)) return r;
    Table table{{"name", "size", "date", "format", "url"}, {}};
    const ZteChoice choice = zteChooseModel(series, model);
    if (choice.candidates.empty()) {
        // The model may be among those a list read in part left out.
        r = found(std::move(table));
        sayIncomplete(listRead, r);
        return r;
    }
    if (choice.ambiguous) {
        // The find box would stop at the first; a script is better told to be precise.
        std::string list;
        for (const auto& [s, m] : choice.candidates) {
            if (!list.empty()) list += ", ";
            list += m->modelName;
        }
        r.status = Status::Usage;
        r.messages.push_back(gbk("多个型号包含 / several models hold \"") + std::string(model) +
                             "\": " + list);
        return r;
    }
    std::vector<std::string> notes;
    if (choice.candidates.size() > 1) {
        // Names repeat across series; the window lists the first one's files, and so do we.
        std::string list;
        for (const auto& [s, m] : choice.candidates) {
            if (!list.empty()) list += ", ";
            list += s->title + " / " + m->modelName;
        }
        notes.push_back(gbk("多个型号同名，列出第一个 / several models share the name, "
                            "listing the first: ") +
                        list);
    }
    const auto& [s, m] = choice.candidates.front();
    ZteFiles files = zteFetchFiles({s->categoryId, m->modelId, m->modelName, std::string()});
    // zteFileRows: name, size, date, address, format.
    for (std::vector<std::string>& row : files.rows)
        table.rows.push_back({std::move(row[0]), std::move(row[1]), std::move(row[2]),
                              std::move(row[4]), std::move(row[3])});
    r = ended(VendorService::Zte, files, std::move(table));
    r.messages.insert(r.messages.begin(), notes.begin(), notes.end());
    return r;
}

Result coolpadTypesLookup(std::string_view keyword) {
    Table table{{"type"}, {}};
    CoolpadSearch search = coolpadSearchTypes(keyword);
    for (std::string& type : search.types) table.rows.push_back({std::move(type)});
    return ended(VendorService::Coolpad, search, std::move(table));
}

Result coolpadFilesLookup(std::string_view productType) {
    Table table{{"description", "date", "size", "kind", "url"}, {}};
    CoolpadDownloads downloads = coolpadFetchDownloads(productType);
    for (CoolpadFileRow& f : downloads.files)
        table.rows.push_back({std::move(f.description), std::move(f.date), std::move(f.size),
                              std::move(f.kind), std::move(f.address)});
    return ended(VendorService::Coolpad, downloads, std::move(table));
}

const std::vector<std::string>& lgColumns() {
    static const std::vector<std::string> columns = {"serial",    "model",      "esn",    "msn",
                                                     "prod_type", "sw_version", "sw_url", "error"};
    return columns;
}

std::vector<std::string> lgErrorRow(std::string_view serial, std::string error) {
    std::vector<std::string> row(lgColumns().size());
    row.front() = serial;
    row.back() = std::move(error);
    return row;
}

Result lgLookup(std::string_view serial) {
    Table table{lgColumns(), {}};
    const LgLookup lookup = lgLookUpSerial(serial);
    Result r;
    if (lookup.end != LookupEnd::Complete) {
        r = failed(VendorService::Lg, lookup.failure, std::move(table));
    } else {
        r.table = std::move(table);
        switch (lookup.reply.outcome) {
            case LgOutcome::NoReply:
                r.messages.push_back(lgNoReplyMessage());
                break;
            case LgOutcome::Failed:
                r.messages.push_back(lgFailedMessage());
                break;
            case LgOutcome::Found: {
                std::vector<std::string> row{std::string(serial)};
                row.insert(row.end(), lookup.reply.fields.begin(), lookup.reply.fields.end());
                row.emplace_back();
                r.table.rows.push_back(std::move(row));
                r.status = Status::Found;
                return r;
            }
        }
    }
    // A batch's output says what is missing, not only its standard error.
    r.table.rows.push_back(lgErrorRow(serial, r.messages.front()));
    return r;
}

Result iphoneLookup(const IphoneQuery& q) {
    if (!iphoneBaseConfigured()) return failed(iphoneNoBaseMessage(), {});
    Table table{{"version", "product", "note", "url"}, {}};
    IphoneFirmware firmware = iphoneFetchFirmware(q.model, q.type, q.version, q.allVersions);
    for (IphoneRow& row : firmware.rows)
        table.rows.push_back(
            {std::move(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3])});
    return ended(VendorService::Iphone, firmware, std::move(table));
}

}  // namespace lookup
