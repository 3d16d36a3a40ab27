#include "app/pages/coolpad_page.h"

#include <QByteArray>
#include <QCoreApplication>

#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/coolpad.h"

namespace {

// Each item keeps the type name's bytes as the reply had them, so the download page is
// asked for exactly that name even where the name does not survive a trip through Qt.
constexpr int kNameBytesRole = Qt::UserRole;

std::string chosenProductType(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) return {};
    const QListWidgetItem* item = selected.front();
    const QVariant bytes = item->data(kNameBytesRole);
    if (bytes.isValid()) return bytes.toByteArray().toStdString();
    return fromQt(item->text());
}

}  // namespace

void coolpadSearch() {
    MainWindow* w = mainWindow();
    if (!w) return;
    // The events let through below may hold a second Enter in 编辑框11; that search would
    // fill the list under this one, so it is dropped, as a click on the disabled 按钮6 is.
    static bool running = false;
    if (running) return;

    const std::string keyword = fromQt(w->编辑框11->text());
    if (isBlank(keyword)) {
        showMessageBox(coolpadEmptyKeywordMessage());
        w->编辑框11->setFocus();
        return;
    }
    running = true;
    w->列表框1->clear();
    w->按钮6->setEnabled(false);
    QCoreApplication::processEvents();

    for (const std::string& type : coolpadSearchTypes(keyword).types) {
        auto* item = new QListWidgetItem(toQt(type));
        item->setData(kNameBytesRole, QByteArray(type.data(), qsizetype(type.size())));
        w->列表框1->addItem(item);
    }
    if (w->列表框1->count() == 0) showMessageBox(coolpadNoResultMessage());
    w->按钮6->setEnabled(true);
    running = false;
}

void coolpadLoadDownloads() {
    MainWindow* w = mainWindow();
    if (!w) return;
    w->超级列表框3->clearItems();
    std::vector<std::vector<std::string>> rows;
    for (CoolpadFileRow& f : coolpadFetchDownloads(chosenProductType(*w->列表框1)).files) {
        rows.push_back({std::move(f.description), std::move(f.date), std::move(f.size),
                        std::move(f.kind), std::move(f.address)});
    }
    w->超级列表框3->addRows(rows);
}
