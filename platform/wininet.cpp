#include "platform/wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace wininet {
namespace {

using Clock = std::chrono::steady_clock;

// What requests share across the process. The automatic cookie store is one libcurl share
// that every request without NO_COOKIES joins; requests with NO_COOKIES join a second one
// without cookies. Both hold DNS answers and TLS sessions, so that a new connection to a
// host seen before skips the name look-up and resumes its TLS session.
struct Share {
    CURLSH* handle = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];
};

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<Share*>(user)->locks[data].lock();
}
void unlockShare(CURL*, curl_lock_data data, void* user) {
    static_cast<Share*>(user)->locks[data].unlock();
}

void makeShare(Share& share, bool cookies) {
    share.handle = curl_share_init();
    curl_share_setopt(share.handle, CURLSHOPT_LOCKFUNC, lockShare);
    curl_share_setopt(share.handle, CURLSHOPT_UNLOCKFUNC, unlockShare);
    curl_share_setopt(share.handle, CURLSHOPT_USERDATA, &share);
    if (cookies) curl_share_setopt(share.handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(share.handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share.handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
}

// libcurl keeps a finished transfer's connection in the cache of the multi handle that ran
// it. Idle multi handles wait here, keyed by the origin and the proxy they talked to, for
// the next request that goes the same way. A handle serves one request at a time, so this
// mutex is all the pool needs; several requests to one host at once each take a handle
// (and so a connection) of their own.
struct IdleHandle {
    std::string key;
    CURLM* multi = nullptr;
    std::chrono::steady_clock::time_point since;
};

struct Global {
    Share cookieShare, plainShare;
    std::mutex poolMutex;
    std::vector<IdleHandle> idle;  // the most recently used last
    bool reuse = true;
};

Global& global() {
    static Global* g = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        auto* made = new Global;  // lives for the process, as the system's store does
        makeShare(made->cookieShare, true);
        makeShare(made->plainShare, false);
        return made;
    }();
    return *g;
}

// A parallel batch keeps a handful of connections per host; more idle ones than this only
// hold sockets the servers will close anyway.
constexpr std::size_t kMaxIdleHandles = 32;
// Servers drop idle connections after a while; one older than this is not worth a try.
constexpr auto kMaxIdleTime = std::chrono::seconds(60);

CURLM* newMulti() {
    CURLM* m = curl_multi_init();
    if (m) curl_multi_setopt(m, CURLMOPT_MAXCONNECTS, 4L);
    return m;
}

CURLM* checkOut(const std::string& key) {
    Global& g = global();
    std::vector<CURLM*> stale;
    CURLM* found = nullptr;
    {
        std::lock_guard lock(g.poolMutex);
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(g.idle, [&](const IdleHandle& h) {
            if (now - h.since < kMaxIdleTime) return false;
            stale.push_back(h.multi);
            return true;
        });
        for (auto it = g.idle.rbegin(); it != g.idle.rend(); ++it) {
            if (it->key != key) continue;
            found = it->multi;
            g.idle.erase(std::next(it).base());
            break;
        }
    }
    for (CURLM* m : stale) curl_multi_cleanup(m);
    return found ? found : newMulti();
}

// A handle whose transfer went wrong is closed with its connections rather than kept.
void checkIn(std::string key, CURLM* multi, bool healthy) {
    if (!multi) return;
    Global& g = global();
    CURLM* evicted = nullptr;
    if (healthy) {
        std::lock_guard lock(g.poolMutex);
        if (g.reuse) {
            g.idle.push_back({std::move(key), multi, std::chrono::steady_clock::now()});
            multi = nullptr;
            if (g.idle.size() > kMaxIdleHandles) {
                evicted = g.idle.front().multi;
                g.idle.erase(g.idle.begin());
            }
        }
    }
    if (multi) curl_multi_cleanup(multi);
    if (evicted) curl_multi_cleanup(evicted);
}

std::mutex stateMutex;
Limits currentLimits;
RequestRecord recorded;
std::string trustedCaFile;
ProxyConfig proxyConfig;
thread_local std::string threadLastFailure;

enum class Kind { session, connection, request };

struct Handle {
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
    Kind kind;
};

struct Session : Handle {
    Session() : Handle(Kind::session) {}
    std::string agent;
    win::DWORD access = 0;
    std::string proxyList;
};

struct Connection : Handle {
    Connection() : Handle(Kind::connection) {}
    Session session;  // a copy: closing the session first leaves this connection usable
    std::string host;
    win::INTERNET_PORT port = 0;
};

struct Request : Handle {
    Request() : Handle(Kind::request) {}
    ~Request() override { reset(); }

    void reset() {
        if (multi && easy) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        // Only a transfer that ended well leaves a connection worth keeping: one dropped
        // halfway was closed by libcurl, and one that failed may be in any state.
        checkIn(std::move(poolKey), multi, done && !failed);
        if (headerList) curl_slist_free_all(headerList);
        easy = nullptr;
        multi = nullptr;
        headerList = nullptr;
        poolKey.clear();
        failure.clear();
        errorText[0] = '\0';
        startAttempt();
        done = failed = retried = false;
        delivered = 0;
    }

    // What one attempt at the transfer has gathered; a retry starts from nothing again.
    void startAttempt() {
        pending.clear();
        pendingOffset = 0;
        rawHeaders.clear();
        headersEnded = bodyStarted = connected = paused = false;
        received = headerBytes = 0;
        lastDown = lastUp = -1;
    }

    void fail(std::string why) {
        if (failure.empty()) failure = std::move(why);
        failed = done = true;
    }

    void touch() { lastActivity = Clock::now(); }
    bool pastDeadline() const { return Clock::now() >= deadline; }

    Connection connection;
    std::string verb, object, version;
    win::DWORD flags = 0;

    Limits limits;
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::string poolKey;
    curl_slist* headerList = nullptr;
    std::string pending;  // body bytes that arrived and were not read yet
    std::size_t pendingOffset = 0;
    std::string rawHeaders;  // the newest response's header block
    bool headersEnded = false, bodyStarted = false, done = false, failed = false;
    bool connected = false, paused = false;
    bool idempotent = false, retried = false, plainViaProxy = false;
    std::uint64_t received = 0, headerBytes = 0;
    std::uint64_t delivered = 0;  // body bytes handed to the reader
    curl_off_t lastDown = -1, lastUp = -1;
    Clock::time_point lastActivity;
    Clock::time_point deadline;
    std::string failure;
    char errorText[CURL_ERROR_SIZE] = {};
};

std::mutex handleMutex;
std::unordered_set<Handle*> liveHandles;

Handle* registered(Handle* h) {
    std::lock_guard lock(handleMutex);
    liveHandles.insert(h);
    return h;
}

template <class T>
T* lookUp(win::HINTERNET h, Kind kind) {
    std::lock_guard lock(handleMutex);
    auto* handle = static_cast<Handle*>(h);
    if (!liveHandles.count(handle) || handle->kind != kind) return nullptr;
    return static_cast<T*>(handle);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

bool startsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view headerName(std::string_view line) {
    std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view{} : line.substr(0, colon);
}

// The proxy for one scheme from a WinINet proxy list ("http=h:p https=h:p" or "h:p"):
// the entry for the scheme, else a bare entry, else none (a direct connection).
std::string proxyFor(std::string_view list, std::string_view scheme) {
    std::string bare;
    std::size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == ' ' || list[i] == ';' || list[i] == '\t')) ++i;
        std::size_t end = i;
        while (end < list.size() && list[end] != ' ' && list[end] != ';' && list[end] != '\t')
            ++end;
        std::string_view entry = list.substr(i, end - i);
        i = end;
        if (entry.empty()) continue;
        std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            if (bare.empty()) bare = entry;
        } else if (equalsNoCase(entry.substr(0, eq), scheme)) {
            return std::string(entry.substr(eq + 1));
        }
    }
    return bare;
}

