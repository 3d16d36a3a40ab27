#include "app/handlers.h"

#include "app/main_window.h"
#include "app/open_address.h"
#include "app/startup.h"
#include "vendors/huawei_page.h"

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
}
