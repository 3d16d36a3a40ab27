// Fetching a 64 MB body from a loopback server: fetchUrl beside the curl command-line tool
// fetching the same body from the same server in the same run. curl's figure is its own
// transfer time (-w %{time_total}), so its process start does not count against it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

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

void BM_FetchUrl(benchmark::State& state) {
    const std::string url = server().base() + "/big";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::string body = net::fetchUrl(url);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (body.size() != kBodySize) state.SkipWithError("short body");
        fetchTotals.bytes += double(body.size());
        fetchTotals.seconds += took.count();
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * kBodySize));
    state.counters["MB/s"] = fetchTotals.mbPerSecond();
}

void BM_CurlTool(benchmark::State& state) {
    const std::string command =
        "curl -s --noproxy '*' -o /dev/null -w '%{size_download} "
        "%{time_total}' " +
        server().base() + "/big";
    for (auto _ : state) {
        FILE* p = ::popen(command.c_str(), "r");
        if (!p) {
            state.SkipWithError("curl did not start");
            break;
        }
        double size = 0, seconds = 0;
        const int got = std::fscanf(p, "%lf %lf", &size, &seconds);
        ::pclose(p);
        if (got != 2 || size != double(kBodySize)) {
            state.SkipWithError("curl fetched a short body");
            break;
        }
        curlTotals.bytes += size;
        curlTotals.seconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * kBodySize));
    state.counters["MB/s"] = curlTotals.mbPerSecond();
}

BENCHMARK(BM_FetchUrl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CurlTool)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf(
        "fetchUrl %.0f MB/s, curl tool %.0f MB/s, ratio %.2f (goal >= 0.80)\n",
        fetchTotals.mbPerSecond(), curlTotals.mbPerSecond(),
        curlTotals.mbPerSecond() > 0 ? fetchTotals.mbPerSecond() / curlTotals.mbPerSecond() : 0.0);
    return 0;
}
