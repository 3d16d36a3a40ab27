// link_bench: the five sources' look-ups and a 20-serial LG batch over a long link, with
// connections kept (the program) and with a connection per request (as before the pool),
// each beside its floor. The simulator runs in-process; each service is reached through a
// relay on loopback that adds a 150 ms round trip and makes a new connection cost one
// round trip before its first request goes out (the handshake).
//
// The floor of a look-up is one round trip per request plus one handshake. A kept-alive
// look-up starts from an empty pool (its handshake counts), and the "again" figure runs it
// once more with the connection from the first run still kept. The batch's floor is one
// handshake per connection in flight plus one round trip per serial and connection.
// Run: scripts/bench link_bench [--rtt MS] [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/text_util.h"
#include "cli/batch.h"
#include "cli/lookups.h"
#include "platform/wininet.h"
#include "tests/support/loopback_proxy.h"
#include "tools/vendor-sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

struct LookUp {
    const char* name;
    VendorService service;
    std::function<lookup::Result()> run;
};

double secondsOf(const std::function<void()>& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double best(std::vector<double> v) {
    return *std::min_element(v.begin(), v.end());
}

}  // namespace

int main(int argc, char** argv) {
    int rttMs = 150, runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rtt") rttMs = std::atoi(argv[i + 1]);
        if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::chrono::milliseconds rtt(rttMs);
    const double rttS = rttMs / 1000.0;

    vendorsim::Simulator sim;
    if (!sim.start()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<testsupport::LatencyRelay>> relays;
    for (VendorService s : {VendorService::Huawei, VendorService::Zte, VendorService::Coolpad,
                            VendorService::Lg, VendorService::Iphone}) {
        relays.push_back(std::make_unique<testsupport::LatencyRelay>(sim.port(s), rtt));
        const std::string at = "127.0.0.1:" + std::to_string(relays.back()->port());
        ::setenv(serviceHostVariable(s),
                 s == VendorService::Iphone ? ("http://" + at + "/iphone/").c_str() : at.c_str(),
                 1);
    }

    const std::vector<LookUp> lookUps = {
        {"huawei P6", VendorService::Huawei, [] { return lookup::huaweiLookup("P6", {}); }},
        {"zte models", VendorService::Zte, [] { return lookup::zteModelsLookup(""); }},
        {"zte files MF667", VendorService::Zte, [] { return lookup::zteFilesLookup("MF667"); }},
        {"coolpad keyword", VendorService::Coolpad,
         [] { return lookup::coolpadTypesLookup(gbk("大神")); }},
        {"coolpad files", VendorService::Coolpad,
         [] { return lookup::coolpadFilesLookup(gbk("大神F1")); }},
        {"lg serial", VendorService::Lg, [] { return lookup::lgLookup("356789051234567"); }},
        {"iphone catalogue", VendorService::Iphone, [] { return lookup::iphoneLookup({}); }},
    };

    std::printf("round trip %d ms, best of %d runs; times in ms, x = time / floor\n", rttMs, runs);
    std::printf("%-18s %5s %7s | %14s | %14s %14s\n", "look-up", "reqs", "floor",
                "before (no pool)", "after (kept)", "after, again");
    for (const LookUp& l : lookUps) {
        std::vector<double> before, after, again;
        std::size_t requests = 0;
        bool ok = true;
        for (int r = 0; r < runs; ++r) {
            wininet::setConnectionReuse(false);
            const std::size_t seen = sim.requestCount(l.service);
            before.push_back(secondsOf([&] { ok &= l.run().status == lookup::Status::Found; }));
            requests = sim.requestCount(l.service) - seen;
            wininet::setConnectionReuse(true);  // an empty pool: the handshake counts
            after.push_back(secondsOf([&] { ok &= l.run().status == lookup::Status::Found; }));
            again.push_back(secondsOf([&] { ok &= l.run().status == lookup::Status::Found; }));
        }
        const double floor = double(requests + 1) * rttS;
        const double warmFloor = double(requests) * rttS;
        std::printf("%-18s %5zu %7.0f | %7.0f %5.2fx | %7.0f %5.2fx %7.0f %5.2fx%s\n", l.name,
                    requests, floor * 1000, best(before) * 1000, best(before) / floor,
                    best(after) * 1000, best(after) / floor, best(again) * 1000,
                    best(again) / warmFloor, ok ? "" : "  (a look-up failed)");
    }

    // The batch: 20 known serials, sequential without the pool, then 4 at a time with it.
    const char* known[] = {"356789051234567", "357710050123458", "352000000000001"};
    std::vector<std::string> serials;
    for (int i = 0; i < 20; ++i) serials.push_back(known[i % 3]);
    auto batch = [&](int parallel) {
        int found = 0;
        lookup::runInOrder(
            serials.size(), parallel, [&](std::size_t i) { return lookup::lgLookup(serials[i]); },
            [&](std::size_t, lookup::Result& r) { found += r.status == lookup::Status::Found; });
        return found;
    };
    std::vector<double> sequential, parallel;
    int found = 0;
    for (int r = 0; r < std::min(runs, 2); ++r) {
        wininet::setConnectionReuse(false);
        sequential.push_back(secondsOf([&] { found += batch(1); }));
        wininet::setConnectionReuse(true);
        parallel.push_back(secondsOf([&] { found += batch(4); }));
    }
    const double batchFloor = (1 + 20 / 4) * rttS;
    std::printf(
        "%-18s %5d %7.0f | %7.0f %5.2fx | %7.0f %5.2fx   (%.1f round trips; %d of %d found)\n",
        "lg batch of 20", 20, batchFloor * 1000, best(sequential) * 1000,
        best(sequential) / batchFloor, best(parallel) * 1000, best(parallel) / batchFloor,
        best(parallel) / rttS, found, int(sequential.size() + parallel.size()) * 20);
    std::printf("connections through the relays: ");
    for (auto& relay : relays) std::printf("%zu ", relay->connectionCount());
    std::printf("\n");
    return 0;
}
