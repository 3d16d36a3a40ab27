// The Coolpad and LG pages end to end: real widgets driving real requests to the vendor
// simulator on loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/pages/failure_text.h"
#include "app/startup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/text_util.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tests/support/hostile_pages.h"
#include "tools/vendor-sim/simulator.h"

namespace {

using vendorsim::RecordedRequest;

class VendorPages : public OpenWindowTest {
  protected:
    VendorPages() : OpenWindowTest(10000) {}

    void showPage(int page) {
        window->选择夹1->setCurrentIndex(page);
        QApplication::processEvents();
    }
    std::vector<std::string> listItems() const {
        std::vector<std::string> items;
        for (int i = 0; i < window->列表框1->count(); ++i)
            items.push_back(window->列表框1->item(i)->text().toStdString());
        return items;
    }
    std::vector<RecordedRequest> sent(VendorService service) const {
        return sim->requests(service);
    }
    // The texts of the six LG read-out boxes, in the reply's tag order, as UTF-8.
    std::vector<std::string> lgBoxes() const {
        std::vector<std::string> texts;
        for (QLineEdit* box : {window->编辑框10, window->编辑框5, window->编辑框6, window->编辑框7,
                               window->编辑框8, window->编辑框9})
            texts.push_back(box->text().toStdString());
        return texts;
    }
    // Notes whether `button` is enabled when a message comes, then hands the message on
    // to the presenter installed before (a MessageRecorder, which puts it back).
    static void watchAtMessages(QPushButton* button, bool& enabled) {
        setMessageBoxPresenter(
            [button, &enabled, next = setMessageBoxPresenter({})](const std::string& text) {
                enabled = button->isEnabled();
                next(text);
            });
    }
    void lookUp(const QString& serial) {
        window->编辑框4->setText(serial);
        QTest::mouseClick(window->按钮4, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
    }
};

// ---------------------------------------------------------------- Coolpad

TEST_F(VendorPages, CoolpadSearchPostsTheKeywordAsTypedAndListsEachTypeOnce) {
    showPage(2);
    MessageRecorder messages;
    std::atomic<int> buttonEnabledAtRequest{-1};
    sim->setReplyHook(VendorService::Coolpad, [&](const RecordedRequest&) {
        buttonEnabledAtRequest = window->按钮6->isEnabled();
        return std::optional<vendorsim::Reply>();
    });
    window->编辑框11->setText(" 大神");
    window->编辑框11->setFocus();
    QTest::keyClick(window->编辑框11, Qt::Key_Return);
    ASSERT_TRUE(waitForLookups());

    const std::vector<std::string> want = {"大神F1", "大神F2", "大神Note", "大神F1 Plus"};
    EXPECT_EQ(listItems(), want);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(buttonEnabledAtRequest, 0);
    EXPECT_TRUE(window->按钮6->isEnabled());
    const auto log = sent(VendorService::Coolpad);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].requestLine, "POST /search/search/searchKeyword/searclist.html HTTP/1.1");
    EXPECT_EQ(log[0].body, "searchKeywordBO.searchKey= " + gbk("大神") + "&x=33&y=9");
    EXPECT_EQ(log[0].header("Content-Type"), "application/x-www-form-urlencoded");

    // The button does the same, starting from an empty list; blanks inside go as typed.
    sim->clearRequests();
    window->编辑框11->setText("大神 ");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(listItems(), want);
    ASSERT_EQ(sent(VendorService::Coolpad).size(), 1u);
    EXPECT_EQ(sent(VendorService::Coolpad)[0].body,
              "searchKeywordBO.searchKey=" + gbk("大神 ") + "&x=33&y=9");
}

