#include "download/download.h"

#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include "download/file_name.h"
#include "download/resume_state.h"

namespace download {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr std::uint64_t kUnknown = UINT64_MAX;
// A restart from scratch (the file changed on the server) happens this often at most.
constexpr int kMostRestarts = 3;
constexpr long kReceiveBuffer = 512 << 10;
// libcurl hands over its data 16 KiB at a time; the file gets it in blocks this large.
constexpr std::size_t kWriteBlock = 512 << 10;
// The data is synced each time this much more has been written.
constexpr std::uint64_t kSyncEvery = 16 << 20;

enum Command { kRun = 0, kPause = 1, kCancel = 2 };

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view text, std::uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + std::uint64_t(c - '0');
    }
    out = v;
    return true;
}

struct ContentRange {
    std::uint64_t first = 0, last = 0, total = kUnknown;
};

// "bytes FIRST-LAST/TOTAL" (TOTAL may be "*").
bool parseContentRange(std::string_view v, ContentRange& out) {
    if (v.size() < 6 || !equalNoCase(v.substr(0, 6), "bytes ")) return false;
    v = trim(v.substr(6));
    const std::size_t dash = v.find('-'), slash = v.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return false;
    if (!parseNumber(v.substr(0, dash), out.first) ||
        !parseNumber(v.substr(dash + 1, slash - dash - 1), out.last) || out.last < out.first)
        return false;
    const std::string_view total = v.substr(slash + 1);
    if (total == "*") {
        out.total = kUnknown;
        return true;
    }
    return parseNumber(total, out.total) && out.last < out.total;
}

std::string hex(const unsigned char* p, unsigned n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

struct Gap {
    std::uint64_t pos = 0, end = kUnknown;  // pos: the first byte not yet in the file
    std::uint64_t ahead = 0;                // received beyond pos, not yet written
    bool busy = false;
    int tries = 0;
    Clock::time_point notBefore{};
};

// The .part's way to the disk, off the engine thread. The data is synced as it comes, not
// only before the rename: a sync waits for whatever the disk's cache (or a virtual
// machine's host) has been holding back, and a download several times larger than that
// cache would otherwise wait for all of it at the end. The resume state is saved the
// same way: the data reaches the disk first (fdatasync), then the state that vouches for
// it. A sync lasts as long as the disk needs; here that delays the next one, never the
// transfers.
class Saver {
  public:
    ~Saver() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    // False while an earlier save still waits for its turn.
    bool offer(int fd, const std::string& path, ResumeState s) {
        std::lock_guard lock(mutex_);
        if (job_) return false;
        begin(fd);
        path_ = path;
        job_ = std::make_unique<ResumeState>(std::move(s));
        wake_.notify_all();
        return true;
    }
    // All of `fd`'s data goes to the disk (fdatasync) soon; drain() waits for it.
    void sync(int fd) {
        std::lock_guard lock(mutex_);
        begin(fd);
        sync_ = true;
        wake_.notify_all();
    }
    // Waits until nothing is under way; before `fd` closes, say. The errno of a failed
    // sync since the last drain then, or 0.
    int drain() {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return !busy_ && !job_ && !sync_; });
        return std::exchange(error_, 0);
    }

  private:
    void begin(int fd) {
        if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
        fd_ = fd;
    }
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return job_ || sync_ || quit_; });
            if (!job_ && !sync_) return;
            const std::unique_ptr<ResumeState> job = std::move(job_);
            sync_ = false;
            busy_ = true;
            const int fd = fd_;
            const std::string path = path_;
            lock.unlock();
            const int error = ::fdatasync(fd) == 0 ? 0 : errno;
            // A state never vouches for data that did not reach the disk.
            if (job && error == 0) writeResumeState(path, *job);
            lock.lock();
            // The kernel reports a failed writeback once: it is kept for the final sync.
            if (error != 0 && error_ == 0) error_ = error;
            busy_ = false;
            wake_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    bool busy_ = false, sync_ = false, quit_ = false;
    int error_ = 0;
    std::unique_ptr<ResumeState> job_;
    int fd_ = -1;
    std::string path_;
};

// SHA-256 of the file's contiguous prefix, on a thread of its own so that it runs beside
// the transfers instead of in their way. It reads each slice back as soon as the prefix
// covers it: just written, so from the page cache rather than the disk, and the engine
// keeps no copy of what it writes. The finished file is never read again.
class Hasher {
  public:
    Hasher() : sha_(EVP_MD_CTX_new()), buffer_(kReadBack) {}
    ~Hasher() {
        stop();
        EVP_MD_CTX_free(sha_);
    }
    // Starts over on `fd` from its first byte.
    void start(int fd) {
        stop();
        EVP_DigestInit_ex(sha_, EVP_sha256(), nullptr);
        fd_ = fd;
        hashed_ = limit_ = 0;
        error_ = 0;
        quit_ = false;
        rest_ = false;
        thread_ = std::thread([this] { loop(); });
    }
    void stop() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    // Every byte before `limit` is on disk.
    void advance(std::uint64_t limit) {
        {
            std::lock_guard lock(mutex_);
            if (limit <= limit_) return;
            limit_ = limit;
            // Read back in large slices; a waiting digest() takes the rest.
            if (!rest_ && limit_ - hashed_ < kReadBack) return;
        }
        wake_.notify_all();
    }
    // Waits (a turn at most) until all of `length` is hashed; the hex digest then, "" while
    // it is not yet. errno-like error in *error when reading back failed.
    std::string digest(std::uint64_t length, int* error) {
        std::unique_lock lock(mutex_);
        rest_ = true;
        wake_.notify_all();
        wake_.wait_for(lock, milliseconds(100), [&] { return error_ != 0 || hashed_ >= length; });
        *error = error_;
        if (error_ != 0 || hashed_ < length || thread_.get_id() == std::thread::id()) return "";
        lock.unlock();
        stop();
        unsigned char d[EVP_MAX_MD_SIZE];
        unsigned size = 0;
        EVP_DigestFinal_ex(sha_, d, &size);
        return hex(d, size);
    }

