// The main window's layout, checked control by control against one table.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QHeaderView>
#include <memory>

#include "app/startup.h"
#include "app/window/main_window.h"
#include "tests/gui/gui_test_support.h"

namespace {

const QColor kNone, kGreen(0, 128, 0), kBlue(0, 0, 255), kRed(255, 0, 0);
constexpr Qt::Alignment kAny{}, kLeft = Qt::AlignLeft, kCentre = Qt::AlignHCenter,
                                kRight = Qt::AlignRight;

struct ControlRow {
    const char* name;
    const char* kind;    // the Qt class that implements it
    const char* parent;  // "page0".."page5" or a group box
    QRect geometry;      // page controls: in the tab control, strip included
    const char* text;
    int fontPixels;
    QColor colour = kNone;
    Qt::Alignment alignment = kAny;
};

const ControlRow kControls[] = {
    // Page 0, Huawei.
    {"分组框1", "QGroupBox", "page0", {8, 24, 543, 85}, "", 12},
    {"标签1", "QLabel", "分组框1", {10, 14, 305, 24}, "输入产品型号或关键词，获取软件下载", 15},
    {"编辑框1", "QLineEdit", "分组框1", {10, 45, 433, 28}, "", 15},
    {"按钮1", "QPushButton", "分组框1", {451, 45, 80, 28}, "搜索", 12},
    {"超级列表框1", "ReportView", "page0", {8, 118, 543, 264}, "", 12},
    // Page 1, ZTE.
    {"编辑框2", "QLineEdit", "page1", {10, 30, 115, 24}, "", 12},
    {"按钮2", "QPushButton", "page1", {131, 30, 40, 24}, "搜索", 12},
    {"树型框1", "QTreeWidget", "page1", {11, 60, 160, 290}, "", 12},
    {"超级列表框2", "ReportView", "page1", {178, 30, 369, 210}, "", 12},
    {"分组框2", "QGroupBox", "page1", {179, 246, 368, 105}, "文件信息：", 16},
    {"编辑框3", "QPlainTextEdit", "分组框2", {8, 21, 352, 75}, "", 13},
    {"按钮3", "QPushButton", "page1", {11, 354, 160, 26}, "刷新列表", 12},
    {"标签2", "QLabel", "page1", {182, 356, 368, 24}, "", 16, kGreen},
    // Page 2, Coolpad.
    {"分组框4", "QGroupBox", "page2", {8, 24, 543, 85}, "", 12},
    {"标签10", "QLabel", "分组框4", {10, 14, 305, 24}, "请输入关键词，获取产品列表", 15},
    {"编辑框11", "QLineEdit", "分组框4", {10, 45, 433, 28}, "", 15},
    {"按钮6", "QPushButton", "分组框4", {451, 45, 80, 28}, "搜索", 12},
    {"列表框1", "QListWidget", "page2", {8, 118, 100, 264}, "", 12},
    {"超级列表框3", "ReportView", "page2", {111, 118, 440, 264}, "", 12},
    // Page 3, LG.
    {"标签3", "QLabel", "page3", {38, 42, 173, 28}, "输入手机串号进行查询：", 16},
    {"编辑框4", "QLineEdit", "page3", {210, 42, 192, 28}, "", 15},
    {"按钮4", "QPushButton", "page3", {415, 42, 100, 28}, "查询详细信息", 12},
    {"分组框3", "QGroupBox", "page3", {58, 85, 439, 283}, "", 16},
    {"标签9", "QLabel", "分组框3", {44, 30, 80, 28}, "手机型号：", 16, kNone, kRight},
    {"编辑框10", "QLineEdit", "分组框3", {133, 31, 192, 28}, "", 15},
    {"标签4", "QLabel", "分组框3", {44, 71, 80, 28}, "IMEI码：", 16, kNone, kRight},
    {"编辑框5", "QLineEdit", "分组框3", {133, 72, 192, 28}, "", 15},
    {"标签5", "QLabel", "分组框3", {44, 112, 80, 28}, "序列号：", 16, kNone, kRight},
    {"编辑框6", "QLineEdit", "分组框3", {133, 113, 192, 28}, "", 15},
    {"标签7", "QLabel", "分组框3", {44, 153, 80, 28}, "网络制式：", 16, kNone, kRight},
    {"编辑框7", "QLineEdit", "分组框3", {133, 154, 192, 28}, "", 15},
    {"标签6", "QLabel", "分组框3", {44, 194, 80, 28}, "SW版本：", 16, kNone, kRight},
    {"编辑框8", "QLineEdit", "分组框3", {133, 195, 192, 28}, "", 15},
    {"标签8", "QLabel", "分组框3", {44, 236, 80, 28}, "下载地址：", 16, kNone, kRight},
    {"编辑框9", "QLineEdit", "分组框3", {133, 237, 192, 28}, "", 15},
    {"按钮5", "QPushButton", "分组框3", {333, 236, 88, 28}, "点击下载", 12},
    // Page 4, iPhone.
    {"组合框1", "QComboBox", "page4", {11, 28, 100, 20}, "", 12},
    {"组合框2", "QComboBox", "page4", {120, 28, 100, 20}, "", 12},
    {"组合框3", "QComboBox", "page4", {232, 28, 100, 20}, "", 12},
    {"选择框1", "QCheckBox", "page4", {339, 28, 192, 20}, "显示全部版本(包括不可刷版本)", 12},
    {"超级列表框5", "ReportView", "page4", {8, 56, 544, 327}, "", 12},
    // Page 5, About: the author, contact and notice lines come from the constants.
    {"分组框5", "QGroupBox", "page5", {81, 83, 400, 240}, "", 16},
    {"标签11", "QLabel", "分组框5", {2, 16, 396, 24}, "Romhaul", 16, kGreen, kCentre},
    {"标签17", "QLabel", "分组框5", {259, 42, 88, 16}, "Ver:1.5", 13, kGreen, kRight},
    {"标签14", "QLabel", "分组框5", {56, 61, 160, 24}, "作者：Romhaul 小组", 16, kBlue},
    {"标签15",
     "QLabel",
     "分组框5",
     {56, 93, 322, 24},
     "联系：romhaul.list@lists.example.org 反馈",
     16,
     kBlue},
    {"标签16", "QLabel", "分组框5", {56, 125, 80, 24}, "交流论坛：", 16, kBlue},
    {"超级链接框2", "Hyperlink", "分组框5", {130, 125, 178, 24}, "Romhaul 维修交流论坛", 16},
    {"标签13", "QLabel", "分组框5", {56, 159, 80, 24}, "配件商店：", 16, kBlue},
    {"超级链接框1", "Hyperlink", "分组框5", {135, 159, 210, 24}, "Romhaul 维修配件小店", 16},
    {"标签12",
     "QLabel",
     "分组框5",
     {2, 202, 396, 24},
     "Romhaul为免费软件，仅供维修交流使用",
     16,
     kRed,
     kCentre},
};

struct ColumnRow {
    const char* list;
    std::vector<ReportColumn> columns;
    int addressColumn;
};

QString sp(int n) {
    return QString(n, QLatin1Char(' '));
}

const std::vector<ColumnRow>& columnTable() {
    static const std::vector<ColumnRow> rows = {
        {"超级列表框1",
         {{sp(24) + "固件名称", 350, kLeft},
          {"发布日期", 80, kCentre},
          {"文件大小", 80, kCentre},
          {"", 0, kLeft}},
         3},
        {"超级列表框2",
         {{sp(14) + "文件名", 220, kLeft},
          {"文件大小 ", 70, kRight},
          {"更新日期", 0, kCentre},
          {"", 0, kLeft},
          {"格式", 50, kCentre}},
         3},
        {"超级列表框3",
         {{sp(13) + "描述", 195, kLeft},
          {"更新日期", 80, kCentre},
          {"文件大小 ", 70, kRight},
          {"文件种类", 70, kCentre},
          {"", 0, kLeft}},
         4},
        {"超级列表框5",
         {{"版本", 40, kLeft},
          {sp(15) + "固件名称", 235, kLeft},
          {sp(17) + "说明", 240, kLeft},
          {"", 0, kLeft}},
         3},
    };
    return rows;
}

QString shownText(QWidget* w) {
    if (auto* h = qobject_cast<Hyperlink*>(w)) return h->caption();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    return {};
}

int itemCount(QWidget* w) {
    if (auto* r = qobject_cast<ReportView*>(w)) return r->itemCount();
    if (auto* t = qobject_cast<QTreeWidget*>(w)) return t->topLevelItemCount();
    if (auto* l = qobject_cast<QListWidget*>(w)) return l->count();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->count();
    return 0;
}

bool isControlName(const QString& name) {
    for (const char* prefix : {"分组框", "标签", "编辑框", "按钮", "超级列表框", "树型框", "列表框",
                               "组合框", "选择框", "超级链接框", "选择夹"})
        if (name.startsWith(QString::fromUtf8(prefix))) return true;
    return false;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pointServicesAtNothing();
        ASSERT_TRUE(openMainWindow(window));
    }
    MessageRecorder pageLoadMessages;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, EveryControlAsLaidOut) {
    QWidget* tab = window->选择夹1;
    int named = 0;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (isControlName(w->objectName())) ++named;
    EXPECT_EQ(named, int(std::size(kControls)) + 1) << "a control is missing or named twice";

    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* w = window->findChild<QWidget*>(QString::fromUtf8(row.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), row.kind);

        const QString parent = QString::fromUtf8(row.parent);
        const bool onPage = parent.startsWith("page");
        QWidget* expectedParent = onPage ? window->page(Page(parent.mid(4).toInt()))
                                         : window->findChild<QWidget*>(parent);
        ASSERT_NE(expectedParent, nullptr);
        EXPECT_EQ(w->parentWidget(), expectedParent);
        const QRect at = onPage ? QRect(w->mapTo(tab, QPoint(0, 0)), w->size()) : w->geometry();
        EXPECT_EQ(at, row.geometry);
        // Nothing may hide under the tab strip or stick out of its page or group box.
        EXPECT_TRUE(expectedParent->rect().contains(w->geometry()))
            << "clipped: " << w->geometry().x() << "," << w->geometry().y();

        EXPECT_EQ(shownText(w), QString::fromUtf8(row.text));
        EXPECT_EQ(itemCount(w), 0);
        EXPECT_EQ(w->font().pixelSize(), row.fontPixels);
        EXPECT_EQ(w->font().families().value(0), "Noto Sans CJK SC");
        EXPECT_EQ(w->font().weight(), QFont::Normal);
        if (row.colour.isValid()) {
            EXPECT_EQ(textColour(w), row.colour);
        }
        if (row.alignment != kAny) {
            EXPECT_EQ(qobject_cast<QLabel*>(w)->alignment() & Qt::AlignHorizontal_Mask,
                      row.alignment);
        }

        EXPECT_FALSE(w->isHidden());
        EXPECT_EQ(w->isEnabled(), std::string(row.name) != "按钮5");
        const std::string kind = row.kind;
        const bool tabStop = kind != "QLabel" && kind != "QGroupBox" && kind != "Hyperlink";
        EXPECT_EQ(bool(w->focusPolicy() & Qt::TabFocus), tabStop);
    }
}

