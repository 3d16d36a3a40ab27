#include "app/window/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "app/window/qt_text.h"
#include "base/api_table.h"
#include "base/message_box.h"

namespace {

void showOnWindowThread(const QString& text) {
    QMessageBox box(QMessageBox::Information, Romhaul::tr("信息："), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

void presentMessageBox(const std::string& gbkText) {
    const QString text = uiText(gbkText);
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        const std::string utf8 = codepage::gbkToUtf8(gbkText) + "\n";
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        showOnWindowThread(text);
        return;
    }
    QMetaObject::invokeMethod(
        app, [text] { showOnWindowThread(text); }, Qt::BlockingQueuedConnection);
}

void installMessageBoxes() {
    setMessageBoxPresenter(presentMessageBox);
    api::setFatalReporter([](const std::string& gbkText) { showMessageBox(gbkText); });
}
