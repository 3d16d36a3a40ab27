#include "app/window/main_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <type_traits>

#include "app/window/qt_text.h"

namespace {

MainWindow* theWindow = nullptr;

const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// The iPhone list, and its status line: two lines of text (a failure names a host and
// libcurl's words) cut from the list's foot while shown, of no height while hidden.
constexpr QRect kIphoneList{8, 56, 544, 327};
constexpr int kIphoneStatusHeight = 32;
constexpr QRect kIphoneStatusShown{8, 56 + 327 - kIphoneStatusHeight, 544, kIphoneStatusHeight};
constexpr QRect kIphoneStatusHidden{8, 56 + 327, 544, 0};

QString spaces(int n) {
    return QString(n, QLatin1Char(' '));
}

// Tab strip tabs are kept at 21 pixels whatever the font's line height, as the page
// layouts were made for a strip of that height.
class TabStrip : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    QSize tabSizeHint(int index) const override {
        QSize s = QTabBar::tabSizeHint(index);
        s.setHeight(21);
        return s;
    }
    QSize minimumTabSizeHint(int index) const override {
        QSize s = QTabBar::minimumTabSizeHint(index);
        s.setHeight(21);
        return s;
    }
};

template <class T>
T* setUp(T* control, const char* name, QRect geometry, int fontPixels, bool tabStop) {
    control->setObjectName(QString::fromUtf8(name));
    control->setGeometry(geometry);
    control->setFont(windowFont(fontPixels));
    control->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
    return control;
}

QLabel* label(QWidget* parent, const char* name, QRect geometry, int fontPixels,
              const QString& text = {}, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* l = setUp(new QLabel(text, parent), name, geometry, fontPixels, false);
    l->setAlignment(alignment | Qt::AlignVCenter);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, QRect geometry, int fontPixels,
                bool readOnly = false) {
    // A read-only box still selects and copies: QLineEdit keeps both when read-only.
    auto* e = setUp(new QLineEdit(parent), name, geometry, fontPixels, true);
    e->setReadOnly(readOnly);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, QRect geometry, const QString& text) {
    auto* b = setUp(new QPushButton(text, parent), name, geometry, 0, true);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QFont windowFont(int pixelHeight) {
    QFont f;
    // The CJK face first; fontconfig falls back for anything it lacks.
    f.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
    f.setPixelSize(pixelHeight > 0 ? pixelHeight : kDefaultFontPixels);
    f.setWeight(QFont::Normal);
    return f;
}

void setTextColour(QWidget* control, const QColor& colour) {
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    control->setPalette(p);
}

QColor textColour(const QWidget* control) {
    return control->palette().color(QPalette::WindowText);
}

TabControl::TabControl(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new TabStrip(this));
    setFocusPolicy(Qt::NoFocus);
    tabBar()->setFocusPolicy(Qt::NoFocus);
    tabBar()->setExpanding(false);
    tabBar()->setUsesScrollButtons(false);
}

