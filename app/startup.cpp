#include "app/startup.h"

#include <QApplication>
#include <QDirIterator>
#include <QIcon>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/open_address.h"
#include "app/settings_dialog.h"
#include "app/window/language.h"
#include "app/window/main_window.h"
#include "app/window/qt_message_box.h"
#include "app/window/qt_text.h"
#include "app/window/settings.h"
#include "base/api_table.h"
#include "base/cipher.h"
#include "base/jobs.h"
#include "base/program_objects.h"
#include "base/text_util.h"

namespace {

// How long the exit waits for stopped jobs: well within the second a close may take.
constexpr int kExitWaitMs = 600;

// Download jobs (named "download ADDRESS") wait for their engine to stop.
constexpr int kDownloadExitWaitMs = 15000;

bool onlyDownloads(const std::vector<std::string>& busy) {
    return std::all_of(busy.begin(), busy.end(),
                       [](const std::string& name) { return name.rfind("download ", 0) == 0; });
}

// The way out when a job outlived the exit wait: say which (a hung job is a fault worth
// reporting) and end without running anything the job may still be using.
[[noreturn]] void exitWithBusyJobs(const std::vector<std::string>& busy) {
    std::string line = "romhaul: ";
    line += busy.front().empty() ? "a job" : "the job \"" + busy.front() + "\"";
    if (busy.size() > 1) line += " (and " + std::to_string(busy.size() - 1) + " more)";
    line += " did not end within " + std::to_string(kExitWaitMs) + " ms of the window closing";
    line += "; exiting without clean-up\n";
    std::fflush(nullptr);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(kExitJobsBusy);
}

}  // namespace

MainWindow* loadMainWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    auto* window = new MainWindow;
    bindHandlers(*window);
    window->notifyCreated();
    return window;
}

void onMainWindowCreated() {
    MainWindow* w = mainWindow();
    if (!w) return;
    const auto plain = [](const char* constant) {
        return uiText(decipherText(constant, constants::kKey));
    };
    w->setWindowTitle(plain(constants::kCaption));
    w->标签14->setText(plain(constants::kAuthor));
    w->标签12->setText(plain(constants::kNotice));
    w->标签15->setText(plain(constants::kContact));
}

void restoreWindowState(MainWindow& window) {
    auto store = settingsStore();
    const QByteArray geometry = store->value("window/geometry").toByteArray();
    if (!geometry.isEmpty()) {
        window.setSavedGeometry(geometry);
        window.restoreGeometry(geometry);
    }
    const int page = store->value("window/page", 0).toInt();
    if (page > 0 && page < window.选择夹1->count()) window.选择夹1->setCurrentIndex(page);
}

void saveWindowState(const MainWindow& window) {
    auto store = settingsStore();
    store->setValue("window/geometry", window.saveGeometry());
    store->setValue("window/page", window.选择夹1->currentIndex());
    store->sync();
    // The window has gone: the message box of a failed write would come after it.
    if (store->status() != QSettings::NoError)
        std::fprintf(stderr, "romhaul: the settings file %s cannot be written\n",
                     qPrintable(store->fileName()));
}

void setDesktopIdentity() {
    // One PNG per size (the build embeds those the install puts under share/icons).
    QIcon icon;
    QDirIterator pictures(QStringLiteral(":/icons"), {QStringLiteral(ROMHAUL_APP_ID ".png")},
                          QDir::Files, QDirIterator::Subdirectories);
    while (pictures.hasNext()) icon.addFile(pictures.next());
    QApplication::setWindowIcon(icon);
    // X11 docks match the window class (the application name) against StartupWMClass,
    // Wayland compositors the app id against the desktop entry's name.
    QCoreApplication::setApplicationName(QStringLiteral("romhaul"));
    QGuiApplication::setDesktopFileName(QStringLiteral(ROMHAUL_APP_ID));
}

int startProgram() {
    setDesktopIdentity();
    createProgramObjects();
    static const bool registered = [] { return std::atexit(endProgram) == 0; }();
    (void)registered;
    initDocumentModule();
    installMessageBoxes();
    installBrowserOpener();
    // Before the window: its texts are worded as it is made.
    const Settings settings = loadSettings();
    applySettings(settings);
    installLanguage(chooseLanguage(settings.language, QLocale::system()));

    std::unique_ptr<MainWindow> window(loadMainWindow());
    if (!window) api::fatalError(gbk("载入启动窗口失败"));
    restoreWindowState(*window);
    window->show();
    QApplication::exec();
    saveWindowState(*window);
    // The window going stops every job; the program may end only once they have ended,
    // for exit destroys what they use (the code-page tables, the web handles, the error
    // log). A stopped request ends within about 100 ms; a job still busy past the wait
    // (a reader on a hostile reply) must not keep the process, nor meet the destructors.
    window.reset();
    jobs::stopAll();
    if (!jobs::waitAll(std::chrono::milliseconds(kExitWaitMs))) {
        // A download stops by syncing what it wrote and saving its state, which after a
        // fast transfer takes a few seconds: worth waiting for (the window has gone), or
        // the next run fetches again what the last saved state did not vouch for.
        if (onlyDownloads(jobs::runningNames()))
            jobs::waitAll(std::chrono::milliseconds(kDownloadExitWaitMs));
        const std::vector<std::string> busy = jobs::runningNames();
        if (!busy.empty()) exitWithBusyJobs(busy);
    }
    return 0;
}

void endProgram() {
    releaseProgramObjects();
}
