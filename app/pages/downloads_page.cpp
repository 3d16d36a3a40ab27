#include "app/pages/downloads_page.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/qt_text.h"
#include "base/jobs.h"
#include "base/message_box.h"
#include "base/text_util.h"
#include "download/download.h"
#include "download/file_name.h"
#include "platform/shell.h"

namespace {

// A few times a second is all a person reads, and each look takes the engine's lock.
constexpr int kRefreshMs = 250;

void say(const char* utf8) {
    showMessageBox(gbk(utf8));
}

struct Entry {
    std::string url;  // UTF-8
    QString folder;
    ListedSize listed;
    int connections = 4;
    // Null until the download first runs in this session (a restored one waits paused).
    std::shared_ptr<download::Download> engine;
    download::Progress last;  // what the row shows
};

QString sizeText(std::uint64_t bytes) {
    const double b = double(bytes);
    if (b < 1024) return QStringLiteral("%1 B").arg(bytes);
    if (b < 1024.0 * 1024) return QString::asprintf("%.1f KB", b / 1024);
    if (b < 1024.0 * 1024 * 1024) return QString::asprintf("%.1f MB", b / (1024.0 * 1024));
    return QString::asprintf("%.2f GB", b / (1024.0 * 1024 * 1024));
}

QString durationText(double seconds) {
    const long long s = std::llround(std::min(seconds, 359999.0));
    if (s >= 3600) return QString::asprintf("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return QString::asprintf("%02lld:%02lld", s / 60, s % 60);
}

bool isRunning(const Entry& e) {
    return e.last.state == download::State::Running;
}

// Paused, failed, or restored and not yet run again.
bool isResumable(const Entry& e) {
    using download::State;
    return e.last.state == State::Idle || e.last.state == State::Paused ||
           e.last.state == State::Failed;
}

DownloadRowText rowText(const Entry& e) {
    using download::State;
    const download::Progress& p = e.last;
    DownloadRowText t;
    t.name = QFileInfo(QString::fromStdString(p.path)).fileName();
    if (t.name.isEmpty()) t.name = QString::fromStdString(download::nameFromUrl(e.url));
    if (p.total > 0)
        t.size = sizeText(p.total);
    else if (e.listed.bytes > 0)
        t.size = QStringLiteral("≈ ") + sizeText(e.listed.bytes);
    if (p.total > 0) t.percent = int(std::min<std::uint64_t>(100, p.done * 100 / p.total));
    t.running = isRunning(e);
    t.resumable = isResumable(e);
    if (t.running) {
        t.speed = sizeText(std::uint64_t(p.bytesPerSecond)) + QStringLiteral("/s");
        if (p.bytesPerSecond > 0 && p.total > p.done)
            t.timeLeft = durationText(double(p.total - p.done) / p.bytesPerSecond);
    }
    switch (p.state) {
        case State::Idle:
        case State::Paused:
            t.state = Romhaul::tr("已暂停");
            break;
        case State::Running:
            t.state = Romhaul::tr("下载中");
            break;
        case State::Complete:
            t.state = Romhaul::tr("已完成");
            break;
        case State::Cancelled:
            t.state = Romhaul::tr("已取消");
            break;
        case State::Failed:
            t.state = Romhaul::tr("失败：") + QString::fromStdString(p.reason);
            break;
    }
    QStringList tip;
    tip << QString::fromStdString(e.url);
    if (!p.path.empty()) tip << QDir::toNativeSeparators(QString::fromStdString(p.path));
    if (!p.sha256.empty()) tip << QStringLiteral("SHA-256: ") + QString::fromStdString(p.sha256);
    if (p.state == State::Failed)
        tip << Romhaul::tr("失败原因：") + QString::fromStdString(p.reason);
    t.toolTip = tip.join(u'\n');
    return t;
}

// The list behind the downloads page, one entry per row, owned by the page's view.
class DownloadList : public QObject {
  public:
    explicit DownloadList(DownloadsView* view);
    ~DownloadList() override;

    static DownloadList* current;

    void add(Entry entry, bool start);
    void run(Entry& e);
    void refresh();
    void save() const;
    void restore();
    std::vector<int> selected(bool sayWhenNone = true) const;

    DownloadsView* view;
    std::vector<Entry> entries;
    QTimer timer;
};

DownloadList* DownloadList::current = nullptr;

DownloadList::DownloadList(DownloadsView* v) : QObject(v), view(v) {
    current = this;
    timer.setInterval(kRefreshMs);
    connect(&timer, &QTimer::timeout, this, [this] { refresh(); });
}

// Lets an engine go off the window thread: a running one stops by syncing what it wrote
// and saving its state, and its destructor waits for that. The job lasts only that long,
// so running downloads hold none of the registry's few threads.
void release(std::shared_ptr<download::Download> engine, const std::string& url) {
    if (!engine) return;
    engine->pause();
    jobs::start(
        [engine = std::move(engine)]() mutable {
            engine->wait();
            engine.reset();
        },
        "download " + url);
}

DownloadList::~DownloadList() {
    if (current == this) current = nullptr;
    save();
    for (Entry& e : entries) release(std::move(e.engine), e.url);
}

void DownloadList::run(Entry& e) {
    if (!e.engine) {
        download::Options o;
        o.url = e.url;
        o.folder = QDir(e.folder).absolutePath().toStdString();
        o.connections = std::clamp(e.connections, 1, 16);
        o.listedSize = e.listed.bytes;
        o.listedSizeSlack = e.listed.slack;
        e.engine = std::make_shared<download::Download>(std::move(o));
    }
    // A folder that cannot be made fails the download with the engine's own reason.
    QDir().mkpath(e.folder);
    // Never blocks: the engine runs on its own thread, and a stopped one has ended.
    e.engine->start();
    e.last = e.engine->progress();
    timer.start();
}

void DownloadList::add(Entry entry, bool start) {
    entries.push_back(std::move(entry));
    view->addRow();
    if (start) run(entries.back());
    refresh();
    save();
}

void DownloadList::refresh() {
    bool anyRunning = false, stateChanged = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        if (e.engine) {
            const download::State before = e.last.state;
            e.last = e.engine->progress();
            stateChanged |= e.last.state != before;
        }
        anyRunning |= isRunning(e);
        view->setRow(int(i), rowText(e));
    }
    if (!anyRunning) timer.stop();
    if (stateChanged) save();
    if (auto* w = qobject_cast<MainWindow*>(view->window())) {
        int running = 0;
        for (const Entry& e : entries) running += isRunning(e);
        w->选择夹1->setTabText(int(Page::Downloads), running ? Romhaul::tr("下载 (%1)").arg(running)
                                                             : Romhaul::tr("下载"));
    }
}

// Unfinished downloads only: what is complete or cancelled has nothing left to resume.
void DownloadList::save() const {
    const auto unfinished = [](const Entry& e) {
        return e.last.state != download::State::Complete &&
               e.last.state != download::State::Cancelled;
    };
    // Nothing to list and no list yet: no file either.
    if (std::none_of(entries.begin(), entries.end(), unfinished) &&
        !QFileInfo::exists(downloadListPath()))
        return;
    QSettings store(downloadListPath(), QSettings::IniFormat);
    store.remove(QStringLiteral("downloads"));
    store.beginWriteArray(QStringLiteral("downloads"));
    int n = 0;
    for (const Entry& e : entries) {
        if (!unfinished(e)) continue;
        store.setArrayIndex(n++);
        store.setValue("url", QString::fromStdString(e.url));
        store.setValue("folder", e.folder);
        store.setValue("listedSize", qulonglong(e.listed.bytes));
        store.setValue("listedSizeSlack", qulonglong(e.listed.slack));
        store.setValue("connections", e.connections);
        store.setValue("path", QString::fromStdString(e.last.path));
        store.setValue("total", qulonglong(e.last.total));
        store.setValue("done", qulonglong(e.last.done));
    }
    store.endArray();
    store.sync();
}

void DownloadList::restore() {
    QSettings store(downloadListPath(), QSettings::IniFormat);
    const int n = store.beginReadArray(QStringLiteral("downloads"));
    std::vector<Entry> found;
    for (int i = 0; i < n; ++i) {
        store.setArrayIndex(i);
        Entry e;
        e.url = store.value("url").toString().toStdString();
        e.folder = store.value("folder").toString();
        if (e.url.empty() || e.folder.isEmpty()) continue;
        e.listed.bytes = store.value("listedSize").toULongLong();
        e.listed.slack = store.value("listedSizeSlack").toULongLong();
        e.connections = store.value("connections", 4).toInt();
        e.last.state = download::State::Idle;
        e.last.path = store.value("path").toString().toStdString();
        e.last.total = store.value("total").toULongLong();
        e.last.done = std::min(store.value("done").toULongLong(), qulonglong(e.last.total));
        found.push_back(std::move(e));
    }
    store.endArray();
    for (Entry& e : found) {
        entries.push_back(std::move(e));
        view->addRow();
    }
    refresh();
}

std::vector<int> DownloadList::selected(bool sayWhenNone) const {
    std::vector<int> rows = view->selectedRows();
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [this](int r) { return r < 0 || r >= int(entries.size()); }),
               rows.end());
    if (rows.empty() && sayWhenNone) say(QT_TRANSLATE_NOOP("Romhaul", "请先选中一行。"));
    return rows;
}

