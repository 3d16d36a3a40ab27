// Working with the results: several rows selected, copied to the clipboard, the whole list
// exported to CSV, and download addresses checked with HEAD requests against the vendor
// simulator on loopback.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/link_check.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/jobs.h"
#include "base/text_util.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tools/vendor-sim/simulator.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;  // UTF-8 cells

// RFC 4180 fields of a CSV text, line by line (quoted fields may hold line breaks).
std::vector<std::vector<QString>> readCsv(const QString& text) {
    static const QRegularExpression field(QStringLiteral(R"re("((?:[^"]|"")*)"|[^,\r]*)re"));
    std::vector<std::vector<QString>> lines;
    bool lineStart = true;
    for (qsizetype at = 0; at < text.size();) {
        if (lineStart) lines.emplace_back();
        const QRegularExpressionMatch m =
            field.match(text, at, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
        const bool quoted = m.capturedStart(1) >= 0;
        lines.back().push_back(
            quoted ? m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                   : m.captured());
        at = m.capturedEnd();
        lineStart = QStringView(text).mid(at, 2) == u"\r\n";
        if (!lineStart && at < text.size() && text[at] != u',') {
            ADD_FAILURE() << "no field separator at " << at;
            break;
        }
        at += lineStart ? 2 : 1;
    }
    return lines;
}

const QString kCannotCheck = "只有 http 和 https 地址可以检查，这个地址无法检查。";

// The answer to a check of a file the simulator serves, `size` as the answer writes it.
QString reachable(const char* size) {
    return QString("链接可用（HTTP 200）\n大小：%1\n更新时间：Tue, 03 Mar 2015 08:00:00 GMT")
        .arg(QString::fromUtf8(size));
}

class ResultTools : public OpenWindowTest {
  protected:
    // How long closing the window waits for the checks to end.
    static constexpr int kJobsEndMs = 15000;
    ResultTools() : OpenWindowTest(kJobsEndMs) {}

    void showPage(int page) {
        window->选择夹1->setCurrentIndex(page);
        QApplication::processEvents();
    }
    static void fill(ReportView* list, const Rows& rows) {
        for (const auto& row : rows) {
            std::vector<std::string> cells;
            for (const auto& cell : row) cells.push_back(gbk(cell));
            list->addRow(cells);
        }
    }
    static QPoint rowCenter(ReportView* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    static void click(ReportView* list, int row, Qt::KeyboardModifiers modifiers = {},
                      Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(list->viewport(), button, modifiers, rowCenter(list, row));
    }
    static QAction* command(QWidget* owner, const char* name) {
        auto* action = owner->findChild<QAction*>(QString::fromUtf8(name));
        EXPECT_TRUE(action) << name;
        return action;
    }
    // Raises the context menu of `receiver` as a right click at `at` does, hands the menu to
    // `inMenu` once it is up, and closes it; returns the texts of its entries.
    static QStringList contextMenu(QWidget* receiver, QPoint at,
                                   std::function<void(QMenu*)> inMenu = {}) {
        QStringList texts;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            poll.stop();
            for (QAction* action : menu->actions()) texts << action->text();
            if (inMenu) inMenu(menu);
            menu->close();
        });
        poll.start();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, receiver->mapToGlobal(at));
        QApplication::sendEvent(receiver, &event);
        return texts;
    }
    static void choose(QMenu* menu, const char* name) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String(name)) return action->trigger();
        }
        ADD_FAILURE() << "no " << name << " in the menu";
    }
    static QString clipboard() { return QGuiApplication::clipboard()->text(); }
    static QString tooltip(ReportView* list, int row) {
        return list->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    }
    QString note() const {
        auto* box = window->findChild<QMessageBox*>(QStringLiteral("linkCheckNote"));
        return box && box->isVisible() ? box->text() : QString();
    }
    // Waits until `shown` reads the check's answer, which the note then shows as well.
    void expectAnswer(const std::function<QString()>& shown, const QString& expected) const {
        EXPECT_TRUE(waitFor([&] { return shown() == expected; }, 10000)) << shown().toStdString();
        EXPECT_EQ(note(), expected);
    }
    std::string fileAddress(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(sim->port(VendorService::Lg)) + path;
    }

    const Rows huaweiRows = {
        {"HUAWEI C8813 V100R001", "2014-03-01", "1.2G", "http://h/a.zip"},
        {"HUAWEI C8813 V100R002", "2014-04-01", "1.3G", "http://h/b.zip"},
        {"HUAWEI C8813 V100R003", "2014-05-01", "1.4G", "http://h/c.zip"},
    };
};

