#pragma once
// The look-ups of romhaul-lookup, each over its vendor core: the core makes the requests
// and reads the replies; here its rows become a table, and its outcome a status and the
// messages the window would show. Texts are program texts (code page 936).
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/output.h"
#include "vendors/zte.h"

namespace lookup {

// Also the process's exit status; a batch ends with the worst of its look-ups.
// Output: the rows or messages could not be written, or standard input could not be read.
enum class Status { Found = 0, Nothing = 1, Usage = 2, Failure = 3, Output = 4 };
Status worse(Status a, Status b);

struct Result {
    Status status = Status::Nothing;
    Table table;
    std::vector<std::string> messages;  // for standard error, one line each
};

// Told how far a long look-up has come: a program text for the progress line.
using Progress = std::function<void(const std::string& text)>;

// What the look-ups tell the user (program texts).
const std::string& noResultMessage();    // 抱歉，未找到合适结果。
const std::string& emptyModelMessage();  // 您要搜索的手机型号呢？
// Followed by the service's host and failureReason: no connection, a time-out, an error
// status, a reply refused for its size or not readable.
const std::string& serviceFailedMessage();
// A list that stopped short on purpose (the page cap).
const std::string& incompleteMessage();
// A list from a reply too complex to read whole (the pattern engine gave up on part of it).
const std::string& tooComplexMessage();
// The iPhone catalogue has no address until ROMHAUL_IPHONE_BASE gives one.
const std::string& iphoneNoBaseMessage();
// Why a look-up failed, in this tool's words: the one table of them.
std::string failureReason(const Failure& failure);

// Each takes its argument as the user gave it (after the usage checks) and never fails
// with an exception.
Result huaweiLookup(std::string_view keyword, const Progress& progress);
// The models whose name (or series title) holds `filter` in any letter case; all of them
// for an empty filter.
Result zteModelsLookup(std::string_view filter);
// The files of the model named `model`: the model whose name equals it, else the one model
// whose name holds it, in any letter case.
Result zteFilesLookup(std::string_view model);
// The models that `zte files NAME` means: those named NAME in any letter case; failing
// that, those whose name holds NAME. `ambiguous` when the latter have different names.
struct ZteChoice {
    std::vector<std::pair<const ZteSeries*, const ZteTreeModel*>> candidates;
    bool ambiguous = false;
};
ZteChoice zteChooseModel(const std::vector<ZteSeries>& series, std::string_view name);

Result coolpadTypesLookup(std::string_view keyword);
Result coolpadFilesLookup(std::string_view productType);
// One serial number; the row starts with the serial and ends with the error column, empty
// when the handset was found. Without a handset the row holds the serial and the error.
Result lgLookup(std::string_view serial);
// The columns of the LG look-up's rows.
const std::vector<std::string>& lgColumns();
// The row that stands for a serial without a handset: `serial`, empty fields, `error`.
std::vector<std::string> lgErrorRow(std::string_view serial, std::string error);

struct IphoneQuery {
    std::string model = "all", type = "all", version = "all";
    bool allVersions = false;
};
Result iphoneLookup(const IphoneQuery& query);

}  // namespace lookup
