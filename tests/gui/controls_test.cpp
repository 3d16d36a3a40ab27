// What the controls do on their own: input filtering, read-only boxes, the list views'
// row operations, hyperlinks and the real message box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "app/startup.h"
#include "app/window/main_window.h"
#include "app/window/qt_message_box.h"
#include "base/text_util.h"
#include "tests/gui/gui_test_support.h"

namespace {

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pointServicesAtNothing();
        ASSERT_TRUE(openMainWindow(window));
    }
    void showPage(int page) {
        window->选择夹1->setCurrentIndex(page);
        QApplication::processEvents();
    }
    MessageRecorder pageLoadMessages;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ControlsTest, SerialBoxTakesDigitsAndDashOnly) {
    showPage(3);
    QLineEdit* box = window->编辑框4;
    box->setFocus();
    QTest::keyClicks(box, "35a6B-7 8x*#0.");
    EXPECT_EQ(box->text(), "356-780");
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text(), "356-7");
    QTest::keyClicks(box, "-");
    EXPECT_EQ(box->text(), "356-7-");
}

TEST_F(ControlsTest, ReadOnlyBoxesSelectAndCopyButTakeNoTyping) {
    struct Box {
        QWidget* widget;
        int page;
    };
    const Box boxes[] = {{window->编辑框3, 1}, {window->编辑框10, 3}, {window->编辑框5, 3},
                         {window->编辑框6, 3}, {window->编辑框7, 3},  {window->编辑框8, 3},
                         {window->编辑框9, 3}};
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.widget->objectName().toStdString());
        showPage(b.page);
        const QString text = "固件 ABC-123";
        if (auto* e = qobject_cast<QLineEdit*>(b.widget))
            e->setText(text);
        else
            qobject_cast<QPlainTextEdit*>(b.widget)->setPlainText(text);
        b.widget->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClicks(b.widget, "xyz");
        QTest::keyClick(b.widget, Qt::Key_Backspace);
        QTest::keyClick(b.widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(b.widget, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(b.widget, Qt::Key_V, Qt::ControlModifier);
        const QString now = qobject_cast<QLineEdit*>(b.widget)
                                ? qobject_cast<QLineEdit*>(b.widget)->text()
                                : qobject_cast<QPlainTextEdit*>(b.widget)->toPlainText();
        EXPECT_EQ(now, text);
        EXPECT_EQ(QApplication::clipboard()->text(), text);
    }
    // The ordinary boxes do take typing.
    showPage(0);
    window->编辑框1->setFocus();
    QTest::keyClicks(window->编辑框1, "P40");
    EXPECT_EQ(window->编辑框1->text(), "P40");
}

TEST_F(ControlsTest, ReportViewRowsAndCells) {
    ReportView* list = window->超级列表框1;
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(list->currentRow(), -1);
    // Cells are program texts (code page 936) both ways.
    const std::string name = gbk("华为固件包.zip");
    EXPECT_EQ(list->addRow({name, "2024-01-02", gbk("1.5 GB"), "https://example.org/a"}), 0);
    EXPECT_EQ(list->addRow({"short"}), 1);  // missing cells stay empty
    EXPECT_EQ(list->addRow({"a", "b", "c", "d", "extra"}), 2);
    EXPECT_EQ(list->itemCount(), 3);
    EXPECT_EQ(list->itemText(0, 0), name);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "华为固件包.zip");
    EXPECT_EQ(list->itemText(0, 3), "https://example.org/a");
    EXPECT_EQ(list->itemText(1, 3), "");
    EXPECT_EQ(list->model()->columnCount(), 4);
    list->setItemText(1, 2, gbk("文件"));
    EXPECT_EQ(list->itemText(1, 2), gbk("文件"));
    // Outside the table: nothing happens, nothing is read.
    for (auto [r, c] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 4}, {INT32_MAX, INT32_MIN}}) {
        list->setItemText(r, c, "ignored");
        EXPECT_EQ(list->itemText(r, c), "");
    }
    EXPECT_EQ(list->itemCount(), 3);

    QSignalSpy current(list, &ReportView::currentRowChanged);
    list->setCurrentRow(2);
    EXPECT_EQ(list->currentRow(), 2);
    ASSERT_EQ(current.count(), 1);
    EXPECT_EQ(current.takeFirst().at(0).toInt(), 2);
    list->setCurrentRow(7);
    EXPECT_EQ(list->currentRow(), -1);

    list->clearItems();
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(list->itemText(0, 0), "");
}