// ---------------------------------------------------------------- selection and copy

TEST_F(ResultTools, CopiesOneAndSeveralRowsAsTabSeparatedLines) {
    ReportView* list = window->超级列表框1;
    fill(list, huaweiRows);
    click(list, 1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "HUAWEI C8813 V100R002\t2014-04-01\t1.3G\thttp://h/b.zip");

    // Ctrl adds a row; the lines keep list order whatever the order of the clicks.
    click(list, 0, Qt::ControlModifier);
    command(list, "copyRows")->trigger();
    EXPECT_EQ(clipboard(),
              "HUAWEI C8813 V100R001\t2014-03-01\t1.2G\thttp://h/a.zip\n"
              "HUAWEI C8813 V100R002\t2014-04-01\t1.3G\thttp://h/b.zip");
    command(list, "copyAddresses")->trigger();
    EXPECT_EQ(clipboard(), "http://h/a.zip\nhttp://h/b.zip");

    // Shift takes the range from the anchor.
    click(list, 0);
    click(list, 2, Qt::ShiftModifier);
    EXPECT_EQ(list->selectedRows(), (std::vector<int>{0, 1, 2}));
    command(list, "copyAddresses")->trigger();
    EXPECT_EQ(clipboard(), "http://h/a.zip\nhttp://h/b.zip\nhttp://h/c.zip");
}

TEST_F(ResultTools, CopyTakesTheColumnsShownAndKeepsCellsWhole) {
    // The ZTE list: its date column is 0 wide until widened, its address column is not last.
    ReportView* list = window->超级列表框2;
    fill(list, {{"ZTE V5 固件\t升级包", "1.1GB", "2015-01-02", "http://z/a.zip", "zip"},
                {"ZTE V5\r\n驱动", "12MB", "2015-01-03", "http://z/b.rar", "rar"}});
    list->selectAll();
    ASSERT_TRUE(list->copySelectedRows());
    // A tab or line break inside a cell would split it into two cells or two rows.
    EXPECT_EQ(clipboard(),
              "ZTE V5 固件 升级包\t1.1GB\tzip\thttp://z/a.zip\n"
              "ZTE V5  驱动\t12MB\trar\thttp://z/b.rar");
    list->header()->resizeSection(2, 80);
    ASSERT_TRUE(list->copySelectedRows());
    EXPECT_EQ(clipboard().split(u'\n').front(),
              "ZTE V5 固件 升级包\t1.1GB\t2015-01-02\tzip\thttp://z/a.zip");
}

