// Jobs: started at once while a thread is free, each with its own stop flag, all stoppable
// and waited for; never more than eight threads, and memory handed back once idle.
#include "base/jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
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

// The registry's threads from earlier cases have waited out their moment and left.
bool noThreadsLeft() {
    for (int i = 0; i < 500 && jobs::threads() > 0; ++i) std::this_thread::sleep_for(10ms);
    return jobs::threads() == 0;
}

TEST(Jobs, NeverMoreThanEightThreadsAndWaitingJobsStillRunOnceStopped) {
    constexpr int kJobs = 40;
    std::atomic<int> begun{0}, stoppedSeen{0};
    std::vector<jobs::StopFlag> flags;
    for (int i = 0; i < kJobs; ++i) {
        flags.push_back(jobs::start([&] {
            ++begun;
            untilStopped(stoppedSeen);
        }));
        ASSERT_TRUE(flags.back());
    }
    while (begun < jobs::kMaxThreads) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(begun, jobs::kMaxThreads) << "the others wait for a free thread";
    EXPECT_EQ(jobs::threads(), jobs::kMaxThreads);
    EXPECT_EQ(jobs::running(), kJobs);
    jobs::stopAll();
    EXPECT_TRUE(jobs::waitAll(5s));
    EXPECT_EQ(begun, kJobs);
    EXPECT_EQ(stoppedSeen, kJobs) << "a waiting job finds its flag raised";
    EXPECT_LE(jobs::threads(), jobs::kMaxThreads);
}

TEST(Jobs, FreedMemoryGoesBackOnceTheRegistryHasBeenIdleForAMoment) {
    ASSERT_TRUE(noThreadsLeft());
    const int before = jobs::idleReleases();
    // Not after each job while others still run, however long they take.
    jobs::StopFlag busy = jobs::start([] {
        while (!jobs::stopRequested()) std::this_thread::sleep_for(1ms);
    });
    ASSERT_TRUE(busy);
    std::atomic<int> done{0};
    for (int i = 0; i < 5; ++i) jobs::start([&] { ++done; });
    while (done < 5) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(jobs::idleReleases(), before);
    // Once after the last, and not within the wait for the jobs to end.
    busy->store(true);
    ASSERT_TRUE(jobs::waitAll(5s));
    EXPECT_EQ(jobs::idleReleases(), before);
    ASSERT_TRUE(noThreadsLeft());
    EXPECT_EQ(jobs::idleReleases(), before + 1);
}

}  // namespace
