#pragma once
// Background jobs and how they reach the window. A job runs on a thread of the job
// registry (base/jobs.h); Qt allows widget access only on the window thread, so a job hands
// every write of a control to the window thread through the job hub, an object that lives
// with the main window. Once the window is gone, what a job hands over is dropped: it can
// never touch a freed widget. The hub going away raises every job's stop flag, so their
// requests end at once; start-up waits for them before the program exits.
#include <functional>

#include "base/call_queue.h"

class QObject;

// Job threads that have started and not yet ended.
int runningJobs();

// Makes the job hub a child of `window` (bindHandlers does it once per window).
void attachJobHub(QObject* window);

// The calls for the window thread, which the hub runs there.
jobs::CallQueue& windowCalls();

// Queues `call` for the window thread; false (the call is dropped) without a window.
// Calls handed over by one thread run in that order.
bool postToWindow(std::function<void()> call);
