#include "base/latest_job.h"

#include <utility>

#include "base/jobs.h"

namespace jobs {

// Owner thread only: the jobs carry their turn by value and compare it there.
struct LatestJob::State {
    CallQueue* owner = nullptr;
    std::string name;             // the jobs', for the exit's word on a job that hung
    unsigned long long turn = 0;  // of the newest start
    StopFlag stop;                // of the newest job; null once its end is handed back
};

LatestJob::LatestJob(CallQueue& owner, std::string name) : state_(std::make_shared<State>()) {
    state_->owner = &owner;
    state_->name = std::move(name);
}

bool LatestJob::start(Work work, std::function<void()> ended) {
    std::shared_ptr<State> s = state_;
    if (s->stop) s->stop->store(true, std::memory_order_release);
    const unsigned long long turn = ++s->turn;
    Post post = [s, turn](std::function<void()> call) {
        s->owner->post([s, turn, call = std::move(call)] {
            if (s->turn == turn) call();
        });
    };
    s->stop = jobs::start(
        [s, turn, work = std::move(work), post, ended = std::move(ended)] {
            std::function<void()> ending = work(currentStop(), post);
            s->owner->post([s, turn, ended, ending = std::move(ending)] {
                if (s->turn != turn) return;
                s->stop.reset();
                if (ended) ended();
                if (ending) ending();
            });
        },
        s->name);
    return s->stop != nullptr;
}

void LatestJob::stop() {
    if (state_->stop) state_->stop->store(true, std::memory_order_release);
}

bool LatestJob::running() const {
    return state_->stop != nullptr;
}

}  // namespace jobs