    // How fast it hashes while it has work (bytes a second, as the machine lets it now);
    // 0 until it has hashed enough to tell.
    double speed() {
        std::lock_guard lock(mutex_);
        const double seconds = std::chrono::duration<double>(busyFor_).count();
        return busyBytes_ >= 16 * kReadBack && seconds > 0 ? double(busyBytes_) / seconds : 0;
    }

  private:
    static constexpr std::size_t kReadBack = 1 << 20;

    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] {
                return quit_ || (error_ == 0 && limit_ > hashed_ &&
                                 (rest_ || limit_ - hashed_ >= kReadBack));
            });
            if (quit_) return;
            const std::uint64_t at = hashed_;
            const std::size_t want = std::size_t(std::min<std::uint64_t>(limit_ - at, kReadBack));
            lock.unlock();
            const auto began = Clock::now();
            std::size_t got = 0;
            int error = 0;
            while (got < want) {
                const ssize_t r = ::pread(fd_, buffer_.data() + got, want - got, off_t(at + got));
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) {
                    error = r < 0 ? errno : EIO;
                    break;
                }
                got += std::size_t(r);
            }
            if (error == 0) EVP_DigestUpdate(sha_, buffer_.data(), want);
            const auto took = Clock::now() - began;
            lock.lock();
            if (error != 0)
                error_ = error;
            else
                hashed_ += want;
            busyBytes_ += want;
            busyFor_ += took;
            wake_.notify_all();
        }
    }

    EVP_MD_CTX* sha_;
    std::vector<char> buffer_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    int fd_ = -1;
    std::uint64_t hashed_ = 0, limit_ = 0;
    int error_ = 0;
    bool quit_ = false;
    bool rest_ = false;  // the end is near: no waiting for a whole slice
    std::uint64_t busyBytes_ = 0;
    Clock::duration busyFor_{};
};

struct Run;

struct Transfer {
    Run* run = nullptr;
    CURL* easy = nullptr;
    curl_slist* requestHeaders = nullptr;
    Gap* gap = nullptr;
    bool probe = false;
    bool accepted = false;
    bool doneEarly = false;   // its range is complete (or was cut short by a take-over)
    bool quietAbort = false;  // not wanted any more; its end is no failure
    std::uint64_t written = 0;
    std::vector<char> pending;  // received at gap->pos, not yet written
    Clock::time_point lastByte;
    // The reply's status and the headers that matter (reset at each status line, so a
    // redirect's headers never leak into the final reply's).
    long status = 0;
    std::string etag, lastModified, contentType, contentRange, contentDisposition, contentLength,
        retryAfter;
    // When the reply asks for a retry: how long to wait at least.
    milliseconds retryWait{-1};
    std::string why;
    char error[CURL_ERROR_SIZE] = {};
};

// One run of the engine, from start() to its stop: everything here belongs to the engine
// thread.
struct Run {
    Download::Engine& e;
    const Options& opt;
    CURLM* multi = nullptr;
    std::list<Gap> gaps;
    std::vector<std::unique_ptr<Transfer>> transfers;

    bool known = false;  // the first reply has told length, validator and ranges
    std::uint64_t length = kUnknown;
    std::string validator;
    bool ranges = false;
    std::string fetchUrl;

    std::string folder, baseName;
    int nameNumber = -1;  // which "NAME (n)" this download uses; -1 before it is chosen
    std::string partPath, statePath;
    int fd = -1;

    std::uint64_t done = 0;
    std::uint64_t received = 0;  // done and what waits to be written: the transfers' speed
    std::uint64_t syncedAt = 0;  // `done` when a sync was last asked for
    Hasher hasher;
    bool failed = false;
    Failure failure = Failure::None;
    std::string reason;
    bool restartPending = false;
    int restarts = 0;
    Clock::time_point lastSave = Clock::now();
    Saver saver;
    // Connections beyond the first run only while they add speed. A host that throttles
    // each connection gives every new one a share of its own; a link, a server or a CPU
    // that one connection already keeps busy gains nothing from more, and pays for them
    // (ranges written out of order, read back for the hash; more work for both sides).
    // So one connection runs alone for a while, then all of them, and the speeds of the
    // two decide; a try that did not pay is made again later, in case that changed.
    enum class Widening { Alone, Trying, Settled } widening = Widening::Alone;
    int wanted = 1;
    bool measuring = false;
    Clock::time_point phaseStart = Clock::now(), measureFrom;
    std::uint64_t receivedFrom = 0;
    double aloneSpeed = 0;
    milliseconds nextTry{10000};
    Clock::time_point speedAt = Clock::now();
    std::uint64_t speedDone = 0;
    double speed = 0;

    Run(Download::Engine& engine, const Options& options);
    ~Run();
    State loop();

    void fail(Failure kind, std::string why) {
        if (failed) return;
        failed = true;
        failure = kind;
        reason = std::move(why);
    }
    std::string path(int n) const { return folder + "/" + numberedName(baseName, n); }

