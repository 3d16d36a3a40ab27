// A Huawei file-list page of about 500 KB (2,000 records, one line) from the reply bytes to
// the list's row texts, as huaweiSearch gets them: UTF-8 to text, records cut out, release
// stamps turned into local dates. Beside it, in the same run:
//  - nlohmann::json reading the same reply as JSON and giving the same row texts;
//  - the same cut with the groups read out of subject order (name, stamp, size, address),
//    which sends the regex object's byte-offset walk back to the start of the reply for
//    every record.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "bench/best_of.h"
#include "net/fetch_url.h"
#include "text/regex_object.h"
#include "text/script_time.h"
#include "vendors/huawei.h"

namespace {

const char* const kModels[] = {"P6-U06", "荣耀6 H60-L01",    "Mate 7 MT7-TL00", "G750-T00",
                               "C8817D", "畅玩4X Che2-TL00", "P7-L07",          "荣耀3C H30-T10"};
const char kCallback[] = "jQuery17109587828987278044_1396585821312";

// UTF-8, as the service sends it.
const std::string& replyBytes() {
    static const std::string reply = [] {
        std::string r = std::string(kCallback) + "({\"status\":\"1\",\"fileList\":[";
        for (unsigned i = 0; r.size() < 500 * 1024; ++i) {
            const std::string id = std::to_string(20000 + i);
            if (i) r += ",";
            r += "{\"fileId\":\"" + id + "\",\"fileName\":\"" + kModels[i % 8] + " B" +
                 std::to_string(100 + i % 300) + " 升级包\",\"fileSize\":\"" +
                 std::to_string(100 + i % 900) + "." + std::to_string(i % 100) +
                 " MB\",\"releaseDate\":" + std::to_string(1396585821312ULL + i * 86400000ULL) +
                 ",\"downloadUrl\":\"http://download-c.huawei.com/download/"
                 "downloadCenter?downloadId=" +
                 id + "&siteCode=cn\",\"languageList\":[{\"languageCode\":\"zh-cn\"}]}";
        }
        return r + "],\"totalCount\":99999})";
    }();
    return reply;
}

void BM_Huawei_Files(benchmark::State& state) {
    std::size_t rows = 0;
    for (auto _ : state) {
        std::vector<HuaweiFile> files = huaweiFiles(net::utf8ToText(replyBytes()));
        rows = files.size();
        benchmark::DoNotOptimize(files.data());
    }
    state.counters["records"] = double(rows);
}

void BM_Huawei_NlohmannJson(benchmark::State& state) {
    const std::string& reply = replyBytes();
    std::size_t rows = 0;
    for (auto _ : state) {
        const std::size_t open = reply.find('('), close = reply.rfind(')');
        const nlohmann::json doc = nlohmann::json::parse(reply.begin() + std::ptrdiff_t(open + 1),
                                                         reply.begin() + std::ptrdiff_t(close));
        std::vector<HuaweiFile> files;
        for (const auto& f : doc.at("fileList")) {
            files.push_back({net::utf8ToText(f.at("fileName").get<std::string>()),
                             releaseDateText(std::to_string(f.at("releaseDate").get<long long>())),
                             net::utf8ToText(f.at("fileSize").get<std::string>()),
                             net::utf8ToText(f.at("downloadUrl").get<std::string>())});
        }
        rows = files.size();
        benchmark::DoNotOptimize(files.data());
    }
    state.counters["records"] = double(rows);
}

void BM_Huawei_GroupsOutOfOrder(benchmark::State& state) {
    std::size_t rows = 0;
    for (auto _ : state) {
        RegexObject regex;
        regex.create(kHuaweiFilePattern, net::utf8ToText(replyBytes()));
        std::vector<HuaweiFile> files;
        for (int i = 1; i <= regex.matchCount(); ++i)
            files.push_back({regex.subMatchText(i, 1), releaseDateText(regex.subMatchText(i, 3)),
                             regex.subMatchText(i, 2), regex.subMatchText(i, 4)});
        rows = files.size();
        benchmark::DoNotOptimize(files.data());
    }
    state.counters["records"] = double(rows);
}

BENCHMARK(BM_Huawei_Files)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Huawei_NlohmannJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Huawei_GroupsOutOfOrder)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Dates are local; a fixed zone keeps runs comparable.
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    initializeBestOf(&argc, argv);
    std::printf("Huawei reply: %zu bytes\n", replyBytes().size());
    BestOfReporter reporter({{"BM_Huawei_NlohmannJson", "BM_Huawei_Files"},
                             {"BM_Huawei_GroupsOutOfOrder", "BM_Huawei_Files"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