std::string cutAtLineEnd(const char* text) {
    std::string s = text ? text : "";
    std::size_t cut = s.find_first_of("\r\n");
    if (cut != std::string::npos) s.resize(cut);
    return s;
}

// The proxy one request takes, in libcurl's terms; set on every request, so that libcurl
// never reads the environment behind the process's configuration.
struct ProxyChoice {
    std::string proxy;  // "" for a direct connection
    std::string noProxy;
    std::string user, password;
};

std::string environmentValue(const char* lower, const char* upper) {
    for (const char* name : {lower, upper}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

ProxyChoice proxyChoice(const Session& session, bool secure) {
    ProxyChoice choice;
    if (session.access == win::INTERNET_OPEN_TYPE_DIRECT) return choice;
    if (session.access == win::INTERNET_OPEN_TYPE_PROXY) {
        choice.proxy = proxyFor(session.proxyList, secure ? "https" : "http");
        if (!choice.proxy.empty() && choice.proxy.find("://") == std::string::npos)
            choice.proxy = "http://" + choice.proxy;
        return choice;
    }
    ProxyConfig config;  // preconfigured access
    {
        std::lock_guard lock(stateMutex);
        config = proxyConfig;
    }
    switch (config.mode) {
        case ProxyConfig::Mode::Direct:
            break;
        case ProxyConfig::Mode::Manual:
            choice.proxy = config.proxy;
            choice.noProxy = config.bypass;
            choice.user = config.user;
            choice.password = config.password;
            break;
        case ProxyConfig::Mode::Environment:
            // Lower case first, as libcurl and most tools read them.
            choice.proxy = secure ? environmentValue("https_proxy", "HTTPS_PROXY")
                                  : environmentValue("http_proxy", "HTTP_PROXY");
            if (choice.proxy.empty()) choice.proxy = environmentValue("all_proxy", "ALL_PROXY");
            choice.noProxy = environmentValue("no_proxy", "NO_PROXY");
            break;
    }
    choice.proxy = cutAtLineEnd(choice.proxy.c_str());
    // This machine's loopback is never behind a proxy: one elsewhere cannot reach it (and
    // the vendor simulator lives there).
    std::string noProxy = cutAtLineEnd(choice.noProxy.c_str());
    choice.noProxy = noProxy == "*" ? noProxy
                                    : std::string("localhost,127.0.0.1,::1") +
                                          (noProxy.empty() ? "" : ",") + noProxy;
    return choice;
}

// Host names go into a URL, so anything that would change how it parses is refused here
// rather than sent somewhere else.
bool acceptableHost(std::string_view host) {
    if (host.empty()) return false;
    for (unsigned char c : host) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '.' || c == '_' || c == '~' || c >= 0x80;
        if (!ok) return false;
    }
    return true;
}

// Header lines are held in memory too, so a server that never ends its headers fails the
// request instead of filling memory.
constexpr std::uint64_t kMaxHeaderBytes = 1 << 20;

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    const std::size_t n = size * count;
    std::string_view line(data, n);
    r->touch();
    r->headerBytes += n;
    if (r->headerBytes > kMaxHeaderBytes) {
        r->failure = "reply header block larger than 1 MiB";
        r->failed = true;
        return 0;
    }
    if (startsNoCase(line, "HTTP/")) {
        r->rawHeaders.clear();
        r->headersEnded = false;
    }
    if (r->headersEnded) return n;  // trailers of a chunked body
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    r->rawHeaders.append(line);
    r->rawHeaders.append("\r\n");
    if (line.empty()) r->headersEnded = true;
    return n;
}

