#include "app/pages/huawei_page.h"

#include <memory>

#include "app/pages/failure_text.h"
#include "app/pages/page_lookup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/huawei.h"

namespace {

PageLookup& search() {
    static auto* lookUp = new PageLookup(Page::Huawei);
    return *lookUp;
}

}  // namespace

void huaweiSearch() {
    // Enter in 编辑框1 while a search runs is dropped, as a click on the disabled 按钮1 is.
    MainWindow* window = mainWindow();
    if (!window || search().running()) return;

    const std::string keyword = fromQt(window->编辑框1->text());
    if (isBlank(keyword)) {
        showMessageBox(huaweiEmptyKeywordMessage());
        window->编辑框1->setFocus();
        return;
    }

    window->按钮1->setEnabled(false);
    window->超级列表框1->clearItems();
    // The hint line carries the last search's note; a new search starts without one.
    window->标签1->setText(Romhaul::tr("输入产品型号或关键词，获取软件下载"));
    const bool started =
        search().start([keyword](const LookupContext& ctx, const PageLookup::Post& post) {
            // Each page's rows go to the list as soon as the page is read.
            const HuaweiSearch found =
                huaweiSearchFiles(keyword, ctx, [&post](std::vector<HuaweiFile>&& files) {
                    auto rows = std::make_shared<std::vector<std::vector<std::string>>>();
                    rows->reserve(files.size());
                    for (HuaweiFile& f : files)
                        rows->push_back({std::move(f.name), std::move(f.date), std::move(f.size),
                                         std::move(f.address)});
                    post([rows] {
                        if (MainWindow* w = mainWindow()) w->超级列表框1->addRows(*rows);
                    });
                });
            return [end = found.end, failure = found.failure,
                    capped = found.rule == HuaweiStopRule::PageCap, tooComplex = found.tooComplex] {
                MainWindow* w = mainWindow();
                if (!w) return;
                w->按钮1->setEnabled(true);
                if (capped)
                    showHintNote(
                        w->标签1,
                        Romhaul::tr("只读取了前 %1 页，列表可能不完整。").arg(kHuaweiMaxPages));
                else if (tooComplex)
                    showHintNote(w->标签1, tooComplexNote());
                // A failed page keeps the rows of the pages before it, and says so.
                if (end == LookupEnd::Failed)
                    showMessageBox(lookupFailureMessage(VendorService::Huawei, failure));
                else if (end == LookupEnd::Complete && w->超级列表框1->itemCount() == 0)
                    showMessageBox(huaweiNoResultMessage());
            };
        });
    if (!started) window->按钮1->setEnabled(true);
}
