// A whole Romhaul process that is closed while every look-up waits for a reply the vendor
// simulator holds back: the window closes, main() returns, exit runs the destructors of
// every static object, and no job may still be running into them. Prints "closing" when
// it closes the window; the exit test times the rest. On the way out it prints what ran:
// "application destroyed" once the QApplication's destructor is done (the clipboard has
// been handed over by then), "program objects released" after endProgram, and "statics
// destroyed" from the last static destructor. With "busy" after the close delay, one more
// job ignores its stop flag, as a job stuck in a reader would.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/startup.h"
#include "app/window/main_window.h"
#include "base/jobs.h"
#include "base/program_objects.h"
#include "tools/vendor-sim/simulator.h"

namespace {

void say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}

// Made before main(), so destroyed after every other static object and exit routine.
struct LastStatic {
    ~LastStatic() { say("statics destroyed"); }
} lastStatic;

// Registered before startProgram registers endProgram, so it runs after it; the model
// table, made before this registration, is still there to look at.
void afterEndProgram() {
    if (zteModelTable().capacity() == 0) say("program objects released");
}

}  // namespace

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
    const bool busyJob = argc > 2 && std::strcmp(argv[2], "busy") == 0;
    zteModelTable();
    std::atexit(afterEndProgram);

    QApplication application(argc, argv);
    QObject::connect(&application, &QObject::destroyed, [] { say("application destroyed"); });
    QTimer::singleShot(0, [closeAfterMs, busyJob] {
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
        if (busyJob) {
            jobs::start(
                [] {
                    for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                },
                "deaf test job");
        }
        QTimer::singleShot(closeAfterMs, [] {
            // A record for endProgram to release.
            zteModelTable().push_back({"1", "key", "name", ""});
            say("closing");
            if (MainWindow* w = mainWindow()) w->close();
        });
    });
    return startProgram();
}