    bool resumeSaved();
    void schedule();
    void widen(Clock::time_point now);
    void narrow();
    // What is left to fetch is what the saved state says; the rest of the file is done.
    void takeGaps(const ResumeState& saved) {
        gaps.clear();
        done = length;
        for (const auto& [pos, end] : saved.gaps) {
            Gap g;
            g.pos = pos;
            g.end = end;
            gaps.push_back(g);
            done -= end - pos;
        }
    }
    Gap* freeGap(Clock::time_point now);
    void cut(Gap& g);
    Gap* takeOver();
    void startTransfer(Gap* g, bool probe);
    void endTransfer(Transfer* t, CURLcode result, std::string stalled);
    void dropTransfer(Transfer* t);
    void retry(Gap* g, const Transfer& t, std::string why);
    bool accept(Transfer& t);
    bool acceptFirst(Transfer& t, const ContentRange* cr);
    bool chooseName(const Transfer& t);
    bool openPart(bool resume);
    bool openPartFile(bool resume);
    std::size_t onData(Transfer& t, const char* p, std::size_t n);
    bool flush(Transfer& t);
    void flushAll();
    bool writeAt(const char* p, std::size_t n, std::uint64_t at);
    void advanceHash();
    void restart();
    ResumeState snapshot() const;
    void saveState();  // now, on this thread
    void saveInBackground();
    State finish();
    void publish(State state);
};

}  // namespace

struct Download::Engine {
    Options opt;
    mutable std::mutex mutex;
    std::condition_variable stopped;
    Progress progress;
    bool running = false;
    std::atomic<int> command{kRun};
    CURLM* multi = nullptr;  // for wake-ups, under mutex
    std::thread thread;
    std::string chosenName;  // kept across runs: a resumed run finds it again anyway

    void run() {
        State end;
        {
            Run r(*this, opt);
            end = r.loop();
        }
        std::lock_guard lock(mutex);
        progress.state = end;
        progress.connections = 0;
        progress.bytesPerSecond = 0;
        running = false;
        stopped.notify_all();
    }

    void wake() {
        std::lock_guard lock(mutex);
        if (multi) curl_multi_wakeup(multi);
    }
};

namespace {

extern "C" size_t onWrite(char* p, size_t size, size_t n, void* user) {
    auto* t = static_cast<Transfer*>(user);
    return t->run->onData(*t, p, size * n);
}

// The headers a transfer keeps, each reply's own: a redirect's or a retry's are dropped.
const std::pair<std::string_view, std::string Transfer::*> kKeptHeaders[] = {
    {"etag", &Transfer::etag},
    {"last-modified", &Transfer::lastModified},
    {"content-type", &Transfer::contentType},
    {"content-range", &Transfer::contentRange},
    {"content-disposition", &Transfer::contentDisposition},
    {"content-length", &Transfer::contentLength},
    {"retry-after", &Transfer::retryAfter},
};

extern "C" size_t onHeader(char* p, size_t size, size_t n, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::string_view line(p, size * n);
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
        t->status = 0;
        const std::size_t sp = line.find(' ');
        std::uint64_t code = 0;
        if (sp != std::string_view::npos && parseNumber(line.substr(sp + 1, 3), code))
            t->status = long(code);
        for (const auto& [name, field] : kKeptHeaders) (t->*field).clear();
        return size * n;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return size * n;
    const std::string_view name = trim(line.substr(0, colon));
    // Header values are untrusted: a sane cap keeps the saved state small.
    const std::string value(trim(line.substr(colon + 1)).substr(0, 1024));
    for (const auto& [kept, field] : kKeptHeaders) {
        if (!equalNoCase(name, kept)) continue;
        t->*field = value;
        break;
    }
    return size * n;
}

Run::Run(Download::Engine& engine, const Options& options) : e(engine), opt(options) {
    multi = curl_multi_init();
    folder = opt.folder.empty() ? "." : opt.folder;
    std::lock_guard lock(e.mutex);
    e.multi = multi;
}

Run::~Run() {
    saver.drain();
    {
        std::lock_guard lock(e.mutex);
        e.multi = nullptr;
    }
    for (auto& t : transfers) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        curl_slist_free_all(t->requestHeaders);
    }
    transfers.clear();
    curl_multi_cleanup(multi);
    hasher.stop();
    if (fd >= 0) ::close(fd);
}

// An earlier run's state for this address in the folder: resumed at once with range
// requests (checked against the saved length and validator as they come in), so that no
// byte is asked for twice.
bool Run::resumeSaved() {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    const std::string suffix = ".part.state";
    bool found = false;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        ResumeState saved;
        if (!readResumeState(folder + "/" + name, saved) || saved.url != opt.url || !saved.ranges ||
            saved.length == 0 || saved.validator.empty())
            continue;
        baseName = name.substr(0, name.size() - suffix.size());
        nameNumber = 0;
        partPath = path(0) + ".part";
        statePath = partPath + ".state";
        length = saved.length;
        if (!openPart(true)) {
            if (fd >= 0) ::close(fd);
            fd = -1;
            nameNumber = -1;
            continue;
        }
        validator = saved.validator;
        ranges = true;
        known = true;
        fetchUrl = opt.url;
        takeGaps(saved);
        std::lock_guard lock(e.mutex);
        e.progress.path = path(0);
        found = true;
        break;
    }
    ::closedir(dir);
    return found;
}