// The window takes events while the search runs; an Enter waiting there must not start a
// second search that fills the list under the first.
TEST_F(VendorPages, CoolpadEnterDuringASearchStartsNoSecondOne) {
    showPage(2);
    MessageRecorder messages;
    window->编辑框11->setText("大神");
    QApplication::postEvent(window->编辑框11,
                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(listItems(),
              (std::vector<std::string>{"大神F1", "大神F2", "大神Note", "大神F1 Plus"}));
    EXPECT_EQ(sim->requestCount(VendorService::Coolpad), 1u);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(VendorPages, CoolpadSearchAsksForAKeywordBeforeSendingAnything) {
    showPage(2);
    window->列表框1->addItem("earlier");
    for (const QString& blank : {QString(""), QString("   "), QString("　 　")}) {
        MessageRecorder messages;
        window->编辑框11->setText(blank);
        window->按钮6->setFocus();
        QTest::mouseClick(window->按钮6, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"您要搜索的关键字呢？"});
        EXPECT_TRUE(waitFor([&] { return window->编辑框11->hasFocus(); }, 1000));
        EXPECT_EQ(listItems(), std::vector<std::string>{"earlier"});
        EXPECT_TRUE(window->按钮6->isEnabled());
    }
    EXPECT_EQ(sim->requestCount(VendorService::Coolpad), 0u);
}

TEST_F(VendorPages, CoolpadSearchWithoutResultSaysSo) {
    showPage(2);
    window->编辑框11->setText("大神");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    ASSERT_EQ(window->列表框1->count(), 4);
    // The files of a type found before go with the search that found it.
    window->列表框1->setCurrentRow(0);
    ASSERT_TRUE(waitForLookups());
    ASSERT_GT(window->超级列表框3->itemCount(), 0);

    for (bool emptyReply : {false, true}) {
        sim->setCoolpadEmptySearch(emptyReply);
        MessageRecorder messages;
        bool buttonEnabledAtMessage = true;
        watchAtMessages(window->按钮6, buttonEnabledAtMessage);
        window->编辑框11->setText(emptyReply ? "大神" : "nothing-like-it");
        QTest::mouseClick(window->按钮6, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"抱歉，未找到合适结果。"})
            << emptyReply;
        EXPECT_EQ(window->列表框1->count(), 0);
        EXPECT_EQ(window->超级列表框3->itemCount(), 0);
        EXPECT_FALSE(buttonEnabledAtMessage);
        EXPECT_TRUE(window->按钮6->isEnabled());
    }
}

TEST_F(VendorPages, CoolpadChoosingATypeListsItsFilesAndFetchesEveryTime) {
    showPage(2);
    window->编辑框11->setText("大神");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    ASSERT_EQ(window->列表框1->count(), 4);
    sim->clearRequests();
    // Neither filling the list nor tabbing into it chooses a type.
    window->列表框1->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(sim->requestCount(VendorService::Coolpad), 0u);
    EXPECT_EQ(window->超级列表框3->itemCount(), 0);

    // A click on 大神F1: its three files in page order, five columns each.
    QListWidget* list = window->列表框1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    ASSERT_TRUE(waitForLookups());
    ReportView* files = window->超级列表框3;
    ASSERT_EQ(files->itemCount(), 3);
    const std::vector<std::string> first = {"酷派大神F1 官方固件 4.4.041.P2.140911", "2014-09-11",
                                            "1.52GB", "固件",
                                            "http://dl.coolpad.com/dl/F1/4.4.041.P2.140911.zip"};
    const std::vector<std::string> third = {"酷派大神F1 USB驱动 & 刷机工具", "2014-01-20", "36.8MB",
                                            "工具",
                                            "http://dl.coolpad.com/dl/F1/USB_Driver_Tool.rar"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(codepage::gbkToUtf8(files->itemText(0, c)), first[std::size_t(c)]) << c;
        EXPECT_EQ(codepage::gbkToUtf8(files->itemText(2, c)), third[std::size_t(c)]) << c;
    }
    EXPECT_EQ(codepage::gbkToUtf8(files->itemText(1, 0)), "酷派大神F1 官方固件 4.3.064.P2.140512");

    // Another type, then the first again: fetched again, nothing cached.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(files->itemCount(), 2);
    list->setCurrentRow(3);
    ASSERT_TRUE(waitForLookups());
    list->setCurrentRow(0);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(files->itemCount(), 3);
    const auto log = sent(VendorService::Coolpad);
    ASSERT_EQ(log.size(), 4u);
    const char* const types[] = {"大神F1", "大神F2", "大神F1 Plus", "大神F1"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(log[i].method, "GET");
        EXPECT_EQ(log[i].param("downloadInfoBO.downloadInfo.mobileType"), gbk(types[i])) << i;
        EXPECT_EQ(log[i].target.rfind("/product/download/downloadInfo/downloadInfo.html?"
                                      "downloadInfoBO.downloadInfo.mobileType=",
                                      0),
                  0u);
    }
}

