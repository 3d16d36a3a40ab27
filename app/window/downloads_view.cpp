#include "app/window/downloads_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/window/qt_text.h"

namespace {

constexpr int kRunningRole = Qt::UserRole;
constexpr int kResumableRole = Qt::UserRole + 1;

QPushButton* commandButton(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(Romhaul::tr(text), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setAutoDefault(false);
    b->setEnabled(false);
    return b;
}

}  // namespace

DownloadsView::DownloadsView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("downloadsView"));
    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("downloadList"));
    list->setColumnCount(kColumnCount);
    list->setHeaderLabels({Romhaul::tr("文件名"), Romhaul::tr("大小"), Romhaul::tr("进度"),
                           Romhaul::tr("速度"), Romhaul::tr("剩余时间"), Romhaul::tr("状态")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[kColumnCount] = {170, 70, 90, 70, 60, 60};
    for (int c = 0; c < kColumnCount; ++c) list->header()->resizeSection(c, widths[c]);
    list->header()->setStretchLastSection(true);

    pauseButton = commandButton(this, "pauseDownload", QT_TRANSLATE_NOOP("Romhaul", "暂停"));
    resumeButton = commandButton(this, "resumeDownload", QT_TRANSLATE_NOOP("Romhaul", "继续"));
    cancelButton = commandButton(this, "cancelDownload", QT_TRANSLATE_NOOP("Romhaul", "取消"));
    removeButton = commandButton(this, "removeDownload", QT_TRANSLATE_NOOP("Romhaul", "移除"));
    folderButton =
        commandButton(this, "openDownloadFolder", QT_TRANSLATE_NOOP("Romhaul", "打开文件夹"));
    copyHashButton =
        commandButton(this, "copyDownloadHash", QT_TRANSLATE_NOOP("Romhaul", "复制 SHA-256"));

    auto* buttons = new QHBoxLayout;
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QPushButton* b :
         {pauseButton, resumeButton, cancelButton, removeButton, folderButton, copyHashButton}) {
        buttons->addWidget(b);
        auto* action = new QAction(b->text(), list);
        action->setObjectName(b->objectName());
        connect(action, &QAction::triggered, b, &QPushButton::click);
        action->setEnabled(false);
        list->addAction(action);
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(list);
    layout->addLayout(buttons);
    connect(list, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
}

int DownloadsView::rowCount() const {
    return list->topLevelItemCount();
}

int DownloadsView::addRow() {
    auto* item = new QTreeWidgetItem(list);
    item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kSpeed, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(kTimeLeft, Qt::AlignRight | Qt::AlignVCenter);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(true);
    list->setItemWidget(item, kProgress, bar);
    return rowCount() - 1;
}

void DownloadsView::setRow(int row, const DownloadRowText& text) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (!item) return;
    item->setText(kName, text.name);
    item->setText(kSize, text.size);
    item->setText(kSpeed, text.speed);
    item->setText(kTimeLeft, text.timeLeft);
    item->setText(kState, text.state);
    for (int c = 0; c < kColumnCount; ++c) item->setToolTip(c, text.toolTip);
    item->setData(kState, kRunningRole, text.running);
    item->setData(kState, kResumableRole, text.resumable);
    if (auto* bar = qobject_cast<QProgressBar*>(list->itemWidget(item, kProgress))) {
        // A running download of unknown length shows a busy bar; a stopped one an empty bar.
        if (text.percent < 0) {
            bar->setRange(0, text.running ? 0 : 100);
            bar->setValue(0);
        } else {
            bar->setRange(0, 100);
            bar->setValue(std::clamp(text.percent, 0, 100));
        }
    }
    if (item->isSelected()) updateButtons();
}

void DownloadsView::removeRow(int row) {
    delete list->takeTopLevelItem(row);
    updateButtons();
}

std::vector<int> DownloadsView::selectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list->selectedItems())
        rows.push_back(list->indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DownloadsView::selectRow(int row) {
    list->clearSelection();
    if (QTreeWidgetItem* item = list->topLevelItem(row)) {
        list->setCurrentItem(item);
        item->setSelected(true);
    }
}

void DownloadsView::updateButtons() {
    bool any = false, running = false, resumable = false;
    for (QTreeWidgetItem* item : list->selectedItems()) {
        any = true;
        running |= item->data(kState, kRunningRole).toBool();
        resumable |= item->data(kState, kResumableRole).toBool();
    }
    pauseButton->setEnabled(running);
    resumeButton->setEnabled(resumable);
    cancelButton->setEnabled(running || resumable);
    removeButton->setEnabled(any);
    folderButton->setEnabled(any);
    copyHashButton->setEnabled(any);
    // The context menu's commands are the buttons'.
    for (QAction* action : list->actions()) {
        if (auto* b = findChild<QPushButton*>(action->objectName()))
            action->setEnabled(b->isEnabled());
    }
}
