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

// The automatic cookie store of the process: one libcurl share that every request without
// NO_COOKIES joins.
struct Global {
    CURLSH* share = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];
};

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<Global*>(user)->locks[data].lock();
}
void unlockShare(CURL*, curl_lock_data data, void* user) {
    static_cast<Global*>(user)->locks[data].unlock();
}

Global& global() {
    static Global* g = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        auto* made = new Global;  // lives for the process, as the system's store does
        made->share = curl_share_init();
        curl_share_setopt(made->share, CURLSHOPT_LOCKFUNC, lockShare);
        curl_share_setopt(made->share, CURLSHOPT_UNLOCKFUNC, unlockShare);
        curl_share_setopt(made->share, CURLSHOPT_USERDATA, made);
        curl_share_setopt(made->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        return made;
    }();
    return *g;
}

std::mutex stateMutex;
Limits currentLimits;
RequestRecord recorded;
std::string trustedCaFile;

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
        if (multi) curl_multi_cleanup(multi);
        if (headerList) curl_slist_free_all(headerList);
        easy = nullptr;
        multi = nullptr;
        headerList = nullptr;
        pending.clear();
        pendingOffset = 0;
        rawHeaders.clear();
        headersEnded = bodyStarted = done = failed = connected = paused = tooLarge = false;
        errorText.clear();
        errorBuffer[0] = '\0';
        received = headerBytes = 0;
        lastDown = lastUp = -1;
    }

    void touch() { lastActivity = Clock::now(); }
    bool pastDeadline() const { return Clock::now() >= deadline; }

    Connection connection;
    std::string verb, object, version;
    win::DWORD flags = 0;

    Limits limits;
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headerList = nullptr;
    std::string pending;  // body bytes that arrived and were not read yet
    std::size_t pendingOffset = 0;
    std::string rawHeaders;  // the newest response's header block
    bool headersEnded = false, bodyStarted = false, done = false, failed = false;
    bool connected = false, paused = false;
    // Why the transfer failed, in libcurl's words; whether it was the reply cap.
    std::string errorText;
    bool tooLarge = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::uint64_t received = 0, headerBytes = 0;
    curl_off_t lastDown = -1, lastUp = -1;
    Clock::time_point lastActivity;
    Clock::time_point deadline;
};

// Ends the transfer as failed, with the reason as libcurl words it (its error buffer holds
// the details when it has them: "Failed to connect to 127.0.0.1 port 9: Connection refused").
void failWith(Request& r, CURLcode code) {
    r.failed = r.done = true;
    if (!r.errorText.empty()) return;
    r.errorText = r.errorBuffer[0] ? r.errorBuffer : curl_easy_strerror(code);
}

thread_local std::string threadErrorText;
thread_local bool threadTooLarge = false;

// What the calling thread's latest failed call leaves for lastErrorText.
void publishFailure(const Request& r) {
    threadErrorText = r.errorText.empty() ? curl_easy_strerror(CURLE_RECV_ERROR) : r.errorText;
    threadTooLarge = r.tooLarge;
}

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

