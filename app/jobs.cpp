#include "app/jobs.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "base/api.h"

namespace {

std::atomic<int> jobsRunning{0};

// The hub pointer is read by job threads and cleared by the window thread when the hub
// goes; the lock spans each hand-over, so a job never posts to a hub being destroyed.
std::mutex hubMutex;
QObject* hub = nullptr;

class JobHub : public QObject {
  public:
    explicit JobHub(QObject* parent) : QObject(parent) {}
    ~JobHub() override {
        std::lock_guard lock(hubMutex);
        if (hub == this) hub = nullptr;
        // Calls still queued for this object are dropped by QObject's destructor.
    }
};

win::DWORD jobThread(win::LPVOID parameter) {
    auto procedure = reinterpret_cast<void (*)()>(parameter);
    procedure();
    jobsRunning.fetch_sub(1, std::memory_order_acq_rel);
    return 0;
}

// Wakes the waiter of runOnWindow when the queued call is done with: run, or dropped
// along with the hub.
struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ran = false;
};
struct CompletionSignal {
    std::shared_ptr<Completion> completion;
    ~CompletionSignal() {
        {
            std::lock_guard lock(completion->mutex);
            completion->finished = true;
        }
        completion->done.notify_all();
    }
};

}  // namespace

bool startJob(void (*procedure)()) {
    jobsRunning.fetch_add(1, std::memory_order_acq_rel);
    win::HANDLE thread = api::CreateThread(nullptr, 0, jobThread,
                                           reinterpret_cast<win::LPVOID>(procedure), 0, nullptr);
    if (!thread) jobsRunning.fetch_sub(1, std::memory_order_acq_rel);
    return thread != nullptr;
}

int runningJobs() {
    return jobsRunning.load(std::memory_order_acquire);
}

void attachJobHub(QObject* window) {
    auto* made = new JobHub(window);
    std::lock_guard lock(hubMutex);
    hub = made;
}

bool postToWindow(std::function<void()> call) {
    std::lock_guard lock(hubMutex);
    if (!hub) return false;
    return QMetaObject::invokeMethod(hub, std::move(call), Qt::QueuedConnection);
}

bool runOnWindow(std::function<void()> call) {
    {
        std::unique_lock lock(hubMutex);
        if (!hub) return false;
        if (QThread::currentThread() == hub->thread()) {
            lock.unlock();
            call();
            return true;
        }
    }
    auto completion = std::make_shared<Completion>();
    {
        // Made in place: a temporary's destructor would report completion at once.
        std::shared_ptr<CompletionSignal> signal(new CompletionSignal{completion});
        postToWindow([call = std::move(call), signal] {
            call();
            std::lock_guard lock(signal->completion->mutex);
            signal->completion->ran = true;
        });
    }
    std::unique_lock lock(completion->mutex);
    completion->done.wait(lock, [&] { return completion->finished; });
    return completion->ran;
}
