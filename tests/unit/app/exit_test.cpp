// The whole process ends at once and cleanly when its window closes under running
// look-ups, run after run (the sanitizer build runs it too).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/child_process.h"

namespace {

using namespace std::chrono_literals;

bool saysClosing(const std::string& out) {
    return ("\n" + out).find("\nclosing\n") != std::string::npos;
}

TEST(ProcessExit, ClosingUnderRunningLookUpsEndsWithinASecondWithStatusZero) {
    // Closed at different moments: while requests are being sent, and once all wait.
    for (int i = 0; i < 12; ++i) {
        const int closeAfterMs = i % 3 == 0 ? 0 : i % 3 == 1 ? 50 : 400;
        SCOPED_TRACE("run " + std::to_string(i) + ", closed after " + std::to_string(closeAfterMs) +
                     " ms");
        testsupport::Child child;
        ASSERT_TRUE(child.start({{ROMHAUL_EXIT_PROGRAM, std::to_string(closeAfterMs)}}));
        const bool closed = child.readUntil(saysClosing, 120s);
        const auto closedAt = std::chrono::steady_clock::now();
        const testsupport::Ended run = child.finish(60s);
        ASSERT_TRUE(closed) << run.err;
        ASSERT_NE(run.exitCode, -1) << "ended by signal " << run.signal;
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_LT(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - closedAt).count(),
            1.0);
    }
}

}  // namespace