std::string cutAtLineEnd(const char* text) {
    std::string s = text ? text : "";
    std::size_t cut = s.find_first_of("\r\n");
    if (cut != std::string::npos) s.resize(cut);
    return s;
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
        r->failed = r->tooLarge = true;
        r->errorText =
            "reply header block larger than " + std::to_string(kMaxHeaderBytes) + " bytes";
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
        r->failed = r->tooLarge = true;
        r->errorText = "reply larger than " + std::to_string(r->limits.maxReplyBytes) + " bytes";
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

// One round of the transfer: resumes a paused transfer, lets libcurl move what it can, and
// waits briefly for the socket only when that brought nothing to read. The idle clock
// starts once the connection stands; before that the connect time-out governs.
void pump(Request& r) {
    // Checked here too: libcurl asks the progress callback only while it moves data.
    if (abortRequested()) {
        failWith(r, CURLE_ABORTED_BY_CALLBACK);
        return;
    }
    const std::size_t before = r.pending.size();
    if (r.paused) {
        r.paused = false;
        if (const CURLcode code = curl_easy_pause(r.easy, CURLPAUSE_CONT); code != CURLE_OK) {
            failWith(r, code);
            return;
        }
    }
    int running = 0;
    if (const CURLMcode code = curl_multi_perform(r.multi, &running); code != CURLM_OK) {
        r.errorText = curl_multi_strerror(code);
        failWith(r, CURLE_RECV_ERROR);
        return;
    }
    if (!running) {
        int left = 0;
        CURLcode result = CURLE_OK;
        while (CURLMsg* m = curl_multi_info_read(r.multi, &left))
            if (m->msg == CURLMSG_DONE) result = m->data.result;
        if (result != CURLE_OK) failWith(r, result);
        r.done = true;
        return;
    }
    if (r.pastDeadline()) {
        failWith(r, CURLE_OPERATION_TIMEDOUT);
        return;
    }
    if (r.pending.size() != before || r.paused) return;
    if (!r.connected) {
        curl_off_t connectTime = 0;
        curl_easy_getinfo(r.easy, CURLINFO_CONNECT_TIME_T, &connectTime);
        if (connectTime > 0) {
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
            failWith(r, CURLE_OPERATION_TIMEDOUT);
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

void clearCookies() {
    CURL* easy = curl_easy_init();
    if (!easy) return;
    curl_easy_setopt(easy, CURLOPT_SHARE, global().share);
    curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
    curl_easy_cleanup(easy);
}

void appendPercentEncoded(std::string& out, unsigned char byte) {
    static const char hex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(hex[byte >> 4]);
    out.push_back(hex[byte & 15]);
}

std::string lastErrorText() {
    return threadErrorText;
}

bool lastFailureTooLarge() {
    return threadTooLarge;
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
    threadErrorText.clear();
    threadTooLarge = false;
    if (!acceptableHost(c.host)) {
        failWith(*r, CURLE_URL_MALFORMAT);
        publishFailure(*r);
        return FALSE;
    }
    INTERNET_PORT port = c.port ? c.port : INTERNET_PORT(secure ? 443 : 80);
    const std::string url = std::string(secure ? "https://" : "http://") + c.host + ":" +
                            std::to_string(port) + requestTarget(r->object);

    r->easy = curl_easy_init();
    r->multi = curl_multi_init();
    if (!r->easy || !r->multi) {
        failWith(*r, CURLE_FAILED_INIT);
        publishFailure(*r);
        return FALSE;
    }
    CURL* e = r->easy;
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, r->errorBuffer);
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

    switch (c.session.access) {
        case INTERNET_OPEN_TYPE_DIRECT:
            curl_easy_setopt(e, CURLOPT_PROXY, "");
            break;
        case INTERNET_OPEN_TYPE_PROXY: {
            std::string p = proxyFor(c.session.proxyList, secure ? "https" : "http");
            if (!p.empty() && p.find("://") == std::string::npos) p = "http://" + p;
            curl_easy_setopt(e, CURLOPT_PROXY, p.c_str());
            curl_easy_setopt(e, CURLOPT_NOPROXY, "");
            curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
            break;
        }
        default:
            break;  // preconfigured: the environment's proxy settings
    }

    if (!(r->flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
        const char* allowed = secure                                                ? "https"
                              : (r->flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS) ? "http,https"
                                                                                    : "http";
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, allowed);
    }
    if (!(r->flags & INTERNET_FLAG_NO_COOKIES)) {
        curl_easy_setopt(e, CURLOPT_SHARE, global().share);
        curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
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
    while (!r->bodyStarted && !r->done) pump(*r);
    if (r->failed) publishFailure(*r);
    return r->failed ? FALSE : TRUE;
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
            continue;
        }
        r->pending.clear();
        r->pendingOffset = 0;
        if (r->done) break;
        pump(*r);
    }
    if (r->failed) {
        publishFailure(*r);
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
