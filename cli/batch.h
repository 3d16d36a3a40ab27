#pragma once
// A batch's look-ups run several at a time, but their results come out in input order.
#include <cstddef>
#include <functional>

#include "cli/lookups.h"

namespace lookup {

// Runs run(0) ... run(count - 1) on up to `parallel` threads (1: all on the calling thread)
// and hands each result to take(i, result) on the calling thread, in order of i, as soon
// as it and every one before it have finished. Threads run only a bounded way ahead of the
// oldest result not yet taken, so a stalled look-up does not pile up the rest. Interrupts
// (SIGINT) are left to the calling thread.
void runInOrder(std::size_t count, int parallel, const std::function<Result(std::size_t)>& run,
                const std::function<void(std::size_t, Result&)>& take);

}  // namespace lookup
