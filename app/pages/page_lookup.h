#pragma once
// How a page routine runs its look-up: the window thread reads the page's controls and
// starts the vendor core on a job; the job hands what it finds back to the window thread,
// which fills the controls. One PageLookup per kind of look-up (the Huawei search, the ZTE
// file list, the iPhone list, ...), used only on the window thread.
//
// A new start supersedes the one still running: the older job is stopped and nothing it
// hands back reaches the page any more (a newer choice in the same control wins). A page
// routine that must ignore a second start while one runs asks running() first. Esc stops
// the look-ups of the current page; the page's controls show a busy cursor while one runs.
// The job side, window-free, is jobs::LatestJob (base/latest_job.h).
#include <functional>

#include "app/window/main_window.h"
#include "vendors/lookup.h"

class PageLookup {
  public:
    // Hands a call to the window thread; it runs only while this start is the newest.
    using Post = std::function<void(std::function<void()>)>;
    // The job's work: runs the core with `ctx` (its stop flag is the job's), may post
    // results on the way, and gives the call that ends the look-up on the window thread
    // (re-enabling the button, messages), or an empty one.
    using Work = std::function<std::function<void()>(const LookupContext& ctx, const Post& post)>;

    // A look-up of page `page`.
    explicit PageLookup(Page page);
    PageLookup(const PageLookup&) = delete;
    PageLookup& operator=(const PageLookup&) = delete;

    bool running() const;
    // Starts `work` on a job; false (and nothing runs) when no job could be started.
    bool start(Work work);
    // Stops the running look-up: its request in flight is dropped, what it found so far
    // stays, and its ending call still runs (the look-up ends as stopped).
    void stop();

    // Stops every look-up of page `page` (Esc).
    static void stopPage(Page page);

  private:
    static void showBusy(Page page);

    struct State;
    State* state_;  // never freed: a page's look-up lives as long as the program
};