State Run::loop() {
    if (!resumeSaved()) {
        length = kUnknown;
        gaps.push_back(Gap{});
    }
    publish(State::Running);
    State end = State::Running;
    for (;;) {
        const int command = e.command.load();
        if (command != kRun) {
            end = command == kPause ? State::Paused : State::Cancelled;
            break;
        }
        if (failed) break;
        if (restartPending) restart();
        if (failed) break;
        if (known && gaps.empty() && transfers.empty()) {
            end = finish();
            if (end == State::Running) continue;  // stopped while hashing the rest
            break;
        }
        schedule();
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
            if (m->msg != CURLMSG_DONE) continue;
            Transfer* t = nullptr;
            curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
            if (t) endTransfer(t, m->data.result, "");
        }
        const auto now = Clock::now();
        for (std::size_t i = 0; i < transfers.size();) {
            Transfer* t = transfers[i].get();
            if (now - t->lastByte > opt.stallTimeout) {
                char why[64];
                std::snprintf(why, sizeof why, "no data for %.1f s",
                              double(opt.stallTimeout.count()) / 1000);
                endTransfer(t, CURLE_OPERATION_TIMEDOUT, why);
                continue;  // the list shrank under i
            }
            ++i;
        }
        advanceHash();
        if (now - lastSave >= opt.saveInterval) saveInBackground();
        publish(State::Running);
        curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    flushAll();
    for (auto& t : transfers) t->quietAbort = true;
    while (!transfers.empty()) dropTransfer(transfers.back().get());
    saver.drain();
    if (end == State::Cancelled) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (!partPath.empty()) {
            ::unlink(partPath.c_str());
            ::unlink(statePath.c_str());
        }
    } else if (end != State::Complete) {
        // Failed or paused: whatever arrived stays, and a later run resumes from it.
        saveState();
        if (failed) end = State::Failed;
    }
    publish(end);
    return end;
}

// The free range nearest the start: cut to the largest range size while several
// connections share the file; while one runs alone, joined with the free ranges that
// follow it, so that it asks for as much at once as it can (each new request costs a
// connection that starts slow).
Gap* Run::freeGap(Clock::time_point now) {
    auto free = [&](const Gap& g) { return !g.busy && g.notBefore <= now; };
    Gap* first = nullptr;
    for (Gap& g : gaps)
        if (free(g) && (!first || g.pos < first->pos)) first = &g;
    if (!first || !known || !ranges) return first;
    if (wanted > 1) {
        cut(*first);
        return first;
    }
    for (bool joined = true; joined && first->end != kUnknown;) {
        joined = false;
        for (auto it = gaps.begin(); it != gaps.end(); ++it)
            if (&*it != first && free(*it) && it->pos == first->end) {
                first->end = it->end;
                first->tries = std::max(first->tries, it->tries);
                gaps.erase(it);
                joined = true;
                break;
            }
    }
    return first;
}

void Run::cut(Gap& g) {
    const std::uint64_t most = std::max(opt.largestRange, opt.smallestSplit);
    // A running range keeps what it received and has not written yet.
    if (g.end == kUnknown || g.end - g.pos - g.ahead <= most) return;
    Gap rest;
    rest.pos = g.pos + g.ahead + most;
    rest.end = g.end;
    g.end = rest.pos;
    gaps.push_back(rest);
}

// Half of the largest range still running, for a connection that has nothing left.
Gap* Run::takeOver() {
    Gap* largest = nullptr;
    auto left = [](const Gap& g) { return g.end - g.pos - g.ahead; };
    for (Gap& g : gaps)
        if (g.busy && g.end != kUnknown && (!largest || left(g) > left(*largest))) largest = &g;
    if (!largest || left(*largest) < 2 * opt.smallestSplit) return nullptr;
    const std::uint64_t middle = largest->pos + largest->ahead + left(*largest) / 2;
    Gap taken;
    taken.pos = middle;
    taken.end = largest->end;
    largest->end = middle;
    gaps.push_back(taken);
    return &gaps.back();
}

void Run::schedule() {
    const auto now = Clock::now();
    if (!known) {
        if (transfers.empty())
            if (Gap* g = freeGap(now)) startTransfer(g, true);
        return;
    }
    widen(now);
    while (transfers.size() < std::size_t(wanted) && !failed) {
        Gap* g = freeGap(now);
        if (!g && ranges) g = takeOver();
        if (!g) break;
        startTransfer(g, false);
    }
}

void Run::widen(Clock::time_point now) {
    const int most = ranges ? std::clamp(opt.connections, 1, 16) : 1;
    if (most == 1 || widening == Widening::Settled) {
        wanted = most;
        return;
    }
    if (!measuring) {
        // From the moment every connection delivers (or a window later, whatever holds
        // one up), so that connecting is no part of the speed.
        bool flowing = now >= phaseStart;
        for (const auto& t : transfers)
            flowing = flowing && (t->written > 0 || !t->pending.empty());
        if (!flowing && now < phaseStart + opt.widenWindow) return;
        measuring = true;
        measureFrom = now;
        receivedFrom = received;
        return;
    }
    const double seconds = std::chrono::duration<double>(now - measureFrom).count();
    if (now - measureFrom < opt.widenWindow || seconds <= 0) return;
    const double speed = double(received - receivedFrom) / seconds;
    measuring = false;
    phaseStart = now;
    // The hash runs at most this fast, whatever the connections do: when one alone already
    // brings so much that all of them could not be half as fast again, they are not tried.
    const double hashSpeed = hasher.speed();
    if (widening == Widening::Alone && hashSpeed > 0 && speed * 1.5 >= hashSpeed) {
        phaseStart = now + nextTry;
        nextTry = std::min(nextTry * 2, milliseconds(160000));
    } else if (widening == Widening::Alone) {
        aloneSpeed = speed;
        widening = Widening::Trying;
        wanted = most;
        // The running range ends a range's length on; the rest goes out in file order.
        for (Gap& g : gaps)
            if (g.busy) cut(g);
    } else if (speed >= aloneSpeed * 1.5) {
        widening = Widening::Settled;
    } else {
        widening = Widening::Alone;
        wanted = 1;
        phaseStart = now + nextTry;
        nextTry = std::min(nextTry * 2, milliseconds(160000));
        narrow();
    }
}