TEST_F(MainWindowTest, WindowAndTabControl) {
    EXPECT_EQ(window->windowTitle(), "Romhaul");
    // The outer size counts the frame; the offscreen platform has one too.
    ASSERT_TRUE(waitFor([&] { return window->frameGeometry().size() == QSize(575, 434); }))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(50, 50));

    TabControl* tab = window->选择夹1;
    EXPECT_EQ(tab->objectName(), "选择夹1");
    EXPECT_EQ(tab->parentWidget(), window.get());
    EXPECT_EQ(tab->geometry(), QRect(5, 8, 560, 392));
    EXPECT_FALSE(tab->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(tab->tabBar()->focusPolicy() & Qt::TabFocus);
    const char* captions[] = {"华为 Huawei", "中兴 ZTE",    "酷派 Coolpad",
                              "LG KDZ",      "苹果 iPhone", "关于软件"};
    ASSERT_EQ(tab->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tab->tabText(i), QString::fromUtf8(captions[i]));
        EXPECT_EQ(tab->widget(i), window->page(Page(i)));
    }
    EXPECT_EQ(tab->currentIndex(), 0);
    // Page controls stay where they belong on every page, and after a relayout.
    for (int i = 0; i < 6; ++i) {
        tab->setCurrentIndex(i);
        QApplication::processEvents();
    }
    EXPECT_EQ(window->超级列表框5->mapTo(tab, QPoint(0, 0)), QPoint(8, 56));
    tab->setDocumentMode(true);
    QApplication::processEvents();
    EXPECT_EQ(window->编辑框2->mapTo(tab, QPoint(0, 0)), QPoint(10, 30));
}