TEST_F(ResultTools, CoolpadStillOpensOnlyTheRowThatBecomesCurrent) {
    showPage(2);
    ReportView* list = window->超级列表框3;
    fill(list, {{"F1 固件", "2014-09-11", "1.52GB", "固件", "http://c/1.zip"},
                {"F1 驱动", "2014-01-20", "36.8MB", "工具", "http://c/2.rar"},
                {"F2 固件", "2014-10-01", "1.60GB", "固件", "http://c/3.zip"}});
    OpenRecorder opens;
    click(list, 0);
    click(list, 2, Qt::ControlModifier);
    click(list, 1, Qt::ShiftModifier);
    // Select all, and taking a row out of the selection, make no row current.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectedRows().size(), 3u);
    click(list, 0, Qt::ControlModifier);
    EXPECT_EQ(opens.addresses(),
              (std::vector<std::string>{"http://c/1.zip", "http://c/3.zip", "http://c/2.rar"}));

    // A right click on a selected row leaves the selection and the current row for the
    // menu; on another row it chooses that row, as a left click does.
    click(list, 1);
    click(list, 2, Qt::ShiftModifier);
    ASSERT_EQ(opens.addresses().size(), 5u);
    const auto rightClick = [list](int row) { click(list, row, {}, Qt::RightButton); };
    rightClick(1);
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(list->selectedRows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(opens.addresses().size(), 5u);
    rightClick(0);
    EXPECT_EQ(list->selectedRows(), (std::vector<int>{0}));
    EXPECT_EQ(opens.addresses(),
              (std::vector<std::string>{"http://c/1.zip", "http://c/3.zip", "http://c/2.rar",
                                        "http://c/2.rar", "http://c/3.zip", "http://c/1.zip"}));

    // The menu's open command does what a double-click does elsewhere.
    command(list, "openAddress")->trigger();
    ASSERT_EQ(opens.addresses().size(), 7u);
    EXPECT_EQ(opens.addresses().back(), "http://c/1.zip");
}

TEST_F(ResultTools, MenusOfferTheCommandsAndActOnTheRowClicked) {
    ReportView* list = window->超级列表框1;
    fill(list, {{"a", "", "", "ftp://h/a.zip"}, {"b", "", "", "ftp://h/b.zip"}});
    list->selectAll();
    list->setCurrentIndex(list->model()->index(1, 0));
    list->selectAll();
    const QStringList texts = contextMenu(list->viewport(), rowCenter(list, 0),
                                          [](QMenu* menu) { choose(menu, "checkLink"); });
    EXPECT_EQ(texts, (QStringList{"复制", "复制下载地址", "", "导出列表…", "", "检查链接",
                                  "打开下载地址", "下载"}));
    // Row 0 was right-clicked, row 1 is current: the check took row 0.
    EXPECT_EQ(tooltip(list, 0), "ftp://h/a.zip\n" + kCannotCheck);
    EXPECT_EQ(tooltip(list, 1), "b");
    // Without a menu, the current row.
    command(list, "checkLink")->trigger();
    EXPECT_EQ(tooltip(list, 1), "ftp://h/b.zip\n" + kCannotCheck);

    // The LG address box keeps its own entries (copy, select all) and gains two.
    showPage(3);
    window->编辑框9->setText("http://h/c.kdz");
    const QStringList lg =
        contextMenu(window->编辑框9, {5, 5}, [](QMenu* menu) { choose(menu, "copyAddresses"); });
    ASSERT_GE(lg.size(), 3);
    EXPECT_EQ(lg.mid(lg.size() - 2), (QStringList{"复制下载地址", "检查链接"}));
    EXPECT_GT(lg.size(), 4) << "the box's own entries stay";
    EXPECT_EQ(clipboard(), "http://h/c.kdz");
}

TEST_F(ResultTools, EmptyListCopiesAndExportsNothingAndSaysSoFromTheMenu) {
    ReportView* list = window->超级列表框5;
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    MessageRecorder messages;
    SaveDialogStub dialog(QDir::temp().filePath(QStringLiteral("never.csv")));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(messages.texts().empty()) << "the shortcut stays quiet";
    for (const char* name : {"copyRows", "copyAddresses", "exportList", "checkLink", "openAddress"})
        command(list, name)->trigger();
    EXPECT_EQ(
        messages.texts(),
        (std::vector<std::string>{
            "列表是空的，没有可复制的内容。", "列表是空的，没有可复制的内容。",
            "列表是空的，没有可导出的内容。", "列表是空的，没有可检查的链接。", "请先选中一行。"}));
    EXPECT_TRUE(dialog.suggestions().empty());
    EXPECT_EQ(clipboard(), "kept");

    // Rows but none selected: nothing to copy either.
    fill(list, {{"7.1", "iPhone5,2_7.1_11D167_Restore.ipsw", "说明", "http://i/1.ipsw"}});
    command(list, "copyRows")->trigger();
    EXPECT_EQ(messages.texts().back(), "请先选中要复制的行。");
    EXPECT_EQ(clipboard(), "kept");
}

// ---------------------------------------------------------------- CSV export

TEST_F(ResultTools, ExportedCsvReadsBackFieldForField) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("列表.csv"));
    ReportView* list = window->超级列表框3;
    const Rows rows = {
        {"酷派大神F1 官方固件 \"稳定版\"", "2014-09-11", "1,52GB", "固件", "http://c/1.zip?a=1,2"},
        {"第一行\r\n第二行\n第三行", "", "-1", "工具", "http://c/2.rar"},
        {"=HYPERLINK(\"http://x\")", "@SUM(A1)", "+1", "-d", "http://c/3.zip"},
    };
    fill(list, rows);
    SaveDialogStub dialog(path);
    command(list, "exportList")->trigger();

    ASSERT_EQ(dialog.suggestions().size(), 1u);
    EXPECT_EQ(
        QFileInfo(dialog.suggestions()[0]).fileName(),
        "酷派_Coolpad_" + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + ".csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "byte order mark";
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const auto lines = readCsv(QString::fromUtf8(bytes.mid(3)));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              (std::vector<QString>{"描述", "更新日期", "文件大小", "文件种类", "下载地址"}));
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t c = 0; c < 5; ++c)
            EXPECT_EQ(lines[r + 1].at(c), QString::fromStdString(rows[r][c])) << r << "," << c;
    }
    // Vendor text that a spreadsheet would run as a formula stays text; numbers stay numbers.
    EXPECT_EQ(lines[3], (std::vector<QString>{"'=HYPERLINK(\"http://x\")", "'@SUM(A1)", "+1", "'-d",
                                              "http://c/3.zip"}));
}

