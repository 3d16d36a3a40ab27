// parse against RapidJSON (DOM) and nlohmann::json on the same documents, and the node pool
// against malloc under the same churn. parse reads the code page 936 form of each document,
// as the program does after converting a reply; the peers read the UTF-8 original. MB/s are
// of the UTF-8 size for all three. Each iteration reads and releases one document.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <algorithm>
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

#include "document/data_document.h"
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

// Writing: each peer writes its own tree of the same document, compact, into a new text.
void writeOurs(benchmark::State& state, Sample* s) {
    std::string text = s->gbk;
    DataDocument doc = parse(text);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string json = doc.jsonText();
        bytes = json.size();
        benchmark::DoNotOptimize(json.data());
    }
    releaseDocument(doc);
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
    state.counters["out_MB"] = double(bytes) / 1e6;
}

void writeRapid(benchmark::State& state, Sample* s) {
    rapidjson::Document doc;
    doc.Parse(s->utf8.data(), s->utf8.size());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        doc.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
}

void writeNlohmann(benchmark::State& state, Sample* s) {
    auto doc = nlohmann::json::parse(s->utf8, nullptr, false);
    for (auto _ : state) {
        std::string json = doc.dump();
        benchmark::DoNotOptimize(json.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * s->utf8.size()));
}

// A document nested 24 levels deep, each level an object of 30 members of which "next" is an
// array whose third element goes on; the path names the innermost value.
struct Deep {
    std::string json, path, pointer;
};
const Deep& deep() {
    static const Deep d = [] {
        Deep out;
        std::string inner = "\"bottom\"";
        for (int level = 23; level >= 0; --level) {
            std::string object = "{";
            for (int m = 0; m < 29; ++m)
                object += "\"f" + std::to_string(m) + "\":" + std::to_string(m) + ",";
            object += "\"next" + std::to_string(level) + "\":[0,1," + inner + "]}";
            inner = object;
        }
        out.json = inner;
        for (int level = 0; level < 24; ++level) {
            out.path += (level ? "." : "") + std::string("next") + std::to_string(level) + "[3]";
            out.pointer += "/next" + std::to_string(level) + "/2";
        }
        return out;
    }();
    return d;
}

