#pragma once
// For benchmarks that compare us with peers on this shared machine: each benchmark runs
// five times unless the command line says otherwise, and ratios use each one's best run,
// the least disturbed one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Prints the usual table, then the best real and CPU time of every benchmark, then how many
// times longer each peer took than ours. Benchmarks that set a "records" counter are
// checked to have found the same number of records.
class BestOfReporter : public benchmark::ConsoleReporter {
  public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;  // peer, ours
    explicit BestOfReporter(Pairs pairs) : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            Best& best = best_[run.benchmark_name()];
            best.real = std::min(best.real, run.GetAdjustedRealTime());
            best.cpu = std::min(best.cpu, run.GetAdjustedCPUTime());
            best.records = run.counters.count("records") ? double(run.counters.at("records")) : -1;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nBest of the repetitions, ms (real / CPU):\n");
        for (auto& [name, b] : best_)
            std::printf("  %-34s %9.3f / %9.3f\n", name.c_str(), b.real, b.cpu);
        for (const auto& [peer, ours] : pairs_) {
            if (!best_.count(peer) || !best_.count(ours)) continue;
            const Best &p = best_[peer], &o = best_[ours];
            std::printf("%-34s %6.1fx (real) %6.1fx (CPU) the time of %s%s\n", peer.c_str(),
                        p.real / o.real, p.cpu / o.cpu, ours.c_str(),
                        p.records == o.records ? "" : "  RECORD COUNTS DIFFER");
        }
    }

  private:
    struct Best {
        double real = 1e300, cpu = 1e300, records = -1;
    };
    Pairs pairs_;
    std::map<std::string, Best> best_;
};

// benchmark::Initialize with five repetitions added unless the command line names a count.
inline void initializeBestOf(int* argc, char** argv) {
    static char repetitions[] = "--benchmark_repetitions=5";
    static std::vector<char*> args;
    args.assign(argv, argv + *argc);
    bool given = false;
    for (int i = 1; i < *argc; ++i)
        given |= std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) args.push_back(repetitions);
    *argc = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(argc, args.data());
}
