// pages_bench: how long 5,000 firmware rows take from the reply to the list on screen, how
// long the window thread is busy at a stretch while each look-up runs, and how much memory
// the window holds with all five pages loaded from the simulator and after many rebuilds of
// the 5,000-row iPhone list.
//
// Every look-up runs on a job: the job thread reads the reply and makes the widget texts,
// the window thread only inserts the rows and paints them. The longest stretch is the
// longest gap between the beats of a 1 ms timer on the window thread, so it counts
// everything the window thread does in one go (the goal is under 50 ms).
// The split of the 5,000 rows is timed from the reply in hand; the "all on the window
// thread" row is what a look-up without a job would cost there. Peak memory is the
// process's VmHWM, with its value before the window was made for comparison; memory after
// the rebuilds is the resident size (VmRSS).
//
// Without ROMHAUL_IPHONE_BASE set, the simulator runs in-process (and its memory counts
// too). For the program's own figure, run the simulator apart with 5,000 rows and point
// the bench at it:
//   build/tools/vendor-sim/vendor-sim --iphone-rows 5000 >sim.env &
//   (once sim.env ends in "# ready")  env $(grep = sim.env) build/bench/vendors/pages_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/pages/coolpad_page.h"
#include "app/pages/huawei_page.h"
#include "app/pages/iphone_page.h"
#include "app/pages/lg_page.h"
#include "app/pages/zte_page.h"
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

// The longest time the window thread went without serving a 1 ms timer: a heartbeat that
// any stretch of work on the window thread holds up.
class BusyWatch {
  public:
    BusyWatch() {
        beat_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            const double ms = double(clock_.nsecsElapsed()) / 1e6;
            longest_ = std::max(longest_, ms - last_);
            last_ = ms;
        });
        clock_.start();
        beat_.start(1);
    }
    void reset() {
        longest_ = 0;
        last_ = double(clock_.nsecsElapsed()) / 1e6;
    }
    double longestMs() const { return longest_; }

  private:
    QTimer beat_;
    QElapsedTimer clock_;
    double last_ = 0;
    double longest_ = 0;
};

// Lets the window run, waiting for events as it does for the user, until every look-up
// has ended and what it handed over has been shown.
void waitForLookups() {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (runningJobs() == 0) loop.quit();
    });
    poll.start(2);
    loop.exec();
    QEventLoop idle;
    QTimer::singleShot(20, &idle, &QEventLoop::quit);
    idle.exec();
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
    // 5,000 rows, and the iPhone list job; each look-up's longest window-thread stretch.
    BusyWatch watch;
    struct Stretch {
        const char* lookUp;
        double ms;
    };
    std::vector<Stretch> stretches;
    const auto run = [&](const char* name, const std::function<void()>& start) {
        waitForLookups();
        watch.reset();
        start();
        waitForLookups();
        stretches.push_back({name, watch.longestMs()});
    };
    run("huaweiSearch", [&] {
        window->编辑框1->setText("P6");
        huaweiSearch();
    });
    run("coolpadSearch", [&] {
        window->编辑框11->setText(toQt(gbk("大神")));
        coolpadSearch();
    });
    run("coolpadLoadDownloads", [&] {
        if (window->列表框1->count() > 0) window->列表框1->setCurrentRow(0);
    });
    run("lgLookup", [&] {
        window->编辑框4->setText("356789051234567");
        lgLookup();
    });
    run("zteLoadModels", [&] { window->选择夹1->setCurrentIndex(1); });
    run("zteLoadFiles", [&] {
        for (QTreeWidgetItemIterator it(window->树型框1); *it; ++it) {
            if ((*it)->parent()) {
                window->树型框1->setCurrentItem(*it);
                break;
            }
        }
    });
    run("loadIphoneCatalogue", [&] { window->选择夹1->setCurrentIndex(4); });
    run("iPhone list job", [&] { fillIphoneList(); });
    const long loadedKb = statusKb("VmHWM:");

    const std::string address = iphoneFirmwareAddress("all", "all", "all", false);
    ReportView* list = window->超级列表框5;
    std::vector<double> jobThreadMs, windowThreadMs, loadMs;
    for (int round = 0; round < 7; ++round) {
        LookupEnd end;
        const std::string reply = fetchText({}, {address}, end);  // the reply has arrived

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
    fillIphoneList();
    waitForLookups();
    list->viewport()->repaint();
    const double jobTotalMs = double(t.nsecsElapsed()) / 1e6;
    const long peakKb = statusKb("VmHWM:");

    // Resident memory as the 5,000-row list is rebuilt again and again: what a look-up
    // read must not stay behind.
    long rssAfter5 = 0, rssAfter50 = 0;
    for (int rebuild = 1; rebuild <= 50; ++rebuild) {
        fillIphoneList();
        waitForLookups();
        if (rebuild == 5) rssAfter5 = statusKb("VmRSS:");
    }
    rssAfter50 = statusKb("VmRSS:");

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
    std::printf("resident memory (VmRSS) as the 5,000-row list is rebuilt:\n");
    std::printf("  after 5 rebuilds              %8.1f MB\n", rssAfter5 / 1024.0);
    std::printf("  after 50 rebuilds             %8.1f MB  (goal: within 5 MB of it: %+.1f MB)\n",
                rssAfter50 / 1024.0, (rssAfter50 - rssAfter5) / 1024.0);
    std::printf("longest window-thread stretch per look-up (goal < 50 ms):\n");
    for (const Stretch& st : stretches)
        std::printf("  %-28s %8.1f ms%s\n", st.lookUp, st.ms, st.ms < 50 ? "" : "  over the goal");
    std::printf("  simulator                     %s\n", external ? "apart" : "in this process");
    delete window;
    while (runningJobs() > 0) QApplication::processEvents();
    return 0;
}
