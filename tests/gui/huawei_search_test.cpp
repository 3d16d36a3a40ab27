// The Huawei page end to end: typed keyword, 搜索 or Enter, the simulator's file-list
// service on loopback, the rows in 超级列表框1, the messages, and opening a row's address.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/pages/failure_text.h"
#include "app/startup.h"
#include "app/window/main_window.h"
#include "platform/codepage.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/huawei.h"
#include "vendors/service_hosts.h"

namespace {

using vendorsim::RecordedRequest;
using vendorsim::Simulator;

const std::string kListPath =
    "/support/services/service/file/list?jsonp=jQuery17109587828987278044_1396585821312"
    "&siteCode=cn&fileType=software&pageSize=5&curPage=";

std::string targetOf(int page, const std::string& encodedKeyword) {
    return kListPath + std::to_string(page) + "&keywords=" + encodedKeyword;
}

std::string utf8(const std::string& gbkText) {
    return codepage::gbkToUtf8(gbkText);
}

// What the search did to 按钮1 and 超级列表框1, seen on the window thread, each with the
// number of requests that had reached the service by then.
class Timeline : public QObject {
  public:
    Timeline(MainWindow& window, const Simulator& sim) : button_(window.按钮1), sim_(sim) {
        button_->installEventFilter(this);
        const ReportRows* model = window.超级列表框1->reportModel();
        connect(model, &QAbstractItemModel::modelReset, this, [this] { note("cleared"); });
        // Rows come page by page, each page's while the next one may be on its way.
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this] { events.push_back("rows"); });
    }
    std::vector<std::string> events;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::EnabledChange)
            note(button_->isEnabled() ? "enabled" : "disabled");
        return false;
    }

  private:
    void note(const char* what) {
        events.push_back(std::string(what) + " after " +
                         std::to_string(sim_.requestCount(VendorService::Huawei)));
    }
    QPushButton* button_;
    const Simulator& sim_;
};

class HuaweiSearchTest : public OpenWindowTest {
  protected:
    HuaweiSearchTest() : OpenWindowTest(10000) {}
    static void SetUpTestSuite() {
        // Release dates are local dates; several fixture stamps fall on another day in UTC.
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
        SimulatorWindowTest::SetUpTestSuite();
    }

