// The iPhone page end to end against the simulator: the catalogue loaded on the first
// visit, the request of each choice, the notes, and the list jobs: newest wins, and a
// window closed under running jobs.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/pages/failure_text.h"
#include "app/startup.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/jobs.h"
#include "base/text_util.h"
#include "platform/codepage.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/iphone.h"
#include "vendors/service_hosts.h"

#if defined(__SANITIZE_THREAD__)
// Qt is not built for the race checker: its own locks are futexes the checker cannot see,
// so copies and frees made inside Qt are left out. Our code, and what it hands between
// threads under its own locks, is still checked.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}
#endif

namespace {

using namespace std::chrono;
using vendorsim::RecordedRequest;
using vendorsim::Simulator;

using Rows = std::vector<std::vector<std::string>>;

class IphonePageTest : public OpenWindowTest {
  protected:
    IphonePageTest() : OpenWindowTest(10000) {}

    void visitIphone() {
        window->选择夹1->setCurrentIndex(0);
        window->选择夹1->setCurrentIndex(4);
        ASSERT_TRUE(waitForLookups());
    }
    // A choice as the user makes it: the entry becomes current and the box reports it.
    static void choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void clickCheckBox() { QTest::mouseClick(window->选择框1, Qt::LeftButton); }
    // The last rows are handed to the window thread just before a job ends.
    void waitForJobs() { ASSERT_TRUE(waitForLookups()); }

    static std::vector<std::string> entries(const QComboBox* box) {
        std::vector<std::string> out;
        for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
        return out;
    }
    Rows rows() const {
        Rows out;
        for (int r = 0; r < window->超级列表框5->itemCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < 4; ++c)
                row.push_back(codepage::gbkToUtf8(window->超级列表框5->itemText(r, c)));
            out.push_back(row);
        }
        return out;
    }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (const auto& row : rows()) out.push_back(row[std::size_t(c)]);
        return out;
    }
    // Request targets after the service's base path.
    std::vector<std::string> targets() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : sim->requests(VendorService::Iphone))
            out.push_back(r.target.substr(std::string("/iphone/").size()));
        return out;
    }
    // The rows the service gives for one firmware address, read the way the page reads them.
    static Rows expectedRows(const std::string& model, const std::string& type,
                             const std::string& version, bool all) {
        Rows out;
        for (const IphoneRow& r : iphoneFetchFirmware(model, type, version, all).rows) {
            std::vector<std::string> row;
            for (const std::string& cell : r) row.push_back(codepage::gbkToUtf8(cell));
            out.push_back(row);
        }
        return out;
    }
};

TEST_F(IphonePageTest, FirstVisitFillsTheBoxesAndListsEveryFlashableFirmware) {
    visitIphone();
    EXPECT_EQ(entries(window->组合框1),
              (std::vector<std::string>{"--全部机型--", "iPhone 4", "iPhone 4 电信版", "iPhone 4S",
                                        "iPhone 5", "iPhone 5s", "iPhone 6 Plus"}));
    EXPECT_EQ(entries(window->组合框2), std::vector<std::string>{"--全部类型--"});
    EXPECT_EQ(entries(window->组合框3),
              (std::vector<std::string>{"--全部版本--", "8.1.2", "8.1", "7.1.2", "7.0.4", "6.1.3",
                                        "5.1.1"}));
    for (const QComboBox* box : {window->组合框1, window->组合框2, window->组合框3})
        EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(window->超级列表框5->itemCount(), 19);
    EXPECT_EQ(targets(), (std::vector<std::string>{
                             "model/getModelSelect.go", "model/getVersionSelect.go?type=all",
                             "down/getDown.go?model=all&type=all&version=all&brush=30"}));
    EXPECT_EQ(runningJobs(), 0) << "first entries selected from code start no job";

    // Notes of the catalogue's odd entries.
    const Rows all = rows();
    const auto noteOf = [&](const std::string& productName) {
        for (const auto& row : all)
            if (row[1] == productName) return row[2];
        return std::string("(missing)");
    };
    EXPECT_EQ(noteOf("iPhone4,1_6.1.3_10B329_Custom.ipsw"),
              "自制固件，可不完美越狱，有SHSH则可以刷");
    EXPECT_EQ(noteOf("iPhone6,1_7.1.2_11D257_Restore.ipsw"), "原厂固件");
    EXPECT_EQ(noteOf("iPhone5,2_6.1.3_Custom_Unlock.ipsw"), "自制固件");
    EXPECT_EQ(noteOf("iPhone3,1_7.1.2_11D257_Restore.ipsw"),
              "原厂固件，可完美越狱，可随意刷此版本");
    EXPECT_EQ(noteOf("iPhone7,1_8.1_12B411_Restore.ipsw"), "原厂固件，可随意刷此版本")
        << "an entry without isSetup reads 0";

    // Revisiting with rows does nothing; with an empty list it loads again.
    sim->clearRequests();
    visitIphone();
    EXPECT_TRUE(targets().empty());
    choose(window->组合框1, 5);
    waitForJobs();
    ASSERT_GT(entries(window->组合框2).size(), 1u);
    window->超级列表框5->clearItems();
    visitIphone();
    EXPECT_EQ(entries(window->组合框2), std::vector<std::string>{"--全部类型--"});
    EXPECT_EQ(window->组合框1->currentIndex(), 0);
    EXPECT_EQ(window->超级列表框5->itemCount(), 19);
}

