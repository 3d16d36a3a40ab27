#include "app/open_address.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <string>

#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "platform/shell.h"

bool isOpenableAddress(std::string_view address) {
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() >= scheme.size() &&
            toLowerAscii(address.substr(0, scheme.size())) == scheme)
            return true;
    }
    return false;
}

bool openAddress(std::string_view address) {
    if (!isOpenableAddress(address)) return false;
    constexpr int kShowNormal = 1;
    // The shell has no owner window to find here; the browser opens on its own.
    if (win::ShellExecuteA(nullptr, "open", std::string(address).c_str(), nullptr, nullptr,
                           kShowNormal) > 32)
        return true;
    // The address is the user's to copy by hand meanwhile.
    showMessageBox(fromQt(Romhaul::tr("无法启动浏览器打开这个地址：\n%1").arg(toQt(address))));
    return false;
}

void installBrowserOpener() {
    win::ShellOpener installed = win::setShellOpener([](const std::string& utf8Address) {
        return QDesktopServices::openUrl(QUrl(QString::fromUtf8(utf8Address), QUrl::TolerantMode));
    });
    // A test's recorder stays: a test that starts the program must not reach a browser.
    if (installed) win::setShellOpener(std::move(installed));
}
