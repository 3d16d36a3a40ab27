#include "download/download.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "download/file_name.h"
#include "download/resume_state.h"
#include "tests/support/range_server.h"

namespace {

using namespace download;
using std::chrono::milliseconds;
using testsupport::patternBytes;
using testsupport::patternFile;
using testsupport::RangeFaults;
using testsupport::RangeServer;
using testsupport::readAll;
using testsupport::TempDir;
namespace fs = std::filesystem;

constexpr std::uint64_t kSize = 3 << 20;

std::string sha256(const std::string& data) {
    unsigned char d[32];
    unsigned n = 0;
    EVP_Digest(data.data(), data.size(), d, &n, EVP_sha256(), nullptr);
    std::string out;
    char h[3];
    for (unsigned i = 0; i < n; ++i) {
        std::snprintf(h, sizeof h, "%02x", d[i]);
        out += h;
    }
    return out;
}

Options fastOptions(const std::string& url, const std::string& folder) {
    Options o;
    o.url = url;
    o.folder = folder;
    o.stallTimeout = milliseconds(300);
    o.retryWaits = {milliseconds(10), milliseconds(20), milliseconds(40)};
    o.saveInterval = milliseconds(20);
    o.smallestSplit = 64 << 10;
    o.largestRange = 512 << 10;
    return o;
}

Progress runToEnd(const Options& o) {
    Download d(o);
    d.start();
    return d.wait();
}

// Starts a slowed download and pauses it once `atLeast` bytes are on disk.
void runUntil(const Options& o, std::uint64_t atLeast) {
    Download d(o);
    d.start();
    for (int i = 0; i < 2000 && d.progress().done < atLeast; ++i)
        std::this_thread::sleep_for(milliseconds(5));
    d.pause();
    ASSERT_EQ(d.wait().state, State::Paused);
}

void expectComplete(const Progress& p, const std::string& path, std::uint32_t seed,
                    std::uint64_t size) {
    ASSERT_EQ(p.state, State::Complete) << p.reason;
    EXPECT_EQ(p.path, path);
    const std::string want = patternBytes(seed, 0, size);
    EXPECT_TRUE(readAll(path) == want) << "the file differs from the server's";
    EXPECT_EQ(p.sha256, sha256(want));
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(readAll(path + ".sha256"), sha256(want) + "  " + name + "\n");
    EXPECT_FALSE(fs::exists(path + ".part"));
    EXPECT_FALSE(fs::exists(path + ".part.state"));
}

TEST(Download, EndsWithTheServersBytesWhateverTheFault) {
    struct Case {
        const char* what;
        RangeFaults faults;
        int connections;
        std::uint64_t size = kSize;
    };
    RangeFaults drops;
    drops.dropFirst = 4;
    drops.dropAfter = 100000;
    RangeFaults stalls = drops;
    stalls.stallInsteadOfDrop = true;
    RangeFaults noRanges;
    noRanges.ignoreRanges = true;
    noRanges.dropFirst = 1;
    noRanges.dropAfter = 500000;
    RangeFaults noValidator;
    noValidator.noValidator = true;
    RangeFaults busy;
    busy.busyFirst = 2;
    busy.retryAfter = "0";
    const Case cases[] = {
        {"plain, four ranges", {}, 4},
        {"one connection", {}, 1},
        {"sixteen connections", {}, 16},
        {"connections drop", drops, 4},
        {"connections stall", stalls, 4},
        {"ranges ignored, one drop", noRanges, 4},
        {"no validator", noValidator, 4},
        {"503 with Retry-After", busy, 4},
        // Many read-back slices behind several 8 MiB ranges.
        {"one connection, 48 MiB", {}, 1, 48 << 20},
        {"four connections, 48 MiB", {}, 4, 48 << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RangeServer server(c.size, patternFile(7));
        server.setFaults(c.faults);
        Options o = fastOptions(server.url(), dir.path);
        o.connections = c.connections;
        if (c.size > kSize) o.largestRange = 8 << 20;
        expectComplete(runToEnd(o), dir / "firmware.zip", 7, c.size);
    }
}

// A host that throttles each connection gets all four, in ranges; a link that one
// connection fills goes back to one once the four were no faster. Either way each byte
// crosses the wire about once.
TEST(Download, KeepsMoreConnectionsOnlyWhereTheyAddSpeed) {
    struct Case {
        const char* what;
        RangeFaults faults;
        int fewest, most;  // connections seen once the try is over
    };
    RangeFaults perConnection;
    perConnection.bytesPerSecond = 1 << 20;
    RangeFaults fullLink;
    fullLink.sharedBytesPerSecond = 2 << 20;
    const Case cases[] = {
        {"throttled per connection", perConnection, 3, 4},
        {"one link for all", fullLink, 0, 1},
    };
    constexpr std::uint64_t size = 4 << 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RangeServer server(size, patternFile(13));
        server.setFaults(c.faults);
        Options o = fastOptions(server.url(), dir.path);
        o.widenWindow = milliseconds(200);
        Download d(o);
        d.start();
        const auto start = std::chrono::steady_clock::now();
        int most = 0;
        // The try is over within 0.8 s; the file takes at least half a second more.
        while (d.progress().state == State::Running &&
               std::chrono::steady_clock::now() - start < milliseconds(1200)) {
            if (std::chrono::steady_clock::now() - start > milliseconds(900))
                most = std::max(most, d.progress().connections);
            std::this_thread::sleep_for(milliseconds(5));
        }
        EXPECT_GE(most, c.fewest);
        EXPECT_LE(most, c.most);
        expectComplete(d.wait(), dir / "firmware.zip", 13, size);
        int ranged = 0;
        for (const auto& r : server.raw().requests())
            if (!r.header("Range").empty() && r.header("Range") != "bytes=0-") ++ranged;
        EXPECT_GE(ranged, c.fewest);
        EXPECT_LT(server.raw().bytesSent(), size + size / 4);
    }
}

TEST(Download, NeverKeepsAnErrorPageOrAShortFile) {
    struct Case {
        const char* what;
        RangeFaults faults;
        std::uint64_t listed;
        Failure failure;
        const char* reason;
    };
    RangeFaults forbidden;
    forbidden.forbiddenHtml = true;
    RangeFaults html;
    html.htmlType = true;
    RangeFaults htmlBody;
    htmlBody.htmlBody = true;
    RangeFaults liar;
    liar.claimedLength = kSize + 100000;
    RangeFaults stallForever;
    stallForever.dropFirst = 1000;
    stallForever.dropAfter = 0;
    stallForever.stallInsteadOfDrop = true;
    const Case cases[] = {
        {"403 page", forbidden, 0, Failure::Service, "HTTP 403"},
        {"text/html", html, 0, Failure::Service, "text/html"},
        {"a page under another type", htmlBody, 0, Failure::Service, "web page"},
        {"longer than it is", liar, 0, Failure::Network, "closed"},
        {"not the listed size", {}, kSize * 2, Failure::Service, "listed size"},
        {"stalls for ever", stallForever, 0, Failure::Network, "no data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RangeServer server(kSize, patternFile(1));
        server.setFaults(c.faults);
        Options o = fastOptions(server.url(), dir.path);
        o.listedSize = c.listed;
        const Progress p = runToEnd(o);
        EXPECT_EQ(p.state, State::Failed);
        EXPECT_EQ(p.failure, c.failure);
        EXPECT_NE(p.reason.find(c.reason), std::string::npos) << p.reason;
        EXPECT_FALSE(fs::exists(dir / "firmware.zip"));
    }
}

TEST(Download, WaitsAsLongAsRetryAfterAsks) {
    TempDir dir;
    RangeServer server(kSize, patternFile(12));
    RangeFaults busy;
    busy.busyFirst = 1;
    busy.retryAfter = "1";
    server.setFaults(busy);
    const auto start = std::chrono::steady_clock::now();
    expectComplete(runToEnd(fastOptions(server.url(), dir.path)), dir / "firmware.zip", 12, kSize);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1000));
}