TEST_F(IphonePageTest, AnEmptyListSaysWhyItIsEmpty) {
    ReportView* list = window->超级列表框5;
    sim->setReplyHook(VendorService::Iphone,
                      [](const RecordedRequest&) -> std::optional<vendorsim::Reply> {
                          return vendorsim::Reply{500, "text/html", "<html>down</html>"};
                      });
    visitIphone();
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(list->emptyText(),
              uiText(lookupFailureMessage(VendorService::Iphone, {FailureKind::HttpStatus, 500})));

    // Without a catalogue address nothing is asked for, and the list names the variable.
    sim->setReplyHook(VendorService::Iphone, {});
    sim->clearRequests();
    const std::string base = std::getenv("ROMHAUL_IPHONE_BASE");
    unsetenv("ROMHAUL_IPHONE_BASE");
    visitIphone();
    setenv("ROMHAUL_IPHONE_BASE", base.c_str(), 1);
    EXPECT_TRUE(targets().empty());
    EXPECT_TRUE(list->emptyText().contains("ROMHAUL_IPHONE_BASE"))
        << list->emptyText().toStdString();

    visitIphone();
    EXPECT_EQ(list->itemCount(), 19);
    EXPECT_TRUE(list->emptyText().isEmpty());
}

// A box list that fails leaves the box with its first entry only, and the status line
// under the list says whose request failed and why, instead of a box that looks as if the
// service had nothing more.
TEST_F(IphonePageTest, AFailedBoxListIsSaidUnderTheRowsItLeaves) {
    const auto failOn = [](std::string target, vendorsim::Reply reply) {
        sim->setReplyHook(
            VendorService::Iphone,
            [target, reply](const RecordedRequest& r) -> std::optional<vendorsim::Reply> {
                if (r.target.find(target) == std::string::npos) return std::nullopt;
                return reply;
            });
    };
    const auto failureText = [](const char* what, const Failure& f) {
        return Romhaul::tr(what).arg(uiText(lookupFailureMessage(VendorService::Iphone, f)));
    };
    QLabel* status = window->iphoneStatus;

    // The catalogue's model list fails: the firmware rows stay, and it may be incomplete.
    failOn("getModelSelect", {503, "text/html", "busy"});
    visitIphone();
    EXPECT_EQ(entries(window->组合框1), std::vector<std::string>{"--全部机型--"});
    EXPECT_EQ(window->超级列表框5->itemCount(), 19);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), failureText("列表可能不完整：%1", {FailureKind::HttpStatus, 503}));
    EXPECT_LT(window->超级列表框5->geometry().bottom(), status->geometry().top());
    // The next visit of the page loads it again.
    sim->setReplyHook(VendorService::Iphone, {});
    visitIphone();
    EXPECT_GT(entries(window->组合框1).size(), 1u);
    EXPECT_FALSE(status->isVisible()) << "a whole catalogue says nothing";
    EXPECT_EQ(window->超级列表框5->geometry().height(), 327) << "and the list has its room back";

    const struct {
        vendorsim::Reply reply;
        Failure failure;
    } cases[] = {
        {{500, "text/html", "<html>down</html>"}, {FailureKind::HttpStatus, 500}},
        {{200, "text/html", "<html>moved</html>"}, {FailureKind::Unreadable}},
        {{200, "application/json",
          "[" + std::string(vendorsim::kOversizeReplyBytes, ' ') + "\"iPhone3,1\"]"},
         {FailureKind::TooLarge}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body.substr(0, 20));
        failOn("getTypeSelect", c.reply);
        sim->clearRequests();
        choose(window->组合框1, 1);  // iPhone 4
        waitForJobs();
        EXPECT_EQ(entries(window->组合框2), std::vector<std::string>{"--全部类型--"});
        EXPECT_EQ(status->text(), failureText("未能读取类型列表：%1", c.failure));
        EXPECT_TRUE(status->isVisible());
        // The model's firmware of every type is still listed.
        ASSERT_EQ(targets().size(), 2u);
        EXPECT_EQ(window->超级列表框5->itemCount(), 5);
    }
    // The next model's type list is read: the failure of the one before is gone.
    sim->setReplyHook(VendorService::Iphone, {});
    choose(window->组合框1, 3);
    waitForJobs();
    EXPECT_GT(entries(window->组合框2).size(), 1u);
    EXPECT_FALSE(status->isVisible());
}

