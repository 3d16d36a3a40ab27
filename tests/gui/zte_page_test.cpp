// The ZTE page end to end against the simulator: the model tree loaded on the first visit,
// failed loads, the find box, the file list of a model and the details of a file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalBlocker>
#include <QTreeWidgetItemIterator>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/pages/zte_page.h"
#include "app/startup.h"
#include "app/window/main_window.h"
#include "base/program_objects.h"
#include "platform/codepage.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/simulator_window_test.h"
#include "tools/vendor-sim/simulator.h"
#include "vendors/service_hosts.h"
#include "vendors/zte.h"

namespace {

using vendorsim::Simulator;
using vendorsim::ZteModelList;

const QColor kGreen(0, 128, 0), kRed(255, 0, 0);
const char* const kListPath = "/js/support_search.js";

class ZtePageTest : public SimulatorWindowTest {
  protected:
    void SetUp() override {
        SimulatorWindowTest::SetUp();
        zteModelTable().clear();
        openWindow();
    }

    void showPage(int page) { window->选择夹1->setCurrentIndex(page); }
    // Each of these waits for the look-up it starts to end.
    void visitZte() {
        showPage(0);
        showPage(1);
        ASSERT_TRUE(waitForLookups());
    }
    std::vector<QTreeWidgetItem*> items() const {
        std::vector<QTreeWidgetItem*> out;
        for (QTreeWidgetItemIterator it(window->树型框1); *it; ++it) out.push_back(*it);
        return out;
    }
    std::string status() const { return window->标签2->text().toStdString(); }
    QColor statusColour() const { return textColour(window->标签2); }
    std::size_t requests(const std::string& target) const {
        std::size_t n = 0;
        for (const auto& r : sim->requests(VendorService::Zte)) n += r.target == target;
        return n;
    }
    int currentItem() const {
        const auto all = items();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == window->树型框1->currentItem()) return int(i);
        return -1;
    }
    void select(int item) {
        window->树型框1->setCurrentItem(items()[std::size_t(item)]);
        ASSERT_TRUE(waitForLookups());
    }
    void clickReload() {
        QTest::mouseClick(window->按钮3, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
    }
    std::vector<std::vector<std::string>> fileRows() const {
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < window->超级列表框2->itemCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < 5; ++c)
                row.push_back(codepage::gbkToUtf8(window->超级列表框2->itemText(r, c)));
            rows.push_back(row);
        }
        return rows;
    }
    std::string filePage(int series, int model) const {
        const auto& s = sim->fixtures().zte[std::size_t(series)];
        return "/support/" + s.categoryId + "/" + s.models[std::size_t(model)].id + ".html";
    }
};

TEST_F(ZtePageTest, FirstVisitLoadsTheTreeOnceAndTheButtonReloads) {
    visitZte();
    const auto all = items();
    ASSERT_EQ(all.size(), 26u);
    EXPECT_EQ(all[0]->text(0).toStdString(), "智能手机");
    EXPECT_EQ(all[0]->parent(), nullptr);
    EXPECT_EQ(all[1]->text(0).toStdString(), "中兴 U880");
    EXPECT_EQ(all[1]->parent(), all[0]);
    EXPECT_EQ(all[12]->text(0).toStdString(), "固定台");
    EXPECT_EQ(all[12]->childCount(), 0);
    EXPECT_TRUE(zteModelsLoaded());
    EXPECT_EQ(status(), "当前状态：机型列表读取已完成！");
    EXPECT_EQ(statusColour(), kGreen);
    EXPECT_TRUE(window->按钮3->isEnabled());
    ASSERT_EQ(zteModelTable().size(), 20u);
    EXPECT_EQ(zteModelTable()[0].categoryId, sim->fixtures().zte[0].categoryId);
    EXPECT_EQ(zteModelTable()[0].modelId, sim->fixtures().zte[0].models[0].id);
    EXPECT_EQ(codepage::gbkToUtf8(zteModelTable()[0].modelName), "中兴 U880");

    visitZte();
    EXPECT_EQ(requests(kListPath), 1u) << "a loaded tree is not loaded again";

    clickReload();
    EXPECT_EQ(requests(kListPath), 2u);
    EXPECT_EQ(items().size(), 26u) << "the tree is emptied before it is filled";
    EXPECT_EQ(zteModelTable().size(), 20u);
}

