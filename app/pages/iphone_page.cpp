#include "app/pages/iphone_page.h"

#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

#include "app/pages/failure_text.h"
#include "app/pages/page_lookup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "vendors/iphone.h"
#include "vendors/service_hosts.h"

namespace {

void fillBox(QComboBox* box, const std::string& firstEntry,
             const std::vector<std::string>& entries) {
    box->clear();
    box->addItem(uiText(firstEntry));
    for (const std::string& e : entries) box->addItem(toQt(e));
    // From code: the box's item-chosen handler does not run, so no list fill starts.
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

PageLookup& catalogue() {
    static auto* made = new PageLookup(Page::Iphone);
    return *made;
}

PageLookup& types() {
    static auto* made = new PageLookup(Page::Iphone);
    return *made;
}

PageLookup& list() {
    static auto* made = new PageLookup(Page::Iphone);
    return *made;
}

// The catalogue load and each list fill empty the list and take a turn; only the rows of
// the newest turn reach it. Window thread only.
unsigned long long listTurn = 0;

// Why a box holds fewer entries than the service has: a request of the catalogue load
// (the model or version list) or of the type list failed. A list fill leaves these be,
// for the boxes it reads stay as short as they were. Window thread only.
struct BoxFailures {
    QPointer<MainWindow> window;  // whose boxes these are
    QString catalogue, types;
};

BoxFailures& boxFailures() {
    static BoxFailures failures;
    if (failures.window != mainWindow()) failures = {mainWindow(), {}, {}};
    return failures;
}

void showBoxFailures() {
    MainWindow* w = mainWindow();
    if (!w) return;
    const BoxFailures& f = boxFailures();
    QString text = f.catalogue;
    if (!f.types.isEmpty()) text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + f.types;
    w->setIphoneStatus(text);
}

// The ending call that puts the rows of turn `turn` into the list; an empty list after a
// failure says why it is empty.
std::function<void()> showRows(std::vector<IphoneRow> found, const LookupStatus& status,
                               unsigned long long turn) {
    auto rows = std::make_shared<QtRows>(toQtRows(found));
    const QString failure =
        status.end == LookupEnd::Failed
            ? uiText(lookupFailureMessage(VendorService::Iphone, status.failure))
            : QString();
    return [rows, failure, turn] {
        MainWindow* w = mainWindow();
        if (!w || turn != listTurn) return;
        w->超级列表框5->setEmptyText(failure);
        w->超级列表框5->reportModel()->addRows(std::move(*rows));
    };
}

}  // namespace

void loadIphoneCatalogue() {
    MainWindow* w = mainWindow();
    // Visits of the page while the first load runs find the list still empty.
    if (!w || catalogue().running()) return;
    w->超级列表框5->clearItems();
    boxFailures() = {w, {}, {}};
    showBoxFailures();
    // The catalogue has no public address: without one every request would fail.
    if (!iphoneBaseConfigured()) {
        w->超级列表框5->setEmptyText(
            Romhaul::tr("没有 iPhone 固件目录的地址：请设置环境变量 %1，或在设置中填写。")
                .arg(QString::fromUtf8(serviceHostVariable(VendorService::Iphone))));
        return;
    }
    w->超级列表框5->setEmptyText({});
    const unsigned long long turn = ++listTurn;
    // A type list or list fill still running is older than this load: neither its entries
    // nor its rows must follow.
    types().stop();
    list().stop();
    catalogue().start([turn](const LookupContext& ctx, const PageLookup::Post&) {
        IphoneCatalogue found = iphoneFetchCatalogue(ctx);
        if (found.end == LookupEnd::Stopped) return std::function<void()>();
        // With rows, the list does not say why it is short: the status line does.
        const QString partial =
            found.end == LookupEnd::Failed && !found.rows.empty()
                ? Romhaul::tr("列表可能不完整：%1")
                      .arg(uiText(lookupFailureMessage(VendorService::Iphone, found.failure)))
                : QString();
        std::function<void()> rows = showRows(std::move(found.rows), found, turn);
        auto boxes = std::make_shared<IphoneCatalogue>(std::move(found));
        return std::function<void()>([boxes, rows, partial] {
            MainWindow* w = mainWindow();
            if (!w) return;
            fillBox(w->组合框1, iphoneAllModels(), boxes->models);
            fillBox(w->组合框2, iphoneAllTypes(), {});
            fillBox(w->组合框3, iphoneAllVersions(), boxes->versions);
            boxFailures().catalogue = partial;
            showBoxFailures();
            rows();
        });
    });
}

bool iphoneCatalogueIncomplete() {
    return !boxFailures().catalogue.isEmpty();
}

void refreshIphoneTypes() {
    MainWindow* w = mainWindow();
    if (!w) return;
    // The failure of the model chosen before no longer holds.
    boxFailures().types.clear();
    showBoxFailures();
    types().start([model = chosenEntry(w->组合框1, iphoneAllModels())](const LookupContext& ctx,
                                                                       const PageLookup::Post&) {
        auto found = std::make_shared<IphoneList>(iphoneFetchTypes(model, ctx));
        const QString failure =
            found->end == LookupEnd::Failed
                ? Romhaul::tr("未能读取类型列表：%1")
                      .arg(uiText(lookupFailureMessage(VendorService::Iphone, found->failure)))
                : QString();
        return [found, failure] {
            MainWindow* w = mainWindow();
            if (!w || found->end == LookupEnd::Stopped) return;
            // After a failure the box offers every type, which the list fill still lists.
            fillBox(w->组合框2, iphoneAllTypes(), found->entries);
            boxFailures().types = failure;
            showBoxFailures();
            fillIphoneList();
        };
    });
}

void fillIphoneList() {
    MainWindow* w = mainWindow();
    if (!w) return;
    w->超级列表框5->clearItems();
    w->超级列表框5->setEmptyText({});
    const unsigned long long turn = ++listTurn;
    list().start(
        [turn, model = iphoneChoice(chosenEntry(w->组合框1, iphoneAllModels()), iphoneAllModels()),
         type = iphoneChoice(chosenEntry(w->组合框2, iphoneAllTypes()), iphoneAllTypes()),
         version = iphoneChoice(chosenEntry(w->组合框3, iphoneAllVersions()), iphoneAllVersions()),
         all = w->选择框1->isChecked()](const LookupContext& ctx, const PageLookup::Post&) {
            IphoneFirmware firmware = iphoneFetchFirmware(model, type, version, all, ctx);
            if (firmware.end == LookupEnd::Stopped) return std::function<void()>();
            return showRows(std::move(firmware.rows), firmware, turn);
        });
}
