// Whole downloads from a range server on loopback, each client a process: romhaul-lookup
// download against `curl -o` (one stream) and `aria2c -x4 -s4` (four), unthrottled and
// through a per-connection speed limit, plus how much a resume after kill -9 fetches
// again. Prints speed, CPU time per GiB and peak memory of each client.
//
//   download_bench [--size MiB] [--throttled-size MiB] [--rate MB/s] [--runs N]
//                  [--kill-rate MB/s] [--kill-runs N] [--dir FOLDER] [--only-unlimited 1]
//                  [--skip-unlimited 1] [--skip-throttled 1] [--before EXE]
// --before adds another build of romhaul-lookup (an earlier commit, say), measured in the
// same runs. Unlimited runs go round the clients in turn and report each one's median, so
// that load from elsewhere on the machine falls on all of them alike.
//   download_bench --serve MiB [--serve-rate MB/s]   (the server alone)
// The engine syncs the file to disk as it writes it and before it renames it; curl and
// aria2c leave it in the page cache, and each run's file is deleted before the kernel
// writes it back. Where the disk is slower than loopback, `--dir /dev/shm` shows the
// transfer itself.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/range_server.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using testsupport::RangeFaults;
using testsupport::RangeServer;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kGiB = kMiB * 1024.0;

struct Measure {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
};

