// The window-free side of the job hub and of the page look-ups: calls handed from jobs to
// one owner thread, in order, dropped once the owner has gone; and look-ups of which only
// the newest start reaches the owner, the older ones stopped.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/call_queue.h"
#include "base/jobs.h"
#include "base/latest_job.h"

namespace {

using namespace std::chrono_literals;

// The test's thread plays the window thread: it runs what the jobs hand over.
class Owner {
  public:
    Owner() {
        ticket_ = queue.open([this] { wake(); });
    }
    ~Owner() {
        queue.close(ticket_);
        jobs::stopAll();
        EXPECT_TRUE(jobs::waitAll(5s));
    }

    // Runs the handed-over calls until `done` holds; false after 5 s without.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            {
                std::unique_lock lock(mutex_);
                if (!woken_.wait_until(lock, deadline, [&] { return awake_; })) return false;
                awake_ = false;
            }
            queue.runDue();
        }
        return true;
    }

    jobs::CallQueue queue;

  private:
    void wake() {
        std::lock_guard lock(mutex_);
        awake_ = true;
        woken_.notify_all();
    }

    std::uint64_t ticket_ = 0;
    std::mutex mutex_;
    std::condition_variable woken_;
    bool awake_ = false;
};

TEST(CallQueue, CallsOfManyJobsRunOnTheOwnerEachJobsInItsOrder) {
    Owner owner;
    constexpr int kJobs = 4, kCalls = 200;
    std::vector<std::vector<int>> seen(kJobs);  // owner thread only
    for (int j = 0; j < kJobs; ++j) {
        jobs::start([&owner, &seen, j] {
            for (int i = 0; i < kCalls; ++i)
                ASSERT_TRUE(owner.queue.post([&seen, j, i] { seen[std::size_t(j)].push_back(i); }));
        });
    }
    std::size_t total = 0;
    ASSERT_TRUE(owner.runUntil([&] {
        total = 0;
        for (const auto& s : seen) total += s.size();
        return total == kJobs * kCalls;
    }));
    for (const auto& s : seen)
        for (int i = 0; i < kCalls; ++i) EXPECT_EQ(s[std::size_t(i)], i);
}

TEST(CallQueue, AClosedQueueDropsWhatWaitsAndRefusesMore) {
    jobs::CallQueue queue;
    int ran = 0;
    EXPECT_FALSE(queue.post([&] { ++ran; })) << "never opened";
    const std::uint64_t first = queue.open({});
    ASSERT_TRUE(queue.post([&] { ++ran; }));
    queue.close(first);
    queue.runDue();
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(queue.post([&] { ++ran; }));

    // A call that closes the queue (its window is gone) ends the run; a late close of an
    // earlier opening closes nothing.
    const std::uint64_t second = queue.open({});
    queue.close(first);
    ASSERT_TRUE(queue.post([&] {
        ++ran;
        queue.close(second);
    }));
    ASSERT_TRUE(queue.post([&] { ++ran; }));
    queue.runDue();
    EXPECT_EQ(ran, 1);
}

TEST(LatestJob, OnlyTheNewestStartReachesTheOwnerAndTheOlderJobsAreStopped) {
    Owner owner;
    jobs::LatestJob lookUp(owner.queue);
    constexpr int kStarts = 30;
    std::atomic<bool> go{false};
    std::atomic<int> stoppedSeen{0};
    std::vector<int> progress, ends;  // owner thread only
    int endedCalls = 0;
    for (int n = 0; n < kStarts; ++n) {
        ASSERT_TRUE(lookUp.start(
            [&, n](const std::atomic<bool>* stop, const jobs::LatestJob::Post& post) {
                post([&, n] { progress.push_back(n); });
                while (!go && !stop->load()) std::this_thread::sleep_for(1ms);
                if (stop->load()) ++stoppedSeen;
                return [&, n] { ends.push_back(n); };
            },
            [&] { ++endedCalls; }));
        EXPECT_LE(jobs::threads(), jobs::kMaxThreads);
    }
    EXPECT_TRUE(lookUp.running());
    // The newest job waits until the older ones have seen their stop.
    while (stoppedSeen < kStarts - 1) std::this_thread::sleep_for(1ms);
    go = true;
    ASSERT_TRUE(owner.runUntil([&] { return !lookUp.running(); }));
    ASSERT_TRUE(jobs::waitAll(5s));
    owner.queue.runDue();
    EXPECT_EQ(progress, std::vector<int>{kStarts - 1});
    EXPECT_EQ(ends, std::vector<int>{kStarts - 1});
    EXPECT_EQ(endedCalls, 1);
    EXPECT_EQ(stoppedSeen, kStarts - 1);

    // A stopped look-up still ends on the owner.
    ASSERT_TRUE(lookUp.start([&](const std::atomic<bool>* stop, const jobs::LatestJob::Post&) {
        while (!stop->load()) std::this_thread::sleep_for(1ms);
        return [&] { ends.push_back(-1); };
    }));
    lookUp.stop();
    ASSERT_TRUE(owner.runUntil([&] { return !lookUp.running(); }));
    EXPECT_EQ(ends.back(), -1);
}

}  // namespace