// Body bytes wait in `pending` until they are read. Once a reader's worth is waiting, the
// transfer pauses (libcurl keeps the chunk and hands it over again on resuming), so the
// buffer stays small and warm in the cache whatever the size of the reply.
constexpr std::size_t kPendingHighWater = 128 * 1024;

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    const std::size_t n = size * count;
    r->touch();
    if (r->pending.size() - r->pendingOffset >= kPendingHighWater) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    r->received += n;
    if (r->received > r->limits.maxReplyBytes) {
        r->failure = "reply larger than " + std::to_string(r->limits.maxReplyBytes) + " bytes";
        r->failed = true;
        return 0;  // aborts the transfer
    }
    r->pending.append(data, n);
    r->bodyStarted = true;
    return n;
}

thread_local const std::atomic<bool>* threadAbortFlag = nullptr;

bool abortRequested() {
    return threadAbortFlag && threadAbortFlag->load(std::memory_order_acquire);
}

int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    if (abortRequested()) return 1;  // libcurl ends the transfer as aborted
    auto* r = static_cast<Request*>(user);
    if (down != r->lastDown || up != r->lastUp) {
        r->lastDown = down;
        r->lastUp = up;
        r->touch();
    }
    return 0;
}

std::string millisecondsText(std::chrono::milliseconds ms) {
    return std::to_string(ms.count()) + " ms";
}

