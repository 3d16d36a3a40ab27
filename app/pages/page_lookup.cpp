#include "app/pages/page_lookup.h"

#include <QPointer>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "base/jobs.h"

struct PageLookup::State {
    int page = 0;
    QPointer<MainWindow> window;  // whose controls the running look-up fills
    unsigned long long turn = 0;  // of the newest start
    jobs::StopFlag stop;          // of the running job; null when none runs
};

namespace {

// Every PageLookup, for Esc and the busy cursor. Made once and never destroyed.
std::vector<PageLookup*>& lookUps() {
    static auto* all = new std::vector<PageLookup*>;
    return *all;
}

struct BusySource {
    int page;
    std::function<bool()> busy;
};
std::vector<BusySource>& busySources() {
    static auto* all = new std::vector<BusySource>;
    return *all;
}

// What a look-up job is called where the exit names one that did not end.
std::string jobName(int page) {
    static const char* const sources[] = {"huawei", "zte", "coolpad", "lg", "iphone"};
    const bool known = page >= 0 && page < int(std::size(sources));
    return std::string(known ? sources[page] : "page") + " look-up";
}

}  // namespace

void PageLookup::addBusySource(int page, std::function<bool()> busy) {
    busySources().push_back({page, std::move(busy)});
}

PageLookup::PageLookup(int page) : state_(new State) {
    state_->page = page;
    lookUps().push_back(this);
}

bool PageLookup::running() const {
    // A look-up of a window that is gone ends unseen: its ending call never runs.
    return state_->stop != nullptr && state_->window && state_->window == mainWindow();
}

// The busy cursor covers a page while any of its look-ups runs.
void PageLookup::showBusy(int page) {
    MainWindow* w = mainWindow();
    QWidget* widget = w ? w->page(page) : nullptr;
    if (!widget) return;
    bool busy = false;
    for (const PageLookup* l : lookUps()) busy = busy || (l->state_->page == page && l->running());
    for (const BusySource& b : busySources()) busy = busy || (b.page == page && b.busy());
    if (busy)
        widget->setCursor(Qt::BusyCursor);
    else
        widget->unsetCursor();
}

bool PageLookup::start(Work work) {
    State* s = state_;
    if (s->stop) s->stop->store(true);
    const unsigned long long turn = ++s->turn;
    s->window = mainWindow();
    Post post = [s, turn](std::function<void()> call) {
        postToWindow([s, turn, call = std::move(call)] {
            if (s->turn == turn) call();
        });
    };
    s->stop = jobs::start(
        [s, turn, work = std::move(work), post] {
            LookupContext ctx;
            ctx.stop = jobs::currentStop();
            std::function<void()> ending = work(ctx, post);
            postToWindow([s, turn, ending = std::move(ending)] {
                if (s->turn != turn) return;
                s->stop.reset();
                showBusy(s->page);
                if (ending) ending();
            });
        },
        jobName(s->page));
    showBusy(s->page);
    return s->stop != nullptr;
}

void PageLookup::stop() {
    if (state_->stop) state_->stop->store(true);
}

void PageLookup::stopPage(int page) {
    for (PageLookup* l : lookUps())
        if (l->state_->page == page) l->stop();
}
