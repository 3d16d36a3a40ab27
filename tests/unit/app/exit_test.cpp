// The whole process ends at once and cleanly when its window closes under running
// look-ups, run after run (the sanitizer build runs it too); a job that does not end
// makes it end at once too, but saying so and with a status of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/startup.h"
#include "tests/support/child_process.h"

namespace {

using namespace std::chrono_literals;

bool saysClosing(const std::string& out) {
    return ("\n" + out).find("\nclosing\n") != std::string::npos;
}

// What the program prints after "closing" when main() returns and exit runs its course.
constexpr const char* kCleanEnd =
    "application destroyed\nprogram objects released\nstatics destroyed\n";

std::string afterClosing(const std::string& out) {
    const std::size_t at = ("\n" + out).find("\nclosing\n");
    return at == std::string::npos ? std::string() : out.substr(at + 8);
}

// The program's own lines on standard error (Qt's warnings go there too).
std::string ownErrorLines(const std::string& err) {
    std::string own;
    for (std::size_t at = 0; at < err.size();) {
        std::size_t end = err.find('\n', at);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(at, 9, "romhaul: ") == 0) own += err.substr(at, end - at);
        at = end;
    }
    return own;
}

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
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
        // Not the way out for jobs that did not end: every exit routine ran.
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(afterClosing(run.out), kCleanEnd) << run.err;
        EXPECT_EQ(ownErrorLines(run.err), "");
        EXPECT_LT(secondsSince(closedAt), 1.0);
    }
}

TEST(ProcessExit, AJobThatDoesNotEndIsNamedAndTheProcessEndsAtOnceWithItsOwnStatus) {
    testsupport::Child child;
    ASSERT_TRUE(child.start({{ROMHAUL_EXIT_PROGRAM, "50", "busy"}}));
    const bool closed = child.readUntil(saysClosing, 120s);
    const auto closedAt = std::chrono::steady_clock::now();
    const testsupport::Ended run = child.finish(60s);
    ASSERT_TRUE(closed) << run.err;
    ASSERT_NE(run.exitCode, -1) << "ended by signal " << run.signal;
    EXPECT_EQ(run.exitCode, kExitJobsBusy);
    EXPECT_EQ(ownErrorLines(run.err),
              "romhaul: the job \"deaf test job\" did not end within 600 ms of the window "
              "closing; exiting without clean-up\n");
    // Nothing the job might still use was destroyed.
    EXPECT_EQ(afterClosing(run.out), "");
    EXPECT_LT(secondsSince(closedAt), 1.0);
}

}  // namespace
