// parse against RapidJSON (DOM) and nlohmann::json on the same documents, and the node pool
// against malloc under the same churn. parse reads the code page 936 form of each document,
// as the program does after converting a reply; the peers read the UTF-8 original. MB/s are
// of the UTF-8 size for all three. Each iteration reads and releases one document.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <rapidjson/document.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "doc/data_document.h"
#include "platform/codepage.h"

namespace {

// 32-bit results, so that they print with %u.
using Rng = std::mt19937;
unsigned next(Rng& rng) {
    return unsigned(rng());
}

struct Sample {
    std::string name;
    std::string utf8;
    std::string gbk;
};

std::string pick(std::mt19937& rng, const std::vector<std::string>& from) {
    return from[rng() % from.size()];
}

// An object of models, each an array of firmware records, as the iPhone catalogue sends it.
std::string catalogue(std::size_t targetBytes) {
    Rng rng(42u);
    const std::vector<std::string> names = {"iPhone 15 Pro Max", "华为 Mate 60 Pro",
                                            "ZTE Axon 50",       "LG G8 ThinQ",
                                            "酷派 大神 X7",      "iPad Air (5th generation)"};
    const std::vector<std::string> types = {"官方固件", "定制固件", "OTA", "Full", "Beta"};
    const std::vector<std::string> states = {"可刷", "已关闭验证", "signed", "unsigned"};
    std::string out = "{";
    for (int model = 0; out.size() < targetBytes; ++model) {
        out +=
            (model ? ",\"" : "\"") + std::string("Model") + std::to_string(1000 + model) + "\":[";
        const int records = 3 + int(rng() % 20);
        for (int r = 0; r < records; ++r) {
            char version[64];
            std::snprintf(version, sizeof version, "%u.%u.%u (%uA%u)", 10 + next(rng) % 8,
                          next(rng) % 10, next(rng) % 10, 17 + next(rng) % 5,
                          100 + next(rng) % 900);
            out += std::string(r ? "," : "") + "{\"version\":\"" + version +
                   "\",\"productName\":\"" + pick(rng, names) + "\",\"types\":\"" +
                   pick(rng, types) + "\",\"isSetup\":" + (rng() % 2 ? "true" : "false") +
                   ",\"productState\":\"" + pick(rng, states) +
                   "\",\"downUrl\":\"https://updates.example.com/fw/" + std::to_string(rng()) +
                   "/Restore_" + std::to_string(r) + ".ipsw\"}";
        }
        out += "]";
    }
    return out + "}";
}

// Tweets: long texts with escapes and \u sequences, nested user objects, large ids.
std::string tweets(std::size_t targetBytes) {
    Rng rng(7u);
    const std::vector<std::string> words = {
        "firmware",   "update",    "\\\"quoted\\\"", "line\\nbreak",           "\\u4e2d\\u6587",
        "caf\\u00e9", "手机",      "刷机",           "https:\\/\\/t.co\\/abc", "#root",
        "@user",      "tab\\there"};
    std::string out = "{\"statuses\":[";
    for (int i = 0; out.size() < targetBytes; ++i) {
        std::string text;
        for (int w = 0; w < 25; ++w) text += (w ? " " : "") + pick(rng, words);
        out += std::string(i ? "," : "") +
               "{\"id\":" + std::to_string(1000000000000000000ull + rng()) + ",\"id_str\":\"" +
               std::to_string(rng()) + "\",\"text\":\"" + text +
               "\",\"truncated\":false,\"user\":{\"id\":" + std::to_string(rng()) +
               ",\"name\":\"User " + std::to_string(i) + "\",\"screen_name\":\"u" +
               std::to_string(i) + "\",\"description\":\"" + pick(rng, words) + " " +
               pick(rng, words) + "\",\"followers_count\":" + std::to_string(rng() % 100000) +
               ",\"verified\":" + (rng() % 2 ? "true" : "false") +
               "},\"retweet_count\":" + std::to_string(rng() % 1000) +
               ",\"favorited\":false,\"in_reply_to_status_id\":null,\"lang\":\"zh\"}";
    }
    return out + "]}";
}

// Coordinates and counters: numbers between few structural bytes.
std::string numbers(std::size_t targetBytes) {
    Rng rng(3u);
    std::uniform_real_distribution<double> coordinate(-180.0, 180.0);
    std::string out = "[";
    char item[64];
    for (int i = 0; out.size() < targetBytes; ++i) {
        std::snprintf(item, sizeof item, "%s[%.15g,%.15g,%u,%d]", i ? "," : "", coordinate(rng),
                      coordinate(rng), next(rng) % 100000, int(next(rng) % 2000) - 1000);
        out += item;
    }
    return out + "]";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<Sample>& samples() {
    static std::vector<Sample> all = [] {
        std::vector<Sample> s = {{"catalogue", catalogue(10 << 20), {}},
                                 {"tweets", tweets(2 << 20), {}},
                                 {"numbers", numbers(2 << 20), {}}};
        const char* dir = std::getenv("ROMHAUL_BENCH_DATA");
        const std::string base = dir ? dir : "/work/shared/bench-data";
        for (const char* name : {"canada", "citm_catalog", "twitter"}) {
            std::string text = readFile(base + "/" + name + ".json");
            if (!text.empty()) s.push_back({name, text, {}});
        }
        for (auto& sample : s) sample.gbk = codepage::utf8ToGbk(sample.utf8);
        return s;
    }();
    return all;
}

void parseOurs(benchmark::State& state, Sample* s) {
    std::string text = s->gbk;
    for (auto _ : state) {
        DataDocument doc = parse(text);
        benchmark::DoNotOptimize(doc.root());
        releaseDocument(doc);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
}

void parseRapid(benchmark::State& state, Sample* s) {
    for (auto _ : state) {
        rapidjson::Document doc;
        doc.Parse(s->utf8.data(), s->utf8.size());
        if (doc.HasParseError()) state.SkipWithError("rapidjson refused the document");
        benchmark::DoNotOptimize(doc.IsObject());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
}

void parseNlohmann(benchmark::State& state, Sample* s) {
    for (auto _ : state) {
        auto doc = nlohmann::json::parse(s->utf8, nullptr, false);
        if (doc.is_discarded()) state.SkipWithError("nlohmann refused the document");
        benchmark::DoNotOptimize(doc.is_object());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
}

std::size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Heap bytes that one document holds while it lives: for parse, the text buffer, node lists
// and bucket tables, plus its nodes at their slot size (pool blocks themselves are shared).
void memoryPerDocument(benchmark::State& state, Sample* s) {
    std::string text = s->gbk;
    std::size_t ours = 0, rapid = 0, nlohmannBytes = 0;
    for (auto _ : state) {
        NodePool& pool = nodePool();
        const std::size_t before = heapInUse();
        const int totalBefore = pool.totalSlots(), liveBefore = pool.liveSlots();
        DataDocument doc = parse(text);
        const std::size_t grown =
            std::size_t(pool.totalSlots() - totalBefore) * std::size_t(pool.slotSize()) +
            std::size_t(pool.totalSlots() - totalBefore) / 8;
        ours = heapInUse() - before - grown +
               std::size_t(pool.liveSlots() - liveBefore) * std::size_t(pool.slotSize());
        releaseDocument(doc);

        std::size_t at = heapInUse();
        {
            rapidjson::Document rdoc;
            rdoc.Parse(s->utf8.data(), s->utf8.size());
            rapid = heapInUse() - at;
        }
        at = heapInUse();
        {
            auto ndoc = nlohmann::json::parse(s->utf8, nullptr, false);
            nlohmannBytes = heapInUse() - at;
        }
    }
    state.counters["parse_MB"] = double(ours) / 1e6;
    state.counters["rapidjson_MB"] = double(rapid) / 1e6;
    state.counters["nlohmann_MB"] = double(nlohmannBytes) / 1e6;
    state.counters["parse/rapid"] = double(ours) / double(rapid ? rapid : 1);
}

// One churn, replayed for both allocators: a working set that rises and falls like the
// trees of replies being read and released, with frees in scattered order.
struct Step {
    bool alloc;
    std::uint32_t index;
};
const std::vector<Step>& churn() {
    static const std::vector<Step> steps = [] {
        Rng rng(11u);
        std::vector<Step> out;
        std::size_t live = 0;
        for (int phase = 0; phase < 40; ++phase) {
            const bool rising = phase % 2 == 0;
            for (int i = 0; i < 50000; ++i) {
                const bool alloc = live == 0 || (rng() % 100) < (rising ? 70u : 30u);
                if (alloc) {
                    out.push_back({true, std::uint32_t(live++)});
                } else {
                    out.push_back({false, std::uint32_t(rng() % live)});
                    --live;
                }
            }
        }
        while (live) out.push_back({false, std::uint32_t(--live)});
        return out;
    }();
    return steps;
}

template <class Alloc, class Free>
void replay(benchmark::State& state, Alloc alloc, Free release) {
    const auto& steps = churn();
    std::vector<void*> live;
    live.reserve(steps.size());
    for (auto _ : state) {
        for (const Step& s : steps) {
            if (s.alloc) {
                live.push_back(alloc());
            } else {
                release(live[s.index]);
                live[s.index] = live.back();
                live.pop_back();
            }
        }
    }
    state.SetItemsProcessed(std::int64_t(state.iterations() * steps.size()));
}

void poolChurn(benchmark::State& state) {
    NodePool& pool = nodePool();
    replay(
        state, [&pool] { return pool.alloc(); }, [&pool](void* p) { pool.free(p); });
}

void mallocChurn(benchmark::State& state) {
    // calloc: pool slots come zero-filled too.
    replay(
        state, [] { return std::calloc(1, sizeof(DocNode)); }, [](void* p) { std::free(p); });
}

// Keeps every run's CPU time per iteration (the machine is shared; wall time is noisy) so that the
// ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    prepare();
    for (Sample& s : samples()) {
        benchmark::RegisterBenchmark(("parse/" + s.name).c_str(), parseOurs, &s)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("rapidjson/" + s.name).c_str(), parseRapid, &s)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("nlohmann/" + s.name).c_str(), parseNlohmann, &s)
            ->Unit(benchmark::kMillisecond);
    }
    for (Sample& s : samples())
        benchmark::RegisterBenchmark(("memory/" + s.name).c_str(), memoryPerDocument, &s)
            ->Iterations(1);
    benchmark::RegisterBenchmark("churn/pool", poolChurn)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("churn/malloc", mallocChurn)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-14s %10s %12s %12s %14s %14s\n", "document", "MB", "parse MB/s",
                "vs rapidjson", "vs nlohmann", "");
    for (const Sample& s : samples()) {
        auto& t = reporter.times;
        const double ours = t["parse/" + s.name], rapid = t["rapidjson/" + s.name],
                     nl = t["nlohmann/" + s.name];
        if (ours <= 0) continue;
        std::printf("%-14s %10.2f %12.1f %11.2fx %13.2fx\n", s.name.c_str(),
                    double(s.utf8.size()) / 1e6, double(s.utf8.size()) / 1e6 / (ours / 1e3),
                    rapid / ours, nl / ours);
    }
    auto& t = reporter.times;
    if (t["churn/pool"] > 0)
        std::printf("pool alloc+free vs calloc+free, same churn: %.2fx\n",
                    t["churn/malloc"] / t["churn/pool"]);
    benchmark::Shutdown();
    return 0;
}
