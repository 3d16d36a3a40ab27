#pragma once
// The replies of the five services, built from the fixtures. Pure functions: the server
// calls them per request, and tests and benchmarks may call them to get a reply text
// without a server. Every reply body is UTF-8, as the services send it.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/vendor-sim/fixtures.h"
#include "vendors/service_hosts.h"

namespace vendorsim {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    // Header lines beyond Content-Type and Content-Length, in order.
    std::vector<std::pair<std::string, std::string>> headers = {};
    // A HEAD reply announces this length for a body it does not send; -1: the body's.
    long long headLength = -1;
    // >= 0: the body is this many bytes of the file pattern from streamOffset on, made while
    // they are sent (a download file), in place of `body`.
    long long streamLength = -1;
    std::uint64_t streamOffset = 0;
};

// A request target split into its path and its query items, each percent-decoded ("+"
// as a blank) to the bytes the client meant. A "#fragment" that reached the wire is cut
// off first, as a server would.
struct Target {
    std::string path;
    std::vector<std::pair<std::string, std::string>> params;
    // The first value of `name`, "" when absent; `found` tells the two apart.
    std::string param(std::string_view name, bool* found = nullptr) const;
};
Target parseTarget(std::string_view rawTarget);
// Items of an application/x-www-form-urlencoded body, decoded like query items.
std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body);
std::string percentDecode(std::string_view text);

// Request values arrive as the program's text, GBK bytes; the data sets are UTF-8. The
// GBK reading comes first, then the bytes as they stand when they are valid UTF-8.
std::vector<std::string> readingsOf(std::string_view requestBytes);

// Huawei: one JSONP page of the file list. `page` counts from 1; `pageSize` files a page.
inline constexpr const char* kHuaweiCallback = "jQuery17109587828987278044_1396585821312";
const HuaweiProduct* findHuaweiProduct(const Fixtures& fixtures, std::string_view keyword);
std::string huaweiPage(std::string_view callback, const std::vector<HuaweiFile>& files,
                       std::string_view productName, int page, int pageSize);

// ZTE: the model-list script file (prefix, one JSON object, ";") and a model's file page.
std::string zteModelList(const std::string& prefix, const std::vector<ZteSeries>& series);
std::string zteFilePage(const ZteSeries& series, const ZteModel& model);
std::string zteMissingPage();

// Coolpad: the keyword search page and a product type's download page. The large page is
// built in GBK so that its results sit at exact offsets of the program's text; it is
// returned as GBK and sent as UTF-8. `size` (over 1,000,000) lets a benchmark ask for a
// longer page with the same layout.
inline constexpr std::size_t kCoolpadLargeSize = 1'200'000;
inline constexpr std::size_t kCoolpadChunk = 500'000;
const CoolpadKeyword* findCoolpadKeyword(const Fixtures& fixtures, std::string_view keyword);
std::string coolpadSearchPage(std::string_view keyword, const CoolpadKeyword* found);
std::string coolpadLargeSearchPageGbk(const CoolpadKeyword& keyword,
                                      std::size_t size = kCoolpadLargeSize);
const CoolpadType* findCoolpadType(const Fixtures& fixtures, std::string_view name);
std::string coolpadDownloadPage(std::string_view typeName, const CoolpadType* found);

// A download file on any of the services: "/files/<bytes>/<name>" answers HEAD with that
// Content-Length and a fixed Last-Modified (kFileDate). GET sends the file pattern of that
// length when it is at most kMaxServedFile (with an ETag and Accept-Ranges; one byte range
// "bytes=A-B", "A-" or "-N" gets 206, unless If-Range names another version; a range past
// the end gets 416); larger files, announced only, and other methods get 405, other paths
// under "/files/" 404. `range` and `ifRange` are the request's headers ("" when absent).
inline constexpr const char* kFileDate = "Tue, 03 Mar 2015 08:00:00 GMT";
inline constexpr std::uint64_t kMaxServedFile = std::uint64_t(64) << 20;
Reply downloadFile(std::string_view method, std::string_view path, std::string_view range = {},
                   std::string_view ifRange = {});
// The bytes of every served file: `size` bytes from `offset` on into `out`, the same for
// every file and every request.
void filePattern(std::uint64_t offset, char* out, std::size_t size);

// The demo's data: every download address of one service's data set becomes
// "<base>/files/<bytes>/<name>" on the simulator itself, served in full. A listed size
// over kMaxServedFile is replaced by a thirty-second of it (at most kMaxServedFile), in
// megabytes as the data sets write sizes, so that what the lists say is what arrives.
void pointDownloadsAtSimulator(Fixtures& fixtures, VendorService service, const std::string& base);

// LG: the model-check reply for a serial number (trimmed before the look-up).
std::string lgReply(const Fixtures& fixtures, std::string_view esn);

// iPhone: the three lists and the firmware list. "all" matches everything; brush "1"
// includes the entries that can no longer be flashed (productState 30). With bulkRows > 0
// the firmware list holds that many generated entries whatever the filters.
std::string iphoneTextList(const std::vector<std::string>& items);
std::string iphoneFirmwareList(const Fixtures& fixtures, std::string_view model,
                               std::string_view type, std::string_view version,
                               std::string_view brush, int bulkRows = 0);

}  // namespace vendorsim
