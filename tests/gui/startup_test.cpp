// Start-up, exit and the created event.
#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QTimer>
#include <algorithm>

#include "app/startup.h"
#include "app/window/main_window.h"
#include "app/window/qt_message_box.h"
#include "base/api_table.h"
#include "base/error_log.h"
#include "base/message_box.h"
#include "base/program_objects.h"
#include "base/text_util.h"
#include "tests/gui/gui_test_support.h"

namespace {

TEST(Startup, RunsTheWindowUntilItClosesAndStartsFromEmptyObjects) {
    // Leftovers of an earlier run must not survive a start.
    zteModelTable().push_back({"1", "key", "name", "files"});
    errorLog().push("old error");
    setLastParseErrorText("old parse error");

    struct Restore {
        MessageBoxPresenter previous = setMessageBoxPresenter({});
        ~Restore() { setMessageBoxPresenter(previous); }
    } restore;
    QString caption, author;
    bool sawEmptyObjects = false;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        MainWindow* w = mainWindow();
        if (!w || !w->isVisible()) return;
        caption = w->windowTitle();
        author = w->标签14->text();
        sawEmptyObjects = zteModelTable().empty() && errorLog().latest().empty() &&
                          lastParseErrorText().empty() && processHeap() != nullptr;
        poll->deleteLater();
        w->close();
    });
    poll->start(5);
    EXPECT_EQ(startProgram(), 0);
    EXPECT_EQ(mainWindow(), nullptr);
    EXPECT_TRUE(sawEmptyObjects);
    EXPECT_EQ(caption, "Romhaul");
    EXPECT_EQ(author, "作者：Romhaul 小组");
}

TEST(Startup, EndProgramReleasesTheProgramObjects) {
    createProgramObjects();
    zteModelTable().push_back({"1", std::string(36, 'k'), gbk("中兴 A1"), ""});
    errorLog().push(gbk("格式错误"));
    setLastParseErrorText(gbk("格式错误,当前索引:3"));
    endProgram();
    EXPECT_TRUE(zteModelTable().empty());
    EXPECT_EQ(zteModelTable().capacity(), 0u);
    EXPECT_EQ(lastParseErrorText(), "");
    for (int slot = 1; slot <= 32; ++slot) EXPECT_EQ(errorLog().slot(slot), "");
    EXPECT_EQ(errorLog().newest(), 32);
}

TEST(Startup, CreatedEventWritesCaptionAndAboutLines) {
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "");
    EXPECT_EQ(window.标签15->text(), "");
    QObject::connect(&window, &MainWindow::created, &window, [] { onMainWindowCreated(); });
    window.notifyCreated();
    EXPECT_EQ(window.windowTitle(), "Romhaul");
    EXPECT_EQ(window.标签14->text(), "作者：Romhaul 小组");
    EXPECT_EQ(window.标签12->text(), "Romhaul为免费软件，仅供维修交流使用");
    EXPECT_EQ(window.标签15->text(), "联系：romhaul.list@lists.example.org 反馈");
}

// The value of KEY= in the packaged desktop entry named by the desktop file name.
QString desktopEntryValue(const QString& key) {
    QFile entry(QStringLiteral(ROMHAUL_PACKAGING_DIR "/%1.desktop")
                    .arg(QGuiApplication::desktopFileName()));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text)) return QStringLiteral("(no entry)");
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(key + QLatin1Char('='))) return line.mid(key.size() + 1);
    }
    return QStringLiteral("(no %1)").arg(key);
}

TEST(Startup, WindowsCarryTheIconAndBelongToTheInstalledDesktopEntry) {
    setDesktopIdentity();
    QList<int> sizes;
    for (QSize size : QApplication::windowIcon().availableSizes()) sizes.push_back(size.width());
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (QList<int>{48, 64, 128, 256}));

    MainWindow window;
    EXPECT_FALSE(window.windowIcon().pixmap(16).isNull());
    // Docks and task bars find the entry (and through it the icon) by these names.
    EXPECT_EQ(desktopEntryValue("Icon"), QGuiApplication::desktopFileName());
    EXPECT_EQ(desktopEntryValue("StartupWMClass"), QCoreApplication::applicationName());
    EXPECT_EQ(desktopEntryValue("Exec"), "romhaul");
}

TEST(StartupDeathTest, FatalMessageGoesThroughTheMessageBoxAndEndsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installMessageBoxes();
            // Stands in for the user reading the box: the text goes where the test sees it.
            setMessageBoxPresenter([](const std::string& gbkText) {
                const std::string utf8 = "box: " + codepage::gbkToUtf8(gbkText);
                std::fwrite(utf8.data(), 1, utf8.size(), stderr);
            });
            api::fatalError(gbk("载入启动窗口失败"));
        },
        ::testing::ExitedWithCode(255), "box: 运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
}

}  // namespace
