#include "base/call_queue.h"

#include <utility>

namespace jobs {

std::uint64_t CallQueue::open(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
    open_ = true;
    return ++opens_;
}

void CallQueue::close(std::uint64_t opened) {
    std::deque<std::function<void()>> dropped;
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        if (!open_ || opened != opens_) return;
        open_ = false;
        ++closes_;
        dropped.swap(calls_);
        wake.swap(wake_);
    }
    // What the dropped calls hold goes here, outside the lock: it may hand over again.
}

bool CallQueue::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    calls_.push_back(std::move(call));
    if (wake_) wake_();
    return true;
}

void CallQueue::runDue() {
    std::deque<std::function<void()>> due;
    std::uint64_t closes;
    {
        std::lock_guard lock(mutex_);
        due.swap(calls_);
        closes = closes_;
    }
    while (!due.empty()) {
        {
            std::lock_guard lock(mutex_);
            if (closes_ != closes) return;
        }
        std::function<void()> call = std::move(due.front());
        due.pop_front();
        call();
    }
}

bool CallQueue::idle() const {
    std::lock_guard lock(mutex_);
    return calls_.empty();
}

}  // namespace jobs
