#pragma once
// Jobs: work that runs on a thread of its own, started at once and never joined. Each job
// carries a stop flag that the look-up it runs checks (and that aborts its request in
// flight); every job can be stopped at once and waited for, so that the program never
// ends while a job still runs into objects that exit destroys.
//
// Qt-free: how a job's results reach the window is the job hub's business (app/window).
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jobs {

using StopFlag = std::shared_ptr<std::atomic<bool>>;

// Starts `work` on a new thread at once with a fresh stop flag, and gives that flag (null
// when no thread could be started, in which case `work` does not run). The work finds the
// flag through currentStop(); whoever holds the returned flag may raise it. `name` says
// what the job does, for the one who reads why the program could not end cleanly.
StopFlag start(std::function<void()> work, std::string name = {});

// The stop flag of the job running on the calling thread; null outside a job.
const std::atomic<bool>* currentStop();
// Whether the calling thread's job has been asked to stop (false outside a job).
bool stopRequested();

// Jobs that have started and not yet ended.
int running();
// Their names, the oldest job first ("" for a job started without one).
std::vector<std::string> runningNames();

// Raises the stop flag of every job running now.
void stopAll();

// Waits until no job runs or `timeout` has passed; true when none runs. Do not call it
// from a job.
bool waitAll(std::chrono::milliseconds timeout);

}  // namespace jobs
