#include "app/handlers.h"

#include "app/main_window.h"
#include "app/open_address.h"
#include "app/qt_text.h"
#include "app/startup.h"
#include "base/text_util.h"
#include "vendors/coolpad_page.h"
#include "vendors/huawei_page.h"
#include "vendors/lg_page.h"

namespace {

// The list handlers open the address in the hidden column of the list's current row; with
// no current row that is the empty text, which openAddress drops.
void openCurrentRowAddress(const ReportView* list, int column) {
    openAddress(list->itemText(list->currentRow(), column));
}

}  // namespace

void bindHandlers(MainWindow& w) {
    QObject::connect(&w, &MainWindow::created, &w, [] { onMainWindowCreated(); });

    // Huawei page.
    QObject::connect(w.按钮1, &QPushButton::clicked, &w, [] { huaweiSearch(); });
    QObject::connect(w.编辑框1, &QLineEdit::returnPressed, &w, [] { huaweiSearch(); });
    QObject::connect(w.超级列表框1, &ReportView::rowDoubleClicked, &w,
                     [list = w.超级列表框1](int) { openCurrentRowAddress(list, 3); });

    // Coolpad page.
    QObject::connect(w.按钮6, &QPushButton::clicked, &w, [] { coolpadSearch(); });
    QObject::connect(w.编辑框11, &QLineEdit::returnPressed, &w, [] { coolpadSearch(); });
    // A type is chosen when it becomes the selected entry. Tabbing into the list only
    // marks its first entry current, and clearing it before a search leaves nothing
    // selected: neither loads a page.
    QObject::connect(w.列表框1, &QListWidget::itemSelectionChanged, &w, [&w] {
        if (!w.列表框1->selectedItems().isEmpty()) coolpadLoadDownloads();
    });
    // A file row is made current by selecting it. Tabbing into the list marks its first
    // row current without selecting it, and must not send that file to the browser.
    QObject::connect(
        w.超级列表框3->selectionModel(), &QItemSelectionModel::selectionChanged, &w, [&w] {
            const QModelIndexList rows = w.超级列表框3->selectionModel()->selectedRows();
            if (!rows.isEmpty()) openAddress(w.超级列表框3->itemText(rows.front().row(), 4));
        });

    // LG page.
    QObject::connect(w.按钮4, &QPushButton::clicked, &w, [] { lgLookup(); });
    QObject::connect(w.编辑框9, &QLineEdit::textChanged, &w,
                     [&w](const QString& text) { w.按钮5->setEnabled(!isBlank(fromQt(text))); });
    QObject::connect(w.按钮5, &QPushButton::clicked, &w,
                     [&w] { openAddress(fromQt(w.编辑框9->text())); });
}
