#include "app/result_tools.h"

#include <QAction>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <functional>
#include <memory>

#include "app/link_check.h"
#include "app/open_address.h"
#include "app/pages/downloads_page.h"
#include "app/window/file_chooser.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "app/window/report_csv.h"
#include "base/message_box.h"
#include "base/text_util.h"

namespace {

void say(const QString& text) {
    showMessageBox(fromQt(text));
}

QAction* addCommand(QWidget* owner, const char* name, const char* text, std::function<void()> run) {
    auto* action = new QAction(Romhaul::tr(text), owner);
    action->setObjectName(QString::fromUtf8(name));
    QObject::connect(action, &QAction::triggered, owner, std::move(run));
    owner->addAction(action);
    return action;
}

// A link check's answer stays on screen without holding the window up: one note, which
// each answer rewrites, and which goes with the window.
void showNote(const QString& text) {
    MainWindow* w = mainWindow();
    if (!w) return;
    auto* note =
        w->findChild<QMessageBox*>(QStringLiteral("linkCheckNote"), Qt::FindDirectChildrenOnly);
    if (!note) {
        note = new QMessageBox(QMessageBox::Information, Romhaul::tr("信息："), {}, QMessageBox::Ok,
                               w);
        note->setObjectName(QStringLiteral("linkCheckNote"));
        note->setWindowModality(Qt::NonModal);
        note->setAttribute(Qt::WA_DeleteOnClose);
    }
    note->setText(text);
    note->show();
    note->raise();
}

void copyRows(ReportView* list) {
    if (list->itemCount() == 0) return say(Romhaul::tr("列表是空的，没有可复制的内容。"));
    if (!list->copySelectedRows()) say(Romhaul::tr("请先选中要复制的行。"));
}

void copyAddresses(ReportView* list) {
    if (list->itemCount() == 0) return say(Romhaul::tr("列表是空的，没有可复制的内容。"));
    if (!list->copySelectedAddresses()) say(Romhaul::tr("请先选中要复制的行。"));
}

// The folder of the last export, for the next one while the program runs (it keeps no
// settings).
QString& exportFolder() {
    static QString folder;
    return folder;
}

QString suggestedExportPath(const QString& pageCaption) {
    QString folder = exportFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    QString name = pageCaption.trimmed();
    name.replace(u' ', u'_');
    name +=
        u'_' + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
    return QDir(folder).filePath(name);
}

void exportList(ReportView* list, const QString& pageCaption) {
    if (list->itemCount() == 0) return say(Romhaul::tr("列表是空的，没有可导出的内容。"));
    QPointer<ReportView> alive(list);
    const QString path =
        chooseSaveFile(list->window(), Romhaul::tr("导出列表"), suggestedExportPath(pageCaption),
                       Romhaul::tr("CSV 文件 (*.csv)"));
    // The dialog lets window events run: the window may have closed meanwhile.
    if (path.isEmpty() || !alive) return;
    exportFolder() = QFileInfo(path).absolutePath();
    QString reason;
    if (!writeCsv(*list->reportModel(), path, &reason))
        showMessageBox(fromQt(Romhaul::tr("列表没有导出，文件无法写入：") +
                              QDir::toNativeSeparators(path) + u'\n' + reason));
}

void checkRowLink(ReportView* list, LinkChecks& checks) {
    const int row = list->targetRow();
    if (row < 0)
        return say(list->itemCount() == 0 ? Romhaul::tr("列表是空的，没有可检查的链接。")
                                          : Romhaul::tr("请先选中一行。"));
    const std::string address = list->itemText(row, list->addressColumn());
    list->setRowNote(row, Romhaul::tr("正在检查链接…"));
    QPointer<ReportView> where(list);
    checks.start(address, [where, row, address](const std::string& answer) {
        const QString text = toQt(answer);
        // The list may have been refilled meanwhile: the answer belongs to its address.
        if (where && where->itemText(row, where->addressColumn()) == address)
            where->setRowNote(row, text);
        showNote(text);
    });
}

void openRowAddress(ReportView* list) {
    const int row = list->targetRow();
    if (row < 0) return say(Romhaul::tr("请先选中一行。"));
    openAddress(list->itemText(row, list->addressColumn()));
}

// Every selected row's file, with the size the list shows for it (the engine checks the
// file against it).
void downloadRows(ReportView* list) {
    const std::vector<int> rows = list->selectedRows();
    if (rows.empty())
        return say(list->itemCount() == 0 ? Romhaul::tr("列表是空的，没有可下载的文件。")
                                          : Romhaul::tr("请先选中一行。"));
    const int size = list->reportModel()->column(report_column::kSize);
    for (int row : rows)
        startDownload(list->itemText(row, list->addressColumn()), list->itemText(row, size));
}

void bindList(MainWindow& w, ReportView* list) {
    const QString caption = w.选择夹1->tabText(w.选择夹1->indexOf(list->parentWidget()));
    const auto separate = [list] {
        auto* separator = new QAction(list);
        separator->setSeparator(true);
        list->addAction(separator);
    };
    addCommand(list, "copyRows", QT_TRANSLATE_NOOP("Romhaul", "复制"), [list] { copyRows(list); });
    addCommand(list, "copyAddresses", QT_TRANSLATE_NOOP("Romhaul", "复制下载地址"),
               [list] { copyAddresses(list); });
    separate();
    addCommand(list, "exportList", QT_TRANSLATE_NOOP("Romhaul", "导出列表…"),
               [list, caption] { exportList(list, caption); });
    separate();
    // Refilling the list stops the checks of its former rows.
    auto checks = std::make_shared<LinkChecks>();
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, list,
                     [checks] { checks->stop(); });
    addCommand(list, "checkLink", QT_TRANSLATE_NOOP("Romhaul", "检查链接"),
               [list, checks] { checkRowLink(list, *checks); });
    addCommand(list, "openAddress", QT_TRANSLATE_NOOP("Romhaul", "打开下载地址"),
               [list] { openRowAddress(list); });
    // The verb, not the page's name.
    addCommand(list, "download", "", [list] {
        downloadRows(list);
    })->setText(Romhaul::tr("下载", "command"));
}