    void type(const QString& text) {
        window->编辑框1->clear();
        window->编辑框1->setFocus();
        // Key events carry only ASCII keys; other characters arrive as an input method
        // would put them.
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClicks(window->编辑框1, QString(c));
            else
                window->编辑框1->insert(QString(c));
        }
    }
    // Each starts the search and waits for its end.
    void clickSearch() {
        QTest::mouseClick(window->按钮1, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
    }
    void pressEnter() {
        QTest::keyClick(window->编辑框1, Qt::Key_Return);
        ASSERT_TRUE(waitForLookups());
    }

    std::vector<std::string> targets() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : sim->requests(VendorService::Huawei)) {
            EXPECT_EQ(r.requestLine, "GET " + r.target + " HTTP/1.1");
            out.push_back(r.target);
        }
        return out;
    }
    // Column `column` of every row, as UTF-8.
    std::vector<std::string> column(int column) const {
        std::vector<std::string> out;
        for (int row = 0; row < window->超级列表框1->itemCount(); ++row)
            out.push_back(utf8(window->超级列表框1->itemText(row, column)));
        return out;
    }
    void doubleClickRow(int row) {
        ReportView* list = window->超级列表框1;
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        ASSERT_TRUE(rect.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

// Local dates of the twelve P6 files in UTC+08:00, in the service's order.
const char* const kP6Dates[] = {"2014-04-04", "2014-03-06", "2014-02-01", "2014-06-01",
                                "2013-12-01", "2013-10-25", "2013-09-24", "2014-05-01",
                                "2014-04-16", "2013-08-01", "2013-07-31", "2013-07-16"};

TEST_F(HuaweiSearchTest, SearchFetchesPageAfterPageWithTheKeywordAsTyped) {
    // Whichever way the search starts, the same requests go out and the same rows come in.
    for (const bool byEnter : {false, true}) {
        SCOPED_TRACE(byEnter ? "Enter" : "button");
        sim->clearRequests();
        Timeline timeline(*window, *sim);
        MessageRecorder messages;
        type("  P6  ");
        byEnter ? pressEnter() : clickSearch();

        // 12 files on pages of 5, 5 and 2; page 4 is empty and ends the search.
        const std::string keyword = "%20%20P6%20%20";
        EXPECT_EQ(targets(),
                  (std::vector<std::string>{targetOf(1, keyword), targetOf(2, keyword),
                                            targetOf(3, keyword), targetOf(4, keyword)}));
        // The second round finds the first round's rows and empties the list all the same.
        EXPECT_EQ(timeline.events,
                  (std::vector<std::string>{"disabled after 0", "cleared after 0", "rows", "rows",
                                            "rows", "enabled after 4"}));
        EXPECT_TRUE(messages.texts().empty());

        const auto& files = sim->fixtures().huawei.at(0).files;
        ASSERT_EQ(files.size(), 12u);
        std::vector<std::string> names, sizes, addresses;
        for (const auto& f : files) {
            names.push_back(f.fileName);
            sizes.push_back(f.fileSize);
            addresses.push_back(f.downloadUrl);
        }
        EXPECT_EQ(column(0), names);
        EXPECT_EQ(column(1), std::vector<std::string>(std::begin(kP6Dates), std::end(kP6Dates)));
        EXPECT_EQ(column(2), sizes);
        EXPECT_EQ(column(3), addresses);
        EXPECT_EQ(window->超级列表框1->columnWidth(3), 0);
    }
}

TEST_F(HuaweiSearchTest, ChineseKeywordGoesOutAsGbkBytes) {
    MessageRecorder messages;
    type("华为Mate7");
    pressEnter();
    // Seven files: pages of 5 and 2, and the empty page 3.
    const std::string keyword = "%BB%AA%CE%AAMate7";
    EXPECT_EQ(targets(), (std::vector<std::string>{targetOf(1, keyword), targetOf(2, keyword),
                                                   targetOf(3, keyword)}));
    EXPECT_EQ(window->超级列表框1->itemCount(), 7);
    EXPECT_TRUE(messages.texts().empty());
}

std::string failureText(const Failure& failure) {
    return utf8(lookupFailureMessage(VendorService::Huawei, failure));
}

TEST_F(HuaweiSearchTest, NothingFoundAndFailureAreToldApartAfterOneRequest) {
    const std::string nothing = "抱歉，未找到合适结果。";
    struct Case {
        const char* name;
        const char* keyword;
        std::optional<vendorsim::Reply> reply;  // none: the fixtures answer
        Failure failure;                        // None: nothing found
    };
    const Case cases[] = {
        {"unknown model", "Nokia 3310", std::nullopt, {}},
        {"empty body", "Nokia 3310", vendorsim::Reply{200, "application/javascript", ""}, {}},
        {"record cut short",
         "Nokia 3310",
         vendorsim::Reply{
             200, "application/javascript",
             R"(cb({"fileList":[{"fileName":"a.zip","fileSize":"1MB","releaseDate":1)"},
         {}},
        {"error page",
         "Nokia 3310",
         vendorsim::Reply{500, "text/html", "<html>Internal Server Error</html>"},
         {FailureKind::HttpStatus, 500}},
        {"reply over the cap", vendorsim::kOversizeKeyword, std::nullopt, {FailureKind::TooLarge}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim->clearRequests();
        sim->setReplyHook(
            VendorService::Huawei,
            [&](const RecordedRequest&) -> std::optional<vendorsim::Reply> { return c.reply; });
        MessageRecorder messages;
        type(c.keyword);
        clickSearch();
        EXPECT_EQ(sim->requestCount(VendorService::Huawei), 1u);
        EXPECT_EQ(window->超级列表框1->itemCount(), 0);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.failure.kind == FailureKind::None
                                                                 ? nothing
                                                                 : failureText(c.failure)});
        EXPECT_TRUE(window->按钮1->isEnabled());
    }
}

TEST_F(HuaweiSearchTest, BlankInputAsksForTheModelWithoutARequest) {
    for (const QString& input : {QString(""), QString("   "), QString("　 　")}) {
        for (const bool byEnter : {false, true}) {
            SCOPED_TRACE(input.toStdString() + (byEnter ? " Enter" : " button"));
            MessageRecorder messages;
            type(input);
            window->超级列表框1->setFocus();
            byEnter ? pressEnter() : clickSearch();
            EXPECT_EQ(messages.texts(), std::vector<std::string>{"您要搜索的手机型号呢？"});
            EXPECT_EQ(QApplication::focusWidget(), window->编辑框1);
            EXPECT_TRUE(window->按钮1->isEnabled());
        }
    }
    EXPECT_EQ(sim->requestCount(VendorService::Huawei), 0u);
}

TEST_F(HuaweiSearchTest, SecondSearchReplacesTheFirstList) {
    type("P6");
    clickSearch();
    ASSERT_EQ(window->超级列表框1->itemCount(), 12);
    sim->clearRequests();

    Timeline timeline(*window, *sim);
    type("G610");
    clickSearch();
    EXPECT_EQ(timeline.events, (std::vector<std::string>{"disabled after 0", "cleared after 0",
                                                         "rows", "enabled after 2"}));
    const std::vector<std::string> names = column(0);
    ASSERT_EQ(names.size(), 5u);
    for (const std::string& name : names) EXPECT_NE(name.find("G610"), std::string::npos) << name;
}

TEST_F(HuaweiSearchTest, EnterWaitingInTheQueueDoesNotStartASecondSearch) {
    // The window takes events while the search runs; an Enter queued then must find the
    // search busy, as a click finds the button disabled.
    type("Mate7");
    QCoreApplication::postEvent(window->编辑框1,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    clickSearch();
    QApplication::processEvents();
    EXPECT_EQ(sim->requestCount(VendorService::Huawei), 3u);
    EXPECT_EQ(window->超级列表框1->itemCount(), 7);
}

TEST_F(HuaweiSearchTest, ServiceThatIgnoresThePageStopsAtTheRepeatedPage) {
    sim->setHuaweiIgnoresCurPage(true);
    MessageRecorder messages;
    type("P6");
    clickSearch();
    // Page 2 repeats page 1 byte for byte: the search ends there with page 1's rows.
    EXPECT_EQ(sim->requestCount(VendorService::Huawei), 2u);
    ASSERT_EQ(window->超级列表框1->itemCount(), 5);
    EXPECT_EQ(column(1), std::vector<std::string>(kP6Dates, kP6Dates + 5));
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_TRUE(window->按钮1->isEnabled());
}

TEST_F(HuaweiSearchTest, FailedLaterPageKeepsTheRowsBeforeIt) {
    sim->setReplyHook(VendorService::Huawei,
                      [](const RecordedRequest& r) -> std::optional<vendorsim::Reply> {
                          if (r.param("curPage") == "2") return vendorsim::Reply{502, "", ""};
                          return std::nullopt;
                      });
    MessageRecorder messages;
    type("P6");
    clickSearch();
    EXPECT_EQ(sim->requestCount(VendorService::Huawei), 2u);
    EXPECT_EQ(window->超级列表框1->itemCount(), 5);
    EXPECT_EQ(messages.texts(),
              std::vector<std::string>{failureText({FailureKind::HttpStatus, 502})});
}

TEST_F(HuaweiSearchTest, SearchStoppedAtThePageCapSaysTheListMayBeIncomplete) {
    // Every page has a file of its own, so only the cap ends the search.
    sim->setReplyHook(
        VendorService::Huawei, [](const RecordedRequest& r) -> std::optional<vendorsim::Reply> {
            const std::string n = r.param("curPage");
            return vendorsim::Reply{200, "application/javascript",
                                    R"(cb({"fileList":[{"fileName":"p)" + n +
                                        R"(.zip","fileSize":"1MB","releaseDate":1396585821312,)"
                                        R"("downloadUrl":"http://127.0.0.1/p)" +
                                        n + R"(.zip","languageList":[]}]}))"};
        });
    const QString hint = window->标签1->text();
    MessageRecorder messages;
    type("P6");
    clickSearch();
    EXPECT_EQ(sim->requestCount(VendorService::Huawei), std::size_t(kHuaweiMaxPages));
    EXPECT_EQ(window->超级列表框1->itemCount(), kHuaweiMaxPages);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_NE(window->标签1->text(), hint);
    EXPECT_TRUE(window->标签1->text().contains(QString::number(kHuaweiMaxPages)));

    // The next search that reaches the end of its list takes the note away.
    sim->setReplyHook(VendorService::Huawei, {});
    type("G610");
    clickSearch();
    EXPECT_EQ(window->标签1->text(), hint);
}