TEST_F(IphonePageTest, EachChoiceAsksForItsListWithTheTextsAsTheyStand) {
    visitIphone();
    sim->clearRequests();
    clickCheckBox();
    waitForJobs();
    ASSERT_TRUE(waitFor([&] { return window->超级列表框5->itemCount() == 23; }));
    EXPECT_EQ(targets(),
              std::vector<std::string>{"down/getDown.go?model=all&type=all&version=all&brush=1"});

    // A model with Chinese and a blank: its type list, then the list job.
    sim->clearRequests();
    choose(window->组合框1, 2);
    waitForJobs();
    EXPECT_EQ(entries(window->组合框2), (std::vector<std::string>{"--全部类型--", "iPhone3,3"}));
    EXPECT_EQ(window->组合框2->currentIndex(), 0);
    const auto sent = sim->requests(VendorService::Iphone);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].param("model"), gbk("iPhone 4 电信版")) << "the model text unchanged";
    EXPECT_EQ(sent[1].param("model"), gbk("iPhone 4 电信版"));
    EXPECT_EQ(sent[1].param("type"), "all");
    EXPECT_EQ(sent[1].param("brush"), "1");
    EXPECT_EQ(rows(), expectedRows(gbk("iPhone 4 电信版"), "all", "all", true));
    EXPECT_EQ(rows().size(), 2u);

    // Type and version choices each start a job with every box's choice.
    sim->clearRequests();
    choose(window->组合框2, 1);
    waitForJobs();
    choose(window->组合框3, 3);
    waitForJobs();
    const auto later = sim->requests(VendorService::Iphone);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[1].param("type"), "iPhone3,3");
    EXPECT_EQ(later[1].param("version"), "7.1.2");
    EXPECT_EQ(column(0), std::vector<std::string>{"7.1.2"});

    // Back to every model: no type list is asked for.
    sim->clearRequests();
    choose(window->组合框1, 0);
    waitForJobs();
    EXPECT_EQ(entries(window->组合框2), std::vector<std::string>{"--全部类型--"});
    ASSERT_EQ(targets().size(), 1u);
    EXPECT_EQ(targets()[0], "down/getDown.go?model=all&type=all&version=7.1.2&brush=1");
}

