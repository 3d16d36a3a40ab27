#include "app/pages/huawei_page.h"

#include <QCoreApplication>
#include <QPointer>

#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/huawei.h"

void huaweiSearch() {
    // Enter in 编辑框1 reaches here while a search is still waiting for the pending events
    // it lets run; the button is disabled then, and so is its shortcut.
    static bool running = false;
    MainWindow* window = mainWindow();
    if (!window || running) return;

    if (isBlank(fromQt(window->编辑框1->text()))) {
        showMessageBox(gbk("您要搜索的手机型号呢？"));
        window->编辑框1->setFocus();
        return;
    }

    running = true;
    window->按钮1->setEnabled(false);
    // Once, so that the disabled button shows; the window stays still while the pages
    // are fetched.
    QPointer<MainWindow> alive(window);
    QCoreApplication::processEvents();
    if (!alive) {
        running = false;
        return;
    }
    window->超级列表框1->clearItems();

    std::vector<HuaweiFile> found = huaweiSearchFiles(fromQt(window->编辑框1->text())).files;
    // One insertion for the whole list: a long list fills without a layout pass per row.
    std::vector<std::vector<std::string>> rows;
    rows.reserve(found.size());
    for (HuaweiFile& f : found)
        rows.push_back(
            {std::move(f.name), std::move(f.date), std::move(f.size), std::move(f.address)});
    window->超级列表框1->addRows(rows);

    window->按钮1->setEnabled(true);
    running = false;
    if (window->超级列表框1->itemCount() == 0) showMessageBox(gbk("抱歉，未找到合适结果。"));
}
