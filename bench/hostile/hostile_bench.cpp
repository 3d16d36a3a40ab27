// Replies crafted as a hostile or broken server sends them, each read as the program reads
// it, with its time and the process's peak resident memory printed beside the bound it must
// keep. Not a comparison with peers: one run per case, the figures for the record.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/fetch_url.h"
#include "platform/wininet.h"
#include "tests/support/hostile_pages.h"
#include "tests/support/raw_http_server.h"
#include "vendors/coolpad.h"
#include "vendors/huawei.h"
#include "vendors/iphone.h"
#include "vendors/lg.h"
#include "vendors/service_hosts.h"
#include "vendors/zte.h"

namespace {

using Clock = std::chrono::steady_clock;

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return double(std::atoll(line.c_str() + 6)) / 1024.0;
    return -1;
}

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return double(std::atoll(line.c_str() + 6)) / 1024.0;
    return -1;
}

// Runs `work` once on its prepared input and prints its time, the process's resident
// memory before it (inputs and what earlier cases left in the node pool) and its peak
// during it, and what came out.
const char* only = "";  // the command line's filter: cases whose name holds it

void measure(const char* name, const char* bound, const std::function<std::string()>& work) {
    if (std::string_view(name).find(only) == std::string_view::npos) return;
    const double before = residentMiB();
    resetPeak();
    const auto start = Clock::now();
    const std::string outcome = work();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%-58s %10.1f ms %6.0f %6.0f MiB   %-14s %s\n", name, ms, before, peakMiB(), bound,
                outcome.c_str());
    std::fflush(stdout);
}

