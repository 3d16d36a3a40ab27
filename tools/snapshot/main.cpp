// Draws the main window offscreen, one PNG per tab page, so that the layout can be looked
// at without a display:   snapshot [OUTPUT_FOLDER]   (default: docs/screenshots)
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <memory>

#include "app/startup.h"
#include "app/window/main_window.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "docs/screenshots";
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "snapshot: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    std::unique_ptr<MainWindow> window(loadMainWindow());
    if (!window) return 1;
    window->show();
    QApplication::processEvents();
    const char* names[] = {"huawei", "zte", "coolpad", "lg", "iphone", "downloads", "about"};
    for (int page = 0; page < 7; ++page) {
        window->选择夹1->setCurrentIndex(page);
        QApplication::processEvents();
        const QString file =
            QDir(folder).filePath(QStringLiteral("page%1-%2.png").arg(page).arg(names[page]));
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "snapshot: cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
