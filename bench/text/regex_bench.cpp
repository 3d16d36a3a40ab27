// Record extraction with RegexObject beside std::wregex (ECMAScript) running the same
// pattern, with the same options, over the same generated replies in the same run:
//  - a 500 KB Huawei file-list reply (JSONP on one line, about 2,000 records);
//  - a 1.5 MB Coolpad search reply (HTML, CR LF lines), matched in 500,000-byte chunks by
//    the Coolpad search's reader (vendors/coolpad), product types kept once.
// RegexObject timings include the GBK -> UTF-16 conversion of the subject and reading
// every group back as GBK text; std::wregex gets its wide subject ready-made.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/text_util.h"
#include "bench/best_of.h"
#include "text/regex_object.h"
#include "vendors/coolpad.h"

namespace {

const char kHuaweiPattern[] =
    R"re(fileName":"(.*?)",".*?fileSize":"(.*?)",".*?releaseDate":(.*?),"downloadUrl":"(.*?)","languageList)re";
const std::string& kCoolpadPattern = coolpadSearchPattern();  // GBK already
constexpr std::size_t kChunk = kCoolpadChunkBytes;

const char* const kModels[] = {"P6-U06", "荣耀6 H60-L01",    "Mate 7 MT7-TL00", "G750-T00",
                               "C8817D", "畅玩4X Che2-TL00", "P7-L07",          "荣耀3C H30-T10"};

std::string huaweiReply(std::size_t targetBytes) {
    std::string reply = "jQuery17109587828987278044_1396585821312({\"status\":\"1\",\"fileList\":[";
    for (unsigned i = 0; reply.size() < targetBytes; ++i) {
        const std::string id = std::to_string(20000 + i);
        if (i) reply += ",";
        reply += gbk("{\"fileId\":\"" + id + "\",\"fileName\":\"" + kModels[i % 8] + " B" +
                     std::to_string(100 + i % 300) + " 升级包\",\"fileSize\":\"" +
                     std::to_string(100 + i % 900) + "." + std::to_string(i % 100) +
                     " MB\",\"releaseDate\":" + std::to_string(1396585821312ULL + i * 86400000ULL) +
                     ",\"downloadUrl\":\"http://download-c.huawei.com/download/"
                     "downloadCenter?downloadId=" +
                     id + "&siteCode=cn\",\"languageList\":[{\"languageCode\":\"zh-cn\"}]}");
    }
    reply += "],\"totalCount\":99999})";
    return reply;
}

std::string coolpadReply(std::size_t targetBytes) {
    std::string html = "<html><body><div class=\"result\"><ul>\r\n";
    std::string line;
    for (unsigned i = 0; html.size() < targetBytes; ++i) {
        const std::string name = std::string(i % 3 ? "大神F" : "锋尚") + std::to_string(i % 97);
        if (i % 4 == 3)
            line = "<li><a href=\"javascript:void(0)\" onclick=\"toDetail('" + std::to_string(i) +
                   "','NEWS_KEY')\">酷派新闻 " + name +
                   " 发布会</a> <span class=\"cat\">所属类别：新闻中心</span></li>\r\n";
        else
            line = "<li><a href=\"javascript:void(0)\" onclick=\"toDetail('" + name +
                   "','DOWNLOAD_KEY')\">" + name +
                   " 全网通 官方刷机包与驱动程序下载</a> <span class=\"cat\">所属类别：下载中心"
                   "</span></li>\r\n";
        html += gbk(line);
    }
    html += "</ul></div></body></html>\r\n";
    return html;
}

const std::string& huaweiText() {
    static const std::string text = huaweiReply(500 * 1024);
    return text;
}

const std::string& coolpadText() {
    static const std::string text = coolpadReply(1499000);
    return text;
}

std::wstring wide(const std::string& gbkText) {
    std::u16string u = textToUtf16(gbkText);
    return std::wstring(u.begin(), u.end());
}

std::vector<std::string> chunks(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t s = 0; s < text.size(); s += kChunk) out.push_back(text.substr(s, kChunk));
    return out;
}

