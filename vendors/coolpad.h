#pragma once
// Coolpad: a keyword search that lists product types, then the download table of one type.
// The core below builds the requests, sends them and reads the replies; coolpadSearch and
// coolpadLoadDownloads (app/pages/coolpad_page.h) drive the page's controls with it.
// Texts are code page 936 (GBK).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vendors/lookup.h"

// The search reply is matched piece by piece so that the engine never holds more than
// this many bytes of subject at once. A result never spans a line ("." takes no line
// feed), so a piece ends after the last line feed it holds and the next one starts right
// there: no result is cut, and no cut falls inside a two-byte character. A line longer
// than a piece is cut where the piece ends, and the next piece starts kCoolpadChunkOverlap
// bytes before that, so that a result up to that long across the cut is still found
// whole (and, found twice, listed once).
inline constexpr std::size_t kCoolpadChunkBytes = 500'000;
inline constexpr std::size_t kCoolpadChunkOverlap = 64 * 1024;

std::string coolpadSearchAddress();
// The form body as posted: the keyword exactly as typed, neither trimmed nor encoded.
std::string coolpadSearchBody(std::string_view keyword);
// The download page of a product type, name as listed, with the list's fragment.
std::string coolpadDownloadAddress(std::string_view productType);

const std::string& coolpadSearchPattern();
const std::string& coolpadDownloadPattern();

// The product types of a search reply (text), in reply order, each once, none empty.
// `cutShort`, when given, is set when a piece of the reply was too complex to read whole
// (RegexObject::cutShort) and left as it is otherwise.
std::vector<std::string> coolpadProductTypes(std::string_view replyText, bool* cutShort = nullptr);

// One file of a download page: 描述, 更新日期, 文件大小, 文件种类 and the download address,
// as they stand in the page with their character references decoded.
struct CoolpadFileRow {
    std::string description;
    std::string date;
    std::string size;
    std::string kind;
    std::string address;

    bool operator==(const CoolpadFileRow&) const = default;
};
// The files of a download page (text), in page order; `cutShort` as for
// coolpadProductTypes.
std::vector<CoolpadFileRow> coolpadFileRows(std::string_view pageText, bool* cutShort = nullptr);

struct CoolpadSearch : LookupStatus {
    std::vector<std::string> types;  // as coolpadProductTypes gives them
};
// A reply read only in part leaves the look-up `tooComplex` (and `incomplete`).
// Posts `keyword` (as typed) to the search page and lists the product types of the reply.
CoolpadSearch coolpadSearchTypes(std::string_view keyword, const LookupContext& ctx = {});

struct CoolpadDownloads : LookupStatus {
    std::vector<CoolpadFileRow> files;  // in page order
};
// Fetches the download page of `productType` (the name as listed) and reads its files, each
// address made absolute against the page's (downloadAddress).
// Nothing is cached: every call asks again.
CoolpadDownloads coolpadFetchDownloads(std::string_view productType, const LookupContext& ctx = {});

// What the page tells the user.
const std::string& coolpadEmptyKeywordMessage();  // 您要搜索的关键字呢？
const std::string& coolpadNoResultMessage();      // 抱歉，未找到合适结果。
