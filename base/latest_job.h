#pragma once
// A kind of job of which only the newest start counts (a page's search, its file list, the
// iPhone list): a new start stops the job still running, and nothing the older one hands
// back reaches the owner any more, so a newer choice in the same control wins and a quick
// run of choices leaves no pile of jobs behind. Used only on the owner thread, to which
// the jobs hand their results through a CallQueue.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "base/call_queue.h"

namespace jobs {

class LatestJob {
  public:
    // Hands a call to the owner thread; it runs only while its start is the newest.
    using Post = std::function<void(std::function<void()>)>;
    // The job's work: runs with the job's stop flag, may post on the way, and gives the
    // call that ends it on the owner thread, or an empty one.
    using Work =
        std::function<std::function<void()>(const std::atomic<bool>* stop, const Post& post)>;

    // `name` is what each of its jobs is called (jobs::start).
    explicit LatestJob(CallQueue& owner, std::string name = {});

    // Starts `work` as a job and stops the one still running. Once the job has ended, and
    // only while it is the newest, `ended` and then the work's ending call run on the
    // owner thread. False (and nothing runs) when no job could be started.
    bool start(Work work, std::function<void()> ended = {});
    // Stops the running job: its ending calls still run.
    void stop();
    // Started and its end not yet handed back.
    bool running() const;

  private:
    struct State;
    std::shared_ptr<State> state_;  // the jobs hold it too: they may outlive this object
};

}  // namespace jobs