void queryOurs(benchmark::State& state) {
    std::string text = deep().json;
    DataDocument doc = parse(text);
    const std::string& path = deep().path;
    if (doc.query(path).textValue() != "bottom") state.SkipWithError("query missed");
    for (auto _ : state) benchmark::DoNotOptimize(doc.query(path).node());
    releaseDocument(doc);
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

// The pointer parsed from its text on every look-up, as query reads its path every time.
void queryRapidPointer(benchmark::State& state) {
    rapidjson::Document doc;
    doc.Parse(deep().json.c_str());
    const std::string& pointer = deep().pointer;
    const rapidjson::Value* found = rapidjson::Pointer(pointer.c_str()).Get(doc);
    if (!found || !found->IsString()) state.SkipWithError("pointer missed");
    for (auto _ : state) benchmark::DoNotOptimize(rapidjson::Pointer(pointer.c_str()).Get(doc));
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

// A pointer made once and only resolved in the loop.
void queryRapidPointerReady(benchmark::State& state) {
    rapidjson::Document doc;
    doc.Parse(deep().json.c_str());
    const rapidjson::Pointer pointer(deep().pointer.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(pointer.Get(doc));
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

// Look-up by name in an object of 10,000 members: 1,000 names spread over the object.
struct Wide {
    std::string json;
    std::vector<std::string> names;
};
const Wide& wide() {
    static const Wide w = [] {
        Wide out;
        out.json = "{";
        for (int m = 0; m < 10000; ++m)
            out.json += (m ? ",\"" : "\"") + std::string("member") + std::to_string(m) +
                        "\":" + std::to_string(m);
        out.json += "}";
        for (int m = 7; m < 10000; m += 10) out.names.push_back("member" + std::to_string(m));
        return out;
    }();
    return w;
}

void keyOurs(benchmark::State& state) {
    std::string text = wide().json;
    DataDocument doc = parse(text);
    for (auto _ : state)
        for (const std::string& name : wide().names) benchmark::DoNotOptimize(doc.key(name).node());
    if (doc.count() != 10000) state.SkipWithError("key added a member");
    releaseDocument(doc);
    state.SetItemsProcessed(std::int64_t(state.iterations() * wide().names.size()));
}

void keyRapid(benchmark::State& state) {
    rapidjson::Document doc;
    doc.Parse(wide().json.c_str());
    for (auto _ : state)
        for (const std::string& name : wide().names) {
            rapidjson::Value::ConstMemberIterator it =
                doc.FindMember(rapidjson::StringRef(name.data(), rapidjson::SizeType(name.size())));
            benchmark::DoNotOptimize(it);
        }
    state.SetItemsProcessed(std::int64_t(state.iterations() * wide().names.size()));
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

// sort of 100,000 elements, numbers and texts, against std::sort on the same keys; clone of
// the catalogue against RapidJSON's deep copy (CopyFrom) of its own tree of it.
constexpr int kSortCount = 100000;

std::string sortInput(bool texts) {
    Rng rng(7u);
    std::string out = "[";
    for (int i = 0; i < kSortCount; ++i) {
        if (i) out += ',';
        if (texts) {
            out += '"';
            const int length = 4 + int(next(rng) % 12);
            for (int c = 0; c < length; ++c) out += char('a' + next(rng) % 26);
            out += '"';
        } else {
            out += std::to_string(std::int64_t(next(rng)) - 2147483648LL);
        }
    }
    return out + "]";
}

void sortOurs(benchmark::State& state, bool texts) {
    const std::string input = sortInput(texts);
    for (auto _ : state) {
        state.PauseTiming();
        std::string text = input;
        DataDocument doc = parse(text);
        state.ResumeTiming();
        if (!doc.sort(false)) state.SkipWithError("sort refused the array");
        state.PauseTiming();
        releaseDocument(doc);
        state.ResumeTiming();
    }
}

void sortStd(benchmark::State& state, bool texts) {
    std::string text = sortInput(texts);
    DataDocument doc = parse(text);
    std::vector<std::int64_t> numbers;
    std::vector<std::string> words;
    for (int i = 1; i <= doc.count(); ++i) {
        if (texts)
            words.push_back(doc.member(i).textValue());
        else
            numbers.push_back(doc.member(i).int64Value());
    }
    releaseDocument(doc);
    for (auto _ : state) {
        state.PauseTiming();
        auto n = numbers;
        auto w = words;
        state.ResumeTiming();
        if (texts)
            std::sort(w.begin(), w.end());
        else
            std::sort(n.begin(), n.end());
        benchmark::DoNotOptimize(n.data());
        benchmark::DoNotOptimize(w.data());
    }
}

void cloneOurs(benchmark::State& state) {
    std::string text = samples()[0].gbk;
    DataDocument doc = parse(text);
    for (auto _ : state) {
        DataDocument copy = doc.clone();
        benchmark::DoNotOptimize(copy.node());
        state.PauseTiming();
        copy.remove();
        state.ResumeTiming();
    }
    releaseDocument(doc);
}

void cloneRapid(benchmark::State& state) {
    rapidjson::Document doc;
    doc.Parse(samples()[0].utf8.data(), samples()[0].utf8.size());
    for (auto _ : state) {
        auto* copy = new rapidjson::Document;
        copy->CopyFrom(doc, copy->GetAllocator());
        benchmark::DoNotOptimize(copy->IsObject());
        state.PauseTiming();
        delete copy;
        state.ResumeTiming();
    }
}

// Hostile shapes. 65,536 member names of one h*31 value (16 blocks of "Aa" or "BB"): read,
// then each looked up once by key.
const std::string& collidingNames() {
    static const std::string text = [] {
        std::string out = "{";
        for (unsigned i = 0; i < 65536; ++i) {
            out += i ? ",\"" : "\"";
            for (int block = 15; block >= 0; --block) out += (i >> block) & 1 ? "BB" : "Aa";
            out += "\":" + std::to_string(i);
        }
        return out + "}";
    }();
    return text;
}

void collidingOurs(benchmark::State& state) {
    std::vector<std::string> names;
    for (unsigned i = 0; i < 65536; ++i) {
        std::string name;
        for (int block = 15; block >= 0; --block) name += (i >> block) & 1 ? "BB" : "Aa";
        names.push_back(name);
    }
    for (auto _ : state) {
        std::string text = collidingNames();
        DataDocument doc = parse(text);
        for (const std::string& name : names) benchmark::DoNotOptimize(doc.key(name).node());
        if (doc.count() != 65536) state.SkipWithError("names lost");
        releaseDocument(doc);
    }
}

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Peak resident memory that parse adds to read "[" and then `bytes` commas, per input byte,
// measured in a child process of its own (its peak counter starts at the input).
double commasPeakPerByte(std::size_t bytes) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        std::string text = "[" + std::string(bytes, ',');
        const long before = statusKb("VmRSS:");
        std::ofstream("/proc/self/clear_refs") << "5";
        DataDocument doc = parse(text);
        const long peak = statusKb("VmHWM:");
        const double perByte = double(peak - before) * 1024.0 / double(text.size());
        if (write(pipeEnds[1], &perByte, sizeof perByte) != sizeof perByte) _exit(1);
        _exit(doc.count() == int(bytes) + 1 ? 0 : 2);
    }
    double perByte = -1;
    if (read(pipeEnds[0], &perByte, sizeof perByte) != sizeof perByte) perByte = -1;
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return perByte;
}
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
    for (Sample& s : samples()) {
        if (s.name != "catalogue" && s.name != "twitter") continue;
        benchmark::RegisterBenchmark(("write/" + s.name).c_str(), writeOurs, &s)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("rapidjson_write/" + s.name).c_str(), writeRapid, &s)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("nlohmann_dump/" + s.name).c_str(), writeNlohmann, &s)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("query/deep24", queryOurs);
    benchmark::RegisterBenchmark("rapidjson_pointer/deep24", queryRapidPointer);
    benchmark::RegisterBenchmark("rapidjson_pointer_ready/deep24", queryRapidPointerReady);
    benchmark::RegisterBenchmark("key/wide10000", keyOurs)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("rapidjson_findmember/wide10000", keyRapid)
        ->Unit(benchmark::kMicrosecond);
    for (Sample& s : samples())
        benchmark::RegisterBenchmark(("memory/" + s.name).c_str(), memoryPerDocument, &s)
            ->Iterations(1);
    benchmark::RegisterBenchmark("churn/pool", poolChurn)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("churn/malloc", mallocChurn)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sort/numbers100k", sortOurs, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("std_sort/numbers100k", sortStd, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sort/texts100k", sortOurs, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("std_sort/texts100k", sortStd, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("clone/catalogue", cloneOurs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("rapidjson_copyfrom/catalogue", cloneRapid)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("hostile/colliding65536", collidingOurs)
        ->Unit(benchmark::kMillisecond);
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
    for (const Sample& s : samples()) {
        const double ours = t["write/" + s.name];
        if (ours <= 0) continue;
        std::printf("jsonText %-10s %8.1f MB/s: %.2fx rapidjson Writer, %.2fx nlohmann dump()\n",
                    s.name.c_str(), double(s.utf8.size()) / 1e6 / (ours / 1e3),
                    t["rapidjson_write/" + s.name] / ours, t["nlohmann_dump/" + s.name] / ours);
    }
    if (t["query/deep24"] > 0)
        std::printf(
            "query of a 24-level path: %.2fx rapidjson Pointer (parsed each time), "
            "%.2fx (made once)\n",
            t["rapidjson_pointer/deep24"] / t["query/deep24"],
            t["rapidjson_pointer_ready/deep24"] / t["query/deep24"]);
    if (t["key/wide10000"] > 0)
        std::printf("key in 10,000 members: %.2fx rapidjson FindMember\n",
                    t["rapidjson_findmember/wide10000"] / t["key/wide10000"]);
    if (t["churn/pool"] > 0)
        std::printf("pool alloc+free vs calloc+free, same churn: %.2fx\n",
                    t["churn/malloc"] / t["churn/pool"]);
    for (const char* what : {"numbers100k", "texts100k"}) {
        const double ours = t[std::string("sort/") + what];
        if (ours > 0)
            std::printf("sort of %s: %.1f ms, %.1fx the time of std::sort\n", what, ours,
                        ours / t[std::string("std_sort/") + what]);
    }
    if (t["clone/catalogue"] > 0)
        std::printf("clone of the catalogue: %.2fx rapidjson CopyFrom\n",
                    t["rapidjson_copyfrom/catalogue"] / t["clone/catalogue"]);
    if (t["hostile/colliding65536"] > 0)
        std::printf("65,536 names of one h*31 hash, parse + key each: %.1f ms (bound 200 ms)\n",
                    t["hostile/colliding65536"]);
    if (std::getenv("ROMHAUL_BENCH_COMMAS"))
        for (std::size_t mib : {8, 32}) {
            const double perByte = commasPeakPerByte(mib << 20);
            std::printf("\"[\" and %zu MiB of commas: peak %.1f bytes per input byte (%.0f MB)\n",
                        mib, perByte, perByte * double(mib << 20) / 1e6);
        }
    benchmark::Shutdown();
    return 0;
}
