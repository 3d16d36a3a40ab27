#include "app/window/jobs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "base/jobs.h"

namespace {

// Calls for the window thread wait in the hub's own queue, under a lock of ours; the event
// posted to the hub only wakes it up. So what a job hands over is published by this lock,
// which every checker of thread races understands, and not only by Qt's event queue.
// The lock also spans each hand-over, so a job never posts to a hub being destroyed.
std::mutex hubMutex;
class JobHub;
JobHub* hub = nullptr;

class JobHub : public QObject {
  public:
    explicit JobHub(QObject* parent) : QObject(parent) {}
    ~JobHub() override {
        std::deque<std::function<void()>> dropped;
        {
            std::lock_guard lock(hubMutex);
            if (hub == this) hub = nullptr;
            dropped.swap(calls);
        }
        // Nothing a job finds can be shown any more: let every job end now.
        jobs::stopAll();
        // Wake-ups still queued for this object go with QObject's destructor.
    }

    // Under hubMutex.
    void queue(std::function<void()> call) {
        calls.push_back(std::move(call));
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }

  protected:
    void customEvent(QEvent*) override {
        std::deque<std::function<void()>> due;
        {
            std::lock_guard lock(hubMutex);
            due.swap(calls);
        }
        // A call may destroy the window and this hub with it: the rest must not follow.
        QPointer<JobHub> alive(this);
        while (!due.empty() && alive) {
            std::function<void()> call = std::move(due.front());
            due.pop_front();
            call();
        }
    }

  private:
    std::deque<std::function<void()>> calls;
};

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
    return jobs::start(procedure) != nullptr;
}

int runningJobs() {
    return jobs::running();
}

void attachJobHub(QObject* window) {
    auto* made = new JobHub(window);
    std::lock_guard lock(hubMutex);
    hub = made;
}

bool postToWindow(std::function<void()> call) {
    std::lock_guard lock(hubMutex);
    if (!hub) return false;
    hub->queue(std::move(call));
    return true;
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
