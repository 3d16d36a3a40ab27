#pragma once
// ZTE support site: the model-list script file read into series and models, the file page
// of one model cut into file lines, the two look-ups that fetch them, and the texts the ZTE
// page shows. No controls here; the page routines (app/pages/zte_page.h) fill the tree, the
// file list and the status line.
//
// Texts are code page 936 (GBK) bytes, as every program text.
#include <string>
#include <string_view>
#include <vector>

#include "base/program_objects.h"
#include "vendors/lookup.h"

// A load that yields fewer tree items (series included) than this has failed.
constexpr int kZteMinTreeItems = 11;

// The model pattern, run over a series' model object written back as compact JSON:
// group 1 the model's 36-character key, group 2 its name.
extern const char* const kZteModelPattern;
// The file pattern over a model's file page (GBK): address, name, size, date. It holds a
// literal CR LF: the size line must follow the heading line.
const std::string& zteFilePattern();

std::string zteModelListAddress();
std::string zteFilePageAddress(std::string_view categoryId, std::string_view modelId);

// The JSON text inside the script file: without its 18-byte prefix and its closing byte.
// A reply too short to hold both gives the empty text, which reads as an empty document.
std::string zteModelListJson(std::string_view scriptText);

struct ZteTreeModel {
    std::string modelId;
    std::string modelName;
};
struct ZteSeries {
    std::string title;
    std::string categoryId;
    std::vector<ZteTreeModel> models;
};
// The series and models of a model-list reply text (the whole script file), in document
// order; a malformed reply gives what could be read. `cutShort`, when given, is set when a
// series' models were too complex to read whole (RegexObject::cutShort) and left as it is
// otherwise.
std::vector<ZteSeries> zteReadModelList(std::string_view scriptText, bool* cutShort = nullptr);
// The number of tree items the series make: each series and each of its models.
int zteTreeItemCount(const std::vector<ZteSeries>& series);

// The file list of a file page text: one line per file ended by "\r\n", each line the
// address, name, size and date, their character references decoded (a "|" or line break
// that a reference spells becomes a space), trimmed, joined by "|". Given the page's own
// address, a relative download address is made absolute against it (downloadAddress).
// `cutShort` as for zteReadModelList.
std::string zteFileList(std::string_view pageText, std::string_view pageAddress = {},
                        bool* cutShort = nullptr);

// The rows of a file list for the file list view: columns 0 name, 1 size, 2 date,
// 3 address, 4 format; only lines of exactly four fields make a row.
std::vector<std::vector<std::string>> zteFileRows(std::string_view fileList);

// The file's extension: the text after the last "." of the address's last path segment
// (query and fragment left out), "" when that segment has none. The service also links
// files as "/support/fileDownload?fileId=88012", whose host and query are no format.
std::string zteExtension(std::string_view address);
// The file name as the details show it: with "." + extension appended unless the name
// already holds it or there is no extension.
std::string zteDisplayName(std::string_view fileName, std::string_view address);
// The three pieces appended to the details box, in order.
std::vector<std::string> zteFileInfoPieces(std::string_view fileName, std::string_view size,
                                           std::string_view date, std::string_view address);

// The find over the tree's item texts (pre-order): from `searchPos` to the end, without
// wrapping, the first item whose text holds `typed` in any letter case. Returns its
// position and moves `searchPos` past it; returns -1 and sets `searchPos` to 0 when
// there is none.
int zteFindNext(const std::vector<std::string>& itemTexts, std::string_view typed, int& searchPos);

// ---------------------------------------------------------------- look-ups

struct ZteModelList : LookupStatus {
    std::vector<ZteSeries> series;  // what could be read, in document order
};
// Fetches the model-list script file (one GET) and reads it. A reply without a single
// series is Unreadable; one read only in part leaves the list `tooComplex`.
ZteModelList zteFetchModelList(const LookupContext& ctx = {});
// The model records of a model list, in tree order, each with an empty file list.
std::vector<ZteModel> zteModelRecords(const std::vector<ZteSeries>& series);

struct ZteFiles : LookupStatus {
    // The model's file list (zteFileList's format): the record's own when it had one, else
    // the one read from its file page, empty when the page held no file or failed.
    std::string fileList;
    // The rows of that list for the file list view (zteFileRows).
    std::vector<std::vector<std::string>> rows;
    bool fetched = false;  // the file page was asked for: the record had no file list yet
};
// The files of one model: from its cached file list, or else from its file page (one GET).
// An empty list is no cache: the next look-up asks again. A page read only in part leaves
// the files `tooComplex`; such a list is worth no cache either.
ZteFiles zteFetchFiles(const ZteModel& record, const LookupContext& ctx = {});

// What the page tells the user.
const std::string& zteEmptyFindMessage();  // 您要搜索的手机型号呢？
// A find that reached the end of the tree without a match (the next starts at the top).
const std::string& zteNoMatchMessage();  // 没有找到匹配的机型，再次搜索将从头开始。
const std::string& zteListErrorMessage();  // 读取机型列表出错，请尝试刷新列表！
