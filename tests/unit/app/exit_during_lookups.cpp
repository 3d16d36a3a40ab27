// A whole Romhaul process that is closed while every look-up waits for a reply the vendor
// simulator holds back: the window closes, main() returns, exit runs the destructors of
// every static object, and no job may still be running into them. Prints "closing" when
// it closes the window; the exit test times the rest.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "app/window/main_window.h"
#include "tools/vendor-sim/simulator.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    vendorsim::Simulator sim;
    if (!sim.start()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
        return 2;
    }
    sim.exportEnvironment();
    for (VendorService s : {VendorService::Huawei, VendorService::Zte, VendorService::Coolpad,
                            VendorService::Lg, VendorService::Iphone})
        sim.setReplyDelay(s, std::chrono::seconds(30));
    const int closeAfterMs = argc > 1 ? std::atoi(argv[1]) : 300;

    QApplication application(argc, argv);
    QTimer::singleShot(0, [closeAfterMs] {
        MainWindow* w = mainWindow();
        if (!w) return;
        w->编辑框1->setText("P6");
        w->按钮1->click();
        w->编辑框11->setText("x");
        w->按钮6->click();
        w->编辑框4->setText("356789051234567");
        w->按钮4->click();
        w->选择夹1->setCurrentIndex(1);  // the ZTE model list
        w->选择夹1->setCurrentIndex(4);  // the iPhone catalogue
        w->选择框1->click();             // and an iPhone list job
        QTimer::singleShot(closeAfterMs, [] {
            std::puts("closing");
            std::fflush(stdout);
            if (MainWindow* w = mainWindow()) w->close();
        });
    });
    return startProgram();
}
