// Draws the main window offscreen, one PNG per tab page, so that the layout can be looked
// at without a display:
//
//   snapshot [--language zh|en] [--results] [OUTPUT_FOLDER]   (default: docs/screenshots)
//
// --results starts the vendor simulator in this process, points the service hosts at it
// and runs one look-up on each vendor page before drawing it, so that the pictures show
// rows rather than empty lists. Nothing leaves the machine, and the user's settings and
// input histories are left alone: the run keeps its own in a folder that goes with it.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/startup.h"
#include "app/window/jobs.h"
#include "app/window/language.h"
#include "app/window/main_window.h"
#include "app/window/settings.h"
#include "base/jobs.h"
#include "tools/vendor-sim/simulator.h"

namespace {

void usage() {
    std::fprintf(stderr, "usage: snapshot [--language zh|en] [--results] [OUTPUT_FOLDER]\n");
}

// Look-ups run on jobs, and what a job hands to the window may start the next one (the
// ZTE model list, the iPhone type list): done once no job runs and nothing waits.
bool waitForLookups(int milliseconds = 15000) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (runningJobs() == 0 && windowCalls().idle()) {
            QCoreApplication::processEvents();
            if (runningJobs() == 0 && windowCalls().idle()) return true;
        }
        QThread::msleep(10);
    }
    return false;
}

// Types a known input into the page shown and runs its look-up, with inputs the
// simulator's data sets answer. The ZTE and iPhone pages load as they are shown.
bool fillPage(MainWindow& w, int page) {
    switch (page) {
        case 0:
            w.编辑框1->setText(QStringLiteral("P6"));
            w.按钮1->click();
            return waitForLookups();
        case 1: {
            if (!waitForLookups()) return false;
            // The second item of the model tree is a model with files of its own.
            QTreeWidgetItemIterator it(w.树型框1);
            if (*it) ++it;
            if (!*it) return false;
            w.树型框1->setCurrentItem(*it);
            if (!waitForLookups() || w.超级列表框2->itemCount() == 0) return false;
            w.超级列表框2->setCurrentRow(0);  // and its details below
            return waitForLookups();
        }
        case 2:
            w.编辑框11->setText(QStringLiteral("大神"));
            w.按钮6->click();
            if (!waitForLookups() || w.列表框1->count() == 0) return false;
            w.列表框1->setCurrentRow(0);
            return waitForLookups();
        case 3:
            w.编辑框4->setText(QStringLiteral("356789051234567"));
            w.按钮4->click();
            return waitForLookups();
        case 4:
            return waitForLookups();
        default:
            return true;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    UiLanguage language = UiLanguage::Chinese;
    bool results = false;
    QString folder = QStringLiteral("docs/screenshots");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--results") == 0) {
            results = true;
        } else if (std::strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
            const char* name = argv[++i];
            if (std::strcmp(name, "en") == 0) {
                language = UiLanguage::English;
            } else if (std::strcmp(name, "zh") != 0) {
                usage();
                return 2;
            }
        } else if (argv[i][0] == '-') {
            usage();
            return 2;
        } else {
            folder = QString::fromLocal8Bit(argv[i]);
        }
    }
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "snapshot: cannot create %s\n", qPrintable(folder));
        return 1;
    }

    // Look-ups remember their inputs in the settings: this run's go to a folder of its own.
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    settingsStore()->setValue("language", language == UiLanguage::English ? "en" : "zh");
    installLanguage(language);

    std::unique_ptr<vendorsim::Simulator> simulator;
    if (results) {
        simulator = std::make_unique<vendorsim::Simulator>();
        if (!simulator->start()) {
            std::fprintf(stderr, "snapshot: the vendor simulator did not start: %s\n",
                         simulator->error().c_str());
            return 1;
        }
        simulator->exportEnvironment();
    }

    std::unique_ptr<MainWindow> window(loadMainWindow());
    if (!window) return 1;
    window->show();
    QApplication::processEvents();
    int status = 0;
    const char* names[] = {"huawei", "zte", "coolpad", "lg", "iphone", "downloads", "about"};
    for (int page = 0; page < 7; ++page) {
        window->选择夹1->setCurrentIndex(page);
        QApplication::processEvents();
        if (results && !fillPage(*window, page)) {
            std::fprintf(stderr, "snapshot: the %s page did not fill\n", names[page]);
            status = 1;
        }
        const QString file =
            QDir(folder).filePath(QStringLiteral("page%1-%2.png").arg(page).arg(names[page]));
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "snapshot: cannot write %s\n", qPrintable(file));
            status = 1;
            break;
        }
        std::printf("%s\n", qPrintable(file));
    }
    // No job may outlive the window and the simulator it talks to.
    window.reset();
    jobs::stopAll();
    if (!jobs::waitAll(std::chrono::seconds(5))) {
        std::fprintf(stderr, "snapshot: jobs still running at exit\n");
        return 1;
    }
    return status;
}
