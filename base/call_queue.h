#pragma once
// Calls handed to one thread, the owner: jobs give the window thread what they found this
// way. The calls wait here under a lock of ours, so what a job hands over is published by
// it, which every checker of thread races understands; the owner is only woken up to run
// them. Qt-free: the job hub (app/window/jobs.h) wakes the window thread through Qt's
// event queue and runs the calls there.
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace jobs {

class CallQueue {
  public:
    // Owner thread: takes calls from now on. `wake` runs under the queue's lock after each
    // call handed over, so that the owner comes to runDue; it must not use the queue.
    // Gives the ticket of this opening.
    std::uint64_t open(std::function<void()> wake);
    // Unless the queue has been opened again since `opened`: drops the calls still waiting
    // and takes no more until the next open. Calls of a runDue under way that have not run
    // yet do not run either.
    void close(std::uint64_t opened);

    // Any thread: queues `call` for the owner; false (the call is dropped) while closed.
    // Calls handed over by one thread run in that order.
    bool post(std::function<void()> call);

    // Owner thread: runs the calls handed over so far, in order. A call that closes the
    // queue (the window it fills is gone) ends the run.
    void runDue();
    // Whether no call waits for the owner.
    bool idle() const;

  private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
    std::function<void()> wake_;
    bool open_ = false;
    std::uint64_t opens_ = 0;
    std::uint64_t closes_ = 0;
};

}  // namespace jobs
