// Jobs: started at once, each with its own stop flag, all stoppable and waited for.
#include "base/jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Spins until its own job is asked to stop, as a look-up between requests does.
void untilStopped(std::atomic<int>& stoppedSeen) {
    while (!jobs::stopRequested()) std::this_thread::sleep_for(1ms);
    ++stoppedSeen;
}

TEST(Jobs, EachJobSeesOnlyItsOwnFlag) {
    std::atomic<int> stoppedSeen{0};
    std::vector<jobs::StopFlag> flags;
    // Named, so that an exit that cannot wait for them can say which; the last one is not.
    for (const char* name : {"first", "second", "third", ""})
        flags.push_back(jobs::start([&] { untilStopped(stoppedSeen); }, name));
    for (const jobs::StopFlag& f : flags) ASSERT_TRUE(f);
    EXPECT_EQ(jobs::running(), 4);
    EXPECT_EQ(jobs::runningNames(), (std::vector<std::string>{"first", "second", "third", ""}));
    flags[2]->store(true);
    EXPECT_FALSE(jobs::waitAll(0ms));
    while (stoppedSeen < 1) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(stoppedSeen, 1);
    EXPECT_FALSE(jobs::waitAll(50ms));  // three still run
    jobs::stopAll();
    EXPECT_TRUE(jobs::waitAll(5s));
    EXPECT_EQ(stoppedSeen, 4);
    EXPECT_EQ(jobs::running(), 0);
    EXPECT_TRUE(jobs::runningNames().empty());
    EXPECT_EQ(jobs::currentStop(), nullptr);  // not a job
    EXPECT_FALSE(jobs::stopRequested());
}

// Jobs that start, stop and end while others are stopped and waited for, from several
// threads at once: every job ends and is counted once.
TEST(Jobs, ManyShortJobsAndStopsFromSeveralThreads) {
    std::atomic<int> ran{0};
    std::vector<std::thread> starters;
    for (int t = 0; t < 4; ++t) {
        starters.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                jobs::StopFlag f = jobs::start([&] {
                    if (!jobs::stopRequested()) std::this_thread::sleep_for(100us);
                    ++ran;
                });
                ASSERT_TRUE(f);
                if (i % 7 == 0) jobs::stopAll();
            }
        });
    }
    for (std::thread& s : starters) s.join();
    EXPECT_TRUE(jobs::waitAll(10s));
    EXPECT_EQ(ran, 200);
    EXPECT_EQ(jobs::running(), 0);
}

TEST(Jobs, AJobsCapturesAreGoneWhenItNoLongerCounts) {
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    jobs::start([held = std::move(held)] { (void)*held; });
    ASSERT_TRUE(jobs::waitAll(5s));
    EXPECT_TRUE(watch.expired());
}

}  // namespace