// The LG page's address box keeps its own menu (select, copy) and gains the two commands
// that make sense for one address.
void bindAddressBox(QLineEdit* box) {
    auto* copy = new QAction(Romhaul::tr("复制下载地址"), box);
    copy->setObjectName(QStringLiteral("copyAddresses"));
    QObject::connect(copy, &QAction::triggered, box, [box] {
        if (isBlank(fromQt(box->text()))) return say(Romhaul::tr("还没有下载地址。"));
        QGuiApplication::clipboard()->setText(box->text().trimmed());
    });
    auto* check = new QAction(Romhaul::tr("检查链接"), box);
    check->setObjectName(QStringLiteral("checkLink"));
    auto checks = std::make_shared<LinkChecks>();
    QObject::connect(check, &QAction::triggered, box, [box, checks] {
        const std::string address = trimSpaces(fromQt(box->text()));
        if (address.empty()) return say(Romhaul::tr("还没有下载地址。"));
        box->setToolTip(Romhaul::tr("正在检查链接…"));
        checks->start(address,
                      [where = QPointer<QLineEdit>(box), address](const std::string& answer) {
                          const QString text = toQt(answer);
                          if (where && trimSpaces(fromQt(where->text())) == address)
                              where->setToolTip(text);
                          showNote(text);
                      });
    });
    // A new look-up's address has not been checked, and the checks of the former one stop.
    QObject::connect(box, &QLineEdit::textChanged, box, [box, checks] {
        box->setToolTip({});
        checks->stop();
    });
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(box, &QWidget::customContextMenuRequested, box, [box, copy, check](QPoint at) {
        QPointer<QMenu> menu = box->createStandardContextMenu();
        menu->addSeparator();
        menu->addAction(copy);
        menu->addAction(check);
        menu->exec(box->mapToGlobal(at));
        delete menu.data();
    });
}

}  // namespace

void bindResultTools(MainWindow& w) {
    for (ReportView* list : {w.超级列表框1, w.超级列表框2, w.超级列表框3, w.超级列表框5})
        bindList(w, list);
    bindAddressBox(w.编辑框9);
}