// --- Huawei ----------------------------------------------------------------------------

void BM_Huawei_RegexObject(benchmark::State& state) {
    const std::string& text = huaweiText();
    const std::string pattern = gbk(kHuaweiPattern);
    int records = 0;
    for (auto _ : state) {
        RegexObject re;
        re.create(pattern, text);
        records = re.matchCount();
        for (int i = 1; i <= records; ++i)
            for (int k = 1; k <= 4; ++k) benchmark::DoNotOptimize(re.subMatchText(i, k));
    }
    state.counters["records"] = records;
    state.SetBytesProcessed(std::int64_t(state.iterations() * text.size()));
}

void huaweiWregex(benchmark::State& state, std::regex_constants::syntax_option_type flags) {
    const std::wstring text = wide(huaweiText());
    const std::wregex re(wide(gbk(kHuaweiPattern)), flags);
    int records = 0;
    for (auto _ : state) {
        records = 0;
        for (std::wsregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
            for (int k = 1; k <= 4; ++k) benchmark::DoNotOptimize((*it)[k].str());
            ++records;
        }
    }
    state.counters["records"] = records;
    state.SetBytesProcessed(std::int64_t(state.iterations() * huaweiText().size()));
}

void BM_Huawei_StdWregex(benchmark::State& state) {
    huaweiWregex(state, std::regex::ECMAScript | std::regex::icase);
}
void BM_Huawei_StdWregexCaseSensitive(benchmark::State& state) {
    huaweiWregex(state, std::regex::ECMAScript);
}

// --- Coolpad: three 500,000-byte chunks, one run each -----------------------------------
// Ours is the search's own reader, coolpadProductTypes: chunking, one regex object over
// the chunks, group 1 of every match, each type kept once. The peer does the same work.

void BM_Coolpad_ProductTypes(benchmark::State& state) {
    const std::string& text = coolpadText();
    int found = 0;
    for (auto _ : state) {
        std::vector<std::string> types = coolpadProductTypes(text);
        found = int(types.size());
        benchmark::DoNotOptimize(types);
    }
    state.counters["chunks"] = double(chunks(text).size());
    state.counters["records"] = found;
    state.SetBytesProcessed(std::int64_t(state.iterations() * text.size()));
}

void BM_Coolpad_StdWregex(benchmark::State& state) {
    std::vector<std::wstring> parts;
    for (const std::string& part : chunks(coolpadText())) parts.push_back(wide(part));
    const std::wregex re(wide(kCoolpadPattern), std::regex::ECMAScript | std::regex::icase);
    int found = 0;
    for (auto _ : state) {
        std::vector<std::wstring> types;
        std::unordered_set<std::wstring> listed;
        for (const std::wstring& part : parts)
            for (std::wsregex_iterator it(part.begin(), part.end(), re), end; it != end; ++it) {
                std::wstring type = (*it)[1].str();
                if (!type.empty() && listed.insert(type).second) types.push_back(std::move(type));
            }
        found = int(types.size());
        benchmark::DoNotOptimize(types);
    }
    state.counters["chunks"] = double(parts.size());
    state.counters["records"] = found;
    state.SetBytesProcessed(std::int64_t(state.iterations() * coolpadText().size()));
}

BENCHMARK(BM_Huawei_RegexObject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Huawei_StdWregex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Huawei_StdWregexCaseSensitive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Coolpad_ProductTypes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Coolpad_StdWregex)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Five repetitions unless asked otherwise: the ratios use the best of them.
    initializeBestOf(&argc, argv);
    std::printf("Huawei reply: %zu bytes; Coolpad reply: %zu bytes\n", huaweiText().size(),
                coolpadText().size());
    BestOfReporter reporter({{"BM_Huawei_StdWregex", "BM_Huawei_RegexObject"},
                             {"BM_Huawei_StdWregexCaseSensitive", "BM_Huawei_RegexObject"},
                             {"BM_Coolpad_StdWregex", "BM_Coolpad_ProductTypes"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