TEST_F(HuaweiSearchTest, DoubleClickOpensTheRowsWebAddressOnly) {
    // The third record points at a local file; a vendor reply must not open one.
    sim->setReplyHook(
        VendorService::Huawei, [](const RecordedRequest& r) -> std::optional<vendorsim::Reply> {
            if (r.param("curPage") != "1") return vendorsim::Reply{200, "", "cb()"};
            std::string body = "cb({\"fileList\":[";
            const char* const urls[] = {"http://dl.example.com/a.zip",
                                        "HTTPS://dl.example.com/b.zip", "file:///etc/passwd",
                                        "calc.exe"};
            for (const char* url : urls) {
                body +=
                    R"({"fileName":"固件","fileSize":"1MB","releaseDate":1396585821312,"downloadUrl":")";
                body += url;
                body += R"(","languageList":[]},)";
            }
            return vendorsim::Reply{200, "application/javascript", body + "]})"};
        });
    type("P6");
    clickSearch();
    ASSERT_EQ(window->超级列表框1->itemCount(), 4);

    OpenRecorder opens;
    for (int row = 0; row < 4; ++row) doubleClickRow(row);
    // A relative address is one on the service's own host, never a local program.
    EXPECT_EQ(opens.addresses(), (std::vector<std::string>{
                                     "http://dl.example.com/a.zip", "HTTPS://dl.example.com/b.zip",
                                     huaweiBase() + "/support/services/service/file/calc.exe"}));
}

}  // namespace