TEST_F(ZtePageTest, FailedLoadsShowTheRedStatusAndTheNextVisitLoadsAgain) {
    const struct {
        ZteModelList mode;
        std::size_t treeItems;
    } cases[] = {{ZteModelList::FewItems, 8},
                 {ZteModelList::TenBytes, 0},
                 {ZteModelList::Empty, 0},
                 {ZteModelList::NotFound, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mode));
        sim->setZteModelList(c.mode);
        sim->clearRequests();
        for (std::size_t visit = 1; visit <= 2; ++visit) {
            MessageRecorder messages;
            visitZte();
            EXPECT_EQ(messages.texts(),
                      std::vector<std::string>{"读取机型列表出错，请尝试刷新列表！"});
            EXPECT_EQ(status(), "当前状态：读取机型列表出错，请尝试刷新列表！");
            EXPECT_EQ(statusColour(), kRed);
            EXPECT_FALSE(zteModelsLoaded());
            EXPECT_TRUE(window->按钮3->isEnabled());
            EXPECT_EQ(items().size(), c.treeItems) << "what was read stays in the tree";
            EXPECT_EQ(requests(kListPath), visit);
        }
    }
    sim->setZteModelList(ZteModelList::Normal);
    clickReload();
    EXPECT_TRUE(zteModelsLoaded());
    EXPECT_EQ(items().size(), 26u);
    EXPECT_EQ(statusColour(), kGreen);
    EXPECT_EQ(status(), "当前状态：机型列表读取已完成！");
}

TEST_F(ZtePageTest, FindRunsToTheEndThenStartsOverAndAnyEditResets) {
    visitZte();
    window->编辑框2->setText("grand");
    const auto press = [&](bool enter) {
        if (enter)
            QTest::keyClick(window->编辑框2, Qt::Key_Return);
        else
            QTest::mouseClick(window->按钮2, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
    };
    press(false);
    EXPECT_EQ(currentItem(), 3);
    EXPECT_EQ(zteSearchPos(), 4);
    EXPECT_TRUE(window->编辑框2->hasFocus());
    press(true);
    EXPECT_EQ(currentItem(), 8);
    EXPECT_TRUE(items()[8]->parent()->isExpanded());
    {
        MessageRecorder messages;
        press(false);
        EXPECT_EQ(currentItem(), 8) << "nothing more: nothing selected";
        EXPECT_EQ(zteSearchPos(), 0);
        EXPECT_EQ(messages.texts(),
                  std::vector<std::string>{"没有找到匹配的机型，再次搜索将从头开始。"});
    }
    press(true);
    EXPECT_EQ(currentItem(), 3);

    window->编辑框2->setText("GRAND");
    EXPECT_EQ(zteSearchPos(), 0) << "a change of the text starts the find over";
    press(false);
    EXPECT_EQ(currentItem(), 3);

    const int before = zteSearchPos();
    for (const char* blank : {"", "  ", "　"}) {
        MessageRecorder messages;
        {
            // Blank text typed without the edit that starts the find over.
            const QSignalBlocker quiet(window->编辑框2);
            window->编辑框2->setText(QString::fromUtf8(blank));
        }
        press(true);
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"您要搜索的手机型号呢？"});
        EXPECT_EQ(zteSearchPos(), before);
    }
}

TEST_F(ZtePageTest, SelectingAModelListsItsFilesOnceFetched) {
    visitZte();
    sim->clearRequests();
    select(1);
    EXPECT_EQ(status(), "当前状态：服务器可下载文件列表读取完成！");
    const std::string soft = "http://download.ztedevices.com/UpLoadFiles/product/550/1201/soft/";
    EXPECT_EQ(fileRows(),
              (std::vector<std::vector<std::string>>{
                  {"中兴U880 官方软件升级包 V1.0.2", "215.6MB", "2013-05-20",
                   soft + "U880_V1.0.2.zip", "zip"},
                  {"U880_升级工具.exe", "12.3MB", "2013-05-18", soft + "U880_Tool.exe", "exe"},
                  // A relative link comes out absolute; the path names no format.
                  {"中兴U880 用户手册", "3.2 MB", "2012-11-02",
                   zteBase() + "/support/fileDownload?fileId=88012", ""}}));
    EXPECT_EQ(requests(filePage(0, 0)), 1u);

    select(0);  // a series: nothing happens
    EXPECT_EQ(fileRows().size(), 3u);
    select(2);
    EXPECT_EQ(fileRows().size(), 1u);
    select(1);
    EXPECT_EQ(fileRows().size(), 3u);
    EXPECT_EQ(requests(filePage(0, 0)), 1u) << "found files are kept";

    select(10);  // S302: a page without files
    EXPECT_TRUE(fileRows().empty());
    EXPECT_EQ(status(), "当前状态：服务器可下载文件列表读取完成！");
    select(1);
    select(10);
    EXPECT_EQ(requests(filePage(1, 3)), 2u) << "an empty list is fetched again";

    select(7);  // the second 中兴 U960: the first one's files
    EXPECT_EQ(fileRows().size(), 2u);
    EXPECT_EQ(requests(filePage(0, 3)), 1u);
    EXPECT_EQ(requests(filePage(1, 0)), 0u);
}

