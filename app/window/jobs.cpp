#include "app/window/jobs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "base/jobs.h"

namespace {

// Wakes the window thread for the calls waiting in windowCalls(); the queue's lock spans
// each hand-over and closing it, so a job never posts to a hub being destroyed.
class JobHub : public QObject {
  public:
    explicit JobHub(QObject* parent)
        : QObject(parent), opened_(windowCalls().open([this] {
              QCoreApplication::postEvent(this, new QEvent(QEvent::User));
          })) {}
    ~JobHub() override {
        windowCalls().close(opened_);
        // Nothing a job finds can be shown any more: let every job end now.
        jobs::stopAll();
        // Wake-ups still queued for this object go with QObject's destructor.
    }

  protected:
    // A call may destroy the window and this hub with it: that closes the queue, and the
    // rest of the calls do not follow.
    void customEvent(QEvent*) override { windowCalls().runDue(); }

  private:
    const std::uint64_t opened_;
};

}  // namespace

int runningJobs() {
    return jobs::running();
}

void attachJobHub(QObject* window) {
    new JobHub(window);
}

jobs::CallQueue& windowCalls() {
    static auto* calls = new jobs::CallQueue;
    return *calls;
}

bool postToWindow(std::function<void()> call) {
    return windowCalls().post(std::move(call));
}