QPoint TabControl::pagesOrigin() const {
    // The same question QTabWidget asks its style when it lays the pages out.
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).topLeft();
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    theWindow = this;
    setObjectName(QStringLiteral("MainWindow"));
    setFont(windowFont());
    move(kPosition);
    resize(kClientSize);
    setMinimumSize(kClientSize);

    选择夹1 = setUp(new TabControl(this), "选择夹1", QRect(5, 8, 560, 392), 0, false);
    const char* captions[] = {
        QT_TRANSLATE_NOOP("Romhaul", "华为 Huawei"),  QT_TRANSLATE_NOOP("Romhaul", "中兴 ZTE"),
        QT_TRANSLATE_NOOP("Romhaul", "酷派 Coolpad"), "LG KDZ",
        QT_TRANSLATE_NOOP("Romhaul", "苹果 iPhone"),  QT_TRANSLATE_NOOP("Romhaul", "下载"),
        QT_TRANSLATE_NOOP("Romhaul", "关于软件")};
    for (int i = 0; i < int(std::size(captions)); ++i) {
        auto* p = new QWidget;
        p->setObjectName(QStringLiteral("page%1").arg(i));
        选择夹1->addTab(p, Romhaul::tr(captions[i]));
        pages_.push_back(p);
    }
    const Qt::Alignment left = Qt::AlignLeft, centre = Qt::AlignHCenter, right = Qt::AlignRight;
    using namespace report_column;

    // Page 0, Huawei.
    分组框1 = pageControl<QGroupBox>(Page::Huawei, "分组框1", {8, 24, 543, 85});
    标签1 = label(分组框1, "标签1", {10, 14, 305, 24}, 15,
                  Romhaul::tr("输入产品型号或关键词，获取软件下载"));
    编辑框1 = edit(分组框1, "编辑框1", {10, 45, 433, 28}, 15);
    按钮1 = button(分组框1, "按钮1", {451, 45, 80, 28}, Romhaul::tr("搜索"));
    超级列表框1 = setUp(new ReportView({{spaces(24) + Romhaul::tr("固件名称"), 350, left, kName},
                                        {Romhaul::tr("发布日期"), 80, centre, kDate},
                                        {Romhaul::tr("文件大小"), 80, centre, kSize},
                                        {"", 0, left, kAddress}},
                                       page(Page::Huawei)),
                        "超级列表框1", {}, 0, true);
    anchored_.push_back({超级列表框1, {8, 118, 543, 264}});

    // Page 1, ZTE.
    编辑框2 = pageControl<QLineEdit>(Page::Zte, "编辑框2", {10, 30, 115, 24});
    按钮2 = pageControl<QPushButton>(Page::Zte, "按钮2", {131, 30, 40, 24});
    按钮2->setText(Romhaul::tr("搜索"));
    树型框1 = pageControl<QTreeWidget>(Page::Zte, "树型框1", {11, 60, 160, 290});
    树型框1->setHeaderHidden(true);
    树型框1->setColumnCount(1);
    树型框1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    超级列表框2 = setUp(new ReportView({{spaces(14) + Romhaul::tr("文件名"), 220, left, kName},
                                        {Romhaul::tr("文件大小 "), 70, right, kSize},
                                        {Romhaul::tr("更新日期"), 0, centre, kDate},
                                        {"", 0, left, kAddress},
                                        {Romhaul::tr("格式"), 50, centre, kFormat}},
                                       page(Page::Zte)),
                        "超级列表框2", {}, 0, true);
    anchored_.push_back({超级列表框2, {178, 30, 369, 210}});
    分组框2 = pageControl<QGroupBox>(Page::Zte, "分组框2", {179, 246, 368, 105}, 16);
    分组框2->setTitle(Romhaul::tr("文件信息："));
    编辑框3 = setUp(new QPlainTextEdit(分组框2), "编辑框3", {8, 21, 352, 75}, 13, true);
    编辑框3->setReadOnly(true);
    编辑框3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    编辑框3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    编辑框3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    按钮3 = pageControl<QPushButton>(Page::Zte, "按钮3", {11, 354, 160, 26});
    按钮3->setText(Romhaul::tr("刷新列表"));
    标签2 = pageControl<QLabel>(Page::Zte, "标签2", {182, 356, 368, 24}, 16);
    标签2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(标签2, kGreen);

    // Page 2, Coolpad.
    分组框4 = pageControl<QGroupBox>(Page::Coolpad, "分组框4", {8, 24, 543, 85});
    标签10 =
        label(分组框4, "标签10", {10, 14, 305, 24}, 15, Romhaul::tr("请输入关键词，获取产品列表"));
    编辑框11 = edit(分组框4, "编辑框11", {10, 45, 433, 28}, 15);
    按钮6 = button(分组框4, "按钮6", {451, 45, 80, 28}, Romhaul::tr("搜索"));
    列表框1 = pageControl<QListWidget>(Page::Coolpad, "列表框1", {8, 118, 100, 264});
    超级列表框3 = setUp(new ReportView({{spaces(13) + Romhaul::tr("描述"), 195, left, kName},
                                        {Romhaul::tr("更新日期"), 80, centre, kDate},
                                        {Romhaul::tr("文件大小 "), 70, right, kSize},
                                        {Romhaul::tr("文件种类"), 70, centre, kType},
                                        {"", 0, left, kAddress}},
                                       page(Page::Coolpad)),
                        "超级列表框3", {}, 0, true);
    anchored_.push_back({超级列表框3, {111, 118, 440, 264}});

    // Page 3, LG.
    标签3 = pageControl<QLabel>(Page::Lg, "标签3", {38, 42, 173, 28}, 16);
    标签3->setText(Romhaul::tr("输入手机串号进行查询："));
    标签3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    编辑框4 = pageControl<QLineEdit>(Page::Lg, "编辑框4", {210, 42, 192, 28}, 15);
    // Serial numbers are digits and dashes; anything else typed is dropped.
    编辑框4->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9-]*")), 编辑框4));
    按钮4 = pageControl<QPushButton>(Page::Lg, "按钮4", {415, 42, 100, 28});
    按钮4->setText(Romhaul::tr("查询详细信息"));
    分组框3 = pageControl<QGroupBox>(Page::Lg, "分组框3", {58, 85, 439, 283}, 16);
    标签9 = label(分组框3, "标签9", {44, 30, 80, 28}, 16, Romhaul::tr("手机型号："), right);
    编辑框10 = edit(分组框3, "编辑框10", {133, 31, 192, 28}, 15, true);
    标签4 = label(分组框3, "标签4", {44, 71, 80, 28}, 16, Romhaul::tr("IMEI码："), right);
    编辑框5 = edit(分组框3, "编辑框5", {133, 72, 192, 28}, 15, true);
    标签5 = label(分组框3, "标签5", {44, 112, 80, 28}, 16, Romhaul::tr("序列号："), right);
    编辑框6 = edit(分组框3, "编辑框6", {133, 113, 192, 28}, 15, true);
    标签7 = label(分组框3, "标签7", {44, 153, 80, 28}, 16, Romhaul::tr("网络制式："), right);
    编辑框7 = edit(分组框3, "编辑框7", {133, 154, 192, 28}, 15, true);
    标签6 = label(分组框3, "标签6", {44, 194, 80, 28}, 16, Romhaul::tr("SW版本："), right);
    编辑框8 = edit(分组框3, "编辑框8", {133, 195, 192, 28}, 15, true);
    标签8 = label(分组框3, "标签8", {44, 236, 80, 28}, 16, Romhaul::tr("下载地址："), right);
    编辑框9 = edit(分组框3, "编辑框9", {133, 237, 192, 28}, 15, true);
    按钮5 = button(分组框3, "按钮5", {333, 236, 88, 28}, Romhaul::tr("点击下载"));
    按钮5->setEnabled(false);
    // Downloads the address here instead of handing it to the browser.
    lgDownloadButton =
        button(分组框3, "lgDownloadButton", {333, 195, 88, 28}, Romhaul::tr("下载", "command"));
    lgDownloadButton->setEnabled(false);

    // Page 4, iPhone.
    组合框1 = pageControl<QComboBox>(Page::Iphone, "组合框1", {11, 28, 100, 20});
    组合框2 = pageControl<QComboBox>(Page::Iphone, "组合框2", {120, 28, 100, 20});
    组合框3 = pageControl<QComboBox>(Page::Iphone, "组合框3", {232, 28, 100, 20});
    选择框1 = pageControl<QCheckBox>(Page::Iphone, "选择框1", {339, 28, 192, 20});
    选择框1->setText(Romhaul::tr("显示全部版本(包括不可刷版本)"));
    fitIphoneBoxes();
    超级列表框5 = setUp(new ReportView({{Romhaul::tr("版本"), 40, left, kVersion},
                                        {spaces(15) + Romhaul::tr("固件名称"), 235, left, kName},
                                        {spaces(17) + Romhaul::tr("说明"), 240, left, kNotes},
                                        {"", 0, left, kAddress}},
                                       page(Page::Iphone)),
                        "超级列表框5", {}, 0, true);
    anchored_.push_back({超级列表框5, kIphoneList});
    iphoneStatus = pageControl<QLabel>(Page::Iphone, "iphoneStatus", kIphoneStatusHidden);
    iphoneStatus->setWordWrap(true);
    iphoneStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    iphoneStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    iphoneStatus->hide();
    setTextColour(iphoneStatus, kRed);

    // Page 5, downloads: the list fills the page.
    downloadsView = new DownloadsView(page(Page::Downloads));
    auto* downloadsLayout = new QVBoxLayout(page(Page::Downloads));
    downloadsLayout->setContentsMargins(0, 0, 0, 0);
    downloadsLayout->addWidget(downloadsView);

    // Page 6, About. The author, notice and contact lines are written at creation.
    分组框5 = pageControl<QGroupBox>(Page::About, "分组框5", {81, 83, 400, 240}, 16);
    标签11 = label(分组框5, "标签11", {2, 16, 396, 24}, 16, "Romhaul", centre);
    setTextColour(标签11, kGreen);
    标签17 = label(分组框5, "标签17", {259, 42, 88, 16}, 13, "Ver:1.5", right);
    setTextColour(标签17, kGreen);
    标签14 = label(分组框5, "标签14", {56, 61, 160, 24}, 16);
    setTextColour(标签14, kBlue);
    标签15 = label(分组框5, "标签15", {56, 93, 322, 24}, 16);
    setTextColour(标签15, kBlue);
    标签16 = label(分组框5, "标签16", {56, 125, 80, 24}, 16, Romhaul::tr("交流论坛："));
    setTextColour(标签16, kBlue);
    超级链接框2 = setUp(new Hyperlink(分组框5), "超级链接框2", {130, 125, 178, 24}, 16, false);
    超级链接框2->setLink(Romhaul::tr("Romhaul 维修交流论坛"), "https://forum.example.org/romhaul");
    标签13 = label(分组框5, "标签13", {56, 159, 80, 24}, 16, Romhaul::tr("配件商店："));
    setTextColour(标签13, kBlue);
    超级链接框1 = setUp(new Hyperlink(分组框5), "超级链接框1", {135, 159, 210, 24}, 16, false);
    超级链接框1->setLink(Romhaul::tr("Romhaul 维修配件小店"), "https://shop.example.org/romhaul");
    标签12 = label(分组框5, "标签12", {2, 202, 396, 24}, 16, {}, centre);
    setTextColour(标签12, kRed);

    // The settings, at the strip's far end: a gear rather than a word, since at the opening
    // size the seven tabs leave room for no more; the word is in the tooltip.
    settingsButton = new QToolButton(选择夹1);
    settingsButton->setObjectName(QStringLiteral("settingsButton"));
    settingsButton->setText(QStringLiteral("\u2699"));
    settingsButton->setAccessibleName(Romhaul::tr("设置"));
    settingsButton->setToolTip(Romhaul::tr("设置") + QStringLiteral(": ") +
                               Romhaul::tr("服务地址、语言、代理和下载 (Ctrl+,)"));
    settingsButton->setAutoRaise(true);
    settingsButton->setFocusPolicy(Qt::NoFocus);
    settingsButton->setFixedHeight(19);
    选择夹1->setCornerWidget(settingsButton, Qt::TopRightCorner);

    // What grows with the window: lists, trees and boxes that show found texts.
    using Controls = std::initializer_list<QWidget*>;
    const Stretch toRight{2, 0, 0, 0}, wider{0, 0, 2, 0}, taller{0, 0, 0, 2}, larger{0, 0, 2, 2};
    for (QWidget* c : Controls{分组框1, 编辑框1, 分组框4, 编辑框11, 编辑框3}) stretch(c, wider);
    for (QWidget* c : Controls{按钮1, 按钮6}) stretch(c, toRight);
    for (QWidget* c : Controls{超级列表框1, 超级列表框2, 超级列表框3, 超级列表框5})
        stretch(c, larger);
    for (QWidget* c : Controls{树型框1, 列表框1}) stretch(c, taller);
    stretch(iphoneStatus, {0, 2, 2, 0});
    stretch(分组框2, {0, 2, 2, 0});
    stretch(标签2, {0, 2, 2, 0});
    stretch(按钮3, {0, 2, 0, 0});
    // The LG form and the About page stay whole, in the middle.
    stretch(标签3, {1, 1, 0, 0});
    stretch(编辑框4, {1, 1, 0, 0});
    stretch(按钮4, {1, 1, 0, 0});
    stretch(分组框3, {1, 1, 0, 0});
    stretch(分组框5, {1, 1, 0, 0});

    // Page controls follow the page whenever the tab control lays its pages out anew
    // (first show, style or font change).
    if (auto* stack = 选择夹1->findChild<QStackedWidget*>()) stack->installEventFilter(this);
    placePageControls();
}