// The details belong to a file of the list: a model chosen in the tree or reached by the
// find empties them with the list, before its own files arrive.
TEST_F(ZtePageTest, AnotherModelChosenOrFoundEmptiesTheDetails) {
    visitZte();
    const auto showDetails = [&](int model) {
        select(model);
        ASSERT_GT(window->超级列表框2->itemCount(), 0);
        window->超级列表框2->setCurrentRow(0);
        ASSERT_FALSE(window->编辑框3->toPlainText().isEmpty());
    };
    const auto find = [&] {
        QTest::mouseClick(window->按钮2, Qt::LeftButton);
        ASSERT_TRUE(waitForLookups());
    };
    showDetails(1);
    select(2);
    EXPECT_EQ(window->编辑框3->toPlainText(), "");

    window->编辑框2->setText("grand");
    showDetails(1);
    find();
    ASSERT_EQ(currentItem(), 3);
    EXPECT_EQ(window->编辑框3->toPlainText(), "");
    showDetails(1);
    find();  // on from where the last find stopped
    ASSERT_EQ(currentItem(), 8);
    EXPECT_EQ(window->编辑框3->toPlainText(), "");
}

// A model chosen while the files of the one before are still on their way: only the newest
// choice's files end up in the list, and its status ends the load.
TEST_F(ZtePageTest, ANewerModelSupersedesOneStillLoading) {
    visitZte();
    sim->clearRequests();
    const std::string held = filePage(0, 0);
    sim->setDelayHook([held](const vendorsim::RecordedRequest& r) {
        return r.target == held ? std::chrono::milliseconds(2000) : std::chrono::milliseconds(0);
    });
    window->树型框1->setCurrentItem(items()[1]);  // 中兴 U880, three files, held back
    ASSERT_TRUE(waitFor([&] { return requests(held) == 1; }));
    EXPECT_EQ(status(), "当前状态：正在读取ZTE服务器下载文件列表...");
    select(2);  // one file
    EXPECT_EQ(fileRows().size(), 1u);
    EXPECT_EQ(status(), "当前状态：服务器可下载文件列表读取完成！");
    EXPECT_EQ(statusColour(), kGreen);
    // The dropped load kept nothing: the first model is asked for again.
    sim->setDelayHook(nullptr);
    select(1);
    EXPECT_EQ(fileRows().size(), 3u);
    EXPECT_EQ(requests(held), 2u);
}

TEST_F(ZtePageTest, DetailsShowTheNameWithItsExtensionAndDoubleClickOpensTheAddress) {
    // One model's page served with the cases of the display name.
    const std::string page = filePage(0, 1);
    sim->setReplyHook(
        VendorService::Zte,
        [page](const vendorsim::RecordedRequest& r) -> std::optional<vendorsim::Reply> {
            if (r.target != page) return std::nullopt;
            std::string body;
            const auto file = [&](const std::string& url, const std::string& name) {
                body += "<li>\r\n<h4><a href=\"" + url + "\" target=\"_blank\">" + name +
                        "</a></h4>\r\n<pre>文件大小：1.5MB　更新日期：2014-01-02　</pre>\r\n";
            };
            file("http://h/a.zip", "a.zip");
            file("http://h/a.zip", "a");
            file("ftp://h/noext", "b");
            return vendorsim::Reply{200, "text/html; charset=utf-8", body};
        });
    visitZte();
    select(2);
    ASSERT_EQ(window->超级列表框2->itemCount(), 3);
    // An address whose path has no extension adds none.
    const char* const shown[] = {"a.zip", "a.zip", "b"};
    for (int row = 0; row < 3; ++row) {
        window->超级列表框2->setCurrentRow(row);
        EXPECT_EQ(window->编辑框3->toPlainText().toStdString(),
                  std::string(shown[row]) + "\n\n文件大小：1.5MB\n\n更新日期：2014-01-02");
    }

    OpenRecorder opened;
    ReportView* list = window->超级列表框2;
    const QRect rect = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(opened.addresses(), std::vector<std::string>{"ftp://h/noext"});
}

}  // namespace
