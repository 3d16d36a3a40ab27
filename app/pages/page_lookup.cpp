#include "app/pages/page_lookup.h"

#include <QPointer>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/window/jobs.h"
#include "base/latest_job.h"

struct PageLookup::State {
    Page page;
    QPointer<MainWindow> window;  // whose controls the running look-up fills
    jobs::LatestJob job;
};

namespace {

// Every PageLookup, for Esc and the busy cursor. Made once and never destroyed.
std::vector<PageLookup*>& lookUps() {
    static auto* all = new std::vector<PageLookup*>;
    return *all;
}

// What a look-up job is called where the exit names one that did not end.
std::string jobName(Page page) {
    static const char* const sources[] = {"huawei", "zte", "coolpad", "lg", "iphone"};
    const int i = int(page);
    const bool known = i >= 0 && i < int(std::size(sources));
    return std::string(known ? sources[i] : "page") + " look-up";
}

}  // namespace

PageLookup::PageLookup(Page page)
    : state_(new State{page, {}, jobs::LatestJob(windowCalls(), jobName(page))}) {
    lookUps().push_back(this);
}

bool PageLookup::running() const {
    // A look-up of a window that is gone ends unseen: its ending call never runs.
    return state_->job.running() && state_->window && state_->window == mainWindow();
}

// The busy cursor covers a page while any of its look-ups runs.
void PageLookup::showBusy(Page page) {
    MainWindow* w = mainWindow();
    QWidget* widget = w ? w->page(page) : nullptr;
    if (!widget) return;
    bool busy = false;
    for (const PageLookup* l : lookUps()) busy = busy || (l->state_->page == page && l->running());
    if (busy)
        widget->setCursor(Qt::BusyCursor);
    else
        widget->unsetCursor();
}

bool PageLookup::start(Work work) {
    State* s = state_;
    s->window = mainWindow();
    const bool started = s->job.start(
        [work = std::move(work)](const std::atomic<bool>* stop, const Post& post) {
            LookupContext ctx;
            ctx.stop = stop;
            return work(ctx, post);
        },
        [page = s->page] { showBusy(page); });
    showBusy(s->page);
    return started;
}

void PageLookup::stop() {
    state_->job.stop();
}

void PageLookup::stopPage(Page page) {
    for (PageLookup* l : lookUps())
        if (l->state_->page == page) l->stop();
}