TEST_F(IphonePageTest, TwoMembersGiveTheirEntriesInOrderAndDoubleClickOpensTheAddress) {
    visitIphone();
    choose(window->组合框1, 1);  // iPhone 4
    waitForJobs();
    EXPECT_EQ(column(1),
              (std::vector<std::string>{
                  "iPhone3,1_7.1.2_11D257_Restore.ipsw", "iPhone3,1_6.1.3_10B329_Restore.ipsw",
                  "iPhone3,1_7.1.2_Custom_NoBaseband.ipsw", "iPhone3,2_7.1.2_11D257_Restore.ipsw",
                  "iPhone3,2_6.1.3_10B329_Restore.ipsw"}));
    EXPECT_EQ(column(0), (std::vector<std::string>{"7.1.2", "6.1.3", "7.1.2", "7.1.2", "6.1.3"}));

    OpenRecorder opened;
    ReportView* list = window->超级列表框5;
    const QRect rect = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(opened.addresses(),
              std::vector<std::string>{
                  "http://appldnld.apple.com/iOS6.1.3/iPhone3,1_6.1.3_10B329_Restore.ipsw"});
}

TEST_F(IphonePageTest, TwentyQuickChoicesLeaveExactlyTheLastChoicesRows) {
    visitIphone();
    // Earlier list requests are answered later: without serialising, their rows would come
    // last.
    std::mutex mutex;
    int listRequests = 0;
    sim->setDelayHook([&](const RecordedRequest& r) {
        if (r.target.find("getDown.go") == std::string::npos) return milliseconds(0);
        std::lock_guard lock(mutex);
        return milliseconds(std::max(0, 400 - 20 * listRequests++));
    });
    for (int i = 0; i < 20; ++i) {
        switch (i % 4) {
            case 0:
                choose(window->组合框3, 1 + i % 6);
                break;
            case 1:
                clickCheckBox();
                break;
            case 2:
                choose(window->组合框1, 1 + i % 6);
                break;
            default:
                choose(window->组合框2, window->组合框2->count() - 1);
                break;
        }
        // Some jobs read the boxes between the choices, some only after the last one.
        if (i % 3 == 0) QApplication::processEvents();
    }
    waitForJobs();
    QApplication::processEvents();
    const auto wanted =
        expectedRows(iphoneChoice(fromQt(window->组合框1->currentText()), iphoneAllModels()),
                     iphoneChoice(fromQt(window->组合框2->currentText()), iphoneAllTypes()),
                     iphoneChoice(fromQt(window->组合框3->currentText()), iphoneAllVersions()),
                     window->选择框1->isChecked());
    ASSERT_FALSE(wanted.empty()) << "the last choice lists something";
    EXPECT_EQ(rows(), wanted);
}

TEST_F(IphonePageTest, QuickChoicesStopTheJobsTheySupersedeOnAtMostEightThreads) {
    visitIphone();
    sim->clearRequests();
    sim->setReplyDelay(VendorService::Iphone, milliseconds(3000));
    int most = 0;
    for (int i = 0; i < 60; ++i) {
        if (i % 2)
            clickCheckBox();
        else
            choose(window->组合框3, 1 + i % 6);
        QApplication::processEvents();
        most = std::max(most, jobs::threads());
    }
    // Every job but the newest is stopped: held back as they are, they would take 20 s.
    EXPECT_TRUE(waitFor([] { return runningJobs() == 1; }, 1500)) << runningJobs();
    EXPECT_LE(most, jobs::kMaxThreads);
    EXPECT_LT(sim->requestCount(VendorService::Iphone), 60u);
    sim->setReplyDelay(VendorService::Iphone, milliseconds(0));
    waitForJobs();
    EXPECT_EQ(rows(), expectedRows("all", "all", fromQt(window->组合框3->currentText()),
                                   window->选择框1->isChecked()));
}

TEST_F(IphonePageTest, ClosingTheWindowUnderRunningJobsDropsTheirRows) {
    visitIphone();
    sim->setReplyDelay(VendorService::Iphone, milliseconds(2000));
    // Each choice's request is on the wire before the next choice supersedes it.
    for (std::size_t i = 1; i <= 5; ++i) {
        clickCheckBox();
        ASSERT_TRUE(waitFor([i] { return sim->requestCount(VendorService::Iphone) == 3 + i; }));
    }
    EXPECT_GT(runningJobs(), 0);
    window.reset();
    // TearDown waits for the jobs; the sanitizer runs catch any touch of freed widgets.
}

}  // namespace