TEST(Download, ListedSizeWithinItsRoundingIsAccepted) {
    TempDir dir;
    RangeServer server(kSize, patternFile(2));
    Options o = fastOptions(server.url(), dir.path);
    o.listedSize = 3100000;  // "3.1 MB"
    o.listedSizeSlack = 100000;
    expectComplete(runToEnd(o), dir / "firmware.zip", 2, kSize);
}

TEST(Download, ResumesWhereItStoppedAndAsksOnlyForWhatIsMissing) {
    TempDir dir;
    RangeServer server(kSize, patternFile(4));
    RangeFaults slow;
    slow.bytesPerSecond = 2 << 20;
    server.setFaults(slow);
    const Options o = fastOptions(server.url(), dir.path);
    runUntil(o, kSize / 3);
    ResumeState saved;
    ASSERT_TRUE(readResumeState(dir / "firmware.zip.part.state", saved));
    const std::size_t firstRun = server.raw().requestCount();
    server.setFaults({});
    expectComplete(runToEnd(o), dir / "firmware.zip", 4, kSize);
    const auto requests = server.raw().requests();
    ASSERT_GT(requests.size(), firstRun);
    for (std::size_t i = firstRun; i < requests.size(); ++i) {
        const std::string range = requests[i].header("Range");
        ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
        const std::uint64_t from = std::stoull(range.substr(6));
        bool missing = false;
        for (const auto& [gapFrom, gapTo] : saved.gaps) missing |= from >= gapFrom && from < gapTo;
        EXPECT_TRUE(missing) << range << " asks for bytes the first run had";
    }
}

