// The window for everyone: English texts, a window that grows, and settings and input
// histories that outlive the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCompleter>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QStringListModel>
#include <QTemporaryDir>
#include <memory>
#include <set>
#include <string>

#include "app/link_check.h"
#include "app/pages/downloads_page.h"
#include "app/pages/failure_text.h"
#include "app/settings_dialog.h"
#include "app/startup.h"
#include "app/window/core_texts.h"
#include "app/window/input_history.h"
#include "app/window/language.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "app/window/settings.h"
#include "app/window/sort_keys.h"
#include "base/text_util.h"
#include "net/proxy_settings.h"
#include "tests/gui/gui_test_support.h"
#include "vendors/iphone.h"
#include "vendors/service_hosts.h"
#include "vendors/zte.h"

namespace {

bool hasCjk(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return text.contains(cjk);
}

// Every text a widget shows: its own, its tooltip, its actions', its items' and its
// column titles.
QStringList shownTexts(const QWidget* root) {
    QStringList texts{root->windowTitle(), root->toolTip()};
    QList<const QWidget*> widgets{root};
    for (const QWidget* w : root->findChildren<QWidget*>()) widgets.append(w);
    for (const QWidget* w : widgets) {
        texts << w->toolTip();
        if (auto* l = qobject_cast<const QLabel*>(w)) texts << l->text();
        if (auto* b = qobject_cast<const QAbstractButton*>(w)) texts << b->text();
        if (auto* g = qobject_cast<const QGroupBox*>(w)) texts << g->title();
        if (auto* e = qobject_cast<const QLineEdit*>(w)) texts << e->placeholderText();
        if (auto* c = qobject_cast<const QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
        if (auto* t = qobject_cast<const QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
        if (auto* r = qobject_cast<const ReportView*>(w))
            for (const ReportColumn& c : r->columns()) texts << c.title;
        for (const QAction* a : w->actions()) texts << a->text() << a->toolTip();
    }
    return texts;
}

struct English {
    English() { installLanguage(UiLanguage::English); }
    ~English() { installLanguage(UiLanguage::Chinese); }
};

TEST(WindowLanguage, FollowsTheLocaleUnlessChosen) {
    const struct {
        const char* setting;
        const char* locale;
        UiLanguage want;
    } cases[] = {
        {"", "zh_CN", UiLanguage::Chinese},   {"", "zh_TW", UiLanguage::Chinese},
        {"", "en_US", UiLanguage::English},   {"", "de_DE", UiLanguage::English},
        {"", "C", UiLanguage::English},       {"en", "zh_CN", UiLanguage::English},
        {"zh", "fr_FR", UiLanguage::Chinese},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseLanguage(c.setting, QLocale(c.locale)), c.want)
            << c.setting << " " << c.locale;
}

TEST(WindowLanguage, EnglishLeavesNoChineseCharacterInTheWindow) {
    English english;
    std::unique_ptr<MainWindow> window(loadMainWindow());
    ASSERT_TRUE(window);
    for (const QString& text : shownTexts(window.get()))
        EXPECT_FALSE(hasCjk(text)) << text.toStdString();
    EXPECT_EQ(window->按钮1->text(), "Search");

    SettingsDialog dialog(window.get());
    dialog.showSettings(loadSettings());
    // Each language keeps its own name in the language box.
    for (const QString& text : shownTexts(&dialog))
        EXPECT_FALSE(hasCjk(text) && text != QString::fromUtf8("中文")) << text.toStdString();

    // What the cores say reaches the window in English too.
    for (const char* text : coreTexts()) EXPECT_FALSE(hasCjk(uiText(gbk(text)))) << text;
    for (const std::string& piece : zteFileInfoPieces("a.zip", "1.2MB", "2024-01-02", ""))
        EXPECT_FALSE(hasCjk(uiText(piece))) << codepage::gbkToUtf8(piece);
    EXPECT_EQ(uiText(iphoneNote(0, 120, 60)).toStdString(),
              uiText(gbk("原厂固件")).toStdString() + ", " +
                  uiText(gbk("可完美越狱")).toStdString() + ", " +
                  uiText(gbk("可随意刷此版本")).toStdString());
    net::ReplyHead found;
    found.status = 200;
    found.contentLength = 1 << 20;
    found.lastModified = "Tue, 02 Jan 2024 10:00:00 GMT";
    for (const net::ReplyHead& head : {net::ReplyHead{}, found})
        for (const char* address : {"http://127.0.0.1/a.zip", "ftp://127.0.0.1/a.zip"})
            EXPECT_FALSE(hasCjk(toQt(linkCheckText(address, head)))) << address;
    // Failure messages carry a host and libcurl's text, so they are made in the language.
    for (VendorService service : {VendorService::Huawei, VendorService::Zte, VendorService::Coolpad,
                                  VendorService::Lg, VendorService::Iphone})
        for (const Failure& failure :
             {Failure{FailureKind::Network, 0, "Couldn't connect to server"},
              Failure{FailureKind::HttpStatus, 503}, Failure{FailureKind::TooLarge},
              Failure{FailureKind::Unreadable}})
            EXPECT_FALSE(hasCjk(uiText(lookupFailureMessage(service, failure))))
                << codepage::gbkToUtf8(lookupFailureMessage(service, failure));
    EXPECT_EQ(uiText(lookupFailureMessage(VendorService::Lg, {FailureKind::HttpStatus, 503})),
              "The LG service request failed (" + toQt(serviceHost(VendorService::Lg)) +
                  "): the service answered HTTP status 503");
}

// The iPhone boxes show their first entries whole in either language, on one row that keeps
// to the list's width; the Chinese row is the classic one (main_window_test).
TEST(WindowLanguage, IphoneBoxesShowTheirFirstEntriesWhole) {
    for (const bool inEnglish : {false, true}) {
        SCOPED_TRACE(inEnglish ? "English" : "Chinese");
        std::unique_ptr<English> english(inEnglish ? new English : nullptr);
        MainWindow window;
        window.show();
        window.选择夹1->setCurrentIndex(int(Page::Iphone));
        QCoreApplication::processEvents();
        QComboBox* boxes[] = {window.组合框1, window.组合框2, window.组合框3};
        const std::string firstEntries[] = {iphoneAllModels(), iphoneAllTypes(),
                                            iphoneAllVersions()};
        int right = 0;
        for (int i = 0; i < 3; ++i) {
            QComboBox sample;
            sample.setFont(boxes[i]->font());
            sample.addItem(uiText(firstEntries[i]));
            EXPECT_LE(sample.sizeHint().width(), boxes[i]->width()) << i;
            EXPECT_GT(boxes[i]->x(), right) << i;
            right = boxes[i]->geometry().right();
        }
        QCheckBox* all = window.选择框1;
        EXPECT_GT(all->x(), right);
        EXPECT_LE(all->sizeHint().width(), all->width());
        EXPECT_LE(all->geometry().right(), window.超级列表框5->geometry().right());
    }
}

TEST(WindowLanguage, ChineseKeepsTheSourceTexts) {
    installLanguage(UiLanguage::Chinese);
    // Vendor data that merely looks like a program text stays as it came.
    for (const char* text : {"原厂固件，某某越狱", "文件大小：12 MB", "华为 Mate 7"})
        EXPECT_EQ(uiText(gbk(text)), QString::fromUtf8(text));
    English english;
    EXPECT_EQ(uiText(gbk("原厂固件，某某越狱")), QString::fromUtf8("原厂固件，某某越狱"));
    EXPECT_EQ(uiText(gbk("文件大小：12 MB")), "File size: 12 MB");
}

// Controls stay inside their parent; the pairs of sibling controls that overlap are
// returned (today's layout has a few label boxes reaching a pixel or six into the box they
// name).
std::set<std::string> laidOut(const QWidget* parent, const QSize& size) {
    std::set<std::string> overlaps;
    QList<QWidget*> controls;
    for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!c->isWindow() && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_"))
            controls << c;
    for (int i = 0; i < controls.size(); ++i) {
        const QRect r = controls[i]->geometry();
        EXPECT_TRUE(parent->rect().contains(r))
            << controls[i]->objectName().toStdString() << " leaves "
            << parent->objectName().toStdString() << " at " << size.width() << "x" << size.height();
        for (int j = i + 1; j < controls.size(); ++j)
            if (r.intersects(controls[j]->geometry()))
                overlaps.insert(controls[i]->objectName().toStdString() + " and " +
                                controls[j]->objectName().toStdString());
        overlaps.merge(laidOut(controls[i], size));
    }
    return overlaps;
}

TEST(WindowSize, ListsGrowButtonsKeepTheirSizeNothingOverlaps) {
    MainWindow window;
    window.show();
    // Today's size, once the window has fitted its frame.
    QCoreApplication::processEvents();
    const QSize today = window.size();
    const QSize searchButton = window.按钮1->size();
    int lastListWidth = 0, lastListHeight = 0;
    std::set<std::string> todaysOverlaps;
    for (const QSize size : {today, QSize(1280, 800), QSize(3840, 2160)}) {
        window.resize(size);
        QCoreApplication::processEvents();
        ASSERT_EQ(window.size(), size);
        std::set<std::string> overlaps;
        for (int page = 0; page < 6; ++page) {
            window.选择夹1->setCurrentIndex(page);
            QCoreApplication::processEvents();
            overlaps.merge(laidOut(window.page(Page(page)), size));
        }
        if (size == today) todaysOverlaps = overlaps;
        EXPECT_EQ(overlaps, todaysOverlaps) << size.width() << "x" << size.height();
        EXPECT_LE(todaysOverlaps.size(), 3u);
        EXPECT_EQ(window.按钮1->size(), searchButton);
        EXPECT_GT(window.超级列表框1->width(), lastListWidth);
        EXPECT_GT(window.超级列表框2->height(), lastListHeight);
        // The search button keeps to the box's right edge.
        EXPECT_EQ(window.分组框1->width() - window.按钮1->geometry().right(), 543 - (451 + 80 - 1));
        lastListWidth = window.超级列表框1->width();
        lastListHeight = window.超级列表框2->height();
    }
    // Back at today's size, today's layout.
    window.resize(today);
    window.选择夹1->setCurrentIndex(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.超级列表框1->geometry(),
              QRect(QPoint(8, 118) - window.page(Page::Huawei)->mapTo(window.选择夹1, QPoint()),
                    QSize(543, 264)));
}

// A settings folder of a test's own: what one "run" writes, the next reads.
struct SettingsFolder {
    QTemporaryDir dir;
    SettingsFolder() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); }
    ~SettingsFolder() {
        // Back to the run's folder, which gui_test_main made: the same language there.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/gone");
        settingsStore()->setValue("language", "zh");
    }
};

TEST(WindowSettings, SettingsHistoryAndWindowSurviveARestart) {
    SettingsFolder folder;
    Settings s;
    s.language = "en";
    s.hosts[int(VendorService::Coolpad)] = "mirror.example:8080";
    s.proxy = {ProxySetting::Socks5, "127.0.0.1", 1080, "me", "p@ss"};
    s.downloadFolder = "/tmp/firmware";
    s.connections = 6;
    QString reason;
    ASSERT_TRUE(saveSettings(s, &reason)) << reason.toStdString();
    const Settings read = loadSettings();
    EXPECT_EQ(read.language, "en");
    EXPECT_EQ(read.hosts[int(VendorService::Coolpad)], "mirror.example:8080");
    EXPECT_EQ(read.proxy.mode, ProxySetting::Socks5);
    EXPECT_EQ(read.proxy.password, "p@ss");
    EXPECT_EQ(read.downloadFolder, "/tmp/firmware");
    EXPECT_EQ(read.connections, 6);
    const auto ownerOnly = [] {
        return QFile::permissions(settingsStore()->fileName()) ==
               (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                QFileDevice::WriteUser);
    };
    EXPECT_TRUE(ownerOnly()) << "it holds a password";

    // 25 searches, one twice: the last 20 different inputs, newest first.
    for (int i = 0; i < 25; ++i) rememberInput("huawei", QStringLiteral("P%1").arg(i));
    rememberInput("huawei", "P10");
    QLineEdit box;
    InputHistory history(&box, "huawei", {"Demo", "P24"});
    const QStringList offered = history.offered();
    ASSERT_EQ(offered.size(), kHistorySize + 1);
    EXPECT_EQ(offered.mid(0, 3), (QStringList{"P10", "P24", "P23"}));
    EXPECT_EQ(offered.last(), "Demo");
    EXPECT_FALSE(offered.contains("P4"));
    box.setText("  Mate 7 ");
    history.remember();
    EXPECT_EQ(inputHistory("huawei").first(), "Mate 7");
    EXPECT_EQ(history.completer()->model()->index(0, 0).data().toString(), "Mate 7");
    ASSERT_TRUE(clearInputHistory());
    EXPECT_TRUE(inputHistory("huawei").isEmpty());

    {
        MainWindow window;
        window.show();
        window.resize(900, 600);
        window.选择夹1->setCurrentIndex(3);
        saveWindowState(window);
    }
    EXPECT_TRUE(ownerOnly()) << "a later write keeps it so";
    MainWindow again;
    restoreWindowState(again);
    again.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(again.size(), QSize(900, 600));
    EXPECT_EQ(again.选择夹1->currentIndex(), 3);
}

TEST(WindowSettings, ASettingsFileThatCannotBeWrittenIsSaid) {
    SettingsFolder folder;
    // The file's place is taken by a folder: no one, root included, can write it.
    ASSERT_TRUE(QDir(folder.dir.path()).mkpath("romhaul/romhaul.ini"));
    QString reason;
    EXPECT_FALSE(saveSettings(Settings{}, &reason));
    EXPECT_TRUE(reason.endsWith("romhaul.ini")) << reason.toStdString();
    EXPECT_FALSE(rememberInput("lg", "123"));
}

TEST(WindowSettings, HostsAndProxyReachTheLookUps) {
    ASSERT_FALSE(qEnvironmentVariableIsSet("ROMHAUL_COOLPAD_HOST"));
    Settings s;
    s.hosts[int(VendorService::Coolpad)] = "mirror.example:8080";
    s.proxy = {ProxySetting::Socks5, "127.0.0.1", 1080, "me", "a b"};
    EXPECT_TRUE(applySettings(s));
    EXPECT_EQ(serviceHost(VendorService::Coolpad), "mirror.example:8080");
    const net::ProxySettings socks{net::ProxyMode::Socks5, "127.0.0.1", 1080, "me", "a b"};
    EXPECT_EQ(net::proxySettings(), socks);
    // A manual proxy without a port is refused and changes nothing.
    s.proxy = {ProxySetting::Http, "proxy.example", 0, "", ""};
    EXPECT_FALSE(applySettings(s));
    EXPECT_EQ(net::proxySettings(), socks);
    EXPECT_TRUE(applySettings(Settings{}));
    EXPECT_EQ(serviceHost(VendorService::Coolpad), "www.coolpad.com");
    EXPECT_EQ(net::proxySettings().mode, net::ProxyMode::System);
}

TEST(WindowSettings, DownloadFolderAndConnectionsReachNewDownloads) {
    Settings s;
    s.downloadFolder = " /tmp/romhaul-files ";
    s.connections = 7;
    EXPECT_TRUE(applySettings(s));
    EXPECT_EQ(downloadSettings().folder, "/tmp/romhaul-files");
    EXPECT_EQ(downloadSettings().connections, 7);
    // An empty folder is the default one again; connections stay in the engine's range.
    s.downloadFolder.clear();
    s.connections = 99;
    EXPECT_TRUE(applySettings(s));
    EXPECT_EQ(downloadSettings().folder, defaultDownloadFolder());
    EXPECT_EQ(downloadSettings().connections, 16);
    EXPECT_TRUE(applySettings(Settings{}));
}

}  // namespace

