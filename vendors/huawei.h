#pragma once
// Huawei firmware search: the request addresses of the consumer support file-list service
// and the files cut out of its JSONP replies. No controls here; huaweiSearch (huawei_page.h)
// puts the files into the Huawei page's list.
//
// Texts are code page 936 (GBK) bytes, as every program text.
#include <string>
#include <string_view>
#include <vector>

class RegexObject;

// One file of the list, as it goes into the list's columns 0 to 3.
struct HuaweiFile {
    std::string name;     // as the service writes it: JSON escapes are left as they are
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

// Fetches page 1, 2, 3 ... for `keyword` (as typed) until a page yields no file: an empty
// list, an error page or a failed request. A service that ignores the page number answers
// every page alike, which would never end; so a reply that is byte for byte the reply of
// the page before also ends the search, and its files are not taken a second time.
std::vector<HuaweiFile> huaweiSearchFiles(std::string_view keyword);
