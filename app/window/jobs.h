#pragma once
// Background jobs and how they reach the window. A job runs on a thread of its own
// (base/jobs.h); Qt allows widget access only on the window thread, so a job hands every
// read and write of a control to the window thread through the job hub, an object that
// lives with the main window. Once the window is gone, what a job hands over is dropped
// and a job waiting for an answer gets none: it can never touch a freed widget. The hub
// going away raises every job's stop flag, so their requests end at once; start-up waits
// for them before the program exits.
#include <functional>
#include <optional>
#include <utility>

class QObject;

// Starts `procedure` on a new thread at once (a job of base/jobs.h, whose stop flag it
// reads through jobs::currentStop()); the thread is not kept. False when no thread could
// be started.
bool startJob(void (*procedure)());

// Job threads that have started and not yet ended.
int runningJobs();

// Makes the job hub a child of `window` (bindHandlers does it once per window).
void attachJobHub(QObject* window);

// Queues `call` for the window thread; false (the call is dropped) without a window.
// Calls handed over by one thread run in that order.
bool postToWindow(std::function<void()> call);

// Runs `call` on the window thread and waits for it; false when the window went away
// before it ran. On the window thread itself the call runs at once.
bool runOnWindow(std::function<void()> call);

// runOnWindow with a result: nothing when the call did not run.
template <class T>
std::optional<T> askWindow(std::function<T()> call) {
    std::optional<T> result;
    if (!runOnWindow([&result, &call] { result = call(); })) return std::nullopt;
    return result;
}