// Back to one connection: the one at the front of the file stays, so the hash keeps up
// with it; the ranges of the others wait for their turn, with what they fetched kept.
void Run::narrow() {
    Transfer* front = nullptr;
    for (auto& t : transfers)
        if (t->gap && t->accepted && (!front || t->gap->pos < front->gap->pos)) front = t.get();
    std::vector<Transfer*> others;
    for (auto& t : transfers)
        if (t.get() != front) others.push_back(t.get());
    for (Transfer* t : others) {
        flush(*t);
        t->quietAbort = true;
        dropTransfer(t);
    }
}

void Run::startTransfer(Gap* g, bool probe) {
    auto owned = std::make_unique<Transfer>();
    Transfer* t = owned.get();
    t->run = this;
    t->gap = g;
    t->probe = probe;
    t->lastByte = Clock::now();
    if (!probe && !ranges && g->pos != 0) {
        // One stream without ranges starts from the first byte again.
        done -= std::min(done, g->pos);
        g->pos = 0;
        hasher.start(fd);
    }
    CURL* c = curl_easy_init();
    t->easy = c;
    curl_easy_setopt(c, CURLOPT_URL, probe ? opt.url.c_str() : fetchUrl.c_str());
    curl_easy_setopt(c, CURLOPT_PRIVATE, t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, t);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, t->error);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Romhaul/1.5");
    if (probe) {
        // Asks for everything as a range: the reply tells whether ranges work, and it
        // carries on as the first range (or the only stream) without a second request.
        curl_easy_setopt(c, CURLOPT_RANGE, "0-");
    } else if (ranges) {
        const std::string range = std::to_string(g->pos) + "-" + std::to_string(g->end - 1);
        curl_easy_setopt(c, CURLOPT_RANGE, range.c_str());
    }
    g->busy = true;
    transfers.push_back(std::move(owned));
    curl_multi_add_handle(multi, c);
}

void Run::dropTransfer(Transfer* t) {
    curl_multi_remove_handle(multi, t->easy);
    curl_easy_cleanup(t->easy);
    curl_slist_free_all(t->requestHeaders);
    if (t->gap) {
        t->gap->busy = false;
        t->gap->ahead = 0;
    }
    for (auto it = transfers.begin(); it != transfers.end(); ++it)
        if (it->get() == t) {
            transfers.erase(it);
            break;
        }
}

void Run::retry(Gap* g, const Transfer& t, std::string why) {
    if (!g) return;
    // A connection that moved the range on was worth its while: the count starts again.
    if (t.written > 0) g->tries = 0;
    ++g->tries;
    if (g->tries > int(opt.retryWaits.size())) {
        fail(t.retryWait.count() >= 0 || t.status >= 400 ? Failure::Service : Failure::Network,
             why);
        return;
    }
    milliseconds wait = opt.retryWaits[std::size_t(g->tries - 1)];
    wait = std::max(wait, std::min(t.retryWait, opt.longestRetryAfter));
    g->notBefore = Clock::now() + wait;
}

void Run::endTransfer(Transfer* t, CURLcode result, std::string stalled) {
    if (!t->quietAbort && !restartPending && !failed) flush(*t);
    Gap* g = t->gap;
    if (g) g->busy = false;
    if (t->quietAbort || restartPending || failed) {
        dropTransfer(t);
        return;
    }
    if (stalled.empty() && result == CURLE_OK && !t->accepted) {
        // A reply without a body never reached onData.
        if (accept(*t)) t->accepted = true;
    }
    if (failed || restartPending) {
        dropTransfer(t);
        return;
    }
    if (!t->accepted) {
        // No usable reply: a status to retry on (accept set the wait), or no reply at all.
        if (t->retryWait.count() >= 0)
            retry(g, *t, t->why);
        else
            retry(g, *t,
                  !stalled.empty() ? stalled
                  : t->error[0]    ? std::string(t->error)
                                   : std::string(curl_easy_strerror(result)));
        dropTransfer(t);
        return;
    }
    if (stalled.empty() && (t->doneEarly || result == CURLE_OK)) {
        if (g && g->end == kUnknown && result == CURLE_OK) {
            // A stream of unknown length is whole when the server ends it cleanly.
            length = g->pos;
            g->end = g->pos;
        }
        if (g && g->pos >= g->end) {
            gaps.remove_if([g](const Gap& x) { return &x == g; });
            t->gap = nullptr;
        } else {
            retry(g, *t, "the connection closed before the end of its range");
        }
        dropTransfer(t);
        return;
    }
    std::string why = !stalled.empty() ? stalled
                      : t->error[0]    ? std::string(t->error)
                                       : std::string(curl_easy_strerror(result));
    retry(g, *t, why);
    dropTransfer(t);
}