TEST_F(ControlsTest, ReportViewClicksReportTheRow) {
    ReportView* list = window->超级列表框2;
    showPage(1);
    for (int i = 0; i < 5; ++i) list->addRow({"file" + std::to_string(i), "1 MB", "", "addr"});
    QSignalSpy current(list, &ReportView::currentRowChanged);
    QSignalSpy doubled(list, &ReportView::rowDoubleClicked);
    const QRect third = list->visualRect(list->model()->index(2, 0));
    ASSERT_TRUE(third.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(list->currentRow(), 2);
    ASSERT_GE(current.count(), 1);
    EXPECT_EQ(current.last().at(0).toInt(), 2);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.first().at(0).toInt(), 2);
    // The keyboard moves the current row too.
    list->setFocus();
    QTest::keyClick(list->viewport(), Qt::Key_Down);
    EXPECT_EQ(current.last().at(0).toInt(), 3);
}

// Rows sort in place by their cells' keys: a row number stays one row for the view, the
// page routines and the commands, and its note, the selection and the current row go
// with it.
TEST_F(ControlsTest, ReportRowsSortByKeysAndRowsKeepTheirState) {
    ReportView* list = window->超级列表框1;
    ReportRows* rows = list->reportModel();
    const int size = rows->column(report_column::kSize);
    const int date = rows->column(report_column::kDate);
    ASSERT_EQ(size, 2);
    ASSERT_EQ(date, 1);
    EXPECT_EQ(rows->column("no such column"), -1);
    struct Row {
        const char* name;
        const char* size;
        QVariant bytes;
        QVariant day;
    };
    const Row table[] = {
        {"b", "1.46 GB", qint64(1572864000), QDate(2015, 3, 3)},
        {"a", "5.00 MB", qint64(5242880), QDate(2021, 1, 9)},
        {"c", "", {}, {}},  // no size, no date: last either way
        {"d", "900 KB", 921600.0, QDate(2015, 3, 3)},
    };
    for (const Row& r : table) {
        const int at = list->addRow({r.name, "", r.size, std::string("http://h/") + r.name});
        rows->setSortKey(at, size, r.bytes);
        rows->setSortKey(at, date, r.day);
    }
    list->setRowNote(1, QStringLiteral("checked a"));
    list->setCurrentRow(1);
    const auto order = [list] {
        std::string names;
        for (int r = 0; r < list->itemCount(); ++r) names += list->itemText(r, 0);
        return names;
    };
    const struct {
        int column;
        Qt::SortOrder order;
        const char* names;
    } sorts[] = {
        {size, Qt::AscendingOrder, "dabc"},
        {size, Qt::DescendingOrder, "badc"},
        {date, Qt::AscendingOrder, "bdac"},  // equal days keep their order
        {date, Qt::DescendingOrder, "abdc"},
        {0, Qt::DescendingOrder, "dcba"},  // no keys: the texts
        {list->addressColumn(), Qt::AscendingOrder, "abcd"},
    };
    QSignalSpy chosen(list, &ReportView::rowChosen);
    for (const auto& s : sorts) {
        SCOPED_TRACE(s.names);
        rows->sort(s.column, s.order);
        EXPECT_EQ(order(), s.names);
        const int a = int(std::string(s.names).find('a'));
        EXPECT_EQ(list->currentRow(), a);
        EXPECT_EQ(list->selectedRows(), std::vector<int>{a});
        EXPECT_EQ(rows->index(a, 0).data(Qt::ToolTipRole).toString(), "checked a");
        EXPECT_EQ(list->itemText(a, list->addressColumn()), "http://h/a");
    }
    // A row taken into the selection chooses nothing, however far the chosen row moved.
    list->selectionModel()->select(rows->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(list->selectedRows(), (std::vector<int>{0, 2}));
    EXPECT_EQ(chosen.count(), 0);
}

TEST_F(ControlsTest, ReportViewTakesThousandsOfRows) {
    ReportView* list = window->超级列表框5;
    showPage(4);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 20000; ++i)
        rows.push_back({"16." + std::to_string(i % 10), gbk("固件") + std::to_string(i), "", "a"});
    list->addRows(rows);
    for (int i = 0; i < 5000; ++i) list->addRow({"x", std::to_string(i)});
    QApplication::processEvents();
    EXPECT_EQ(list->itemCount(), 25000);
    EXPECT_EQ(list->itemText(19999, 1), gbk("固件19999"));
    EXPECT_EQ(list->itemText(24999, 1), "4999");
    list->clearItems();
    EXPECT_EQ(list->itemCount(), 0);
}

