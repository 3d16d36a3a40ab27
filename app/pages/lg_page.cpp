#include "app/pages/lg_page.h"

#include <memory>

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
    if (found.end != LookupEnd::Stopped) {
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
                QLineEdit* const boxes[kLgFieldCount] = {w->编辑框10, w->编辑框5, w->编辑框6,
                                                         w->编辑框7,  w->编辑框8, w->编辑框9};
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