bool isDownloadableAddress(std::string_view address) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (address.size() >= scheme.size() &&
            toLowerAscii(address.substr(0, scheme.size())) == scheme)
            return true;
    }
    return false;
}

}  // namespace

QString defaultDownloadFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (base.isEmpty()) base = QDir::homePath();
    return QDir(base).filePath(QStringLiteral("Romhaul"));
}

DownloadSettings& downloadSettings() {
    static DownloadSettings settings{defaultDownloadFolder(), 4};
    return settings;
}

ListedSize parseListedSize(std::string_view listed) {
    const std::string text = trimSpaces(listed);
    std::size_t i = 0;
    long double whole = 0, unit = 1;
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return {};
            whole = whole * 10 + (c - '0');
            if (point) unit /= 10;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return {};
    const long double value = whole * unit;
    const std::string suffix = toLowerAscii(trimSpaces(std::string_view(text).substr(i)));
    struct Unit {
        const char* name;
        int power;
    };
    static const Unit kUnits[] = {{"", 0},    {"b", 0},   {"byte", 0}, {"bytes", 0},
                                  {"k", 1},   {"kb", 1},  {"kib", 1},  {"m", 2},
                                  {"mb", 2},  {"mib", 2}, {"g", 3},    {"gb", 3},
                                  {"gib", 3}, {"t", 4},   {"tb", 4},   {"tib", 4}};
    int power = -1;
    for (const Unit& u : kUnits)
        if (suffix == u.name) power = u.power;
    if (power < 0 || value <= 0) return {};
    // Bytes are exact.
    if (power == 0) return point ? ListedSize{} : ListedSize{std::uint64_t(whole), 0};
    // The smallest reading rounds the last digit to nearest in kilos of 1000, the largest
    // cuts it off in kilos of 1024.
    const long double low = std::max(0.0L, (value - unit / 2) * std::pow(1000.0L, power));
    const long double high = (value + unit) * std::pow(1024.0L, power);
    if (high > 1e18L) return {};
    const long double middle = (low + high) / 2;
    return {std::uint64_t(std::llround(middle)), std::uint64_t(std::ceil(high - middle))};
}