milliseconds retryAfterWait(const std::string& value) {
    if (value.empty()) return milliseconds(0);
    std::uint64_t seconds = 0;
    if (parseNumber(value, seconds))
        return milliseconds(std::int64_t(std::min<std::uint64_t>(seconds, 86400)) * 1000);
    const time_t when = curl_getdate(value.c_str(), nullptr);
    const time_t now = std::time(nullptr);
    if (when > now) return milliseconds(std::int64_t(std::min<time_t>(when - now, 86400)) * 1000);
    return milliseconds(0);
}

bool isHtml(const std::string& type) {
    std::string_view t = trim(type);
    t = t.substr(0, t.find(';'));
    return equalNoCase(trim(t), "text/html");
}

// An error page sent under another type: firmware never starts like a web page.
bool looksLikeHtml(const char* p, std::size_t n) {
    std::string_view head(p, std::min<std::size_t>(n, 64));
    while (!head.empty() && (head.front() == ' ' || head.front() == '\t' || head.front() == '\r' ||
                             head.front() == '\n'))
        head.remove_prefix(1);
    for (std::string_view start : {"<!doctype html", "<html"})
        if (head.size() >= start.size() && equalNoCase(head.substr(0, start.size()), start))
            return true;
    return false;
}

bool Run::accept(Transfer& t) {
    long code = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &code);
    if (code < 200 || code > 299) {
        if (code == 416 && !t.probe) {
            restartPending = true;  // the file is shorter than it was
            return false;
        }
        t.status = code;
        t.why = "HTTP " + std::to_string(code);
        if (code == 408 || code == 429 || code == 500 || code == 502 || code == 503 ||
            code == 504) {
            t.retryWait = retryAfterWait(t.retryAfter);
        } else {
            fail(Failure::Service, t.why);
        }
        return false;
    }
    if (isHtml(t.contentType)) {
        fail(Failure::Service, "the server sent a web page (text/html), not the file");
        return false;
    }
    ContentRange cr;
    const bool hasRange = code == 206 && parseContentRange(t.contentRange, cr);
    if (code == 206 && !hasRange) {
        fail(Failure::Service, "a partial reply without a usable Content-Range");
        return false;
    }
    if (t.probe) return acceptFirst(t, hasRange ? &cr : nullptr);

    if (!ranges) {
        // The one stream, asked for again from the start: the same file or none.
        std::uint64_t n = kUnknown;
        if (code == 200 && parseNumber(t.contentLength, n) && n != length) {
            restartPending = true;
            return false;
        }
        return true;
    }
    if (code == 200) {
        // The server stopped honouring ranges: one stream from the start.
        restartPending = true;
        return false;
    }
    const std::string v = !t.etag.empty() ? t.etag : t.lastModified;
    if (cr.first != t.gap->pos || cr.total != length || (!v.empty() && v != validator)) {
        restartPending = true;  // another version of the file: never splice the two
        return false;
    }
    return true;
}

bool Run::acceptFirst(Transfer& t, const ContentRange* cr) {
    long code = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &code);
    std::uint64_t len = kUnknown;
    bool canRange = false;
    if (cr) {
        if (cr->first != 0) {
            fail(Failure::Service, "the server sent another range than the one asked for");
            return false;
        }
        len = cr->total;
        canRange = len != kUnknown;
    } else {
        std::uint64_t n = 0;
        if (parseNumber(t.contentLength, n)) len = n;
    }
    validator = !t.etag.empty() ? t.etag : t.lastModified;
    for (char& c : validator)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    canRange = canRange && !validator.empty();
    if (len != kUnknown && opt.listedSize > 0) {
        const std::uint64_t diff =
            len > opt.listedSize ? len - opt.listedSize : opt.listedSize - len;
        if (diff > opt.listedSizeSlack) {
            fail(Failure::Service, "the server's file has " + std::to_string(len) +
                                       " bytes, the listed size is " +
                                       std::to_string(opt.listedSize));
            return false;
        }
    }
    char* effective = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_EFFECTIVE_URL, &effective);
    fetchUrl = effective ? effective : opt.url;
    if (nameNumber < 0 && !chooseName(t)) return false;

    ResumeState saved;
    const bool resume = canRange && readResumeState(statePath, saved) && saved.url == opt.url &&
                        saved.length == len && saved.validator == validator && saved.ranges;
    length = len;
    ranges = canRange;
    known = true;
    if (resume && openPart(true)) {
        takeGaps(saved);
        // This reply starts at 0, which the earlier run has; the saved ranges follow.
        t.gap = nullptr;
        t.quietAbort = true;
        return false;
    }
    if (failed || !openPart(false)) return false;
    t.gap->end = length;
    if (length == 0) t.doneEarly = true;
    saveInBackground();
    return true;
}

// The first free "NAME (n)" in the folder, or the one an earlier run of this address left.
bool Run::chooseName(const Transfer& t) {
    std::string suggested = nameFromContentDisposition(t.contentDisposition);
    if (suggested.empty()) suggested = nameFromUrl(fetchUrl);
    if (suggested.empty()) suggested = nameFromUrl(opt.url);
    baseName = safeFileName(suggested);
    int firstFree = -1;
    struct stat st;
    for (int n = 0; n < 1000; ++n) {
        const std::string p = path(n);
        ResumeState saved;
        if (readResumeState(p + ".part.state", saved) && saved.url == opt.url &&
            ::stat((p + ".part").c_str(), &st) == 0) {
            firstFree = n;
            break;
        }
        if (firstFree < 0 && ::stat(p.c_str(), &st) != 0 && ::stat((p + ".part").c_str(), &st) != 0)
            firstFree = n;
        if (firstFree >= 0 && n >= firstFree + 16) break;  // no earlier run beyond a few
    }
    if (firstFree < 0) {
        fail(Failure::Local, "no free file name for " + baseName + " in " + folder);
        return false;
    }
    nameNumber = firstFree;
    partPath = path(nameNumber) + ".part";
    statePath = partPath + ".state";
    std::lock_guard lock(e.mutex);
    e.progress.path = path(nameNumber);
    return true;
}