// Faults of the connection itself, as a server that closed a kept connection causes them;
// a new connection may well get the reply.
bool brokenConnection(CURLcode result) {
    return result == CURLE_GOT_NOTHING || result == CURLE_SEND_ERROR ||
           result == CURLE_RECV_ERROR || result == CURLE_PARTIAL_FILE;
}

// Sends the request again on a new connection when its kept connection broke before the
// reader saw a byte of the reply. libcurl already does so when such a connection gave no
// byte at all; this covers one that broke later, inside the reply. Once only, and never
// after the connection was a new one: a server that breaks those means it.
bool retryOnNewConnection(Request& r, CURLcode result) {
    if (!r.idempotent || r.retried || r.failed || r.delivered > 0 || !brokenConnection(result))
        return false;
    long newConnections = 0, connectCode = 0;
    curl_easy_getinfo(r.easy, CURLINFO_NUM_CONNECTS, &newConnections);
    curl_easy_getinfo(r.easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(r.deadline - Clock::now());
    if (newConnections > 0 || connectCode >= 300 || left.count() <= 0) return false;
    curl_multi_remove_handle(r.multi, r.easy);
    r.retried = true;
    r.startAttempt();
    r.errorText[0] = '\0';
    curl_easy_setopt(r.easy, CURLOPT_FRESH_CONNECT, 1L);
    if (r.limits.totalTimeout.count() > 0)
        curl_easy_setopt(r.easy, CURLOPT_TIMEOUT_MS, long(std::max<long long>(1, left.count())));
    if (curl_multi_add_handle(r.multi, r.easy) != CURLM_OK) return false;
    r.touch();
    return true;
}

// The end of a transfer as libcurl reports it. Through a proxy, a plain request's reply may
// be the proxy's own refusal: that is a failure, not the page asked for. (A refused tunnel
// for a secure request already fails inside libcurl.)
void finish(Request& r, CURLcode result) {
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &status);
        if (r.plainViaProxy && status == 407)
            r.fail("the proxy refused the request (407 Proxy Authentication Required)");
        r.done = true;
        return;
    }
    if (retryOnNewConnection(r, result)) return;
    if (result == CURLE_ABORTED_BY_CALLBACK && abortRequested()) r.fail("stopped");
    r.fail(r.errorText[0] ? r.errorText : curl_easy_strerror(result));
}

// One round of the transfer: resumes a paused transfer, lets libcurl move what it can, and
// waits briefly for the socket only when that brought nothing to read. The idle clock
// starts once the connection stands; before that the connect time-out governs.
void pump(Request& r) {
    // Checked here too: libcurl asks the progress callback only while it moves data.
    if (abortRequested()) {
        r.fail("stopped");
        return;
    }
    const std::size_t before = r.pending.size();
    if (r.paused) {
        r.paused = false;
        if (curl_easy_pause(r.easy, CURLPAUSE_CONT) != CURLE_OK) {
            r.fail("the transfer could not be resumed");
            return;
        }
    }
    int running = 0;
    if (curl_multi_perform(r.multi, &running) != CURLM_OK) {
        r.fail("the transfer could not go on");
        return;
    }
    if (!running) {
        int left = 0;
        CURLcode result = CURLE_OK;
        while (CURLMsg* m = curl_multi_info_read(r.multi, &left))
            if (m->msg == CURLMSG_DONE) result = m->data.result;
        finish(r, result);
        return;
    }
    if (r.pastDeadline()) {
        r.fail("no whole reply within " + millisecondsText(r.limits.totalTimeout));
        return;
    }
    if (r.pending.size() != before || r.paused) return;
    if (!r.connected) {
        curl_off_t connectTime = 0;
        long requestSize = 0;
        curl_easy_getinfo(r.easy, CURLINFO_CONNECT_TIME_T, &connectTime);
        // A kept connection stood before the request: its request going out says so.
        curl_easy_getinfo(r.easy, CURLINFO_REQUEST_SIZE, &requestSize);
        if (connectTime > 0 || requestSize > 0) {
            r.connected = true;
            r.touch();
        }
    }
    auto waitMs =
        std::clamp(std::chrono::ceil<std::chrono::milliseconds>(r.deadline - Clock::now()),
                   std::chrono::milliseconds(0), std::chrono::milliseconds(100));
    if (r.connected) {
        auto idle = Clock::now() - r.lastActivity;
        if (idle >= r.limits.idleTimeout) {
            r.fail("nothing received for " + millisecondsText(r.limits.idleTimeout));
            return;
        }
        waitMs = std::min(
            waitMs, std::chrono::ceil<std::chrono::milliseconds>(r.limits.idleTimeout - idle));
    }
    curl_multi_poll(r.multi, nullptr, 0, int(waitMs.count()), nullptr);
}