TEST_F(ResultTools, UnwritablePathSaysWhyAndLeavesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder that is a file cannot be written into, whoever runs the test.
    QFile blocker(dir.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ReportView* list = window->超级列表框1;
    fill(list, huaweiRows);
    for (const QString& path : {dir.filePath(QStringLiteral("not-a-folder/list.csv")),
                                dir.filePath(QStringLiteral("missing/list.csv"))}) {
        SCOPED_TRACE(path.toStdString());
        MessageRecorder messages;
        SaveDialogStub dialog(path);
        command(list, "exportList")->trigger();
        ASSERT_EQ(messages.texts().size(), 1u);
        const std::string& text = messages.texts()[0];
        EXPECT_EQ(text.rfind("列表没有导出，文件无法写入：" + path.toStdString() + "\n", 0), 0u)
            << text;
        EXPECT_GT(text.size(), text.find('\n') + 1) << "a reason follows";
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"not-a-folder"});

    // Cancelling the dialog writes nothing and says nothing.
    MessageRecorder messages;
    SaveDialogStub cancel{QString()};
    command(list, "exportList")->trigger();
    EXPECT_TRUE(messages.texts().empty());
}

// ---------------------------------------------------------------- link checks

TEST_F(ResultTools, LinkCheckShowsStatusSizeAndDateOnTheRowAndInANote) {
    struct Case {
        std::string address;
        QString answer;  // after the address line
        bool requested;
    };
    const Case cases[] = {
        {fileAddress("/files/1572864000/D85810c_00.kdz"), reachable("1.46 GB"), true},
        {fileAddress("/files/5242880/driver.rar"), reachable("5.00 MB"), true},
        {fileAddress("/files/gone.zip"), "链接不可用（HTTP 404）", true},
        // Nothing listens on the discard port of loopback: the connection is refused.
        {"http://127.0.0.1:9/files/1/a.zip", "链接不可用：服务器没有回应。", false},
        {"ftp://127.0.0.1/pub/a.zip", kCannotCheck, false},
        {"", kCannotCheck, false},
    };
    ReportView* list = window->超级列表框1;
    for (const Case& c : cases) list->addRow({gbk("固件"), "2015-03-03", "1G", gbk(c.address)});
    for (int row = 0; row < int(std::size(cases)); ++row) {
        const Case& c = cases[row];
        SCOPED_TRACE(c.address);
        sim->clearRequests();
        list->setCurrentRow(row);
        command(list, "checkLink")->trigger();
        expectAnswer([&] { return tooltip(list, row); },
                     QString::fromStdString(c.address + "\n") + c.answer);
        const auto sent = sim->requests(VendorService::Lg);
        ASSERT_EQ(sent.size(), c.requested ? 1u : 0u);
        if (c.requested) {
            EXPECT_EQ(sent[0].method, "HEAD");
            EXPECT_EQ(c.address.substr(c.address.find("/files/")), sent[0].target);
        }
    }
}

TEST_F(ResultTools, WindowStaysFreeDuringACheckAndClosingItEndsTheCheckCleanly) {
    // Held back past the fixture's wait: only a check that stops lets the job end in time.
    sim->setReplyDelay(VendorService::Lg, std::chrono::milliseconds(kJobsEndMs + 5000));
    ReportView* list = window->超级列表框1;
    list->addRow({gbk("固件"), "", "", fileAddress("/files/1048576/a.zip")});
    list->setCurrentRow(0);
    command(list, "checkLink")->trigger();
    EXPECT_EQ(tooltip(list, 0), "正在检查链接…");
    ASSERT_TRUE(sim->waitForRequests(VendorService::Lg, 1, std::chrono::milliseconds(5000)));
    // The window takes input while the server holds its answer back.
    window->编辑框1->setFocus();
    QTest::keyClicks(window->编辑框1, "C8813");
    EXPECT_EQ(window->编辑框1->text(), "C8813");
    EXPECT_GT(runningJobs(), 0);
    EXPECT_TRUE(note().isEmpty());
    // The answer comes to no window; TearDown sees the job end.
    window.reset();
}

