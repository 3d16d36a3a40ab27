// The downloads page with real widgets: files from a loopback range server, started from a
// result list and the LG page, finished and verified, and paused across a restart.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <string>

#include "app/pages/downloads_page.h"
#include "app/window/jobs.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/text_util.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/range_server.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::RangeServer;

constexpr std::uint64_t kLength = 3 << 20;  // several ranges at the smallest split

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

class DownloadsPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        pointServicesAtNothing();
        downloadSettings().folder = home.filePath("files");
        openWindow();
    }
    void TearDown() override { closeWindow(); }

    void openWindow() { ASSERT_TRUE(openMainWindow(window)); }
    void closeWindow() {
        window.reset();
        EXPECT_TRUE(waitFor([] { return runningJobs() == 0; }, 10000));
        QApplication::processEvents();
    }

    QTreeWidget* rows() const { return window->downloadsView->list; }
    QString cell(int row, int column) const {
        QTreeWidgetItem* item = rows()->topLevelItem(row);
        return item ? item->text(column) : QString();
    }
    bool reaches(int row, const char* state, int ms = 20000) {
        return waitFor([&] { return cell(row, DownloadsView::kState) == state; }, ms);
    }
    QString filePath(const char* name) const { return QDir(home.filePath("files")).filePath(name); }

    QTemporaryDir home;
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", home.filePath("config").toStdString()};
    RangeServer server{kLength, testsupport::patternFile(7)};
    std::unique_ptr<MainWindow> window;
};

TEST(ListedSize, CoversEitherKiloAndTheRounding) {
    struct Case {
        const char* text;
        std::uint64_t fits;    // a true size the listing allows
        std::uint64_t misfit;  // one it does not (0: none to try)
    } cases[] = {
        {"1.52GB", 1'520'000'000, 1'400'000'000},
        {"1.52GB", 1'632'087'572, 1'700'000'000},  // 1.52 GiB
        {"803.49 MB", 842'521'231, 900'000'000},
        {"36 k", 36'864, 30'000},
        {" 123456 ", 123'456, 123'457},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ListedSize s = parseListedSize(c.text);
        ASSERT_GT(s.bytes, 0u);
        const auto within = [&](std::uint64_t n) {
            return (n > s.bytes ? n - s.bytes : s.bytes - n) <= s.slack;
        };
        EXPECT_TRUE(within(c.fits));
        if (c.misfit) {
            EXPECT_FALSE(within(c.misfit));
        }
    }
    for (const char* text : {"", "GB", "1.5", "12 apples", "-3 MB", "99999999999999999 TB"})
        EXPECT_EQ(parseListedSize(text).bytes, 0u) << text;
}

TEST_F(DownloadsPage, FromAResultListVerifiedWithItsListedSize) {
    MessageRecorder messages;
    OpenRecorder opened;
    ReportView* list = window->超级列表框1;
    const std::string url = server.url("/files/good.zip");
    list->addRow({"good", "2024-01-01", "3.15MB", url});
    list->addRow({"bad", "2024-01-01", "1.2GB", server.url("/files/listed-wrong.zip")});

    // Shift+double-click downloads the row instead of opening the browser.
    window->选择夹1->setCurrentIndex(0);
    QApplication::processEvents();
    const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, first);
    EXPECT_TRUE(opened.addresses().empty());
    ASSERT_EQ(rows()->topLevelItemCount(), 1);

    // The context menu's "下载" on the second row.
    list->setCurrentRow(1);
    QAction* download = list->findChild<QAction*>("download");
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(download->text(), "下载");
    download->trigger();
    ASSERT_EQ(rows()->topLevelItemCount(), 2);

    ASSERT_TRUE(reaches(0, "已完成")) << cell(0, DownloadsView::kState).toStdString();
    EXPECT_EQ(cell(0, DownloadsView::kName), "good.zip");
    EXPECT_EQ(cell(0, DownloadsView::kSize), "3.0 MB");
    const QString path = filePath("good.zip");
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), qint64(kLength));
    const QString sums = readAll(path + ".sha256");
    ASSERT_EQ(sums.size(), 64 + 2 + 8 + 1) << sums.toStdString();

    // A file that is not the size the vendor lists is never kept.
    ASSERT_TRUE(waitFor([&] { return cell(1, DownloadsView::kState).startsWith("失败："); }));
    EXPECT_TRUE(cell(1, DownloadsView::kState).contains("3145728"))
        << cell(1, DownloadsView::kState).toStdString();
    EXPECT_FALSE(QFile::exists(filePath("listed-wrong.zip")));

    // Copy the SHA-256 of the finished one; on the failed one there is none to copy.
    window->downloadsView->selectRow(0);
    QTest::mouseClick(window->downloadsView->copyHashButton, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), sums.left(64));
    window->downloadsView->selectRow(1);
    EXPECT_TRUE(window->downloadsView->resumeButton->isEnabled());
    QTest::mouseClick(window->downloadsView->copyHashButton, Qt::LeftButton);
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "下载完成后才有 SHA-256。");

    // Open the folder: the shell gets it as a file address.
    QTest::mouseClick(window->downloadsView->folderButton, Qt::LeftButton);
    ASSERT_EQ(opened.addresses().size(), 1u);
    EXPECT_EQ(QString::fromStdString(opened.addresses()[0]),
              QUrl::fromLocalFile(home.filePath("files")).toString());
}