void record(const Request& r) {
    std::lock_guard lock(stateMutex);
    recorded.agent = r.connection.session.agent;
    recorded.accessType = r.connection.session.access;
    recorded.proxy = r.connection.session.proxyList;
    recorded.host = r.connection.host;
    recorded.port = r.connection.port;
    recorded.verb = r.verb;
    recorded.object = r.object;
    recorded.version = r.version;
    recorded.flags = r.flags;
}

// The caller's header block as libcurl list entries, in their order. libcurl drops a
// "Name:" line with nothing after it, so such a line goes as "Name;", which it sends as
// "Name:". Lines libcurl would otherwise add of its own accord are switched off.
curl_slist* headerListFor(std::string_view block, bool post) {
    curl_slist* list = nullptr;
    bool accept = false, contentType = false, expect = false;
    std::size_t i = 0;
    while (i <= block.size()) {
        std::size_t end = block.find('\n', i);
        if (end == std::string_view::npos) end = block.size();
        std::string_view line = block.substr(i, end - i);
        i = end + 1;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        std::string_view name = headerName(line);
        accept |= equalsNoCase(name, "Accept");
        contentType |= equalsNoCase(name, "Content-Type");
        expect |= equalsNoCase(name, "Expect");
        std::string entry(line);
        if (!name.empty() && line.find_first_not_of(" \t", name.size() + 1) == std::string::npos)
            entry = std::string(name) + ";";
        list = curl_slist_append(list, entry.c_str());
    }
    if (!accept) list = curl_slist_append(list, "Accept:");
    if (post && !contentType) list = curl_slist_append(list, "Content-Type:");
    if (!expect) list = curl_slist_append(list, "Expect:");
    return list;
}

}  // namespace

Limits limits() {
    std::lock_guard lock(stateMutex);
    return currentLimits;
}

void setLimits(const Limits& l) {
    std::lock_guard lock(stateMutex);
    currentLimits = l;
}

void setAbortFlag(const std::atomic<bool>* flag) {
    threadAbortFlag = flag;
}

const std::atomic<bool>* abortFlag() {
    return threadAbortFlag;
}

RequestRecord lastRequest() {
    std::lock_guard lock(stateMutex);
    return recorded;
}

void setTrustedCertificates(const std::string& caFile) {
    std::lock_guard lock(stateMutex);
    trustedCaFile = caFile;
}

std::string lastFailure() {
    return threadLastFailure;
}

ProxyConfig preconfiguredProxy() {
    std::lock_guard lock(stateMutex);
    return proxyConfig;
}

void setPreconfiguredProxy(const ProxyConfig& config) {
    std::lock_guard lock(stateMutex);
    proxyConfig = config;
}

void setConnectionReuse(bool on) {
    Global& g = global();
    std::vector<IdleHandle> closing;
    {
        std::lock_guard lock(g.poolMutex);
        g.reuse = on;
        if (!on) closing.swap(g.idle);
    }
    for (IdleHandle& h : closing) curl_multi_cleanup(h.multi);
}

std::size_t idleConnectionHandles() {
    Global& g = global();
    std::lock_guard lock(g.poolMutex);
    return g.idle.size();
}