TEST_F(ResultTools, ManyChecksRunOnAtMostEightThreadsAndARefillStopsThem) {
    // Held long enough that no check can end by itself while a loaded machine counts them.
    sim->setReplyDelay(VendorService::Lg, std::chrono::milliseconds(20000));
    ReportView* list = window->超级列表框1;
    constexpr int kRows = 30;
    for (int i = 0; i < kRows; ++i)
        list->addRow({gbk("固件"), "", "", fileAddress("/files/1048576/" + std::to_string(i))});
    int most = 0;
    for (int i = 0; i < kRows; ++i) {
        list->setCurrentRow(i);
        command(list, "checkLink")->trigger();
        QApplication::processEvents();
        most = std::max(most, jobs::threads());
    }
    // The simulator answers three at a time.
    ASSERT_TRUE(sim->waitForRequests(VendorService::Lg, 3, std::chrono::milliseconds(5000)));
    most = std::max(most, jobs::threads());
    EXPECT_LE(most, jobs::kMaxThreads);
    EXPECT_EQ(runningJobs(), kRows);

    // A new look-up's rows: the checks of the former ones end at once, unanswered.
    list->clearItems();
    fill(list, huaweiRows);
    // Held back as they are, they would take minutes.
    EXPECT_TRUE(waitFor([] { return runningJobs() == 0; }, 1500));
    EXPECT_LE(sim->requestCount(VendorService::Lg), std::size_t(jobs::kMaxThreads));
    QApplication::processEvents();
    EXPECT_TRUE(note().isEmpty());
}

TEST_F(ResultTools, LgAddressBoxChecksItsAddress) {
    showPage(3);
    QLineEdit* box = window->编辑框9;
    MessageRecorder messages;
    command(box, "copyAddresses")->trigger();
    command(box, "checkLink")->trigger();
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"还没有下载地址。", "还没有下载地址。"}));

    const std::string address = fileAddress("/files/2147483648/D85810c_00.kdz");
    box->setText(QString::fromStdString(address));
    command(box, "checkLink")->trigger();
    expectAnswer([box] { return box->toolTip(); },
                 QString::fromStdString(address + "\n") + reachable("2.00 GB"));
    // The next look-up's address has not been checked; the box still only reads.
    box->setText(QStringLiteral("http://other/b.kdz"));
    EXPECT_TRUE(box->toolTip().isEmpty());
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(messages.texts().size(), 2u);
}

// ---------------------------------------------------------------- answer texts

TEST(LinkAnswer, GivesSizesInMegabytesOrGigabytesOnlyForAReachableFile) {
    const auto answer = [](int status, std::int64_t size) {
        return codepage::gbkToUtf8(linkCheckText("http://h/a", {status, size, ""}));
    };
    EXPECT_EQ(answer(200, 0), "http://h/a\n链接可用（HTTP 200）\n大小：0.00 MB");
    EXPECT_EQ(answer(206, 1073736417), "http://h/a\n链接可用（HTTP 206）\n大小：1023.99 MB");
    EXPECT_EQ(answer(206, 1073741823), "http://h/a\n链接可用（HTTP 206）\n大小：1.00 GB");
    EXPECT_EQ(answer(200, 1073741824), "http://h/a\n链接可用（HTTP 200）\n大小：1.00 GB");
    EXPECT_EQ(answer(200, -1), "http://h/a\n链接可用（HTTP 200）");
    EXPECT_EQ(answer(500, 1000), "http://h/a\n链接不可用（HTTP 500）");
    EXPECT_TRUE(isCheckableAddress("HTTPS://h/a"));
    EXPECT_FALSE(isCheckableAddress("ftp://h/a"));
    EXPECT_FALSE(isCheckableAddress(" http://h/a"));
}

}  // namespace
