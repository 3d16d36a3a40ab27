#include "cli/batch.h"

#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace lookup {

void runInOrder(std::size_t count, int parallel, const std::function<Result(std::size_t)>& run,
                const std::function<void(std::size_t, Result&)>& take) {
    const std::size_t threads = std::min<std::size_t>(std::max(parallel, 1), count);
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result r = run(i);
            take(i, r);
        }
        return;
    }
    // Results wait here until their turn; look-ups start only this far past the oldest
    // result not yet taken.
    const std::size_t lead = threads * 4;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Result>> done(count);
    std::size_t next = 0, taken = 0;

    auto work = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return next >= count || next < taken + lead; });
                if (next >= count) return;
                i = next++;
            }
            Result r = run(i);
            {
                std::lock_guard lock(mutex);
                done[i] = std::move(r);
            }
            changed.notify_all();
        }
    };
    // Ctrl-C is the calling thread's to handle, between whole lines of output: the
    // threads start with it blocked.
    sigset_t interrupt, before;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &before);
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        Result r;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return done[i].has_value(); });
            r = std::move(*done[i]);
            done[i].reset();
        }
        take(i, r);
        {
            std::lock_guard lock(mutex);
            taken = i + 1;
        }
        changed.notify_all();
    }
    for (auto& t : pool) t.join();
}

}  // namespace lookup
