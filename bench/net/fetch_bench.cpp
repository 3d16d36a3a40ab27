// Fetching a 64 MB body from a loopback server: fetchUrl beside the curl command-line tool
// fetching the same body from the same server in the same run. curl's figure is its own
// transfer time (-w %{time_total}), so its process start does not count against it. The
// side-by-side run alternates the two, one fetch each per iteration, so that both meet the
// same machine load; its ratio is the median of the pairs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "net/fetch_url.h"
#include "tests/support/raw_http_server.h"

namespace {

constexpr std::size_t kBodySize = std::size_t(64) << 20;

struct Totals {
    double bytes = 0;
    double seconds = 0;
    double mbPerSecond() const { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
};
Totals fetchTotals, curlTotals;
std::vector<double> pairRatios;

testsupport::RawHttpServer& server() {
    static auto body = std::make_shared<const std::string>(kBodySize, 'b');
    static testsupport::RawHttpServer s([](const testsupport::RawRequest&) {
        testsupport::RawReply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body->size()) +
                      "\r\nConnection: close\r\n\r\n";
        reply.tail = body;
        return reply;
    });
    return s;
}

// Seconds for one fetchUrl of the body, or a negative number when the body came back short.
double timeFetchUrl() {
    const std::string url = server().base() + "/big";
    const auto start = std::chrono::steady_clock::now();
    std::string body = net::fetchUrl(url);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    benchmark::DoNotOptimize(body.data());
    return body.size() == kBodySize ? took.count() : -1;
}

// curl's own transfer time for the body, or a negative number on failure. By default the
// body goes to /dev/null; into a file in /dev/shm it costs curl what holding the body in
// memory costs fetchUrl.
double timeCurlTool(const char* output = "/dev/null") {
    const std::string command = std::string("curl -s --noproxy '*' -o ") + output +
                                " -w '%{size_download} %{time_total}' " + server().base() + "/big";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return -1;
    double size = 0, seconds = 0;
    const int got = std::fscanf(p, "%lf %lf", &size, &seconds);
    ::pclose(p);
    return got == 2 && size == double(kBodySize) ? seconds : -1;
}

void BM_SideBySide(benchmark::State& state) {
    Totals ours, theirs;
    for (auto _ : state) {
        const double a = timeFetchUrl(), b = timeCurlTool();
        if (a <= 0 || b <= 0) {
            state.SkipWithError("a fetch failed");
            break;
        }
        ours.bytes += kBodySize;
        ours.seconds += a;
        theirs.bytes += kBodySize;
        theirs.seconds += b;
        pairRatios.push_back(b / a);
        state.SetIterationTime(a + b);
    }
    state.counters["fetchUrl MB/s"] = ours.mbPerSecond();
    state.counters["curl MB/s"] = theirs.mbPerSecond();
}

void BM_FetchUrl(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = timeFetchUrl();
        if (seconds <= 0) {
            state.SkipWithError("short body");
            break;
        }
        fetchTotals.bytes += kBodySize;
        fetchTotals.seconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["MB/s"] = fetchTotals.mbPerSecond();
}

void BM_CurlTool(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = timeCurlTool();
        if (seconds <= 0) {
            state.SkipWithError("curl failed or fetched a short body");
            break;
        }
        curlTotals.bytes += kBodySize;
        curlTotals.seconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["MB/s"] = curlTotals.mbPerSecond();
}

void BM_CurlToolIntoMemory(benchmark::State& state) {
    const std::string file = "/dev/shm/romhaul_fetch_bench." + std::to_string(::getpid());
    double bytes = 0, seconds = 0;
    for (auto _ : state) {
        const double took = timeCurlTool(file.c_str());
        if (took <= 0) {
            state.SkipWithError("curl failed or fetched a short body");
            break;
        }
        bytes += kBodySize;
        seconds += took;
        state.SetIterationTime(took);
        std::remove(file.c_str());
    }
    state.counters["MB/s"] = seconds > 0 ? bytes / seconds / 1e6 : 0;
}

BENCHMARK(BM_FetchUrl)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_CurlTool)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_CurlToolIntoMemory)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_SideBySide)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ratio =
        curlTotals.mbPerSecond() > 0 ? fetchTotals.mbPerSecond() / curlTotals.mbPerSecond() : 0.0;
    std::printf("separate runs: fetchUrl %.0f MB/s, curl tool %.0f MB/s, ratio %.2f\n",
                fetchTotals.mbPerSecond(), curlTotals.mbPerSecond(), ratio);
    if (!pairRatios.empty()) {
        std::sort(pairRatios.begin(), pairRatios.end());
        std::printf("side by side: median fetchUrl/curl ratio %.2f over %zu pairs (goal >= 0.80)\n",
                    pairRatios[pairRatios.size() / 2], pairRatios.size());
    }
    return 0;
}
