#include "base/jobs.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "base/api.h"
#include "platform/heap.h"

namespace jobs {
namespace {

// How long a thread without work waits for the next job, and how long the registry must
// have been idle before it hands memory back: a user's next look-up usually follows
// within it, and the release need not run between two of them.
constexpr std::chrono::milliseconds kLinger{250};

struct Job {
    std::function<void()> work;
    StopFlag stop;
};

// Made once and never destroyed: a job that outlives main() (one stuck in a reader past
// the exit wait), or a thread waiting for work, still finds its registry.
struct Registry {
    struct Entry {
        std::uint64_t started;  // the order of the starts
        std::string name;
    };
    std::mutex mutex;
    std::condition_variable ended;                        // a job has ended
    std::condition_variable queued;                       // a job waits for a thread
    std::unordered_map<std::atomic<bool>*, Entry> flags;  // of the jobs started and not ended
    std::uint64_t starts = 0;
    std::deque<std::unique_ptr<Job>> waiting;  // started, no thread has taken them yet
    int count = 0;                             // jobs started and not ended
    int threads = 0;                           // job threads alive
    int idle = 0;                              // of those, waiting for a job
    unsigned long long ends = 0;               // jobs ended so far
    int releases = 0;
};

Registry& registry() {
    static Registry* made = new Registry;
    return *made;
}

thread_local const std::atomic<bool>* threadStop = nullptr;

// A job that has ended, or never started, no longer counts. Under the registry's lock.
void forget(Registry& r, std::atomic<bool>* flag) {
    r.flags.erase(flag);
    --r.count;
    ++r.ends;
    r.ended.notify_all();
}

void run(std::unique_ptr<Job> job) {
    threadStop = job->stop.get();
    job->work();
    threadStop = nullptr;
    // The work's captures go while the job still counts as running.
    job->work = nullptr;
}

win::DWORD jobThread(win::LPVOID) {
    Registry& r = registry();
    unsigned long long lastEnded = 0;  // the registry's end count at this thread's last job
    std::unique_lock lock(r.mutex);
    for (;;) {
        if (r.waiting.empty()) {
            ++r.idle;
            r.queued.wait_for(lock, kLinger, [&] { return !r.waiting.empty(); });
            --r.idle;
            if (r.waiting.empty()) break;
        }
        std::unique_ptr<Job> job = std::move(r.waiting.front());
        r.waiting.pop_front();
        StopFlag keep = job->stop;
        lock.unlock();
        run(std::move(job));
        lock.lock();
        forget(r, keep.get());
        lastEnded = r.ends;
    }
    --r.threads;
    // The thread that ended the last job has waited the moment out with nothing to do:
    // what the look-ups read (replies, document trees) is freed by now, and would
    // otherwise stay resident in the job threads' heap arenas.
    const bool release = r.count == 0 && lastEnded != 0 && lastEnded == r.ends;
    if (release) ++r.releases;
    lock.unlock();
    if (release) platform::releaseFreeMemory();
    return 0;
}

}  // namespace

StopFlag start(std::function<void()> work, std::string name) {
    auto job = std::make_unique<Job>();
    job->work = std::move(work);
    job->stop = std::make_shared<std::atomic<bool>>(false);
    StopFlag flag = job->stop;
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        r.flags.emplace(flag.get(), Registry::Entry{++r.starts, std::move(name)});
        ++r.count;
        r.waiting.push_back(std::move(job));
        // Each idle thread takes one waiting job; a job beyond them needs a thread of its
        // own while there may be more.
        if (int(r.waiting.size()) <= r.idle || r.threads == kMaxThreads) {
            r.queued.notify_all();
            return flag;
        }
        ++r.threads;
    }
    if (api::CreateThread(nullptr, 0, jobThread, nullptr, 0, nullptr)) return flag;
    std::lock_guard lock(r.mutex);
    --r.threads;
    // Taken by a thread that became free meanwhile, the job runs; else it never will.
    for (auto it = r.waiting.begin(); it != r.waiting.end(); ++it) {
        if ((*it)->stop != flag) continue;
        r.waiting.erase(it);
        forget(r, flag.get());
        return nullptr;
    }
    return flag;
}

const std::atomic<bool>* currentStop() {
    return threadStop;
}

bool stopRequested() {
    return threadStop && threadStop->load(std::memory_order_acquire);
}

int running() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.count;
}

std::vector<std::string> runningNames() {
    std::vector<const Registry::Entry*> entries;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& [flag, entry] : r.flags) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const auto* a, const auto* b) { return a->started < b->started; });
    std::vector<std::string> names;
    for (const Registry::Entry* e : entries) names.push_back(e->name);
    return names;
}

int threads() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.threads;
}

int idleReleases() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.releases;
}

void stopAll() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& [flag, entry] : r.flags) flag->store(true, std::memory_order_release);
}

bool waitAll(std::chrono::milliseconds timeout) {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    return r.ended.wait_for(lock, timeout, [&] { return r.count == 0; });
}

}  // namespace jobs