TEST(Download, StartsOverWhenTheFileChangedMeanwhile) {
    TempDir dir;
    RangeServer server(kSize, patternFile(5), "\"old\"");
    RangeFaults slow;
    slow.bytesPerSecond = 2 << 20;
    server.setFaults(slow);
    const Options o = fastOptions(server.url(), dir.path);
    runUntil(o, kSize / 3);
    server.setFaults({});
    server.setFile(kSize - 1000, patternFile(6), "\"new\"");
    expectComplete(runToEnd(o), dir / "firmware.zip", 6, kSize - 1000);
}

TEST(Download, AnyTornOrForeignStateStillEndsWithTheRightFile) {
    TempDir dir;
    constexpr std::uint64_t size = 1 << 20;
    RangeServer server(size, patternFile(8));
    RangeFaults slow;
    slow.bytesPerSecond = 1 << 20;
    server.setFaults(slow);
    const Options o = fastOptions(server.url(), dir.path);
    runUntil(o, size / 2);
    const std::string state = readAll(dir / "firmware.zip.part.state");
    const std::string part = readAll(dir / "firmware.zip.part");
    ASSERT_FALSE(state.empty());
    server.setFaults({});
    // A state cut at every byte (and a temporary one left by a crash) is either whole or
    // ignored; the .part left beside it never ends up in a wrong file.
    for (std::size_t cut = 0; cut <= state.size(); cut += 7) {
        SCOPED_TRACE(cut);
        fs::remove(dir / "firmware.zip");
        std::ofstream(dir / "firmware.zip.part", std::ios::binary) << part;
        std::ofstream(dir / "firmware.zip.part.state", std::ios::binary) << state.substr(0, cut);
        std::ofstream(dir / "firmware.zip.part.state.tmp", std::ios::binary) << state;
        const Progress p = runToEnd(o);
        ASSERT_EQ(p.state, State::Complete) << p.reason;
        ASSERT_TRUE(readAll(p.path) == patternBytes(8, 0, size));
        fs::remove(p.path);
        fs::remove(p.path + ".sha256");
        fs::remove(dir / "firmware.zip.part");
    }
}

TEST(Download, ResumeStateRoundTripsAndRefusesDamage) {
    ResumeState s;
    s.url = "http://127.0.0.1:1/f.zip";
    s.length = 6ull << 30;  // beyond 32 bits
    s.validator = "W/\"a b\"";
    s.ranges = true;
    s.gaps = {{5ull << 30, 5ull << 30 | 77}, {(6ull << 30) - 10, 6ull << 30}};
    const std::string text = resumeStateText(s);
    ResumeState back;
    ASSERT_TRUE(parseResumeState(text, back));
    EXPECT_EQ(back.gaps, s.gaps);
    EXPECT_EQ(back.length, s.length);
    EXPECT_EQ(back.validator, s.validator);
    const std::string bad[] = {
        text + "gap 1 2\n",
        "romhaul-download 1\nurl u\nlength 10\nvalidator v\nranges 1\ngap 5 11\nend\n",
        "romhaul-download 1\nurl u\nlength 10\nvalidator v\nranges 1\ngap 5 8\ngap 6 9\nend\n",
        "romhaul-download 1\nurl u\nlength 99999999999999999999\nvalidator v\nranges 1\nend\n",
        "romhaul-download 2\nurl u\nlength 10\nvalidator v\nranges 1\nend\n",
    };
    for (const std::string& b : bad) EXPECT_FALSE(parseResumeState(b, back)) << b;
}