namespace {

TEST(ListSorting, SizesByBytesDatesByDayEmptyCellsLast) {
    const struct {
        const char* text;
        QVariant size;
        QVariant date;
    } cases[] = {
        {"803.49MB", qint64(842520330), {}},
        {"1.46 GB", qint64(1567663063), {}},
        {"512 kb", qint64(524288), {}},
        {"12", qint64(12), {}},
        {"2013-05-20", {}, QDate(2013, 5, 20)},
        {"2014/4/4", {}, QDate(2014, 4, 4)},
        {"2014年4月4日", {}, QDate(2014, 4, 4)},
        {"2014-13-40", {}, {}},
        {"", {}, {}},
        {"about 3 MB", {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sizeSortKey(QString::fromUtf8(c.text)), c.size) << c.text;
        EXPECT_EQ(dateSortKey(QString::fromUtf8(c.text)), c.date) << c.text;
    }
}

TEST(ListSorting, AClickOnATitleSortsASecondReverses) {
    using namespace report_column;
    ReportView list({{"name", 100, Qt::AlignLeft, kName},
                     {"date", 80, Qt::AlignLeft, kDate},
                     {"size", 80, Qt::AlignLeft, kSize},
                     {"", 0, Qt::AlignLeft, kAddress}});
    list.resize(400, 200);
    list.show();
    list.addRows({{"b", "2014/4/4", "1.46 GB", "http://h/b"},
                  {"a", "2013-05-20", "803.49MB", "http://h/a"},
                  {"c", "", "", "http://h/c"},
                  {"d", "2014-10-01", "95.2MB", "http://h/d"}});
    list.setCurrentRow(1);  // "a"
    const auto names = [&list] {
        std::string out;
        for (int row = 0; row < list.itemCount(); ++row) {
            out += list.itemText(row, 0);
            // Each row keeps its own address.
            EXPECT_EQ(list.itemText(row, 3), "http://h/" + list.itemText(row, 0));
        }
        return out;
    };
    const auto click = [&list](int column) {
        QHeaderView* h = list.header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    };
    click(2);
    EXPECT_EQ(names(), "dabc");
    click(2);
    EXPECT_EQ(names(), "badc");
    click(1);
    EXPECT_EQ(names(), "abdc");
    click(1);
    EXPECT_EQ(names(), "dbac");
    // The current row went with its row.
    EXPECT_EQ(list.itemText(list.currentRow(), 0), "a");
    click(3);  // the hidden address column is not a sort key
    EXPECT_EQ(names(), "dbac");
}

}  // namespace
