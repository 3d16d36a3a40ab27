#include "app/pages/lg_page.h"

#include <QCoreApplication>

#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/lg.h"

void lgLookup() {
    MainWindow* w = mainWindow();
    if (!w) return;
    const std::string serial = fromQt(w->编辑框4->text());
    if (isBlank(serial)) {
        showMessageBox(lgEmptySerialMessage());
        w->编辑框4->setFocus();
        return;
    }
    w->按钮4->setEnabled(false);
    QCoreApplication::processEvents();

    const LgReply reply = lgLookUpSerial(serial).reply;
    switch (reply.outcome) {
        case LgOutcome::NoReply:
            showMessageBox(lgNoReplyMessage());
            w->编辑框4->setFocus();
            break;
        case LgOutcome::Failed:
            showMessageBox(lgFailedMessage());
            w->编辑框4->setFocus();
            break;
        case LgOutcome::Found: {
            QLineEdit* const boxes[kLgFieldCount] = {w->编辑框10, w->编辑框5, w->编辑框6,
                                                     w->编辑框7,  w->编辑框8, w->编辑框9};
            for (int i = 0; i < kLgFieldCount; ++i)
                boxes[i]->setText(toQt(reply.fields[std::size_t(i)]));
            break;
        }
    }
    w->按钮4->setEnabled(true);
}
