#include "app/pages/lg_page.h"

#include <memory>

#include "app/pages/failure_text.h"
#include "app/pages/page_lookup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/lg.h"

namespace {

PageLookup& lookUp() {
    static auto* made = new PageLookup(Page::Lg);
    return *made;
}

void showOutcome(const LgLookup& found) {
    MainWindow* w = mainWindow();
    if (!w) return;
    QLineEdit* const boxes[kLgFieldCount] = {w->编辑框10, w->编辑框5, w->编辑框6,
                                             w->编辑框7,  w->编辑框8, w->编辑框9};
    // Whatever the answer, the boxes show this look-up's handset or none: another phone's
    // KDZ address must not stay a click away (emptying 编辑框9 disables 按钮5).
    if (found.end != LookupEnd::Stopped && found.reply.outcome != LgOutcome::Found)
        for (QLineEdit* box : boxes) box->clear();
    if (found.end == LookupEnd::Failed) {
        showMessageBox(lookupFailureMessage(VendorService::Lg, found.failure));
        if ((w = mainWindow())) w->编辑框4->setFocus();
    } else if (found.end != LookupEnd::Stopped) {
        switch (found.reply.outcome) {
            case LgOutcome::NoReply:
                showMessageBox(lgNoReplyMessage());
                if ((w = mainWindow())) w->编辑框4->setFocus();
                break;
            case LgOutcome::Failed:
                showMessageBox(lgFailedMessage());
                if ((w = mainWindow())) w->编辑框4->setFocus();
                break;
            case LgOutcome::Found: {
                for (int i = 0; i < kLgFieldCount; ++i)
                    boxes[i]->setText(toQt(found.reply.fields[std::size_t(i)]));
                break;
            }
        }
    }
    if (w) w->按钮4->setEnabled(true);
}

}  // namespace

void lgLookup() {
    MainWindow* w = mainWindow();
    if (!w || lookUp().running()) return;
    const std::string serial = fromQt(w->编辑框4->text());
    if (isBlank(serial)) {
        showMessageBox(lgEmptySerialMessage());
        w->编辑框4->setFocus();
        return;
    }
    w->按钮4->setEnabled(false);
    const bool started =
        lookUp().start([serial](const LookupContext& ctx, const PageLookup::Post&) {
            auto found = std::make_shared<LgLookup>(lgLookUpSerial(serial, ctx));
            return [found] { showOutcome(*found); };
        });
    if (!started) w->按钮4->setEnabled(true);
}