TEST(Download, PausesAndCancelsCleanly) {
    TempDir dir;
    RangeServer server(kSize, patternFile(9));
    RangeFaults slow;
    slow.bytesPerSecond = 1 << 20;
    server.setFaults(slow);
    Download d(fastOptions(server.url(), dir.path));
    d.start();
    while (d.progress().done < 200000) std::this_thread::sleep_for(milliseconds(5));
    const Progress running = d.progress();
    EXPECT_EQ(running.total, kSize);
    EXPECT_EQ(running.path, dir / "firmware.zip");
    d.pause();
    EXPECT_EQ(d.wait().state, State::Paused);
    EXPECT_TRUE(fs::exists(dir / "firmware.zip.part"));
    d.resume();
    while (d.progress().done < 400000) std::this_thread::sleep_for(milliseconds(5));
    d.cancel();
    EXPECT_EQ(d.wait().state, State::Cancelled);
    EXPECT_FALSE(fs::exists(dir / "firmware.zip.part"));
    EXPECT_FALSE(fs::exists(dir / "firmware.zip.part.state"));
}

TEST(Download, NamesStayInTheFolderAndNeverOverwrite) {
    TempDir dir;
    RangeServer server(kSize, patternFile(10));
    RangeFaults hostile;
    hostile.disposition = "attachment; filename=\"../../etc/evil.zip\"";
    server.setFaults(hostile);
    const Options o = fastOptions(server.url(), dir.path);
    expectComplete(runToEnd(o), dir / "evil.zip", 10, kSize);
    // The same address again: the file there stays, the new one goes beside it.
    expectComplete(runToEnd(o), dir / "evil (1).zip", 10, kSize);
    EXPECT_EQ(readAll(dir / "evil.zip"), patternBytes(10, 0, kSize));
}

TEST(Download, FileNames) {
    const struct {
        const char* in;
        const char* out;
    } safe[] = {
        {"fw.zip", "fw.zip"},
        {"../../etc/passwd", "passwd"},
        {"..", "download"},
        {"", "download"},
        {"..\\win\\x.kdz", "x.kdz"},
        {".hidden", "hidden"},
        {"a\x01\nb\x7f.bin", "ab.bin"},
        {"固件 V1.zip", "固件 V1.zip"},
    };
    for (const auto& c : safe) EXPECT_EQ(safeFileName(c.in), c.out) << c.in;
    const std::string longName =
        safeFileName(std::string(150, 'x') + std::string(60, '\xe5') + ".zip");
    EXPECT_LE(longName.size(), kMaxNameBytes);
    EXPECT_EQ(longName.substr(longName.size() - 4), ".zip");

    EXPECT_EQ(nameFromContentDisposition("attachment; filename=\"a \\\"b\\\".zip\""),
              "a \"b\".zip");
    EXPECT_EQ(nameFromContentDisposition(
                  "attachment; filename=fallback.zip; filename*=UTF-8''%E5%9B%BA%E4%BB%B6.zip"),
              "固件.zip");
    EXPECT_EQ(nameFromContentDisposition("inline"), "");
    EXPECT_EQ(nameFromUrl("http://h/a/b/fw%20v2.zip?x=1#y"), "fw v2.zip");
    EXPECT_EQ(nameFromUrl("http://h"), "");
    EXPECT_EQ(numberedName("fw.tar.gz", 2), "fw.tar (2).gz");
    EXPECT_EQ(numberedName("README", 1), "README (1)");
}

// A disk too small for the file: a tmpfs where this process may mount one, otherwise a
// file size limit.
TEST(Download, AFullDiskFailsAsNoSpaceAndKeepsThePart) {
    TempDir dir;
    RangeServer server(kSize, patternFile(11));
    const std::string small = dir / "small";
    fs::create_directories(small);
    const bool mounted = ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") == 0;
    rlimit old{};
    if (!mounted) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit tight = old;
        tight.rlim_cur = 1 << 20;
        ::setrlimit(RLIMIT_FSIZE, &tight);
    }
    const Progress p = runToEnd(fastOptions(server.url(), small));
    if (mounted) {
        EXPECT_EQ(p.reason, "no space");
    } else {
        ::setrlimit(RLIMIT_FSIZE, &old);
    }
    EXPECT_EQ(p.state, State::Failed);
    EXPECT_EQ(p.failure, Failure::Local);
    EXPECT_TRUE(fs::exists(small + "/firmware.zip.part"));
    EXPECT_FALSE(fs::exists(small + "/firmware.zip"));
    if (mounted) ::umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