bool Run::openPart(bool resume) {
    hasher.stop();
    if (!openPartFile(resume)) return false;
    hasher.start(fd);
    return true;
}

bool Run::openPartFile(bool resume) {
    saver.drain();  // it may hold the old descriptor
    if (fd >= 0) ::close(fd);
    fd = ::open(partPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (resume ? 0 : O_TRUNC), 0644);
    if (fd < 0) {
        fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(errno));
        return false;
    }
    if (resume) return std::uint64_t(st.st_size) == length;
    if (length == kUnknown || length == 0) return true;
    // Room first, then the blocks themselves: a full disk shows now, not at 90 %.
    struct statvfs vfs;
    const std::uint64_t have = std::uint64_t(st.st_blocks) * 512;
    if (::fstatvfs(fd, &vfs) == 0 && std::uint64_t(vfs.f_bavail) * vfs.f_frsize + have < length) {
        fail(Failure::Local, "no space");
        return false;
    }
    int r = ::posix_fallocate(fd, 0, off_t(length));
    if (r == EOPNOTSUPP || r == EINVAL) r = ::ftruncate(fd, off_t(length)) == 0 ? 0 : errno;
    if (r == ENOSPC || r == EDQUOT) {
        fail(Failure::Local, "no space");
        return false;
    }
    if (r != 0) {
        fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(r));
        return false;
    }
    return true;
}

bool Run::writeAt(const char* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, off_t(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            const int err = w < 0 ? errno : ENOSPC;
            if (err == ENOSPC || err == EDQUOT)
                fail(Failure::Local, "no space");
            else
                fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(err));
            return false;
        }
        p += w;
        n -= std::size_t(w);
        at += std::uint64_t(w);
    }
    return true;
}

std::size_t Run::onData(Transfer& t, const char* p, std::size_t n) {
    if (!t.accepted) {
        if (!accept(t)) return 0;
        t.accepted = true;
    }
    Gap* g = t.gap;
    if (!g || t.doneEarly || failed) return 0;
    const std::uint64_t pos = g->pos + t.pending.size();
    if (g->end != kUnknown && pos >= g->end) {
        flush(t);
        t.doneEarly = true;
        return 0;
    }
    if (pos == 0 && looksLikeHtml(p, n)) {
        fail(Failure::Service, "the server sent a web page (text/html), not the file");
        return 0;
    }
    const std::size_t take =
        g->end == kUnknown ? n : std::size_t(std::min<std::uint64_t>(n, g->end - pos));
    if (t.pending.capacity() < kWriteBlock) t.pending.reserve(kWriteBlock + kReceiveBuffer);
    t.pending.insert(t.pending.end(), p, p + take);
    received += take;
    g->ahead = t.pending.size();
    t.lastByte = Clock::now();
    if (t.pending.size() >= kWriteBlock && !flush(t)) return 0;
    if (take < n) {
        flush(t);
        t.doneEarly = true;  // the rest belongs to a range another connection took over
        return 0;
    }
    return n;
}

bool Run::flush(Transfer& t) {
    Gap* g = t.gap;
    if (!g || t.pending.empty()) return !failed;
    if (!writeAt(t.pending.data(), t.pending.size(), g->pos)) return false;
    const std::uint64_t n = t.pending.size();
    t.pending.clear();
    g->pos += n;
    g->ahead = 0;
    done += n;
    t.written += n;
    if (done >= syncedAt + kSyncEvery) {
        syncedAt = done;
        saver.sync(fd);
    }
    advanceHash();
    return true;
}

void Run::flushAll() {
    for (auto& t : transfers)
        if (!t->quietAbort && !failed) flush(*t);
}

// Tells the hasher how far the file is whole.
void Run::advanceHash() {
    if (!known || fd < 0) return;
    std::uint64_t limit = length == kUnknown ? UINT64_MAX : length;
    for (const Gap& g : gaps) limit = std::min(limit, g.pos);
    if (limit != UINT64_MAX) hasher.advance(limit);
}

void Run::restart() {
    restartPending = false;
    for (auto& t : transfers) t->quietAbort = true;
    while (!transfers.empty()) dropTransfer(transfers.back().get());
    if (++restarts > kMostRestarts) {
        fail(Failure::Service, "the file changed on the server while it was being fetched");
        return;
    }
    saver.drain();
    if (!statePath.empty()) ::unlink(statePath.c_str());
    gaps.clear();
    gaps.push_back(Gap{});
    known = false;
    ranges = false;
    length = kUnknown;
    hasher.stop();
    done = 0;
    syncedAt = 0;
}

void Run::saveInBackground() {
    if (!known || fd < 0 || statePath.empty()) return;
    flushAll();
    if (saver.offer(fd, statePath, snapshot())) lastSave = Clock::now();
}

void Run::saveState() {
    saver.drain();
    lastSave = Clock::now();
    if (!known || fd < 0 || statePath.empty()) return;
    flushAll();
    // The bytes the state vouches for reach the disk before the state does; when they
    // cannot, the state saved last stays.
    if (::fdatasync(fd) == 0) writeResumeState(statePath, snapshot());
}

