#pragma once
// Jobs: work that runs on a thread of the registry's own and is never joined. Each job
// carries a stop flag that the look-up it runs checks (and that aborts its request in
// flight); every job can be stopped at once and waited for, so that the program never
// ends while a job still runs into objects that exit destroys.
//
// At most kMaxThreads job threads live at once, however fast jobs are started: a job
// started while all of them are busy waits for the first one free. A thread that finds
// no job waiting stays a moment for the next one; once the registry has been idle for
// that moment, the memory the jobs freed goes back to the system.
//
// Qt-free: how a job's results reach the window is the job hub's business (app/window).
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jobs {

constexpr int kMaxThreads = 8;

using StopFlag = std::shared_ptr<std::atomic<bool>>;

// Starts `work` with a fresh stop flag, on a thread at once when one is free, and gives
// that flag (null when no thread could be started, in which case `work` does not run).
// The work finds the flag through currentStop(); whoever holds the returned flag may raise
// it. A job stopped before a thread took it still runs, and finds its flag raised. `name`
// says what the job does, for the one who reads why the program could not end cleanly.
StopFlag start(std::function<void()> work, std::string name = {});

// The stop flag of the job running on the calling thread; null outside a job.
const std::atomic<bool>* currentStop();
// Whether the calling thread's job has been asked to stop (false outside a job).
bool stopRequested();

// Jobs that have started and not yet ended, the waiting ones included.
int running();
// Their names, the oldest job first ("" for a job started without one).
std::vector<std::string> runningNames();
// Job threads alive now, busy or waiting for a job: never more than kMaxThreads.
int threads();
// How often the registry, idle, has handed freed memory back.
int idleReleases();

// Raises the stop flag of every job started and not yet ended.
void stopAll();

// Waits until no job runs or `timeout` has passed; true when none runs. Do not call it
// from a job.
bool waitAll(std::chrono::milliseconds timeout);

}  // namespace jobs
