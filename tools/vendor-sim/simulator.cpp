#include "tools/vendor-sim/simulator.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "platform/codepage.h"

namespace vendorsim {

namespace {

constexpr int kServiceCount = 5;
constexpr VendorService kServices[kServiceCount] = {VendorService::Huawei, VendorService::Zte,
                                                    VendorService::Coolpad, VendorService::Lg,
                                                    VendorService::Iphone};
constexpr int kReadTimeoutMs = 5000;
constexpr const char* kIphonePrefix = "/iphone/";

int indexOf(VendorService service) {
    return static_cast<int>(service);
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

std::string trimmedValue(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return std::string(v);
}

// Splits the bytes of one request as they arrived into its line, headers and body.
RecordedRequest dissect(VendorService service, std::string raw) {
    RecordedRequest r;
    r.service = service;
    std::string_view rest = raw;
    const auto takeLine = [&rest](std::string_view& line) {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            line = rest;
            rest = {};
            return false;
        }
        line = rest.substr(0, lf + 1);
        rest.remove_prefix(lf + 1);
        return true;
    };
    const auto stripEol = [](std::string_view line) {
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line;
    };
    std::string_view line;
    const bool complete = takeLine(line);
    r.requestLine = std::string(stripEol(line));
    const std::size_t firstBlank = r.requestLine.find(' ');
    const std::size_t lastBlank = r.requestLine.rfind(' ');
    r.method = r.requestLine.substr(0, firstBlank);
    if (firstBlank != std::string::npos && lastBlank > firstBlank) {
        r.target = r.requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1);
    }
    while (complete && !rest.empty()) {
        const bool ended = takeLine(line);
        const std::string_view bare = stripEol(line);
        if (bare.empty()) break;
        r.headerBlock += line;
        const std::size_t colon = bare.find(':');
        r.headers.emplace_back(
            std::string(bare.substr(0, colon)),
            colon == std::string_view::npos ? std::string() : trimmedValue(bare.substr(colon + 1)));
        if (!ended) break;
    }
    r.body = std::string(rest);
    r.raw = std::move(raw);
    return r;
}

// A connection's socket as httplib sees it, keeping every byte it hands over.
class RecordingStream : public httplib::Stream {
  public:
    explicit RecordingStream(socket_t sock) : sock_(sock) {}

    bool is_readable() const override { return pending_ < buffer_.size() || wait(POLLIN); }
    bool is_writable() const override { return wait(POLLOUT); }

    ssize_t read(char* ptr, size_t size) override {
        if (pending_ == buffer_.size()) {
            if (!wait(POLLIN)) return -1;
            char chunk[16384];
            const ssize_t n = ::recv(sock_, chunk, sizeof chunk, 0);
            if (n <= 0) return n;
            buffer_.assign(chunk, std::size_t(n));
            pending_ = 0;
        }
        const std::size_t n = std::min(size, buffer_.size() - pending_);
        std::copy_n(buffer_.data() + pending_, n, ptr);
        received_.append(buffer_.data() + pending_, n);
        pending_ += n;
        return ssize_t(n);
    }

