// romhaul-lookup download run as a process against the range server on loopback.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/child_process.h"
#include "tests/support/range_server.h"

namespace {

using testsupport::Child;
using testsupport::Ended;
using testsupport::patternBytes;
using testsupport::patternFile;
using testsupport::RangeFaults;
using testsupport::RangeServer;
using testsupport::readAll;
using testsupport::TempDir;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kTool = ROMHAUL_LOOKUP_EXE;
constexpr std::uint64_t kSize = 2 << 20;

TEST(DownloadTool, PrintsPathSizeAndSumOfEachFile) {
    TempDir dir;
    RangeServer server(kSize, patternFile(21));
    const Ended end = testsupport::run(
        {{kTool, "download", "--output", dir.path, "-n", "3", server.url("/a/one.bin"), "-"},
         "# from the intake list\n\n" + server.url("/b/two.bin") + "\n"});
    ASSERT_EQ(end.exitCode, 0) << end.err;
    const std::string want = patternBytes(21, 0, kSize);
    EXPECT_EQ(readAll(dir.path + "/one.bin"), want);
    EXPECT_EQ(readAll(dir.path + "/two.bin"), want);
    const std::string sum = readAll(dir.path + "/one.bin.sha256").substr(0, 64);
    EXPECT_EQ(end.out, dir.path + "/one.bin\t" + std::to_string(kSize) + "\t" + sum + "\n" +
                           dir.path + "/two.bin\t" + std::to_string(kSize) + "\t" + sum + "\n");
    // The sums are in the form sha256sum checks.
    const Ended check = testsupport::run(
        {{"/bin/sh", "-c", "cd '" + dir.path + "' && sha256sum -c one.bin.sha256 two.bin.sha256"}});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

TEST(DownloadTool, ExitStatusTellsWhoFailed) {
    TempDir dir;
    RangeServer server(kSize, patternFile(22));
    RangeFaults forbidden;
    forbidden.forbiddenHtml = true;
    server.setFaults(forbidden);
    const std::string notAFolder = dir.path + "/file";
    std::ofstream(notAFolder) << "x";
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{kTool, "download", "-o", dir.path, server.url()}, 3, "HTTP 403"},
        {{kTool, "download", "-o", notAFolder, server.url()}, 4, "cannot write"},
        {{kTool, "download", "ftp://host/x.zip"}, 2, "not an http(s) address"},
        {{kTool, "download", "-n", "17", server.url()}, 2, "connections"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const Ended end = testsupport::run({c.args, "", {{"LANG", "C.UTF-8"}}});
        EXPECT_EQ(end.exitCode, c.status) << end.err;
        EXPECT_NE(end.err.find(c.says), std::string::npos) << end.err;
        EXPECT_EQ(end.out, "");
    }
    EXPECT_FALSE(fs::exists(dir.path + "/firmware.zip"));
}

TEST(DownloadTool, CtrlCSavesAndTheSameCommandResumes) {
    TempDir dir;
    RangeServer server(kSize, patternFile(23));
    RangeFaults slow;
    slow.bytesPerSecond = 256 << 10;
    server.setFaults(slow);
    const std::vector<std::string> args = {kTool, "download", "-o", dir.path, server.url()};
    Child child;
    ASSERT_TRUE(child.start({args}));
    const std::string state = dir.path + "/firmware.zip.part.state";
    for (int i = 0; i < 400 && !fs::exists(state); ++i) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(300ms);
    child.sendSignal(SIGINT);
    const Ended stopped = child.finish(10s);
    EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
    EXPECT_TRUE(fs::exists(state));
    EXPECT_FALSE(fs::exists(dir.path + "/firmware.zip"));

    server.setFaults({});
    const Ended resumed = testsupport::run({args});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(readAll(dir.path + "/firmware.zip"), patternBytes(23, 0, kSize));
    EXPECT_LT(server.raw().bytesSent(), kSize + kSize / 3);
}

}  // namespace