std::string count(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) only = argv[1];
    std::printf("%-58s %13s %17s   %-14s %s\n", "case", "time", "RSS before/peak", "bound",
                "outcome");

    {
        const std::string page = hostile::zteBadEntry(480'000);
        measure("ZTE file page: heading + 480 KB of <pre>文件大小：a", "1 s",
                [&] { return count(zteFileRows(zteFileList(page)).size(), "files"); });
        const std::string line = hostile::zteBadEntry(12'800);
        measure("ZTE file page: heading + 12.8 KB line", "1 s",
                [&] { return count(zteFileRows(zteFileList(line)).size(), "files"); });
        const std::string big = hostile::zteBadEntry(4'800'000);
        measure("ZTE file page: heading + 4.8 MB line (past the cap)", "1 s",
                [&] { return count(zteFileRows(zteFileList(big)).size(), "files"); });
        const std::string around = hostile::zteEntry(1) + page + hostile::zteEntry(2);
        measure("ZTE file page: good entry, the 480 KB entry, good entry", "1 s",
                [&] { return count(zteFileRows(zteFileList(around)).size(), "files"); });
    }
    {
        const std::string page = hostile::huaweiBadPage(1000, 34);
        measure("Huawei page: 1,000 lines of 34 records (past the cap)", "1 s",
                [&] { return count(huaweiFiles(page).size(), "files"); });
        const std::string under = hostile::huaweiBadPage(1000, 27);
        measure("Huawei page: 1,000 lines of 27 (just under the cap)", "1 s",
                [&] { return count(huaweiFiles(under).size(), "files"); });
        const std::string around = hostile::huaweiRecord(1) + "\n" + hostile::huaweiBadLine() +
                                   hostile::huaweiRecord(2) + "\n";
        measure("Huawei page: good record, one bad line, good record", "1 s",
                [&] { return count(huaweiFiles(around).size(), "files"); });
    }
    {
        const std::string list = hostile::zteFileListLines(20'000);
        measure("zteFileRows, 20,000 lines", "50 ms",
                [&] { return count(zteFileRows(list).size(), "rows"); });
        const std::string dots(1 << 20, '.');
        measure("zteExtension, 1 MB address of dots", "50 ms", [&] {
            std::string quoted = "\"";
            quoted += zteExtension(dots);
            return quoted + "\"";
        });
        measure("zteDisplayName, 1 MB address of dots", "50 ms",
                [&] { return count(zteDisplayName("a", dots).size(), "bytes"); });
    }
    {
        std::string search;
        while (search.size() < serviceReplyCap(VendorService::Coolpad) - 400'000)
            search += hostile::coolpadBadSearch(400'000);
        measure("Coolpad search: 1.2 MB of openings, three pieces", "1 s",
                [&] { return count(coolpadProductTypes(search).size(), "types"); });
        std::string rows;
        while (rows.size() < (1 << 20)) rows += hostile::coolpadBadRow();
        measure("Coolpad download page: 1 MB of rows without a link", "1 s",
                [&] { return count(coolpadFileRows(rows).size(), "rows"); });
        std::string lg;
        while (lg.size() < (2 << 20) - 20) lg += "<model><esn>";
        measure("LG reply: 2 MB of openings without an end", "1 s",
                [&] { return std::to_string(int(readLgReply(lg).outcome)) + " (2 = found)"; });
    }
    // Last: the document reader keeps its nodes pooled, which would hide the peaks after it.
    {
        const std::string at8 = hostile::jsonCommas(8 << 20);
        measure("\"[\" + 8 MiB of commas, iPhone list (past the cap)", "1 GiB",
                [&] { return count(iphoneReadList(at8).size(), "entries"); });
        const std::string at32 = hostile::jsonCommas(32 << 20);
        measure("\"[\" + 32 MiB of commas, iPhone list (past the cap)", "1 GiB",
                [&] { return count(iphoneReadList(at32).size(), "entries"); });
        const std::size_t cap = serviceReplyCap(VendorService::Iphone);
        const std::string under = hostile::jsonCommas(cap - 2) + "]";
        measure("\"[\" + commas just under the 4 MiB cap, iPhone list", "1 GiB",
                [&] { return count(iphoneReadList(under).size(), "entries"); });
        const std::string zte =
            std::string(18, ' ') + "{\"s\":" + hostile::jsonCommas(cap - 30) + "]};";
        measure("ZTE model list of commas just under the cap", "1 GiB",
                [&] { return count(zteReadModelList(zte).size(), "series"); });
    }
    {
        // Whole look-ups over loopback: the reply fetched, converted and read.
        auto body = std::make_shared<std::string>(hostile::jsonCommas(15 << 20));
        testsupport::RawHttpServer server([body](const testsupport::RawRequest& r) {
            testsupport::RawReply reply;
            const std::size_t size = r.target() == "/big" ? (32u << 20) : body->size();
            reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                          "\r\nConnection: close\r\n\r\n";
            reply.tail = r.target() == "/big" ? std::make_shared<const std::string>(size, ',')
                                              : std::shared_ptr<const std::string>(body);
            return reply;
        });
        measure("fetch + read of 15 MiB of commas (iPhone list)", "1 GiB", [&] {
            LookupEnd end;
            const std::string list = fetchText({}, {server.base() + "/list"}, end);
            return count(iphoneReadList(list).size(), "entries");
        });
        measure("fetch of 32 MiB (past the transport's 16 MiB cap)", "1 GiB",
                [&] { return count(net::fetchUrl(server.base() + "/big").size(), "bytes"); });
    }
    {
        // The overall deadline, shortened: one byte every 50 ms keeps the idle clock alive.
        wininet::Limits limits = wininet::limits();
        const auto deadline = std::chrono::milliseconds(2000);
        limits.totalTimeout = deadline;
        wininet::setLimits(limits);
        testsupport::RawHttpServer server([](const testsupport::RawRequest&) {
            testsupport::RawReply reply;
            reply.bytes = "HTTP/1.1 200 OK\r\n";
            reply.bytes.append(2000, 'X');
            reply.bytes += ": y\r\n\r\n";
            reply.trickle = std::chrono::milliseconds(50);
            return reply;
        });
        measure("trickled header lines, deadline shortened to 2 s", "the deadline",
                [&] { return count(net::fetchUrl(server.base() + "/").size(), "bytes"); });
        testsupport::RawHttpServer plain(
            [](const testsupport::RawRequest&) { return testsupport::okReply("ok"); });
        measure("address with \\r\\n: Referer line as sent", "no extra line", [&] {
            net::fetchUrl(plain.base() + "/a\r\nX-Injected: 1");
            return plain.lastRequest().header("Referer") +
                   (plain.lastRequest().header("X-Injected").empty() ? " (no injected line)"
                                                                     : " INJECTED");
        });
    }
    return 0;
}
