#include "base/jobs.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "base/api.h"
#include "platform/heap.h"

namespace jobs {
namespace {

// Made once and never destroyed: a job that outlives main() (one stuck in a reader past
// the exit wait) still finds its registry when it ends.
struct Registry {
    struct Entry {
        std::uint64_t started;  // the order of the starts
        std::string name;
    };
    std::mutex mutex;
    std::condition_variable ended;
    std::unordered_map<std::atomic<bool>*, Entry> flags;  // of the jobs running now
    std::uint64_t starts = 0;
    int count = 0;
};

Registry& registry() {
    static Registry* made = new Registry;
    return *made;
}

thread_local const std::atomic<bool>* threadStop = nullptr;

struct Job {
    std::function<void()> work;
    StopFlag stop;
};

// A job that has ended, or never started, no longer counts.
void forget(std::atomic<bool>* flag) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        r.flags.erase(flag);
        --r.count;
    }
    r.ended.notify_all();
}

win::DWORD jobThread(win::LPVOID parameter) {
    std::unique_ptr<Job> job(static_cast<Job*>(parameter));
    threadStop = job->stop.get();
    job->work();
    threadStop = nullptr;
    std::atomic<bool>* flag = job->stop.get();
    StopFlag keep = std::move(job->stop);
    job.reset();  // the work's captures go while the job still counts as running
    // What the look-up read (its reply, its document tree) is freed by now; without this
    // it would stay resident in this thread's heap arena.
    platform::releaseFreeMemory();
    forget(flag);
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
    }
    Job* handedOver = job.release();
    if (!api::CreateThread(nullptr, 0, jobThread, handedOver, 0, nullptr)) {
        delete handedOver;
        forget(flag.get());
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