    // Writes all of it: httplib sends header blocks with a single call.
    ssize_t write(const char* ptr, size_t size) override {
        std::size_t sent = 0;
        while (sent < size) {
            if (!wait(POLLOUT)) return -1;
            const ssize_t n = ::send(sock_, ptr + sent, size - sent, MSG_NOSIGNAL);
            if (n < 0) return -1;
            sent += std::size_t(n);
        }
        return ssize_t(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        addressOf(::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        addressOf(::getsockname, ip, port);
    }
    socket_t socket() const override { return sock_; }

    const std::string& received() const { return received_; }
    // What arrived but was never asked for, e.g. the rest of a request httplib refused.
    std::string unread() const { return buffer_.substr(pending_); }

  private:
    bool wait(short events) const {
        pollfd p{sock_, events, 0};
        int r;
        do {
            r = ::poll(&p, 1, kReadTimeoutMs);
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }

    template <class Query>
    void addressOf(Query query, std::string& ip, int& port) const {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        ip.clear();
        port = 0;
        if (query(sock_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return;
        char text[INET6_ADDRSTRLEN] = {};
        if (addr.ss_family == AF_INET) {
            const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
            inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
            port = ntohs(a->sin_port);
        } else if (addr.ss_family == AF_INET6) {
            const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
            inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
            port = ntohs(a->sin6_port);
        }
        ip = text;
    }

    socket_t sock_;
    std::string buffer_;
    std::size_t pending_ = 0;
    std::string received_;
};

// The connection the current worker thread is serving, so that a handler can reach the
// bytes behind the request httplib has parsed.
struct Connection {
    RecordingStream* stream = nullptr;
    bool recorded = false;
};
thread_local Connection tConnection;

}  // namespace

const char* serviceName(VendorService service) {
    static const char* const kNames[] = {"huawei", "zte", "coolpad", "lg", "iphone"};
    return kNames[indexOf(service)];
}

std::string RecordedRequest::header(const std::string& name) const {
    const std::string wanted = lowerAscii(name);
    for (const auto& [key, value] : headers) {
        if (lowerAscii(key) == wanted) return value;
    }
    return {};
}

std::string RecordedRequest::param(const std::string& name) const {
    return parseTarget(target).param(name);
}

class ServiceServer;

struct Simulator::State {
    Options options;
    Fixtures fixtures;
    std::string error;
    // Built on first request: most simulators never serve the large page.
    std::mutex largePagesMutex;
    std::map<std::string, std::string> largeCoolpadPages;  // keyword -> UTF-8 body

    std::unique_ptr<ServiceServer> servers[kServiceCount];
    std::thread threads[kServiceCount];
    std::atomic<bool> listenEnded[kServiceCount] = {};
    int ports[kServiceCount] = {};
    bool running = false;

    mutable std::mutex logMutex;
    mutable std::condition_variable logChanged;
    std::vector<RecordedRequest> log;

    mutable std::mutex knobMutex;
    bool huaweiIgnoresCurPage = false;
    ZteModelList zteListMode = ZteModelList::Normal;
    bool coolpadEmptySearch = false;
    int iphoneBulkRows = 0;
    std::chrono::milliseconds delays[kServiceCount] = {};
    DelayHook delayHook;
    ReplyHook replyHooks[kServiceCount];

    std::mutex stopMutex;
    std::condition_variable stopSignal;
    bool stopping = false;

    void record(const RecordedRequest& request) {
        if (options.echoRequests) {
            std::fprintf(stderr, "[%s] %s -> %d\n", serviceName(request.service),
                         request.requestLine.c_str(), request.status);
        }
        {
            std::lock_guard lock(logMutex);
            log.push_back(request);
        }
        logChanged.notify_all();
    }

    // Sleeps, but wakes at once when the simulator stops.
    void hold(std::chrono::milliseconds delay) {
        if (delay.count() <= 0) return;
        std::unique_lock lock(stopMutex);
        stopSignal.wait_for(lock, delay, [this] { return stopping; });
    }

    Reply answer(const RecordedRequest& request);
    Reply answerHuawei(const Target& target);
    Reply answerZte(const Target& target);
    Reply answerCoolpad(const RecordedRequest& request, const Target& target);
    Reply answerLg(const Target& target);
    Reply answerIphone(const Target& target);
};

class ServiceServer : public httplib::Server {
  public:
    ServiceServer(Simulator::State& state, VendorService service)
        : state_(state), service_(service) {
        const std::size_t workers = service == VendorService::Iphone ? 8 : 3;
        new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
        const auto handler = [this](const httplib::Request& req, httplib::Response& res) {
            // The simulator answers byte ranges itself; httplib would cut the body again.
            const_cast<httplib::Request&>(req).ranges.clear();
            serve(res);
        };
        Get(".*", handler);
        Post(".*", handler);
        Put(".*", handler);
        Delete(".*", handler);
        Options(".*", handler);
    }

  private:
    void serve(httplib::Response& res) {
        RecordedRequest request = dissect(service_, tConnection.stream->received());
        Reply reply = state_.answer(request);
        request.status = reply.status;
        tConnection.recorded = true;
        Simulator::DelayHook hook;
        std::chrono::milliseconds delay{};
        {
            std::lock_guard lock(state_.knobMutex);
            hook = state_.delayHook;
            delay = state_.delays[indexOf(service_)];
        }
        // Hooks run unlocked: a test's hook may well turn a knob.
        if (hook) delay = hook(request);
        state_.record(request);
        state_.hold(delay);
        res.status = reply.status;
        for (const auto& [name, value] : reply.headers) res.set_header(name, value);
        if (reply.headLength >= 0 && request.method == "HEAD") {
            // httplib sends the provider's length and, for HEAD, never asks it for bytes.
            res.set_content_provider(
                std::size_t(reply.headLength), reply.contentType.c_str(),
                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        } else if (reply.streamLength >= 0 && request.method != "HEAD") {
            // Made as it goes out: a demo file is tens of MiB.
            const std::uint64_t start = reply.streamOffset;
            res.set_content_provider(
                std::size_t(reply.streamLength), reply.contentType.c_str(),
                [start](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    char chunk[65536];
                    const std::size_t n = std::min(length, sizeof chunk);
                    filePattern(start + offset, chunk, n);
                    return sink.write(chunk, n);
                });
        } else {
            res.set_content(reply.body, reply.contentType.c_str());
        }
    }

    // One request per connection, read through a recording stream. The base class would
    // keep the connection alive; the program opens a connection per request anyway.
    bool process_and_close_socket(socket_t sock) override {
        RecordingStream stream(sock);
        tConnection = {&stream, false};
        bool closed = false;
        const bool ok = process_request(stream, true, closed, [&](httplib::Request& req) {
            stream.get_remote_ip_and_port(req.remote_addr, req.remote_port);
            stream.get_local_ip_and_port(req.local_addr, req.local_port);
        });
        if (!tConnection.recorded && !stream.received().empty()) {
            // httplib turned it away (a malformed request line, say): still worth seeing.
            RecordedRequest request = dissect(service_, stream.received() + stream.unread());
            request.status = 400;
            state_.record(request);
        }
        tConnection = {};
        // Half-close, then let the client read the reply before the socket goes.
        ::shutdown(sock, SHUT_WR);
        pollfd p{sock, POLLIN, 0};
        char sink[4096];
        for (int i = 0; i < 50 && ::poll(&p, 1, 20) > 0; ++i) {
            if (::recv(sock, sink, sizeof sink, 0) <= 0) break;
        }
        ::close(sock);
        return ok;
    }

    Simulator::State& state_;
    VendorService service_;
};

// ---------------------------------------------------------------- replies per service

Reply Simulator::State::answer(const RecordedRequest& request) {
    ReplyHook hook;
    {
        std::lock_guard lock(knobMutex);
        hook = replyHooks[indexOf(request.service)];
    }
    if (hook) {
        if (std::optional<Reply> reply = hook(request)) return *reply;
    }
    const Target target = parseTarget(request.target);
    if (target.path.rfind("/files/", 0) == 0)
        return downloadFile(request.method, target.path, request.header("Range"),
                            request.header("If-Range"));
    switch (request.service) {
        case VendorService::Huawei:
            return answerHuawei(target);
        case VendorService::Zte:
            return answerZte(target);
        case VendorService::Coolpad:
            return answerCoolpad(request, target);
        case VendorService::Lg:
            return answerLg(target);
        case VendorService::Iphone:
            return answerIphone(target);
    }
    return {404, "text/plain", "Not Found"};
}

namespace {

Reply notFound() {
    return {404, "text/html;charset=UTF-8",
            "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body>"
            "</html>"};
}

int numberParam(const Target& target, const char* name, int fallback, int low, int high) {
    const std::string text = target.param(name);
    if (text.empty() || text.size() > 9) return fallback;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
    }
    return value < low || value > high ? fallback : value;
}

std::string safeCallback(const std::string& name) {
    if (name.empty() || name.size() > 100) return kHuaweiCallback;
    for (char c : name) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c == '.';
        if (!ok) return kHuaweiCallback;
    }
    return name;
}

}  // namespace

Reply Simulator::State::answerHuawei(const Target& target) {
    if (target.path != "/support/services/service/file/list") return notFound();
    bool ignoresCurPage;
    {
        std::lock_guard lock(knobMutex);
        ignoresCurPage = huaweiIgnoresCurPage;
    }
    if (target.param("keywords") == kOversizeKeyword)
        return {200, "application/javascript;charset=UTF-8", std::string(kOversizeReplyBytes, ' ')};
    const HuaweiProduct* product = findHuaweiProduct(fixtures, target.param("keywords"));
    static const std::vector<HuaweiFile> kNone;
    const int page = ignoresCurPage ? 1 : numberParam(target, "curPage", 1, 1, 1'000'000);
    return {200, "application/javascript;charset=UTF-8",
            huaweiPage(safeCallback(target.param("jsonp")), product ? product->files : kNone,
                       product ? product->productName : "", page,
                       numberParam(target, "pageSize", 5, 1, 100))};
}

Reply Simulator::State::answerZte(const Target& target) {
    if (target.path == "/js/support_search.js") {
        ZteModelList mode;
        {
            std::lock_guard lock(knobMutex);
            mode = zteListMode;
        }
        const std::string type = "application/javascript";
        switch (mode) {
            case ZteModelList::Normal:
                return {200, type, vendorsim::zteModelList(fixtures.ztePrefix, fixtures.zte)};
            case ZteModelList::TenBytes:
                return {200, type,
                        vendorsim::zteModelList(fixtures.ztePrefix, fixtures.zte).substr(0, 10)};
            case ZteModelList::FewItems: {
                std::vector<ZteSeries> few(
                    fixtures.zte.begin(),
                    fixtures.zte.begin() + std::min<std::size_t>(2, fixtures.zte.size()));
                for (ZteSeries& s : few) s.models.resize(std::min<std::size_t>(3, s.models.size()));
                return {200, type, vendorsim::zteModelList(fixtures.ztePrefix, few)};
            }
            case ZteModelList::Empty:
                return {200, type, ""};
            case ZteModelList::NotFound:
                return notFound();
        }
    }
    // "/support/" categoryId "/" modelId ".html"
    static const std::string kHead = "/support/";
    const std::string& path = target.path;
    if (path.compare(0, kHead.size(), kHead) == 0 && path.size() > kHead.size() + 5 &&
        path.compare(path.size() - 5, 5, ".html") == 0) {
        const std::string ids = path.substr(kHead.size(), path.size() - kHead.size() - 5);
        const std::size_t slash = ids.find('/');
        const std::string category = ids.substr(0, slash);
        const std::string id = slash == std::string::npos ? "" : ids.substr(slash + 1);
        for (const ZteSeries& s : fixtures.zte) {
            if (s.categoryId != category) continue;
            for (const ZteModel& m : s.models) {
                if (m.id == id) return {200, "text/html; charset=utf-8", zteFilePage(s, m)};
            }
        }
        return {404, "text/html; charset=utf-8", zteMissingPage()};
    }
    return notFound();
}

Reply Simulator::State::answerCoolpad(const RecordedRequest& request, const Target& target) {
    const std::string type = "text/html;charset=UTF-8";
    if (target.path == "/search/search/searchKeyword/searclist.html") {
        {
            std::lock_guard lock(knobMutex);
            if (coolpadEmptySearch) return {200, type, ""};
        }
        std::string keyword;
        const auto fields = request.method == "POST" ? parseForm(request.body) : target.params;
        for (const auto& [name, value] : fields) {
            if (name == "searchKeywordBO.searchKey") {
                keyword = value;
                break;
            }
        }
        const CoolpadKeyword* found = findCoolpadKeyword(fixtures, keyword);
        if (found && found->large) {
            std::lock_guard lock(largePagesMutex);
            std::string& page = largeCoolpadPages[found->keyword];
            if (page.empty()) page = codepage::gbkToUtf8(coolpadLargeSearchPageGbk(*found));
            return {200, type, page};
        }
        return {200, type, coolpadSearchPage(readingsOf(keyword).front(), found)};
    }
    if (target.path == "/product/download/downloadInfo/downloadInfo.html") {
        const std::string name = target.param("downloadInfoBO.downloadInfo.mobileType");
        return {200, type,
                coolpadDownloadPage(readingsOf(name).front(), findCoolpadType(fixtures, name))};
    }
    return notFound();
}

Reply Simulator::State::answerLg(const Target& target) {
    if (target.path != "/csmg/b2c/client/auth_model_check2.jsp") return notFound();
    return {200, "text/xml;charset=UTF-8", lgReply(fixtures, target.param("esn"))};
}

Reply Simulator::State::answerIphone(const Target& target) {
    const std::string prefix = kIphonePrefix;
    if (target.path.compare(0, prefix.size(), prefix) != 0) return notFound();
    const std::string path = target.path.substr(prefix.size());
    const std::string type = "application/json;charset=UTF-8";
    if (path == "model/getModelSelect.go")
        return {200, type, iphoneTextList(fixtures.iphoneModels)};
    if (path == "model/getVersionSelect.go") {
        return {200, type, iphoneTextList(fixtures.iphoneVersions)};
    }
    if (path == "model/getTypeSelect.go") {
        for (const std::string& model : readingsOf(target.param("model"))) {
            auto it = fixtures.iphoneTypes.find(model);
            if (it != fixtures.iphoneTypes.end()) return {200, type, iphoneTextList(it->second)};
        }
        return {200, type, "[]"};
    }
    if (path == "down/getDown.go") {
        int bulk;
        {
            std::lock_guard lock(knobMutex);
            bulk = iphoneBulkRows;
        }
        return {200, type,
                iphoneFirmwareList(fixtures, target.param("model"), target.param("type"),
                                   target.param("version"), target.param("brush"), bulk)};
    }
    return notFound();
}

// ---------------------------------------------------------------- Simulator

Simulator::Simulator(Options options) : state_(std::make_shared<State>()) {
    state_->options = std::move(options);
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start() {
    State& s = *state_;
    if (s.running) return true;
    const std::string dir =
        s.options.fixtureDir.empty() ? defaultFixtureDir() : s.options.fixtureDir;
    if (!loadFixtures(dir, s.fixtures, s.error)) return false;
    {
        std::lock_guard lock(s.largePagesMutex);
        s.largeCoolpadPages.clear();
    }
    {
        std::lock_guard lock(s.stopMutex);
        s.stopping = false;
    }
    for (VendorService service : kServices) {
        const int i = indexOf(service);
        auto server = std::make_unique<ServiceServer>(s, service);
        server->set_read_timeout(kReadTimeoutMs / 1000);
        int port = s.options.ports[i];
        if (port > 0) {
            if (!server->bind_to_port(s.options.address, port)) port = -1;
        } else {
            port = server->bind_to_any_port(s.options.address);
        }
        if (port <= 0) {
            s.error = std::string("cannot listen for ") + serviceName(service) + " on " +
                      s.options.address + ":" + std::to_string(s.options.ports[i]);
            s.servers[i] = std::move(server);
            s.running = true;
            stop();
            return false;
        }
        s.ports[i] = port;
        // Each server reads only its own service's data, so it changes before that server
        // serves and while the others may.
        if (s.options.demo)
            pointDownloadsAtSimulator(s.fixtures, service,
                                      "http://" + s.options.address + ":" + std::to_string(port));
        ServiceServer* raw = server.get();
        s.servers[i] = std::move(server);
        s.listenEnded[i] = false;
        s.threads[i] = std::thread([raw, &ended = s.listenEnded[i]] {
            raw->listen_after_bind();
            ended = true;
        });
    }
    s.running = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (auto& server : s.servers) {
        while (!server->is_running()) {
            if (std::chrono::steady_clock::now() > deadline) {
                s.error = "a server did not come up";
                stop();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

void Simulator::stop() {
    State& s = *state_;
    if (!s.running) return;
    {
        std::lock_guard lock(s.stopMutex);
        s.stopping = true;
    }
    s.stopSignal.notify_all();
    for (int i = 0; i < kServiceCount; ++i) {
        if (!s.servers[i]) continue;
        // stop() only reaches a server that is listening; one still on its way up would
        // miss it and block its thread for good.
        while (s.threads[i].joinable() && !s.listenEnded[i] && !s.servers[i]->is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        s.servers[i]->stop();
        if (s.threads[i].joinable()) s.threads[i].join();
        s.servers[i].reset();
        s.ports[i] = 0;
    }
    s.running = false;
}

bool Simulator::running() const {
    return state_->running;
}
std::string Simulator::error() const {
    return state_->error;
}
int Simulator::port(VendorService service) const {
    return state_->ports[indexOf(service)];
}
const Fixtures& Simulator::fixtures() const {
    return state_->fixtures;
}

std::string Simulator::overrideValue(VendorService service) const {
    const std::string hostPort = state_->options.address + ":" + std::to_string(port(service));
    return service == VendorService::Iphone ? "http://" + hostPort + kIphonePrefix : hostPort;
}

std::vector<std::pair<std::string, std::string>> Simulator::environment() const {
    std::vector<std::pair<std::string, std::string>> env;
    for (VendorService service : kServices) {
        env.emplace_back(serviceHostVariable(service), overrideValue(service));
    }
    return env;
}

void Simulator::exportEnvironment() const {
    for (const auto& [name, value] : environment()) setenv(name.c_str(), value.c_str(), 1);
}

std::vector<RecordedRequest> Simulator::requests() const {
    std::lock_guard lock(state_->logMutex);
    return state_->log;
}

std::vector<RecordedRequest> Simulator::requests(VendorService service) const {
    std::vector<RecordedRequest> out;
    std::lock_guard lock(state_->logMutex);
    for (const RecordedRequest& r : state_->log) {
        if (r.service == service) out.push_back(r);
    }
    return out;
}

std::size_t Simulator::requestCount(VendorService service) const {
    std::lock_guard lock(state_->logMutex);
    std::size_t n = 0;
    for (const RecordedRequest& r : state_->log) n += r.service == service;
    return n;
}

void Simulator::clearRequests() {
    std::lock_guard lock(state_->logMutex);
    state_->log.clear();
}

bool Simulator::waitForRequests(VendorService service, std::size_t count,
                                std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->logMutex);
    return state_->logChanged.wait_for(lock, timeout, [&] {
        std::size_t n = 0;
        for (const RecordedRequest& r : state_->log) n += r.service == service;
        return n >= count;
    });
}

void Simulator::resetKnobs() {
    std::lock_guard lock(state_->knobMutex);
    State& s = *state_;
    s.huaweiIgnoresCurPage = false;
    s.zteListMode = ZteModelList::Normal;
    s.coolpadEmptySearch = false;
    s.iphoneBulkRows = 0;
    for (auto& delay : s.delays) delay = std::chrono::milliseconds(0);
    s.delayHook = nullptr;
    for (auto& hook : s.replyHooks) hook = nullptr;
}

void Simulator::setHuaweiIgnoresCurPage(bool on) {
    std::lock_guard lock(state_->knobMutex);
    state_->huaweiIgnoresCurPage = on;
}

void Simulator::setZteModelList(ZteModelList mode) {
    std::lock_guard lock(state_->knobMutex);
    state_->zteListMode = mode;
}

void Simulator::setCoolpadEmptySearch(bool on) {
    std::lock_guard lock(state_->knobMutex);
    state_->coolpadEmptySearch = on;
}

void Simulator::setIphoneBulkRows(int rows) {
    std::lock_guard lock(state_->knobMutex);
    state_->iphoneBulkRows = rows < 0 ? 0 : rows;
}

void Simulator::setReplyDelay(VendorService service, std::chrono::milliseconds delay) {
    std::lock_guard lock(state_->knobMutex);
    state_->delays[indexOf(service)] = delay;
}

void Simulator::setDelayHook(DelayHook hook) {
    std::lock_guard lock(state_->knobMutex);
    state_->delayHook = std::move(hook);
}

void Simulator::setReplyHook(VendorService service, ReplyHook hook) {
    std::lock_guard lock(state_->knobMutex);
    state_->replyHooks[indexOf(service)] = std::move(hook);
}

}  // namespace vendorsim
