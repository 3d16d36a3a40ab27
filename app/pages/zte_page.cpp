#include "app/pages/zte_page.h"

#include <QPointer>
#include <QTreeWidgetItemIterator>
#include <memory>

#include "app/pages/failure_text.h"
#include "app/pages/page_lookup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/program_objects.h"
#include "base/text_util.h"
#include "vendors/zte.h"

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

void setStatus(MainWindow* w, const QString& text, const QColor& colour) {
    setTextColour(w->标签2, colour);
    w->标签2->setText(text);
}

struct PageState {
    QPointer<MainWindow> window;  // whose page this is
    bool modelsLoaded = false;
    int searchPos = 0;
};

// The state of the current window's page; window thread only.
PageState& pageState() {
    static PageState state;
    if (state.window != mainWindow()) state = {mainWindow()};
    return state;
}

PageLookup& modelList() {
    static auto* made = new PageLookup(Page::Zte);
    return *made;
}

PageLookup& fileList() {
    static auto* made = new PageLookup(Page::Zte);
    return *made;
}

// Every item of the tree in pre-order, collapsed or not.
std::vector<QTreeWidgetItem*> treeItems(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) items.push_back(*it);
    return items;
}

void showModelList(const ZteModelList& found) {
    MainWindow* w = mainWindow();
    if (!w) return;
    if (found.end != LookupEnd::Stopped) {
        zteModelTable() = zteModelRecords(found.series);
        for (const ZteSeries& s : found.series) {
            auto* seriesItem = new QTreeWidgetItem(w->树型框1, QStringList{toQt(s.title)});
            for (const ZteTreeModel& m : s.models)
                new QTreeWidgetItem(seriesItem, QStringList{toQt(m.modelName)});
        }
        if (int(treeItems(w->树型框1).size()) < kZteMinTreeItems) {
            pageState().modelsLoaded = false;
            setStatus(w, Romhaul::tr("当前状态：读取机型列表出错，请尝试刷新列表！"), kRed);
            showMessageBox(zteListErrorMessage());
            // The box may have been the window's last moment.
            if (!(w = mainWindow())) return;
        } else {
            pageState().modelsLoaded = true;
            if (found.tooComplex)
                setStatus(w, tooComplexNote(), kRed);
            else
                w->标签2->setText(Romhaul::tr("当前状态：机型列表读取已完成！"));
        }
    }
    w->按钮3->setEnabled(true);
}

}  // namespace

void zteLoadModels() {
    MainWindow* w = mainWindow();
    // A page change or a click on 按钮3 while a load runs asks for nothing more.
    if (!w || modelList().running()) return;

    w->按钮3->setEnabled(false);
    // The files of a model of the tree that goes now would come too late.
    fileList().stop();
    w->树型框1->clear();
    setStatus(w, Romhaul::tr("当前状态：正在读取机型列表信息..."), kGreen);
    const bool started = modelList().start([](const LookupContext& ctx, const PageLookup::Post&) {
        auto found = std::make_shared<ZteModelList>(zteFetchModelList(ctx));
        return [found] { showModelList(*found); };
    });
    if (!started) w->按钮3->setEnabled(true);
}

void zteFindModel() {
    MainWindow* w = mainWindow();
    if (!w) return;
    const std::string typed = trimSpaces(fromQt(w->编辑框2->text()));
    if (typed.empty()) {
        showMessageBox(zteEmptyFindMessage());
    } else {
        const std::vector<QTreeWidgetItem*> items = treeItems(w->树型框1);
        std::vector<std::string> texts;
        texts.reserve(items.size());
        for (QTreeWidgetItem* item : items) texts.push_back(fromQt(item->text(0)));
        const int at = zteFindNext(texts, typed, pageState().searchPos);
        if (at >= 0) {
            QTreeWidgetItem* item = items[std::size_t(at)];
            if (item->parent()) item->parent()->setExpanded(true);
            w->树型框1->scrollToItem(item);
            // A new current item starts zteLoadFiles, which may let the window close.
            QPointer<MainWindow> alive(w);
            w->树型框1->setCurrentItem(item);
            if (!alive) return;
            w->树型框1->setFocus();
        } else {
            showMessageBox(zteNoMatchMessage());
            if (!(w = mainWindow())) return;
        }
    }
    w->编辑框2->setFocus();
}

void zteRestartFind() {
    pageState().searchPos = 0;
}

bool zteModelsLoaded() {
    return pageState().modelsLoaded;
}

int zteSearchPos() {
    return pageState().searchPos;
}

void zteLoadFiles() {
    MainWindow* w = mainWindow();
    if (!w) return;
    QTreeWidgetItem* selected = w->树型框1->currentItem();
    if (!selected) return;
    const std::string name = fromQt(selected->text(0));
    const std::vector<ZteModel>& table = zteModelTable();
    std::size_t index = 0;
    while (index < table.size() && table[index].modelName != name) ++index;
    if (index == table.size()) return;

    w->超级列表框2->clearItems();
    w->编辑框3->clear();  // the details of the model before
    setStatus(w, Romhaul::tr("当前状态：正在读取ZTE服务器下载文件列表..."), kGreen);
    // A newer choice in the tree supersedes this one: only its rows reach the list.
    fileList().start([record = table[index], index](const LookupContext& ctx,
                                                    const PageLookup::Post&) {
        auto files = std::make_shared<ZteFiles>(zteFetchFiles(record, ctx));
        return [files, record, index] {
            MainWindow* w = mainWindow();
            if (!w) return;
            // The table may have been reloaded meanwhile: the list goes back only to the
            // same record. A list read in part is asked for again next time.
            std::vector<ZteModel>& table = zteModelTable();
            if (files->fetched && index < table.size() && table[index].modelId == record.modelId &&
                table[index].modelName == record.modelName && !files->tooComplex) {
                table[index].fileList = files->fileList;
            }
            if (files->end == LookupEnd::Stopped) return;
            w->超级列表框2->addRows(files->rows);
            if (files->end == LookupEnd::Failed) {
                const std::string failure =
                    lookupFailureMessage(VendorService::Zte, files->failure);
                setTextColour(w->标签2, kRed);
                w->标签2->setText(Romhaul::tr("当前状态：") + uiText(failure));
                return;
            }
            if (files->tooComplex)
                setStatus(w, tooComplexNote(), kRed);
            else
                w->标签2->setText(Romhaul::tr("当前状态：服务器可下载文件列表读取完成！"));
        };
    });
}

void zteShowFileInfo() {
    MainWindow* w = mainWindow();
    if (!w) return;
    w->编辑框3->clear();
    const ReportView* list = w->超级列表框2;
    const int row = list->currentRow();
    if (row < 0) return;
    QTextCursor end = w->编辑框3->textCursor();
    for (const std::string& piece :
         zteFileInfoPieces(list->itemText(row, 0), list->itemText(row, 1), list->itemText(row, 2),
                           list->itemText(row, 3))) {
        // An edit box shows CR LF as one line break; Qt would make two of it.
        end.movePosition(QTextCursor::End);
        end.insertText(uiText(replaceAll(piece, "\r\n", "\n")));
    }
}