MainWindow::~MainWindow() {
    if (theWindow == this) theWindow = nullptr;
}

namespace {

// The width a combo box needs to show `text` whole, as its size hint would give it.
int comboWidthFor(const QComboBox* box, const QString& text) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    const QFontMetrics metrics = box->fontMetrics();
    const QSize content(metrics.horizontalAdvance(text), std::max(metrics.height(), 14) + 2);
    return box->style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, box).width();
}

}  // namespace

void MainWindow::fitIphoneBoxes() {
    // A box as narrow as its first entry in another language ("--All versions--") would cut
    // it: it grows to fit, and what follows on the row moves right. The Chinese entries fit
    // the boxes as made, which keep their places.
    const QString firstEntries[] = {Romhaul::tr("--全部机型--"), Romhaul::tr("--全部类型--"),
                                    Romhaul::tr("--全部版本--")};
    QComboBox* boxes[] = {组合框1, 组合框2, 组合框3};
    int moved = 0;
    for (Anchored& a : anchored_) {
        for (int i = 0; i < 3; ++i) {
            if (a.control != boxes[i]) continue;
            a.inTabControl.translate(moved, 0);
            const int grow =
                std::max(0, comboWidthFor(boxes[i], firstEntries[i]) - a.inTabControl.width());
            a.inTabControl.setWidth(a.inTabControl.width() + grow);
            moved += grow;
        }
        // The check box keeps to the list's right edge.
        if (a.control == 选择框1) {
            a.inTabControl.translate(moved, 0);
            a.inTabControl.setRight(std::min(a.inTabControl.right(), kIphoneList.right()));
        }
    }
}