ResumeState Run::snapshot() const {
    ResumeState s;
    s.url = opt.url;
    s.length = length == kUnknown ? 0 : length;
    s.validator = validator;
    s.ranges = ranges;
    for (const Gap& g : gaps)
        if (g.end != kUnknown && g.pos < g.end) s.gaps.emplace_back(g.pos, g.end);
    std::sort(s.gaps.begin(), s.gaps.end());
    return s;
}

State Run::finish() {
    advanceHash();
    saver.sync(fd);  // the last writes reach the disk while the hash catches up
    std::string sum;
    for (;;) {
        int error = 0;
        sum = hasher.digest(length, &error);
        if (error != 0) {
            fail(Failure::Local, "cannot read back " + partPath + ": " + std::strerror(error));
            return State::Failed;
        }
        if (!sum.empty()) break;
        if (e.command.load() != kRun) return State::Running;
    }
    if (const int error = saver.drain(); error != 0) {
        fail(Failure::Local, error == ENOSPC || error == EDQUOT
                                 ? std::string("no space")
                                 : "cannot write " + partPath + ": " + std::strerror(error));
        return State::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || std::uint64_t(st.st_size) < length) {
        fail(Failure::Local, "the file on disk is shorter than the download");
        return State::Failed;
    }
    if (std::uint64_t(st.st_size) > length && ::ftruncate(fd, off_t(length)) != 0) {
        fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(errno));
        return State::Failed;
    }
    if (opt.listedSize > 0) {
        const std::uint64_t diff =
            length > opt.listedSize ? length - opt.listedSize : opt.listedSize - length;
        if (diff > opt.listedSizeSlack) {
            fail(Failure::Service, "the file has " + std::to_string(length) +
                                       " bytes, the listed size is " +
                                       std::to_string(opt.listedSize));
            return State::Failed;
        }
    }
    if (::fsync(fd) != 0) {
        fail(Failure::Local, "cannot write " + partPath + ": " + std::strerror(errno));
        return State::Failed;
    }

    // NAME may have appeared since the name was chosen: never overwrite it.
    for (int n = nameNumber; n < nameNumber + 1000; ++n) {
        const std::string final = path(n);
        const std::string sumLine = sum + "  " + numberedName(baseName, n) + "\n";
        if (!writeFileAtomically(final + ".sha256", sumLine)) {
            fail(Failure::Local, "cannot write " + final + ".sha256: " + std::strerror(errno));
            return State::Failed;
        }
        if (::renameat2(AT_FDCWD, partPath.c_str(), AT_FDCWD, final.c_str(), RENAME_NOREPLACE) ==
            0) {
            ::unlink(statePath.c_str());
            syncFolder(final);
            std::lock_guard lock(e.mutex);
            e.progress.path = final;
            e.progress.sha256 = sum;
            return State::Complete;
        }
        const int err = errno;
        ::unlink((final + ".sha256").c_str());
        if (err != EEXIST) {
            fail(Failure::Local, "cannot rename " + partPath + ": " + std::strerror(err));
            return State::Failed;
        }
    }
    fail(Failure::Local, "no free file name for " + baseName);
    return State::Failed;
}

void Run::publish(State state) {
    const auto now = Clock::now();
    const double dt = std::chrono::duration<double>(now - speedAt).count();
    if (dt >= 0.5) {
        const double recent = double(done > speedDone ? done - speedDone : 0) / dt;
        speed = speed == 0 ? recent : 0.5 * speed + 0.5 * recent;
        speedAt = now;
        speedDone = done;
    }
    std::lock_guard lock(e.mutex);
    Progress& p = e.progress;
    p.state = state;
    p.total = length == kUnknown ? 0 : length;
    p.done = done;
    p.bytesPerSecond = speed;
    p.connections = int(transfers.size());
    if (failed) {
        p.failure = failure;
        p.reason = reason;
    }
}

}  // namespace

Download::Download(Options options) : engine_(std::make_shared<Engine>()) {
    engine_->opt = std::move(options);
}

Download::~Download() {
    pause();
    if (engine_->thread.joinable()) engine_->thread.join();
}

void Download::start() {
    std::lock_guard lock(engine_->mutex);
    if (engine_->running || engine_->progress.state == State::Complete) return;
    if (engine_->thread.joinable()) engine_->thread.join();
    engine_->command = kRun;
    engine_->running = true;
    engine_->progress.state = State::Running;
    engine_->progress.failure = Failure::None;
    engine_->progress.reason.clear();
    engine_->thread = std::thread([e = engine_.get()] { e->run(); });
}

void Download::pause() {
    engine_->command = kPause;
    engine_->wake();
}

void Download::cancel() {
    std::unique_lock lock(engine_->mutex);
    if (!engine_->running) {
        // Paused or failed: what it left behind goes now.
        Progress& p = engine_->progress;
        if (p.state == State::Complete || p.state == State::Cancelled) return;
        if (!p.path.empty()) {
            ::unlink((p.path + ".part").c_str());
            ::unlink((p.path + ".part.state").c_str());
        }
        p.state = State::Cancelled;
        return;
    }
    engine_->command = kCancel;
    if (engine_->multi) curl_multi_wakeup(engine_->multi);
}

Progress Download::wait() {
    std::unique_lock lock(engine_->mutex);
    engine_->stopped.wait(lock, [&] { return !engine_->running; });
    return engine_->progress;
}

bool Download::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(engine_->mutex);
    return engine_->stopped.wait_for(lock, timeout, [&] { return !engine_->running; });
}

Progress Download::progress() const {
    std::lock_guard lock(engine_->mutex);
    return engine_->progress;
}

}  // namespace download