// A search reply that the pattern engine reads only in part: its types stay and the hint
// line says the list may be incomplete while their files come and go, until the next search.
// A type whose files cannot be fetched says why rather than looking empty.
TEST_F(VendorPages, CoolpadReplyReadInPartSaysSoAndFailedFilesSayWhy) {
    showPage(2);
    const QString hint = window->标签10->text();
    const std::string page =
        codepage::gbkToUtf8(hostile::coolpadResult("大神F1") + hostile::coolpadBadSearch(300'000));
    sim->setReplyHook(VendorService::Coolpad, [page](const RecordedRequest& r) {
        if (r.method != "POST") return std::optional<vendorsim::Reply>();
        return std::optional<vendorsim::Reply>(vendorsim::Reply{200, "text/html", page});
    });
    MessageRecorder messages;
    window->编辑框11->setText("大神");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    window->列表框1->setCurrentRow(0);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(listItems(), std::vector<std::string>{"大神F1"});
    EXPECT_EQ(window->超级列表框3->itemCount(), 3);
    EXPECT_EQ(window->标签10->text().toStdString(), "回复太复杂，未能读完，列表可能不完整。");

    sim->setReplyHook(VendorService::Coolpad, [](const RecordedRequest& r) {
        if (r.method == "POST") return std::optional<vendorsim::Reply>();
        return std::optional<vendorsim::Reply>(vendorsim::Reply{502, "text/html", "busy"});
    });
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(window->标签10->text(), hint);
    window->列表框1->setCurrentRow(1);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(messages.texts(), std::vector<std::string>{codepage::gbkToUtf8(lookupFailureMessage(
                                    VendorService::Coolpad, {FailureKind::HttpStatus, 502}))});
}

// A type chosen while the files of the one before are still on their way: only the newest
// choice's files end up in the list.
TEST_F(VendorPages, CoolpadANewerChoiceSupersedesOneStillLoading) {
    showPage(2);
    window->编辑框11->setText("大神");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    sim->clearRequests();
    sim->setDelayHook([](const RecordedRequest& r) {
        return r.param("downloadInfoBO.downloadInfo.mobileType") == gbk("大神F1")
                   ? std::chrono::milliseconds(2000)
                   : std::chrono::milliseconds(0);
    });
    window->列表框1->setCurrentRow(0);  // 大神F1, three files, held back
    ASSERT_TRUE(waitFor([&] { return sim->requestCount(VendorService::Coolpad) == 1; }));
    window->列表框1->setCurrentRow(1);  // 大神F2, two files
    ASSERT_TRUE(waitForLookups());
    ReportView* files = window->超级列表框3;
    ASSERT_EQ(files->itemCount(), 2);
    EXPECT_EQ(codepage::gbkToUtf8(files->itemText(0, 4)).rfind("http://dl.coolpad.com/dl/F2/", 0),
              0u);
    EXPECT_EQ(sim->requestCount(VendorService::Coolpad), 2u);
}

TEST_F(VendorPages, CoolpadMakingAFileCurrentOpensItsAddress) {
    showPage(2);
    window->编辑框11->setText("大神");
    QTest::mouseClick(window->按钮6, Qt::LeftButton);
    ASSERT_TRUE(waitForLookups());
    window->列表框1->setCurrentRow(1);
    ASSERT_TRUE(waitForLookups());
    ReportView* files = window->超级列表框3;
    ASSERT_EQ(files->itemCount(), 2);
    OpenRecorder opens;
    // Tabbing into the list chooses no file.
    files->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(opens.addresses().empty());
    files->setCurrentRow(1);
    ASSERT_EQ(opens.addresses().size(), 1u);
    EXPECT_EQ(opens.addresses()[0], files->itemText(1, 4));
    files->setFocus();
    QTest::keyClick(files, Qt::Key_Up);
    ASSERT_EQ(opens.addresses().size(), 2u);
    EXPECT_EQ(opens.addresses()[1], files->itemText(0, 4));
    EXPECT_EQ(opens.addresses()[1].rfind("http://dl.coolpad.com/dl/F2/", 0), 0u);
}

// ---------------------------------------------------------------- LG

const std::vector<std::string> kKnown = {
    "LG-D858",
    "356789051234567",
    "407KPXX123456",
    "GSM",
    "D85810c",
    "http://csmg.lgmobile.com:9002/swdata/WEBSW/LGD858/AHKGBK/D85810c/D85810c_00.kdz"};

TEST_F(VendorPages, LgKnownSerialFillsTheSixBoxesAndOffersTheDownload) {
    showPage(3);
    MessageRecorder messages;
    std::atomic<int> buttonEnabledAtRequest{-1};
    sim->setReplyHook(VendorService::Lg, [&](const RecordedRequest&) {
        buttonEnabledAtRequest = window->按钮4->isEnabled();
        return std::optional<vendorsim::Reply>();
    });
    EXPECT_FALSE(window->按钮5->isEnabled());
    lookUp("356789051234567");
    EXPECT_EQ(lgBoxes(), kKnown);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(buttonEnabledAtRequest, 0);
    EXPECT_TRUE(window->按钮4->isEnabled());
    ASSERT_TRUE(window->按钮5->isEnabled());
    const auto log = sent(VendorService::Lg);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].requestLine,
              "GET /csmg/b2c/client/auth_model_check2.jsp?esn=356789051234567 HTTP/1.1");

    OpenRecorder opens;
    QTest::mouseClick(window->按钮5, Qt::LeftButton);
    EXPECT_EQ(opens.addresses(), std::vector<std::string>{kKnown[5]});
}