pid_t spawn(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

Measure finish(pid_t pid, Clock::time_point start) {
    Measure m;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    m.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakMiB = double(usage.ru_maxrss) / 1024.0;
    return m;
}

Measure runOnce(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    return finish(spawn(args), start);
}

bool have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

struct Client {
    const char* name;
    std::vector<std::string> (*args)(const std::string& url, const std::string& dir);
};

std::vector<std::string> curlArgs(const std::string& url, const std::string& dir) {
    return {"curl", "-s", "-f", "-o", dir + "/firmware.zip", url};
}
std::vector<std::string> aria2Args(const std::string& url, const std::string& dir) {
    return {"aria2c",
            "-q",
            "-x4",
            "-s4",
            "--file-allocation=falloc",
            "--allow-overwrite=true",
            "-d",
            dir,
            "-o",
            "firmware.zip",
            url};
}
std::string gBefore;  // --before
std::vector<std::string> romhaul4(const std::string& url, const std::string& dir) {
    return {ROMHAUL_LOOKUP_EXE, "download", "-o", dir, "-n", "4", url};
}
std::vector<std::string> romhaul1(const std::string& url, const std::string& dir) {
    return {ROMHAUL_LOOKUP_EXE, "download", "-o", dir, "-n", "1", url};
}
std::vector<std::string> before4(const std::string& url, const std::string& dir) {
    return {gBefore, "download", "-o", dir, "-n", "4", url};
}
std::vector<std::string> before1(const std::string& url, const std::string& dir) {
    return {gBefore, "download", "-o", dir, "-n", "1", url};
}

// The best of `runs` (fastest), the output removed after each.
Measure best(const Client& c, const std::string& url, const std::string& dir, int runs) {
    Measure b;
    for (int i = 0; i < runs; ++i) {
        const Measure m = runOnce(c.args(url, dir));
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (!m.ok) return m;
        if (!b.ok || m.seconds < b.seconds) b = m;
    }
    return b;
}

// Each client once per round, `runs` rounds; each one's median run (by time).
std::vector<Measure> medians(const std::vector<Client>& clients, const std::string& url,
                             const std::string& dir, int runs) {
    std::vector<std::vector<Measure>> all(clients.size());
    for (int i = 0; i < runs; ++i)
        for (std::size_t c = 0; c < clients.size(); ++c) {
            all[c].push_back(runOnce(clients[c].args(url, dir)));
            fs::remove_all(dir);
            fs::create_directories(dir);
        }
    std::vector<Measure> out;
    for (auto& ms : all) {
        bool ok = true;
        for (const Measure& m : ms) ok = ok && m.ok;
        std::sort(ms.begin(), ms.end(),
                  [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
        Measure m = ms[ms.size() / 2];
        m.ok = ok;
        out.push_back(m);
    }
    return out;
}

void print(const char* name, const Measure& m, double bytes, const Measure* peer,
           const char* peerName) {
    if (!m.ok) {
        std::printf("  %-26s failed\n", name);
        return;
    }
    std::printf("  %-26s %8.1f MB/s  %6.2f s  CPU %5.2f s/GiB  peak %6.1f MiB", name,
                bytes / m.seconds / 1e6, m.seconds, m.cpuSeconds / (bytes / kGiB), m.peakMiB);
    if (peer && peer->ok) std::printf("  %.2fx %s", peer->seconds / m.seconds, peerName);
    std::printf("\n");
    std::fflush(stdout);
}

double arg(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atof(argv[i + 1]);
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    const auto size = std::uint64_t(arg(argc, argv, "--size", 1024) * kMiB);
    const auto throttledSize = std::uint64_t(arg(argc, argv, "--throttled-size", 256) * kMiB);
    const double rate = arg(argc, argv, "--rate", 4) * 1e6;
    const int runs = int(arg(argc, argv, "--runs", 3));
    std::string base = fs::temp_directory_path();
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--dir") == 0) base = argv[i + 1];
    const bool onlyUnlimited = arg(argc, argv, "--only-unlimited", 0) != 0;
    const std::string dir = base + "/romhaul-dl-bench-" + std::to_string(::getpid());
    fs::create_directories(dir);
    const bool aria2 = have("aria2c"), curl = have("curl");
    if (arg(argc, argv, "--serve", 0) > 0) {
        // Only the server, for trying clients by hand: prints its address, runs until killed.
        RangeServer server(std::uint64_t(arg(argc, argv, "--serve", 0) * kMiB),
                           testsupport::patternFile(1));
        RangeFaults limit;
        limit.bytesPerSecond = std::uint64_t(arg(argc, argv, "--serve-rate", 0) * 1e6);
        server.setFaults(limit);
        std::printf("%s\n", server.url().c_str());
        std::fflush(stdout);
        ::pause();
    }

    const Client curlClient{"curl -o (1 stream)", curlArgs};
    const Client aria2Client{"aria2c -x4 -s4", aria2Args};
    const Client ours4{"romhaul download -n 4", romhaul4};
    const Client ours1{"romhaul download -n 1", romhaul1};

    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--before") == 0) gBefore = argv[i + 1];
    const Client old4{"before: download -n 4", before4};
    const Client old1{"before: download -n 1", before1};
    if (arg(argc, argv, "--skip-unlimited", 0) == 0) {
        RangeServer server(size, testsupport::patternFile(1));
        std::printf("== loopback, no limit, %.0f MiB into %s, median of %d, interleaved\n",
                    double(size) / kMiB, base.c_str(), runs);
        std::vector<Client> clients;
        if (curl) clients.push_back(curlClient);
        clients.push_back(ours4);
        clients.push_back(ours1);
        if (!gBefore.empty()) {
            clients.push_back(old4);
            clients.push_back(old1);
        }
        if (aria2) clients.push_back(aria2Client);
        const std::vector<Measure> m = medians(clients, server.url(), dir, runs);
        const Measure* c = curl ? &m[0] : nullptr;
        for (std::size_t i = 0; i < clients.size(); ++i)
            print(clients[i].name, m[i], double(size), i == 0 ? nullptr : c, "curl");
    }
    if (onlyUnlimited) {
        fs::remove_all(dir);
        return 0;
    }
    if (arg(argc, argv, "--skip-throttled", 0) == 0) {
        RangeServer server(throttledSize, testsupport::patternFile(2));
        RangeFaults limit;
        limit.bytesPerSecond = std::uint64_t(rate);
        server.setFaults(limit);
        std::printf("== %.0f MB/s per connection, %.0f MiB, one run each\n", rate / 1e6,
                    double(throttledSize) / kMiB);
        Measure c, a;
        if (curl) c = best(curlClient, server.url(), dir, 1);
        print(curlClient.name, c, double(throttledSize), nullptr, "");
        if (aria2) a = best(aria2Client, server.url(), dir, 1);
        print(aria2Client.name, a, double(throttledSize), &c, "curl");
        const Measure o = best(ours4, server.url(), dir, 1);
        print(ours4.name, o, double(throttledSize), &c, "curl");
        if (a.ok && o.ok) std::printf("  %-26s %.2fx aria2c\n", "", a.seconds / o.seconds);
    }
    // kill -9 half way, then the same command again: what crosses the wire twice.
    const double killRate = arg(argc, argv, "--kill-rate", 32) * 1e6;
    const int killRuns = int(arg(argc, argv, "--kill-runs", 1));
    std::vector<Client> killed{ours4};
    if (!gBefore.empty()) killed.push_back(old4);
    std::printf("== kill -9 and resume, %.0f MiB, %.0f MB/s per connection\n", double(size) / kMiB,
                killRate / 1e6);
    for (int run = 0; run < killRuns; ++run)
        for (const Client& client : killed) {
            RangeServer server(size, testsupport::patternFile(3));
            RangeFaults limit;
            limit.bytesPerSecond = std::uint64_t(killRate);
            server.setFaults(limit);
            const auto start = Clock::now();
            const pid_t pid = spawn(client.args(server.url(), dir));
            const double expected = double(size) / (4 * killRate);
            // Half way, moved by a quarter second each run so that the kills fall at
            // different points between two saved states.
            std::this_thread::sleep_for(
                std::chrono::duration<double>(expected / 2 + 0.25 * (run % 4)));
            ::kill(pid, SIGKILL);
            finish(pid, start);
            const double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
            const double firstBytes = double(server.raw().bytesSent());
            // The resumed run under the same limit: what it fetches again is then what the
            // saved state did not cover, not what unread socket buffers held.
            const Measure resumed = runOnce(client.args(server.url(), dir));
            const double again = double(server.raw().bytesSent()) - double(size);
            const double perTwoSeconds = 2 * firstBytes / firstSeconds;
            std::printf("  %-26s killed after %.1f s (%.0f MiB sent); resume %s\n", client.name,
                        firstSeconds, firstBytes / kMiB, resumed.ok ? "complete" : "FAILED");
            std::printf(
                "  %-26s fetched again: %.1f MiB; 2 s of transfer carry %.1f MiB "
                "(%.2f of it)\n",
                "", again / kMiB, perTwoSeconds / kMiB, again / perTwoSeconds);
            std::fflush(stdout);
            fs::remove_all(dir);
            fs::create_directories(dir);
        }
    fs::remove_all(dir);
    return 0;
}
