// Every look-up while its reply is held back for two seconds: the window keeps handling
// events, Esc stops the look-up with what it found so far, and closing the window ends
// every job at once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "base/program_objects.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tools/vendor-sim/simulator.h"

namespace {

using namespace std::chrono;
using vendorsim::RecordedRequest;

constexpr milliseconds kHeld{2000};

struct LookupCase {
    const char* name;
    int page;
    VendorService service;
    // Runs before any reply is held (loads what the look-up starts from); may be empty.
    std::function<void(MainWindow&)> prepare;
    // Which requests are held back.
    std::function<bool(const RecordedRequest&)> held;
    std::function<void(MainWindow&)> start;
    // Requests of `service` (counted from the start) once the held one is in flight.
    std::size_t inFlight;
    // The button disabled while the look-up runs, if it has one.
    QPushButton* MainWindow::*button;
    // The rows (list items, tree items, filled boxes) the page shows, and how many of
    // them a stop while the held request is in flight leaves.
    std::function<int(MainWindow&)> rows;
    int rowsSoFar;
    // The rows once the look-up has run to its end.
    int rowsAtEnd;
};

// GoogleTest names a failing case by this instead of dumping the struct's bytes.
void PrintTo(const LookupCase& c, std::ostream* out) {
    *out << c.name;
}

bool always(const RecordedRequest&) {
    return true;
}

int filledLgBoxes(MainWindow& w) {
    int n = 0;
    for (QLineEdit* box : {w.编辑框10, w.编辑框5, w.编辑框6, w.编辑框7, w.编辑框8, w.编辑框9})
        n += !box->text().isEmpty();
    return n;
}

int treeItems(MainWindow& w) {
    int n = w.树型框1->topLevelItemCount();
    for (int i = 0; i < w.树型框1->topLevelItemCount(); ++i)
        n += w.树型框1->topLevelItem(i)->childCount();
    return n;
}

void showPage(MainWindow& w, int page) {
    w.选择夹1->setCurrentIndex(page);
}

const LookupCase kCases[] = {
    {"huawei search, held on page 2", 0, VendorService::Huawei, nullptr,
     [](const RecordedRequest& r) { return r.param("curPage") == "2"; },
     [](MainWindow& w) {
         w.编辑框1->setText("P6");
         QTest::mouseClick(w.按钮1, Qt::LeftButton);
     },
     2, &MainWindow::按钮1, [](MainWindow& w) { return w.超级列表框1->itemCount(); }, 5, 12},
    {"zte model list", 1, VendorService::Zte, nullptr, always,
     [](MainWindow& w) {
         showPage(w, 0);
         showPage(w, 1);
     },
     1, &MainWindow::按钮3, treeItems, 0, 26},
    {"zte files of a model", 1, VendorService::Zte,
     [](MainWindow& w) {
         showPage(w, 1);
         ASSERT_TRUE(waitForLookups());
     },
     [](const RecordedRequest& r) { return r.target.find(".html") != std::string::npos; },
     [](MainWindow& w) { w.树型框1->setCurrentItem(w.树型框1->topLevelItem(0)->child(0)); }, 1,
     nullptr, [](MainWindow& w) { return w.超级列表框2->itemCount(); }, 0, 3},
    {"coolpad search", 2, VendorService::Coolpad, nullptr, always,
     [](MainWindow& w) {
         w.编辑框11->setText("大神");
         QTest::mouseClick(w.按钮6, Qt::LeftButton);
     },
     1, &MainWindow::按钮6, [](MainWindow& w) { return w.列表框1->count(); }, 0, 4},
    {"coolpad downloads of a type", 2, VendorService::Coolpad,
     [](MainWindow& w) {
         w.编辑框11->setText("大神");
         QTest::mouseClick(w.按钮6, Qt::LeftButton);
         ASSERT_TRUE(waitForLookups());
     },
     always, [](MainWindow& w) { w.列表框1->setCurrentRow(0); }, 1, nullptr,
     [](MainWindow& w) { return w.超级列表框3->itemCount(); }, 0, 3},
    {"lg look-up", 3, VendorService::Lg, nullptr, always,
     [](MainWindow& w) {
         w.编辑框4->setText("356789051234567");
         QTest::mouseClick(w.按钮4, Qt::LeftButton);
     },
     1, &MainWindow::按钮4, filledLgBoxes, 0, 6},
    {"iphone catalogue, held on the firmware list", 4, VendorService::Iphone, nullptr,
     [](const RecordedRequest& r) { return r.target.find("getDown.go") != std::string::npos; },
     [](MainWindow& w) {
         showPage(w, 0);
         showPage(w, 4);
     },
     3, nullptr, [](MainWindow& w) { return w.超级列表框5->itemCount(); }, 0, 19},
    {"iphone list job", 4, VendorService::Iphone,
     [](MainWindow& w) {
         showPage(w, 4);
         ASSERT_TRUE(waitForLookups());
     },
     always, [](MainWindow& w) { QTest::mouseClick(w.选择框1, Qt::LeftButton); }, 1, nullptr,
     [](MainWindow& w) { return w.超级列表框5->itemCount(); }, 0, 23},
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

class LookupJobs : public SimulatorWindowTest, public ::testing::WithParamInterface<LookupCase> {
  protected:
    void SetUp() override {
        SimulatorWindowTest::SetUp();
        zteModelTable().clear();
        openWindow();
        const LookupCase& c = GetParam();
        // Showing the ZTE and iPhone pages starts their loads: the cases do it themselves.
        if (c.page != 1 && c.page != 4) showPage(*window, c.page);
        if (c.prepare) c.prepare(*window);
        ASSERT_TRUE(waitForLookups());
        sim->clearRequests();
        sim->setDelayHook([held = c.held](const RecordedRequest& r) {
            return held(r) ? milliseconds(kHeld) : milliseconds(0);
        });
    }
    void TearDown() override {
        window.reset();
        EXPECT_TRUE(waitForLookups(3000));
    }

    // Starts the look-up and waits until its held request has reached the service and
    // what came before it is shown (the rows are posted to the window just before the next
    // request goes out, so the request may be seen first).
    void startAndHold() {
        const LookupCase& c = GetParam();
        c.start(*window);
        ASSERT_TRUE(waitFor([&] { return sim->requestCount(c.service) >= c.inFlight; }));
        ASSERT_TRUE(waitFor([&] { return rows() >= c.rowsSoFar; }));
        ASSERT_EQ(sim->requestCount(c.service), c.inFlight);
        ASSERT_GT(runningJobs(), 0);
    }
    QPushButton* button() const {
        const LookupCase& c = GetParam();
        return c.button ? window.get()->*c.button : nullptr;
    }
    int rows() const { return GetParam().rows(*window); }
    QWidget* page() const { return window->page(Page(GetParam().page)); }
};

TEST_P(LookupJobs, TheWindowKeepsWorkingWhileTheReplyIsHeld) {
    MessageRecorder messages;
    startAndHold();
    if (button()) {
        EXPECT_FALSE(button()->isEnabled());
    }
    EXPECT_EQ(page()->cursor().shape(), Qt::BusyCursor);

    // A timer fires, a repaint happens, and another page takes typing.
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    PaintCounter painted(page());
    page()->update();
    EXPECT_TRUE(waitFor([&] { return fired && painted.paints > 0; }, 1000));
    // The test stays on that page: showing some pages again would start their loads.
    const bool lg = GetParam().page == 3;
    showPage(*window, lg ? 0 : 3);
    QLineEdit* other = lg ? window->编辑框1 : window->编辑框4;
    other->clear();
    other->setFocus();
    QTest::keyClicks(other, "3567");  // the serial box takes digits only
    EXPECT_EQ(other->text(), "3567");
    EXPECT_GT(runningJobs(), 0) << "all of it while the reply was still held";

    // Then the look-up runs to its end as it always did.
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(rows(), GetParam().rowsAtEnd);
    if (button()) {
        EXPECT_TRUE(button()->isEnabled());
    }
    EXPECT_NE(page()->cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_P(LookupJobs, EscStopsItWithWhatItFoundSoFar) {
    MessageRecorder messages;
    startAndHold();
    const int before = rows();
    QElapsedTimer stopping;
    stopping.start();
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keyClick(focus, Qt::Key_Escape);
    ASSERT_TRUE(waitForLookups(1500));
    // The request in flight is dropped, not waited for (the bound leaves room for a busy
    // machine; the abort itself is checked every 100 ms).
    EXPECT_LT(stopping.elapsed(), 1000);
    EXPECT_EQ(rows(), GetParam().rowsSoFar);
    EXPECT_EQ(rows(), before);
    if (button()) {
        EXPECT_TRUE(button()->isEnabled());
    }
    EXPECT_NE(page()->cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(sim->requestCount(GetParam().service), GetParam().inFlight) << "nothing more asked";
}

TEST_P(LookupJobs, ClosingTheWindowEndsEveryJobAtOnce) {
    startAndHold();
    QElapsedTimer closing;
    closing.start();
    window->close();
    window.reset();
    EXPECT_TRUE(waitFor([] { return runningJobs() == 0; }, 1000));
    EXPECT_LT(closing.elapsed(), 1000);
}

INSTANTIATE_TEST_SUITE_P(EveryLookUp, LookupJobs, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LookupCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

}  // namespace
