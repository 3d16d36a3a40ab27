#include "app/handlers.h"

#include <QKeySequence>
#include <QShortcut>

#include "app/open_address.h"
#include "app/pages/coolpad_page.h"
#include "app/pages/downloads_page.h"
#include "app/pages/huawei_page.h"
#include "app/pages/iphone_page.h"
#include "app/pages/lg_page.h"
#include "app/pages/page_lookup.h"
#include "app/pages/zte_page.h"
#include "app/result_tools.h"
#include "app/settings_dialog.h"
#include "app/startup.h"
#include "app/window/input_history.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/text_util.h"

namespace {

// A result list's double-click opens the address in the hidden column of its current
// row; with no current row that is the empty text, which openAddress drops. With Shift
// held the file is downloaded here instead.
void openRowAddress(const ReportView* list) {
    const int row = list->currentRow();
    const std::string address = list->itemText(row, list->addressColumn());
    if (row >= 0 && (list->doubleClickModifiers() & Qt::ShiftModifier))
        return startDownload(
            address, list->itemText(row, list->reportModel()->column(report_column::kSize)));
    openAddress(address);
}

// A page's data is loaded the first time it is shown, and again while it has none or
// while a failed request left it incomplete (the next visit is the technician's retry).
void onPageChanged() {
    MainWindow* w = mainWindow();
    if (!w) return;
    if (w->currentPage() == Page::Zte && !zteModelsLoaded()) zteLoadModels();
    if (w->currentPage() == Page::Iphone &&
        (w->超级列表框5->itemCount() == 0 || iphoneCatalogueIncomplete()))
        loadIphoneCatalogue();
}

// Each page's input box offers its recent inputs (in the demo also the simulator's known
// ones) and notes an input as its search starts.
void bindInputHistory(QLineEdit* box, QAbstractButton* search, const char* key,
                      bool enterSearches = true) {
    auto* history = new InputHistory(box, QString::fromLatin1(key), demoInputs(key));
    if (enterSearches)
        QObject::connect(box, &QLineEdit::returnPressed, history, &InputHistory::remember);
    QObject::connect(search, &QAbstractButton::clicked, history, &InputHistory::remember);
}

}  // namespace