TEST_F(MainWindowTest, ListViewColumns) {
    for (const ColumnRow& row : columnTable()) {
        SCOPED_TRACE(row.list);
        auto* list = window->findChild<ReportView*>(QString::fromUtf8(row.list));
        ASSERT_NE(list, nullptr);
        QAbstractItemModel* model = list->model();
        ASSERT_EQ(model->columnCount(), int(row.columns.size()));
        list->addRow(std::vector<std::string>(row.columns.size(), "x"));
        for (int c = 0; c < int(row.columns.size()); ++c) {
            SCOPED_TRACE(c);
            const ReportColumn& want = row.columns[std::size_t(c)];
            EXPECT_EQ(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), want.title);
            EXPECT_EQ(list->header()->sectionSize(c), want.width);
            EXPECT_FALSE(list->header()->isSectionHidden(c));
            const auto headerAlign =
                model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
            const auto cellAlign =
                model->data(model->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
            EXPECT_EQ(headerAlign & Qt::AlignHorizontal_Mask, want.alignment);
            EXPECT_EQ(cellAlign & Qt::AlignHorizontal_Mask, want.alignment);
        }
        const int address = row.addressColumn;
        EXPECT_EQ(list->addressColumn(), address);
        EXPECT_EQ(model->headerData(address, Qt::Horizontal, Qt::DisplayRole).toString(), "");
        EXPECT_EQ(list->header()->sectionSize(address), 0);
        list->clearItems();
    }
}

}  // namespace
