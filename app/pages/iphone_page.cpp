#include "app/pages/iphone_page.h"

#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/pages/page_lookup.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/jobs.h"
#include "vendors/iphone.h"

namespace {

// The turn of the latest list fill. Turns are taken on the window thread, in the order in
// which the fills read the boxes, so the latest turn always holds the latest choices.
std::atomic<std::uint64_t> latestTurn{0};

std::uint64_t takeTurn() {
    return latestTurn.fetch_add(1, std::memory_order_acq_rel) + 1;
}

bool isLatest(std::uint64_t turn) {
    return latestTurn.load(std::memory_order_acquire) == turn;
}

void fillBox(QComboBox* box, const std::string& firstEntry,
             const std::vector<std::string>& entries) {
    box->clear();
    box->addItem(uiText(firstEntry));
    for (const std::string& e : entries) box->addItem(toQt(e));
    // From code: the box's item-chosen handler does not run, so no list job starts.
    box->setCurrentIndex(0);
}

// A box's choice as the core knows it: its first entry shows translated.
std::string chosenEntry(const QComboBox* box, const std::string& firstEntry) {
    return box->currentIndex() == 0 ? firstEntry : fromQt(box->currentText());
}

using QtRows = std::vector<std::vector<QString>>;

// Widget texts are made off the window thread where the rows come from a job.
QtRows toQtRows(const std::vector<IphoneRow>& rows) {
    QtRows out;
    out.reserve(rows.size());
    for (const IphoneRow& r : rows)
        out.push_back({toQt(r[0]), toQt(r[1]), uiText(r[2]), toQt(r[3])});
    return out;
}

struct Choices {
    std::string model, type, version;
    bool allVersions = false;
    std::uint64_t turn = 0;
};

constexpr int kPage = 4;

PageLookup& catalogue() {
    static auto* made = new PageLookup(kPage);
    return *made;
}

PageLookup& types() {
    static auto* made = new PageLookup(kPage);
    return *made;
}

// The list jobs that may still run, for Esc and the busy cursor. Window thread only.
struct ListJobs {
    std::vector<std::weak_ptr<std::atomic<bool>>> flags;
    QPointer<MainWindow> window;  // the jobs counted below fill this window's list
    int running = 0;              // started and not yet reported ended
};

ListJobs& listJobs() {
    static auto* made = [] {
        auto* jobs = new ListJobs;
        PageLookup::addBusySource(kPage, [jobs] {
            return jobs->window && jobs->window == mainWindow() && jobs->running > 0;
        });
        return jobs;
    }();
    return *made;
}

void listJobEnded() {
    ListJobs& j = listJobs();
    if (j.window && j.window == mainWindow() && j.running > 0) --j.running;
    PageLookup::showBusy(kPage);
}

}  // namespace

void loadIphoneCatalogue() {
    MainWindow* w = mainWindow();
    // Visits of the page while the first load runs find the list still empty.
    if (!w || catalogue().running()) return;
    w->超级列表框5->clearItems();
    // A list job still running is older than this load: its rows must not follow.
    const std::uint64_t turn = takeTurn();
    catalogue().start([turn](const LookupContext& ctx, const PageLookup::Post&) {
        IphoneCatalogue found = iphoneFetchCatalogue(ctx);
        auto rows = std::make_shared<QtRows>(toQtRows(found.rows));
        found.rows = {};
        auto boxes = std::make_shared<IphoneCatalogue>(std::move(found));
        return [boxes, rows, turn] {
            MainWindow* w = mainWindow();
            if (!w || boxes->end == LookupEnd::Stopped) return;
            fillBox(w->组合框1, iphoneAllModels(), boxes->models);
            fillBox(w->组合框2, iphoneAllTypes(), {});
            fillBox(w->组合框3, iphoneAllVersions(), boxes->versions);
            if (isLatest(turn)) w->超级列表框5->reportModel()->addRows(std::move(*rows));
        };
    });
}

void refreshIphoneTypes() {
    MainWindow* w = mainWindow();
    if (!w) return;
    // A newer model choice supersedes this one: only its types fill the box.
    types().start([model = chosenEntry(w->组合框1, iphoneAllModels())](const LookupContext& ctx,
                                                                       const PageLookup::Post&) {
        auto found = std::make_shared<IphoneList>(iphoneFetchTypes(model, ctx));
        return [found] {
            MainWindow* w = mainWindow();
            if (!w || found->end == LookupEnd::Stopped) return;
            fillBox(w->组合框2, iphoneAllTypes(), found->entries);
            startIphoneList();
        };
    });
}

void startIphoneList() {
    ListJobs& j = listJobs();
    if (j.window != mainWindow()) {  // a new window: the old one's jobs count no more
        j.window = mainWindow();
        j.running = 0;
    }
    // Pruned of the jobs that have ended, so the list stays as short as the jobs running.
    std::erase_if(j.flags, [](const auto& f) { return f.expired(); });
    jobs::StopFlag flag = jobs::start(
        [] {
            jobRunner();
            postToWindow(listJobEnded);
        },
        "iphone list");
    if (!flag) return;
    j.flags.push_back(flag);
    ++j.running;
    PageLookup::showBusy(kPage);
}

void stopIphoneLookups() {
    PageLookup::stopPage(kPage);
    for (const auto& f : listJobs().flags)
        if (jobs::StopFlag flag = f.lock()) flag->store(true);
    listJobs().flags.clear();
}

void fillIphoneList() {
    const std::optional<Choices> choices = askWindow<Choices>([] {
        Choices c;
        MainWindow* w = mainWindow();
        if (!w) return c;
        w->超级列表框5->clearItems();
        c.model = iphoneChoice(chosenEntry(w->组合框1, iphoneAllModels()), iphoneAllModels());
        c.type = iphoneChoice(chosenEntry(w->组合框2, iphoneAllTypes()), iphoneAllTypes());
        c.version = iphoneChoice(chosenEntry(w->组合框3, iphoneAllVersions()), iphoneAllVersions());
        c.allVersions = w->选择框1->isChecked();
        c.turn = takeTurn();
        return c;
    });
    if (!choices || choices->turn == 0) return;
    const std::uint64_t turn = choices->turn;

    LookupContext ctx;
    ctx.stop = jobs::currentStop();  // Esc and the window's end drop the request
    const IphoneFirmware firmware = iphoneFetchFirmware(
        choices->model, choices->type, choices->version, choices->allVersions, ctx);
    // A newer fill has read the boxes meanwhile: its rows are the ones wanted.
    if (!isLatest(turn)) return;
    auto rows = std::make_shared<QtRows>(toQtRows(firmware.rows));
    if (!isLatest(turn)) return;
    postToWindow([rows, turn] {
        MainWindow* w = mainWindow();
        if (!w || !isLatest(turn)) return;
        w->超级列表框5->reportModel()->addRows(std::move(*rows));
    });
}

void jobRunner() {
    fillIphoneList();
}