TEST_F(VendorPages, LgSerialGoesToTheServiceAsTyped) {
    showPage(3);
    lookUp("356789051234567 ");
    const auto log = sent(VendorService::Lg);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].param("esn"), "356789051234567 ");
    EXPECT_EQ(lgBoxes(), kKnown);
}

// Another phone's firmware must not stay on screen: an answer without a handset empties
// the six boxes, and with the address goes the download button.
TEST_F(VendorPages, LgFailuresShowAMessageAndEmptyTheBoxes) {
    showPage(3);
    struct Case {
        const char* serial;
        const char* message;
    };
    const Case cases[] = {
        {"352000000000002", "查询失败，请检查您的手机串号是否有误！"},  // marker and all tags
        {"123456789012345", "查询失败，请检查您的手机串号是否有误！"},
        {"000000000000000", "抱歉，未找到合适结果。"},  // a 0-byte reply
    };
    for (const Case& c : cases) {
        lookUp("356789051234567");
        ASSERT_EQ(lgBoxes(), kKnown);
        ASSERT_TRUE(window->按钮5->isEnabled());
        MessageRecorder messages;
        bool buttonEnabledAtMessage = true;
        watchAtMessages(window->按钮4, buttonEnabledAtMessage);
        window->按钮4->setFocus();
        lookUp(c.serial);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{c.message}) << c.serial;
        EXPECT_FALSE(buttonEnabledAtMessage) << c.serial;
        EXPECT_TRUE(window->按钮4->isEnabled());
        EXPECT_TRUE(waitFor([&] { return window->编辑框4->hasFocus(); }, 1000)) << c.serial;
        EXPECT_EQ(lgBoxes(), std::vector<std::string>(6)) << c.serial;
        EXPECT_FALSE(window->按钮5->isEnabled()) << c.serial;
    }

    // Enter in the serial box looks up too; a dead service is a failure that says whose
    // and why, not "nothing found".
    window->编辑框4->setText("356789051234567");
    QTest::keyClick(window->编辑框4, Qt::Key_Return);
    ASSERT_TRUE(waitForLookups());
    EXPECT_EQ(lgBoxes(), kKnown);
    // Port 1 on loopback: nothing listens there. The simulator's address comes back after.
    const std::string simulated = std::getenv("ROMHAUL_LG_HOST");
    ::setenv("ROMHAUL_LG_HOST", "127.0.0.1:1", 1);
    MessageRecorder messages;
    lookUp("356789051234567");
    ::setenv("ROMHAUL_LG_HOST", simulated.c_str(), 1);
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0].rfind("LG 服务请求失败（", 0), 0u) << messages.texts()[0];
    EXPECT_NE(messages.texts()[0].find("网络错误："), std::string::npos) << messages.texts()[0];
    EXPECT_EQ(lgBoxes(), std::vector<std::string>(6));
    EXPECT_FALSE(window->按钮5->isEnabled());
}