void bindHandlers(MainWindow& w) {
    QObject::connect(&w, &MainWindow::created, &w, [] { onMainWindowCreated(); });
    attachJobHub(&w);
    QObject::connect(w.选择夹1, &QTabWidget::currentChanged, &w, [](int) { onPageChanged(); });

    // Esc stops the look-ups of the page shown: what they found so far stays.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &w);
    QObject::connect(escape, &QShortcut::activated, &w,
                     [&w] { PageLookup::stopPage(w.currentPage()); });

    // ZTE page.
    QObject::connect(w.按钮3, &QPushButton::clicked, &w, [] { zteLoadModels(); });
    QObject::connect(w.按钮2, &QPushButton::clicked, &w, [] { zteFindModel(); });
    QObject::connect(w.编辑框2, &QLineEdit::returnPressed, &w, [] { zteFindModel(); });
    QObject::connect(w.编辑框2, &QLineEdit::textChanged, &w, [] { zteRestartFind(); });
    QObject::connect(w.树型框1, &QTreeWidget::currentItemChanged, &w, [] { zteLoadFiles(); });
    QObject::connect(w.超级列表框2, &ReportView::currentRowChanged, &w,
                     [](int) { zteShowFileInfo(); });
    QObject::connect(w.超级列表框2, &ReportView::rowDoubleClicked, &w,
                     [list = w.超级列表框2](int) { openRowAddress(list); });

    // iPhone page: an entry chosen by the user (not one selected from code) starts a job.
    QObject::connect(w.组合框1, &QComboBox::activated, &w, [](int) { refreshIphoneTypes(); });
    QObject::connect(w.组合框2, &QComboBox::activated, &w, [](int) { fillIphoneList(); });
    QObject::connect(w.组合框3, &QComboBox::activated, &w, [](int) { fillIphoneList(); });
    QObject::connect(w.选择框1, &QCheckBox::clicked, &w, [] { fillIphoneList(); });
    QObject::connect(w.超级列表框5, &ReportView::rowDoubleClicked, &w,
                     [list = w.超级列表框5](int) { openRowAddress(list); });

    // Huawei page.
    QObject::connect(w.按钮1, &QPushButton::clicked, &w, [] { huaweiSearch(); });
    QObject::connect(w.编辑框1, &QLineEdit::returnPressed, &w, [] { huaweiSearch(); });
    QObject::connect(w.超级列表框1, &ReportView::rowDoubleClicked, &w,
                     [list = w.超级列表框1](int) { openRowAddress(list); });

    // Coolpad page.
    QObject::connect(w.按钮6, &QPushButton::clicked, &w, [] { coolpadSearch(); });
    QObject::connect(w.编辑框11, &QLineEdit::returnPressed, &w, [] { coolpadSearch(); });
    QObject::connect(w.编辑框4, &QLineEdit::returnPressed, &w, [] { lgLookup(); });
    // A type is chosen when it becomes the selected entry. Tabbing into the list only
    // marks its first entry current, and clearing it before a search leaves nothing
    // selected: neither loads a page.
    QObject::connect(w.列表框1, &QListWidget::itemSelectionChanged, &w, [&w] {
        if (!w.列表框1->selectedItems().isEmpty()) coolpadLoadDownloads();
    });
    // A file row is made current by selecting it. Tabbing into the list marks its first
    // row current without selecting it, and must not send that file to the browser; nor
    // may rows added to a selection that keeps its current row.
    QObject::connect(w.超级列表框3, &ReportView::rowChosen, &w, [list = w.超级列表框3](int row) {
        openAddress(list->itemText(row, list->addressColumn()));
    });

    // LG page.
    QObject::connect(w.按钮4, &QPushButton::clicked, &w, [] { lgLookup(); });
    QObject::connect(w.编辑框9, &QLineEdit::textChanged, &w, [&w](const QString& text) {
        w.按钮5->setEnabled(!isBlank(fromQt(text)));
        w.lgDownloadButton->setEnabled(!isBlank(fromQt(text)));
    });
    QObject::connect(w.按钮5, &QPushButton::clicked, &w,
                     [&w] { openAddress(fromQt(w.编辑框9->text())); });
    QObject::connect(w.lgDownloadButton, &QPushButton::clicked, &w,
                     [&w] { startDownload(fromQt(w.编辑框9->text())); });

    // Downloads page.
    attachDownloads(w);
    DownloadsView* downloads = w.downloadsView;
    QObject::connect(downloads->pauseButton, &QPushButton::clicked, &w,
                     [] { pauseSelectedDownloads(); });
    QObject::connect(downloads->resumeButton, &QPushButton::clicked, &w,
                     [] { resumeSelectedDownloads(); });
    QObject::connect(downloads->cancelButton, &QPushButton::clicked, &w,
                     [] { cancelSelectedDownloads(); });
    QObject::connect(downloads->removeButton, &QPushButton::clicked, &w,
                     [] { removeSelectedDownloads(); });
    QObject::connect(downloads->folderButton, &QPushButton::clicked, &w,
                     [] { openSelectedDownloadFolder(); });
    QObject::connect(downloads->copyHashButton, &QPushButton::clicked, &w,
                     [] { copySelectedDownloadHash(); });

    // Copy, export and link checks on the result lists and the LG address box.
    bindResultTools(w);

    bindInputHistory(w.编辑框1, w.按钮1, "huawei");
    bindInputHistory(w.编辑框2, w.按钮2, "zte");
    bindInputHistory(w.编辑框11, w.按钮6, "coolpad");
    bindInputHistory(w.编辑框4, w.按钮4, "lg", false);
    QObject::connect(w.settingsButton, &QToolButton::clicked, &w, [&w] { openSettingsDialog(&w); });
    auto* settings = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), &w);
    QObject::connect(settings, &QShortcut::activated, &w, [&w] { openSettingsDialog(&w); });
}