void MainWindow::setIphoneStatus(const QString& text) {
    const bool shown = !text.isEmpty();
    iphoneStatus->setText(text);
    for (Anchored& a : anchored_) {
        if (a.control == 超级列表框5)
            a.inTabControl = kIphoneList.adjusted(0, 0, 0, shown ? -kIphoneStatusHeight - 2 : 0);
        else if (a.control == iphoneStatus)
            a.inTabControl = shown ? kIphoneStatusShown : kIphoneStatusHidden;
    }
    iphoneStatus->setVisible(shown);
    placePageControls();
}

QWidget* MainWindow::page(Page which) const {
    const auto number = std::size_t(which);
    return number < pages_.size() ? pages_[number] : nullptr;
}

template <class T>
T* MainWindow::pageControl(Page onPage, const char* name, QRect inTabControl, int fontPixels) {
    // Edit boxes, buttons, combo boxes, lists, trees and check boxes are tab stops.
    constexpr bool tabStop = !std::is_base_of_v<QLabel, T> && !std::is_base_of_v<QGroupBox, T>;
    T* control = setUp(new T(page(onPage)), name, {}, fontPixels, tabStop);
    anchored_.push_back({control, inTabControl});
    return control;
}

void MainWindow::stretch(QWidget* control, Stretch how) {
    for (Anchored& a : anchored_)
        if (a.control == control) {
            a.stretch = how;
            return;
        }
    inGroups_.push_back({control, control->geometry(), how});
}