TEST_F(DownloadsPage, PausedDownloadIsBackPausedAfterARestart) {
    // Slow enough to be caught running.
    testsupport::RangeFaults slow;
    slow.bytesPerSecond = 100 << 10;
    server.setFaults(slow);
    window->选择夹1->setCurrentIndex(3);
    window->编辑框9->setText(QString::fromStdString(server.url()));
    ASSERT_TRUE(window->lgDownloadButton->isEnabled());
    QTest::mouseClick(window->lgDownloadButton, Qt::LeftButton);
    ASSERT_EQ(rows()->topLevelItemCount(), 1);
    ASSERT_TRUE(reaches(0, "下载中", 5000));
    EXPECT_EQ(window->选择夹1->tabText(5), "下载 (1)");
    ASSERT_TRUE(waitFor([&] {
        return static_cast<QProgressBar*>(
                   rows()->itemWidget(rows()->topLevelItem(0), DownloadsView::kProgress))
                   ->value() > 0;
    }));
    EXPECT_FALSE(cell(0, DownloadsView::kSpeed).isEmpty());

    window->downloadsView->selectRow(0);
    ASSERT_TRUE(window->downloadsView->pauseButton->isEnabled());
    QTest::mouseClick(window->downloadsView->pauseButton, Qt::LeftButton);
    ASSERT_TRUE(reaches(0, "已暂停", 5000));
    EXPECT_EQ(window->选择夹1->tabText(5), "下载");
    EXPECT_TRUE(QFile::exists(filePath("firmware.zip.part")));

    closeWindow();
    server.setFaults({});
    openWindow();
    ASSERT_EQ(rows()->topLevelItemCount(), 1);
    EXPECT_EQ(cell(0, DownloadsView::kState), "已暂停");
    EXPECT_EQ(cell(0, DownloadsView::kName), "firmware.zip");
    window->downloadsView->selectRow(0);
    EXPECT_FALSE(window->downloadsView->pauseButton->isEnabled());
    QTest::mouseClick(window->downloadsView->resumeButton, Qt::LeftButton);
    ASSERT_TRUE(reaches(0, "已完成"));
    const QString path = filePath("firmware.zip");
    ASSERT_EQ(QFileInfo(path).size(), qint64(kLength));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().toStdString() == testsupport::patternBytes(7, 0, kLength));
    EXPECT_TRUE(QFile::exists(path + ".sha256"));

    // Finished: nothing is left to come back after the next restart.
    closeWindow();
    openWindow();
    EXPECT_EQ(rows()->topLevelItemCount(), 0);
}

TEST_F(DownloadsPage, CancelAfterARestartDeletesWhatWasFetched) {
    testsupport::RangeFaults slow;
    slow.bytesPerSecond = 100 << 10;
    server.setFaults(slow);
    startDownload(server.url("/files/big.kdz"), "3.15MB");
    ASSERT_TRUE(waitFor([&] { return QFile::exists(filePath("big.kdz.part")); }));
    // Closing the window pauses it; the list keeps it.
    closeWindow();
    EXPECT_TRUE(QFile::exists(filePath("big.kdz.part")));
    openWindow();
    ASSERT_EQ(rows()->topLevelItemCount(), 1);
    EXPECT_EQ(cell(0, DownloadsView::kState), "已暂停");
    window->downloadsView->selectRow(0);
    QTest::mouseClick(window->downloadsView->cancelButton, Qt::LeftButton);
    ASSERT_TRUE(reaches(0, "已取消", 5000));
    EXPECT_EQ(QDir(home.filePath("files")).entryList(QDir::Files), QStringList());
    closeWindow();
    openWindow();
    EXPECT_EQ(rows()->topLevelItemCount(), 0);
}

}  // namespace
