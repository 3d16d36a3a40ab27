#pragma once
// The main window: a tab control of seven pages, one per firmware source, the downloads
// and an About page. Every control is a public member named as the program addresses it, with the
// same Qt objectName. Page routines read and write the controls directly; handlers are
// connected from outside (bindHandlers in app/handlers.cpp), never here, so that no event
// is bound before its handler exists.
//
// Geometry: page controls are placed relative to the tab control's own top-left corner,
// tab strip included, whatever the style makes of the strip; controls inside a group box
// relative to the group box.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>
#include <vector>

#include "app/window/downloads_view.h"
#include "app/window/hyperlink.h"
#include "app/window/report_view.h"

// The window's font: the CJK face at a pixel height; 0 means the window's default height.
QFont windowFont(int pixelHeight = 0);
constexpr int kDefaultFontPixels = 12;

// Text colour of a label or edit box (the ZTE status line turns green and red).
void setTextColour(QWidget* control, const QColor& colour);
QColor textColour(const QWidget* control);

// The tab control: a QTabWidget whose strip is low enough (21 pixels) for the controls
// that sit 24 pixels below the tab control's top edge.
class TabControl : public QTabWidget {
    Q_OBJECT
  public:
    explicit TabControl(QWidget* parent = nullptr);
    // Where the pages' top-left corner lies in the tab control once it lays them out.
    QPoint pagesOrigin() const;
};

// The pages of the tab control, in tab order.
enum class Page { Huawei, Zte, Coolpad, Lg, Iphone, Downloads, About };

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Emits created(): the loader calls it once the handlers are bound, before showing.
    void notifyCreated() { emit created(); }

    // A page's widget.
    QWidget* page(Page which) const;
    // The page shown.
    Page currentPage() const { return Page(选择夹1->currentIndex()); }

    // Where the window and the tab control sit, and the client size that gives the
    // window's outer size with a 4-pixel frame and a 26-pixel caption.
    static constexpr QPoint kPosition{50, 50};
    static constexpr QSize kOuterSize{575, 434};
    static constexpr QSize kClientSize{567, 400};

    // Tab control and pages.
    TabControl* 选择夹1;
    // Opens the settings, in the tab strip's corner.
    QToolButton* settingsButton;

    // Page 0, Huawei.
    QGroupBox* 分组框1;
    QLabel* 标签1;
    QLineEdit* 编辑框1;
    QPushButton* 按钮1;
    ReportView* 超级列表框1;

    // Page 1, ZTE.
    QLineEdit* 编辑框2;
    QPushButton* 按钮2;
    QTreeWidget* 树型框1;
    ReportView* 超级列表框2;
    QGroupBox* 分组框2;
    QPlainTextEdit* 编辑框3;
    QPushButton* 按钮3;
    QLabel* 标签2;

    // Page 2, Coolpad.
    QGroupBox* 分组框4;
    QLabel* 标签10;
    QLineEdit* 编辑框11;
    QPushButton* 按钮6;
    QListWidget* 列表框1;
    ReportView* 超级列表框3;

    // Page 3, LG.
    QLabel* 标签3;
    QLineEdit* 编辑框4;
    QPushButton* 按钮4;
    QGroupBox* 分组框3;
    QLabel* 标签9;
    QLineEdit* 编辑框10;
    QLabel* 标签4;
    QLineEdit* 编辑框5;
    QLabel* 标签5;
    QLineEdit* 编辑框6;
    QLabel* 标签7;
    QLineEdit* 编辑框7;
    QLabel* 标签6;
    QLineEdit* 编辑框8;
    QLabel* 标签8;
    QLineEdit* 编辑框9;
    QPushButton* 按钮5;
    QPushButton* lgDownloadButton;

    // Page 4, iPhone.
    QComboBox* 组合框1;
    QComboBox* 组合框2;
    QComboBox* 组合框3;
    QCheckBox* 选择框1;
    ReportView* 超级列表框5;
    // Under the list, shown only while it has something to say (a box whose request
    // failed); the list gives up the room meanwhile.
    QLabel* iphoneStatus;
    // Shows `text` there in red, or hides the line for "".
    void setIphoneStatus(const QString& text);

    // Page 5, downloads.
    DownloadsView* downloadsView;

    // Page 6, About.
    QGroupBox* 分组框5;
    QLabel* 标签11;
    QLabel* 标签17;
    QLabel* 标签14;
    QLabel* 标签15;
    QLabel* 标签16;
    Hyperlink* 超级链接框2;
    QLabel* 标签13;
    Hyperlink* 超级链接框1;
    QLabel* 标签12;

  signals:
    // The window and all its controls exist (the "created" event).
    void created();

  public:
    // The window opens at today's size and layout and may be enlarged: result lists and
    // text boxes grow with it, buttons keep their size and follow their edge. `geometry`
    // (from saveGeometry) is where the window was last; empty opens it where it always did.
    void setSavedGeometry(const QByteArray& geometry) { savedGeometry_ = geometry; }

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // How a control follows the window's extra size (beyond the size its layout was
    // made for), in halves of the extra width or height.
    struct Stretch {
        int moveX = 0, moveY = 0, growX = 0, growY = 0;
    };
    struct Anchored {
        QWidget* control;
        QRect inTabControl;  // or, for a control in a group box, in the group box
        Stretch stretch = {};
    };
    template <class T>
    T* pageControl(Page onPage, const char* name, QRect inTabControl, int fontPixels = 0);
    void placePageControls();
    // Widens the iPhone page's boxes to fit their first entries in the window's language.
    void fitIphoneBoxes();
    void fitOuterSize();
    void stretch(QWidget* control, Stretch how);
    QSize extraSize() const;
    void placeStretched();

    std::vector<QWidget*> pages_;
    std::vector<Anchored> anchored_;
    std::vector<Anchored> inGroups_;
    QSize madeFor_ = kClientSize;
    QByteArray savedGeometry_;
    bool fitted_ = false;
};

// The one main window while it exists, else null. Page routines and jobs reach the
// controls through it.
MainWindow* mainWindow();