TEST_F(ControlsTest, HyperlinksOpenTheirAddressThroughTheShell) {
    showPage(5);
    OpenRecorder opened;
    for (Hyperlink* link : {window->超级链接框2, window->超级链接框1}) {
        SCOPED_TRACE(link->objectName().toStdString());
        ASSERT_FALSE(link->address().isEmpty());
        // The caption is drawn from the left edge, centred in height.
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(12, link->height() / 2));
        ASSERT_FALSE(opened.addresses().empty());
        EXPECT_EQ(QString::fromStdString(opened.addresses().back()), link->address());
    }
    EXPECT_EQ(opened.addresses().size(), 2u);
}

// Closes the next modal box once it shows and tells what it looked like.
struct BoxSeen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool owned = true;
    Qt::WindowModality modality = Qt::NonModal;
    int buttons = 0;
};

void closeNextBox(BoxSeen* seen) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen->caption = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->owned = box->parentWidget() != nullptr;
        seen->modality = box->windowModality();
        seen->buttons = int(box->buttons().size());
        box->accept();
        poll->deleteLater();
    });
    poll->start(5);
}

TEST(MessageBox, RealBoxHasNoOwnerTheCaptionAndTheInformationIcon) {
    BoxSeen seen;
    closeNextBox(&seen);
    presentMessageBox(gbk("您要搜索的手机型号呢？"));
    EXPECT_EQ(seen.caption, "信息：");
    EXPECT_EQ(seen.text, "您要搜索的手机型号呢？");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_FALSE(seen.owned);
    EXPECT_EQ(seen.modality, Qt::ApplicationModal);
    EXPECT_EQ(seen.buttons, 1);
}

TEST(MessageBox, JobThreadWaitsForTheBoxOnTheWindowThread) {
    struct Restore {
        MessageBoxPresenter previous = setMessageBoxPresenter(presentMessageBox);
        ~Restore() { setMessageBoxPresenter(previous); }
    } restore;
    BoxSeen seen;
    closeNextBox(&seen);
    std::atomic<bool> returned{false};
    std::thread job([&] {
        showMessageBox(gbk("抱歉，未找到合适结果。"));
        returned = true;
    });
    EXPECT_TRUE(waitFor([&] { return returned.load(); }));
    job.join();
    EXPECT_EQ(seen.text, "抱歉，未找到合适结果。");
    EXPECT_EQ(seen.caption, "信息：");
}

TEST(MessageBox, RecorderReplacesTheBox) {
    MessageRecorder recorder;
    showMessageBox(gbk("抱歉，未找到合适结果。"));
    showMessageBox("");
    ASSERT_EQ(recorder.texts().size(), 2u);
    EXPECT_EQ(recorder.texts()[0], "抱歉，未找到合适结果。");
    EXPECT_EQ(recorder.texts()[1], "");
}

}  // namespace