QSize MainWindow::extraSize() const {
    return (size() - madeFor_).expandedTo(QSize(0, 0));
}

namespace {

QRect stretched(QRect r, int moveX, int moveY, int growX, int growY, QSize extra) {
    const int dx = extra.width(), dy = extra.height();
    return QRect(r.x() + moveX * dx / 2, r.y() + moveY * dy / 2, r.width() + growX * dx / 2,
                 r.height() + growY * dy / 2);
}

}  // namespace

void MainWindow::placeStretched() {
    const QSize extra = extraSize();
    for (const Anchored& a : inGroups_)
        a.control->setGeometry(stretched(a.inTabControl, a.stretch.moveX, a.stretch.moveY,
                                         a.stretch.growX, a.stretch.growY, extra));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize extra = extraSize();
    选择夹1->setGeometry(5, 8, 560 + extra.width(), 392 + extra.height());
    placePageControls();
}

void MainWindow::placePageControls() {
    // Where the pages start inside the tab control. Until the tab control is shown it has
    // not laid its pages out yet; the style answers the same question meanwhile.
    const QPoint origin = 选择夹1->isVisible() ? page(Page::Huawei)->mapTo(选择夹1, QPoint(0, 0))
                                               : 选择夹1->pagesOrigin();
    const QSize extra = extraSize();
    for (const Anchored& a : anchored_)
        a.control->setGeometry(stretched(a.inTabControl.translated(-origin), a.stretch.moveX,
                                         a.stretch.moveY, a.stretch.growX, a.stretch.growY, extra));
    placeStretched();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) placePageControls();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placePageControls();
    if (!fitted_) QTimer::singleShot(0, this, [this] { fitOuterSize(); });
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Window managers tell the frame's extents late, typically with a move.
    if (!fitted_ && isVisible()) fitOuterSize();
}

void MainWindow::fitOuterSize() {
    // The outer size counts the frame, which only the window manager knows, and only once
    // the window is mapped. Without a frame (offscreen) the client size stays as made.
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() <= 0 && frame.height() <= 0) return;
    fitted_ = true;
    const QSize client(std::max(kOuterSize.width() - frame.width(), 565),
                       std::max(kOuterSize.height() - frame.height(), 400));
    madeFor_ = client;
    setMinimumSize(client);
    if (!savedGeometry_.isEmpty() && restoreGeometry(savedGeometry_)) return;
    resize(client);
    move(kPosition);
}

MainWindow* mainWindow() {
    return theWindow;
}