void clearCookies() {
    CURL* easy = curl_easy_init();
    if (!easy) return;
    curl_easy_setopt(easy, CURLOPT_SHARE, global().cookieShare.handle);
    curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
    curl_easy_cleanup(easy);
}

void appendPercentEncoded(std::string& out, unsigned char byte) {
    static const char hex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(hex[byte >> 4]);
    out.push_back(hex[byte & 15]);
}

std::string requestTarget(std::string_view object) {
    std::string out;
    out.reserve(object.size() + 1);
    if (object.empty() || object[0] != '/') out.push_back('/');
    for (unsigned char c : object) {
        if (c == '#') break;
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>')
            appendPercentEncoded(out, c);
        else
            out.push_back(char(c));
    }
    return out;
}

}  // namespace wininet

namespace win {

using namespace wininet;

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char*,
                        DWORD) {
    global();
    auto* s = new Session;
    // A line end in the agent would start a header line of its own.
    s->agent = cutAtLineEnd(agent);
    s->access = accessType;
    s->proxyList = proxy ? proxy : "";
    return registered(s);
}

HINTERNET InternetConnectA(HINTERNET session, const char* serverName, INTERNET_PORT serverPort,
                           const char*, const char*, DWORD service, DWORD, DWORD_PTR) {
    Session* s = lookUp<Session>(session, Kind::session);
    if (!s || !serverName || !*serverName || service != INTERNET_SERVICE_HTTP) return nullptr;
    auto* c = new Connection;
    c->session = *s;
    c->host = serverName;
    c->port = serverPort;
    return registered(c);
}

HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName,
                           const char* version, const char*, const char**, DWORD flags, DWORD_PTR) {
    Connection* c = lookUp<Connection>(connection, Kind::connection);
    if (!c) return nullptr;
    auto* r = new Request;
    r->connection = *c;
    r->verb = verb && *verb ? verb : "GET";
    r->object = objectName ? objectName : "/";
    r->version = version && *version ? version : "HTTP/1.1";
    r->flags = flags;
    record(*r);
    return registered(r);
}

BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
    Request* r = lookUp<Request>(request, Kind::request);
    if (!r) return FALSE;
    r->reset();
    r->limits = wininet::limits();
    std::string caFile;
    {
        std::lock_guard lock(wininet::stateMutex);
        caFile = wininet::trustedCaFile;
    }
    const Connection& c = r->connection;
    const bool secure = (r->flags & INTERNET_FLAG_SECURE) != 0;
    if (!acceptableHost(c.host)) {
        r->fail("no usable host name");
        threadLastFailure = r->failure;
        return FALSE;
    }
    INTERNET_PORT port = c.port ? c.port : INTERNET_PORT(secure ? 443 : 80);
    const std::string url = std::string(secure ? "https://" : "http://") + c.host + ":" +
                            std::to_string(port) + requestTarget(r->object);

    const ProxyChoice proxy = proxyChoice(c.session, secure);
    r->poolKey = url.substr(0, url.size() - requestTarget(r->object).size()) + " " + proxy.proxy +
                 " " + proxy.user;
    r->easy = curl_easy_init();
    r->multi = checkOut(r->poolKey);
    if (!r->easy || !r->multi) {
        r->fail("out of memory");
        threadLastFailure = r->failure;
        return FALSE;
    }
    CURL* e = r->easy;
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, r->errorText);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    // The target is already in its wire form; libcurl must not fold "/../" away.
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 128L * 1024);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     r->version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(r->limits.connectTimeout.count()));
    if (r->limits.totalTimeout.count() > 0)
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(r->limits.totalTimeout.count()));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, caFile.c_str());
    if (!c.session.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, c.session.agent.c_str());

    curl_easy_setopt(e, CURLOPT_PROXY, proxy.proxy.c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, proxy.noProxy.c_str());
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!proxy.user.empty()) {
        curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
        curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
    }
    r->plainViaProxy = !secure && !proxy.proxy.empty() && !startsNoCase(proxy.proxy, "socks");

    // Only GET and HEAD may go out twice (see retryOnNewConnection). Any other request
    // takes a new connection: on a kept one that the server has just closed, libcurl would
    // send it again by itself.
    r->idempotent = r->verb == "GET" || r->verb == "HEAD";
    bool reuse = false;
    {
        std::lock_guard lock(global().poolMutex);
        reuse = global().reuse;
    }
    if (!r->idempotent || !reuse) curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    if (!reuse) curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);

    if (!(r->flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
        const char* allowed = secure                                                ? "https"
                              : (r->flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS) ? "http,https"
                                                                                    : "http";
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, allowed);
    }
    if (!(r->flags & INTERNET_FLAG_NO_COOKIES)) {
        curl_easy_setopt(e, CURLOPT_SHARE, global().cookieShare.handle);
        curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    } else {
        curl_easy_setopt(e, CURLOPT_SHARE, global().plainShare.handle);
    }

    const bool post = r->verb == "POST";
    std::string_view block;
    if (headers)
        block = std::string_view(headers, headersLength == DWORD(-1) ? std::strlen(headers)
                                                                     : std::size_t(headersLength));
    r->headerList = headerListFor(block, post);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, r->headerList);

    const char* body = optional ? static_cast<const char*>(optional) : "";
    const curl_off_t bodyLength = optional ? curl_off_t(optionalLength) : 0;
    if (r->verb == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (r->verb == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);  // a HEAD request carries no body
    } else {
        if (!post) curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
        if (post || bodyLength > 0) {
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, bodyLength);
            curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, body);
        }
    }

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, r);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, r);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, r);

    curl_multi_add_handle(r->multi, e);
    r->touch();
    // No overall time-out: a deadline no request reaches.
    r->deadline = r->limits.totalTimeout.count() > 0 ? r->lastActivity + r->limits.totalTimeout
                                                     : Clock::time_point::max();
    // A small reply is taken whole before the reader sees any of it, so that a kept
    // connection that breaks inside it can still be retried.
    while (!r->done && !r->paused) pump(*r);
    if (!r->failed) return TRUE;
    threadLastFailure = r->failure;
    return FALSE;
}

BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    Request* r = lookUp<Request>(request, Kind::request);
    if (!r || !bytesRead || (!buffer && bytesToRead) || !r->easy) return FALSE;
    auto* out = static_cast<char*>(buffer);
    DWORD copied = 0;
    while (copied < bytesToRead && !r->failed) {
        if (r->pendingOffset < r->pending.size()) {
            std::size_t n =
                std::min<std::size_t>(bytesToRead - copied, r->pending.size() - r->pendingOffset);
            std::memcpy(out + copied, r->pending.data() + r->pendingOffset, n);
            copied += DWORD(n);
            r->pendingOffset += n;
            r->delivered += n;
            continue;
        }
        r->pending.clear();
        r->pendingOffset = 0;
        if (r->done) break;
        pump(*r);
    }
    if (r->failed) {
        threadLastFailure = r->failure;
        return FALSE;
    }
    *bytesRead = copied;
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength,
                    DWORD*) {
    Request* r = lookUp<Request>(request, Kind::request);
    if (!r || !bufferLength || !r->easy) return FALSE;
    if (infoLevel == (HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER)) {
        curl_off_t length = -1;
        curl_easy_getinfo(r->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length < 0 || length > curl_off_t(0xFFFFFFFF) || !buffer ||
            *bufferLength < sizeof(DWORD))
            return FALSE;
        const DWORD value = DWORD(length);
        std::memcpy(buffer, &value, sizeof value);
        *bufferLength = sizeof value;
        return TRUE;
    }
    if (infoLevel != HTTP_QUERY_RAW_HEADERS_CRLF || r->rawHeaders.empty()) return FALSE;
    const std::size_t needed = r->rawHeaders.size() + 1;
    if (!buffer || *bufferLength < needed) {
        *bufferLength = DWORD(needed);
        return FALSE;
    }
    std::memcpy(buffer, r->rawHeaders.c_str(), needed);
    *bufferLength = DWORD(r->rawHeaders.size());
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    auto* h = static_cast<wininet::Handle*>(handle);
    {
        std::lock_guard lock(wininet::handleMutex);
        if (!wininet::liveHandles.erase(h)) return FALSE;
    }
    delete h;
    return TRUE;
}

}  // namespace win
