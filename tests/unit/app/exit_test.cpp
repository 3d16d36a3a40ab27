// The whole process ends at once and cleanly when its window closes under running
// look-ups, run after run (the sanitizer build runs it too).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct ProcessRun {
    int status = -1;
    double secondsAfterClose = -1;
    bool closed = false;
};

ProcessRun runOnce(int closeAfterMs) {
    ProcessRun run;
    const std::string command =
        std::string(ROMHAUL_EXIT_PROGRAM) + " " + std::to_string(closeAfterMs);
    FILE* out = popen(command.c_str(), "r");
    if (!out) return run;
    char line[256];
    std::chrono::steady_clock::time_point closedAt;
    while (std::fgets(line, sizeof line, out)) {
        if (std::string(line) == "closing\n") {
            run.closed = true;
            closedAt = std::chrono::steady_clock::now();
        }
    }
    run.status = pclose(out);
    if (run.closed)
        run.secondsAfterClose =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - closedAt).count();
    return run;
}

TEST(ProcessExit, ClosingUnderRunningLookUpsEndsWithinASecondWithStatusZero) {
    // Closed at different moments: while requests are being sent, and once all wait.
    for (int i = 0; i < 12; ++i) {
        const int closeAfterMs = i % 3 == 0 ? 0 : i % 3 == 1 ? 50 : 400;
        SCOPED_TRACE("run " + std::to_string(i) + ", closed after " + std::to_string(closeAfterMs) +
                     " ms");
        const ProcessRun run = runOnce(closeAfterMs);
        ASSERT_TRUE(run.closed);
        ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
        EXPECT_EQ(WEXITSTATUS(run.status), 0);
        EXPECT_LT(run.secondsAfterClose, 1.0);
    }
}

}  // namespace