QString downloadListPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("downloads.ini"));
}

void attachDownloads(MainWindow& w) {
    auto* list = new DownloadList(w.downloadsView);
    list->restore();
}

void startDownload(const std::string& address, const std::string& listedSize) {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    const std::string url = toQt(trimSpaces(address)).toStdString();
    if (!isDownloadableAddress(url))
        return say(QT_TRANSLATE_NOOP("Romhaul", "只有 http 和 https 地址可以下载。"));
    const DownloadSettings& settings = downloadSettings();
    const QString folder = QDir(settings.folder).absolutePath();
    // One engine per file: the same address into the same folder continues the entry
    // that is there, for two would write into one NAME.part.
    for (std::size_t i = 0; i < list->entries.size(); ++i) {
        Entry& e = list->entries[i];
        if (e.url != url || QDir(e.folder).absolutePath() != folder) continue;
        if (e.last.state == download::State::Complete || e.last.state == download::State::Cancelled)
            continue;
        if (isResumable(e)) list->run(e);
        list->refresh();
        list->view->selectRow(int(i));
        return;
    }
    Entry e;
    e.url = url;
    e.folder = folder;
    e.connections = settings.connections;
    e.listed = parseListedSize(listedSize);
    list->add(std::move(e), true);
    list->view->selectRow(int(list->entries.size()) - 1);
}

void pauseSelectedDownloads() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    for (int r : list->selected())
        if (auto& e = list->entries[std::size_t(r)]; e.engine && isRunning(e)) e.engine->pause();
    // The rows change once the engines have stopped, at the next refresh.
}

void resumeSelectedDownloads() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    for (int r : list->selected())
        if (auto& e = list->entries[std::size_t(r)]; isResumable(e)) list->run(e);
    list->refresh();
}

void cancelSelectedDownloads() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    for (int r : list->selected()) {
        Entry& e = list->entries[std::size_t(r)];
        if (!isRunning(e) && !isResumable(e)) continue;
        // A download restored from the last run has not found its NAME.part yet: its
        // engine looks it up, and removes it, as it starts.
        if (!e.engine) list->run(e);
        e.engine->cancel();
    }
    list->refresh();
}

void removeSelectedDownloads() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    const std::vector<int> rows = list->selected();
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
        Entry& e = list->entries[std::size_t(*r)];
        release(std::move(e.engine), e.url);
        list->entries.erase(list->entries.begin() + *r);
        list->view->removeRow(*r);
    }
    list->refresh();
    list->save();
}

void openSelectedDownloadFolder() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    const std::vector<int> rows = list->selected();
    if (rows.empty()) return;
    const Entry& e = list->entries[std::size_t(rows.front())];
    QDir().mkpath(e.folder);
    const QByteArray address = QUrl::fromLocalFile(e.folder).toEncoded();
    constexpr int kShowNormal = 1;
    win::ShellExecuteA(nullptr, "open", address.constData(), nullptr, nullptr, kShowNormal);
}

void copySelectedDownloadHash() {
    DownloadList* list = DownloadList::current;
    if (!list) return;
    QStringList lines;
    for (int r : list->selected()) {
        const download::Progress& p = list->entries[std::size_t(r)].last;
        if (!p.sha256.empty()) lines << QString::fromStdString(p.sha256);
    }
    if (lines.isEmpty()) {
        if (!list->selected(false).empty())
            say(QT_TRANSLATE_NOOP("Romhaul", "下载完成后才有 SHA-256。"));
        return;
    }
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}