TEST_F(VendorPages, LgReplyWithSomeTagsEmptiesTheOthers) {
    showPage(3);
    lookUp("356789051234567");
    ASSERT_TRUE(window->按钮5->isEnabled());
    lookUp("352000000000001");
    EXPECT_EQ(lgBoxes(), (std::vector<std::string>{"LG-P705", "352000000000001", "", "", "", ""}));
    EXPECT_FALSE(window->按钮5->isEnabled());
    // A start tag without its end tag leaves its box empty.
    lookUp("352000000000003");
    EXPECT_EQ(lgBoxes()[0], "");
    EXPECT_EQ(lgBoxes()[1], "352000000000003");
    EXPECT_TRUE(window->按钮5->isEnabled());
}

TEST_F(VendorPages, LgBlankSerialAsksForOneWithoutARequest) {
    showPage(3);
    for (const QString& blank : {QString(""), QString("  ")}) {
        MessageRecorder messages;
        window->按钮4->setFocus();
        lookUp(blank);
        EXPECT_EQ(messages.texts(),
                  std::vector<std::string>{"请输入串号，可在拨号界面按*#06#进行查询！"});
        EXPECT_TRUE(waitFor([&] { return window->编辑框4->hasFocus(); }, 1000));
        EXPECT_TRUE(window->按钮4->isEnabled());
    }
    EXPECT_EQ(sim->requestCount(VendorService::Lg), 0u);
}

TEST_F(VendorPages, LgDownloadButtonFollowsTheAddressBox) {
    showPage(3);
    struct Case {
        QString text;
        bool enabled;
    };
    const Case cases[] = {
        {"http://h/a.kdz", true}, {"", false}, {"   ", false}, {"　", false}, {" x ", true},
        {"　 　", false}};
    for (const Case& c : cases) {
        window->编辑框9->setText(c.text);
        EXPECT_EQ(window->按钮5->isEnabled(), c.enabled) << c.text.toStdString();
    }
    // The click hands over the box's text; a non-web address goes nowhere.
    OpenRecorder opens;
    window->编辑框9->setText("ftp://h/固件.kdz");
    QTest::mouseClick(window->按钮5, Qt::LeftButton);
    window->编辑框9->setText("file:///etc/passwd");
    QTest::mouseClick(window->按钮5, Qt::LeftButton);
    EXPECT_EQ(opens.addresses(), std::vector<std::string>{"ftp://h/固件.kdz"});
}

}  // namespace
