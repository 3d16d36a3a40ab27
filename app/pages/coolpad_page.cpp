#include "app/pages/coolpad_page.h"

#include <QByteArray>
#include <QPointer>
#include <memory>

#include "app/pages/failure_text.h"
#include "app/pages/page_lookup.h"
#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "vendors/coolpad.h"

namespace {

// Each item keeps the type name's bytes as the reply had them, so the download page is
// asked for exactly that name even where the name does not survive a trip through Qt.
constexpr int kNameBytesRole = Qt::UserRole;

PageLookup& search() {
    static auto* lookUp = new PageLookup(Page::Coolpad);
    return *lookUp;
}

PageLookup& downloads() {
    static auto* lookUp = new PageLookup(Page::Coolpad);
    return *lookUp;
}

// Whether the current window's type list came from a search reply read only in part: the
// hint line keeps saying so while the files of its types come and go. Window thread only.
bool& typesReadInPart() {
    static QPointer<MainWindow> window;
    static bool inPart = false;
    if (window != mainWindow()) {
        window = mainWindow();
        inPart = false;
    }
    return inPart;
}

QString hint() {
    return Romhaul::tr("请输入关键词，获取产品列表");
}

std::string chosenProductType(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) return {};
    const QListWidgetItem* item = selected.front();
    const QVariant bytes = item->data(kNameBytesRole);
    if (bytes.isValid()) return bytes.toByteArray().toStdString();
    return fromQt(item->text());
}

}  // namespace

void coolpadSearch() {
    MainWindow* w = mainWindow();
    // A second Enter in 编辑框11 while a search runs is dropped, as a click on the disabled
    // 按钮6 is.
    if (!w || search().running()) return;

    const std::string keyword = fromQt(w->编辑框11->text());
    if (isBlank(keyword)) {
        showMessageBox(coolpadEmptyKeywordMessage());
        w->编辑框11->setFocus();
        return;
    }
    w->列表框1->clear();
    // The files of the type found before belong to the search before.
    downloads().stop();
    w->超级列表框3->clearItems();
    // So does the note on the hint line.
    w->标签10->setText(hint());
    typesReadInPart() = false;
    w->按钮6->setEnabled(false);
    const bool started =
        search().start([keyword](const LookupContext& ctx, const PageLookup::Post&) {
            auto found = std::make_shared<CoolpadSearch>(coolpadSearchTypes(keyword, ctx));
            return [found] {
                MainWindow* w = mainWindow();
                if (!w) return;
                for (const std::string& type : found->types) {
                    auto* item = new QListWidgetItem(toQt(type));
                    item->setData(kNameBytesRole, QByteArray(type.data(), qsizetype(type.size())));
                    w->列表框1->addItem(item);
                }
                if (found->tooComplex) {
                    typesReadInPart() = true;
                    showHintNote(w->标签10, tooComplexNote());
                }
                if (found->end == LookupEnd::Failed)
                    showMessageBox(lookupFailureMessage(VendorService::Coolpad, found->failure));
                else if (found->end != LookupEnd::Stopped && w->列表框1->count() == 0)
                    showMessageBox(coolpadNoResultMessage());
                if ((w = mainWindow())) w->按钮6->setEnabled(true);
            };
        });
    if (!started) w->按钮6->setEnabled(true);
}

void coolpadLoadDownloads() {
    MainWindow* w = mainWindow();
    if (!w) return;
    w->超级列表框3->clearItems();
    // A newer choice supersedes this one: only its rows reach the list.
    downloads().start(
        [type = chosenProductType(*w->列表框1)](const LookupContext& ctx, const PageLookup::Post&) {
            auto rows = std::make_shared<std::vector<std::vector<std::string>>>();
            CoolpadDownloads found = coolpadFetchDownloads(type, ctx);
            for (CoolpadFileRow& f : found.files) {
                rows->push_back({std::move(f.description), std::move(f.date), std::move(f.size),
                                 std::move(f.kind), std::move(f.address)});
            }
            return [rows, end = found.end, failure = found.failure, tooComplex = found.tooComplex] {
                MainWindow* w = mainWindow();
                if (!w) return;
                w->超级列表框3->addRows(*rows);
                // A stop comes from a newer search or Esc; the hint line is theirs.
                if (end == LookupEnd::Stopped) return;
                if (tooComplex || typesReadInPart())
                    showHintNote(w->标签10, tooComplexNote());
                else
                    w->标签10->setText(hint());
                // A type whose files could not be fetched must not look like one without any.
                if (end == LookupEnd::Failed)
                    showMessageBox(lookupFailureMessage(VendorService::Coolpad, failure));
            };
        });
}
