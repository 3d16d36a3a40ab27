// pages_bench: how long 5,000 firmware rows take from the reply to the list on screen, and
// how much memory the window holds with all five pages loaded from the simulator.
//
// The job path splits the work: the job thread reads the reply and makes the widget texts,
// the window thread only inserts the rows and paints them. The load path (the first visit)
// does everything on the window thread. Both are timed from the reply in hand; the request
// itself is not counted. Peak memory is the process's VmHWM, with its value before the
// window was made for comparison.
//
// Without ROMHAUL_IPHONE_BASE set, the simulator runs in-process (and its memory counts
// too). For the program's own figure, run the simulator apart with 5,000 rows and point
// the bench at it:
//   build/tools/vendor-sim/vendor-sim --iphone-rows 5000 >sim.env &
//   (once sim.env ends in "# ready")  env $(grep = sim.env) build/bench/vendors/pages_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/pages/coolpad_page.h"
#include "app/pages/huawei_page.h"
#include "app/pages/iphone_page.h"
#include "app/pages/lg_page.h"
#include "app/startup.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/iphone.h"

namespace {

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setMessageBoxPresenter([](const std::string&) {});
    const bool external = !qEnvironmentVariableIsEmpty("ROMHAUL_IPHONE_BASE");
    vendorsim::Simulator sim;
    if (!external) {
        if (!sim.start()) {
            std::fprintf(stderr, "simulator: %s\n", sim.error().c_str());
            return 1;
        }
        sim.exportEnvironment();
        sim.setIphoneBulkRows(5000);
    }
    const long baseKb = statusKb("VmHWM:");

    MainWindow* window = loadMainWindow();
    window->show();
    QApplication::processEvents();

    // Memory with every page loaded: a Huawei search, a Coolpad search and one type's
    // downloads, an LG look-up, the ZTE tree and a model's files, the iPhone catalogue of
    // 5,000 rows.
    window->编辑框1->setText("P6");
    huaweiSearch();
    window->编辑框11->setText(toQt(gbk("大神")));
    coolpadSearch();
    if (window->列表框1->count() > 0) {
        window->列表框1->setCurrentRow(0);
        coolpadLoadDownloads();
    }
    window->编辑框4->setText("356789051234567");
    lgLookup();
    window->选择夹1->setCurrentIndex(1);
    for (QTreeWidgetItemIterator it(window->树型框1); *it; ++it) {
        if ((*it)->parent()) {
            window->树型框1->setCurrentItem(*it);
            break;
        }
    }
    window->选择夹1->setCurrentIndex(4);
    QApplication::processEvents();
    const long loadedKb = statusKb("VmHWM:");

    const std::string address = iphoneFirmwareAddress("all", "all", "all", false);
    ReportView* list = window->超级列表框5;
    std::vector<double> jobThreadMs, windowThreadMs, loadMs;
    for (int round = 0; round < 7; ++round) {
        const std::string reply = iphoneFetch(address);  // the reply has arrived

        // Job path: reading and text making off the window thread ...
        QElapsedTimer t;
        t.start();
        std::vector<std::vector<QString>> rows;
        for (const IphoneRow& r : iphoneReadFirmware(reply))
            rows.push_back({toQt(r[0]), toQt(r[1]), toQt(r[2]), toQt(r[3])});
        jobThreadMs.push_back(double(t.nsecsElapsed()) / 1e6);
        // ... then the window thread: the list emptied, the rows in, the view painted.
        t.restart();
        list->clearItems();
        list->reportModel()->addRows(std::move(rows));
        list->viewport()->repaint();
        windowThreadMs.push_back(double(t.nsecsElapsed()) / 1e6);

        // Load path, all on the window thread: reading, texts, rows, painting.
        t.restart();
        list->clearItems();
        std::vector<std::vector<QString>> again;
        for (const IphoneRow& r : iphoneReadFirmware(reply))
            again.push_back({toQt(r[0]), toQt(r[1]), toQt(r[2]), toQt(r[3])});
        list->reportModel()->addRows(std::move(again));
        list->viewport()->repaint();
        loadMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf(
        "rows loaded: Huawei %d, Coolpad types %d and files %d, LG model \"%s\", ZTE files %d\n",
        window->超级列表框1->itemCount(), window->列表框1->count(),
        window->超级列表框3->itemCount(), window->编辑框10->text().toUtf8().constData(),
        window->超级列表框2->itemCount());
    if (list->itemCount() != 5000) {
        std::fprintf(stderr, "expected 5000 rows, found %d\n", list->itemCount());
        return 1;
    }

    // The real job end to end, request included, for comparison.
    QElapsedTimer t;
    t.start();
    list->clearItems();
    startJob(jobRunner);
    while (list->itemCount() < 5000 && t.elapsed() < 10000) QApplication::processEvents();
    list->viewport()->repaint();
    const double jobTotalMs = double(t.nsecsElapsed()) / 1e6;
    const long peakKb = statusKb("VmHWM:");

    std::printf("5,000 rows from the reply (median of 7):\n");
    std::printf("  job thread: read + texts      %8.1f ms\n", median(jobThreadMs));
    std::printf("  window thread: insert + paint %8.1f ms  (goal < 150 ms: %.2fx of it)\n",
                median(windowThreadMs), median(windowThreadMs) / 150.0);
    std::printf("  all on the window thread      %8.1f ms\n", median(loadMs));
    std::printf("  job end to end, request too   %8.1f ms\n", jobTotalMs);
    std::printf("peak resident memory (VmHWM):\n");
    std::printf("  before the window             %8.1f MB\n", baseKb / 1024.0);
    std::printf("  all five pages loaded         %8.1f MB  (goal < 80 MB: %.2fx of it)\n",
                loadedKb / 1024.0, loadedKb / 1024.0 / 80.0);
    std::printf("  after the timing rounds       %8.1f MB\n", peakKb / 1024.0);
    std::printf("  simulator                     %s\n", external ? "apart" : "in this process");
    delete window;
    while (runningJobs() > 0) QApplication::processEvents();
    return 0;
}
