#include "tests/support/loopback_proxy.h"

#include "tests/support/raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace testsupport {
namespace {

// The string overload below would hide the shared one.
using testsupport::sendAll;
using Clock = std::chrono::steady_clock;

int connectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(std::uint16_t(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool sendAll(int fd, const std::string& s) {
    return sendAll(fd, s.data(), s.size());
}

// Reads into `data` until it holds `size` bytes; false when the peer closes first.
bool readAtLeast(int fd, std::string& data, std::size_t size, const std::atomic<bool>& stopping) {
    char buffer[16384];
    while (data.size() < size) {
        if (!waitReadable(fd, stopping)) return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, std::size_t(n));
    }
    return true;
}

// Reads until `data` holds a header block; its end (after the blank line), or npos.
std::size_t readHead(int fd, std::string& data, const std::atomic<bool>& stopping) {
    char buffer[16384];
    for (;;) {
        const std::size_t end = data.find("\r\n\r\n");
        if (end != std::string::npos) return end + 4;
        if (data.size() > (1 << 20) || !waitReadable(fd, stopping)) return std::string::npos;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return std::string::npos;
        data.append(buffer, std::size_t(n));
    }
}

// Both ways at once until both sides have closed (or the proxy stops).
void pipeBoth(int a, int b, const std::atomic<bool>& stopping) {
    bool aOpen = true, bOpen = true;
    char buffer[16384];
    while ((aOpen || bOpen) && !stopping.load()) {
        pollfd p[2] = {{a, short(aOpen ? POLLIN : 0), 0}, {b, short(bOpen ? POLLIN : 0), 0}};
        if (::poll(p, 2, 50) < 0 && errno != EINTR) return;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int from = i == 0 ? a : b, to = i == 0 ? b : a;
            const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
            if (n > 0 && sendAll(to, buffer, std::size_t(n))) continue;
            ::shutdown(to, SHUT_WR);
            (i == 0 ? aOpen : bOpen) = false;
            if (n < 0) return;  // a reset: the other side is dropped too
        }
    }
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The value of a header line in `head`, letter case of the name ignored; "" when absent.
std::string headerIn(const std::string& head, const std::string& name) {
    const std::string want = lower(name) + ":";
    std::size_t i = head.find("\r\n");
    while (i != std::string::npos && i + 2 < head.size()) {
        i += 2;
        const std::size_t end = head.find("\r\n", i);
        if (end == std::string::npos) break;
        std::string line = head.substr(i, end - i);
        if (lower(line.substr(0, want.size())) == want) {
            std::string value = line.substr(want.size());
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            return value;
        }
        i = end;
    }
    return "";
}

// The request as the origin takes it: origin-form target, no hop-by-hop headers, and the
// connection closed after the reply so that the reply ends where the connection does.
std::string forOrigin(const std::string& head, std::string& target) {
    const std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const std::size_t a = line.find(' '), b = line.rfind(' ');
    target = line.substr(a + 1, b - a - 1);
    std::string path = target;
    const std::size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    std::string out = line.substr(0, a) + " " + path + line.substr(b) + "\r\n";
    std::size_t i = lineEnd + 2;
    while (i < head.size()) {
        const std::size_t end = head.find("\r\n", i);
        if (end == i || end == std::string::npos) break;
        const std::string header = head.substr(i, end - i);
        const std::string name = lower(header.substr(0, header.find(':')));
        if (name != "connection" && name != "proxy-connection" && name != "proxy-authorization")
            out += header + "\r\n";
        i = end + 2;
    }
    return out + "Connection: close\r\n\r\n";
}

}  // namespace

LoopbackProxy::LoopbackProxy(Options options) : options_(std::move(options)) {
    listenFd_ = listenOn(&port_);
    if (listenFd_ < 0) return;
    acceptThread_ = std::thread([this] {
        while (waitReadable(listenFd_, stopping_)) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, fd] {
                serve(fd);
                ::close(fd);
            });
        }
    });
}

LoopbackProxy::~LoopbackProxy() {
    stop();
}

void LoopbackProxy::stop() {
    stopServing(stopping_, acceptThread_, mutex_, workers_, listenFd_);
}

std::string LoopbackProxy::address() const {
    return std::string(options_.kind == Kind::Http ? "http" : "socks5h") +
           "://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LoopbackProxy::asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

std::vector<std::string> LoopbackProxy::credentials() const {
    std::lock_guard lock(mutex_);
    return credentials_;
}

void LoopbackProxy::note(std::vector<std::string>& list, std::string entry) {
    std::lock_guard lock(mutex_);
    list.push_back(std::move(entry));
}

void LoopbackProxy::serve(int fd) {
    if (options_.kind == Kind::Http)
        serveHttp(fd);
    else
        serveSocks(fd);
}

void LoopbackProxy::serveHttp(int fd) {
    std::string data;
    for (;;) {
        const std::size_t headEnd = readHead(fd, data, stopping_);
        if (headEnd == std::string::npos) return;
        const std::string head = data.substr(0, headEnd);
        const std::string length = headerIn(head, "Content-Length");
        const std::size_t need = headEnd + (length.empty() ? 0 : std::stoul(length));
        if (!readAtLeast(fd, data, need, stopping_)) return;
        const std::string body = data.substr(headEnd, need - headEnd);
        data.erase(0, need);

        const std::string auth = headerIn(head, "Proxy-Authorization");
        if (!auth.empty()) note(credentials_, auth);
        std::string target;
        const std::string request = forOrigin(head, target);
        const std::string method = head.substr(0, head.find(' '));
        note(asked_, method + " " + target);
        if (options_.refuse) {
            sendAll(fd,
                    "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: "
                    "Basic realm=\"test\"\r\nContent-Length: 6\r\n\r\ndenied");
            continue;
        }
        const int up = connectLoopback(options_.upstreamPort);
        if (up < 0) {
            sendAll(fd, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            continue;
        }
        if (method == "CONNECT") {
            sendAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n");
            if (!data.empty()) sendAll(up, data);
            pipeBoth(fd, up, stopping_);
            ::close(up);
            return;
        }
        sendAll(up, request + body);
        // The reply ends where the origin closes; the client's connection stays.
        char buffer[16384];
        while (waitReadable(up, stopping_)) {
            const ssize_t n = ::recv(up, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(fd, buffer, std::size_t(n))) break;
        }
        ::close(up);
    }
}

void LoopbackProxy::serveSocks(int fd) {
    std::string data;
    // Greeting: version 5, the methods offered.
    if (!readAtLeast(fd, data, 2, stopping_) || data[0] != 5) return;
    const std::size_t methods = static_cast<unsigned char>(data[1]);
    if (!readAtLeast(fd, data, 2 + methods, stopping_)) return;
    const bool wantAuth = !options_.user.empty();
    const char method = wantAuth ? 2 : 0;
    if (data.substr(2, methods).find(method) == std::string::npos) {
        sendAll(fd, std::string("\x05\xff", 2));
        return;
    }
    sendAll(fd, std::string{5, method});
    data.erase(0, 2 + methods);
    if (wantAuth) {
        // Version 1, user length, user, password length, password.
        if (!readAtLeast(fd, data, 2, stopping_)) return;
        const std::size_t ulen = static_cast<unsigned char>(data[1]);
        if (!readAtLeast(fd, data, 3 + ulen, stopping_)) return;
        const std::size_t plen = static_cast<unsigned char>(data[2 + ulen]);
        if (!readAtLeast(fd, data, 3 + ulen + plen, stopping_)) return;
        const std::string user = data.substr(2, ulen), password = data.substr(3 + ulen, plen);
        note(credentials_, user + ":" + password);
        data.erase(0, 3 + ulen + plen);
        const bool ok = user == options_.user && password == options_.password;
        sendAll(fd, std::string{1, char(ok ? 0 : 1)});
        if (!ok) return;
    }
    // Request: version, command, reserved, address type, address, port.
    if (!readAtLeast(fd, data, 5, stopping_)) return;
    const int type = data[3];
    std::string host;
    std::size_t end = 0;
    if (type == 1) {
        if (!readAtLeast(fd, data, 10, stopping_)) return;
        char dotted[16];
        std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", unsigned(std::uint8_t(data[4])),
                      unsigned(std::uint8_t(data[5])), unsigned(std::uint8_t(data[6])),
                      unsigned(std::uint8_t(data[7])));
        host = dotted;
        end = 8;
    } else if (type == 3) {
        const std::size_t len = static_cast<unsigned char>(data[4]);
        if (!readAtLeast(fd, data, 7 + len, stopping_)) return;
        host = data.substr(5, len);
        end = 5 + len;
    } else {
        if (!readAtLeast(fd, data, 22, stopping_)) return;
        host = "ipv6";
        end = 20;
    }
    const int port =
        static_cast<unsigned char>(data[end]) * 256 + static_cast<unsigned char>(data[end + 1]);
    note(asked_, host + ":" + std::to_string(port));
    data.erase(0, end + 2);
    const int up = options_.refuse ? -1 : connectLoopback(options_.upstreamPort);
    // Reply: succeeded, or 2 "connection not allowed by ruleset"; bound address 0.0.0.0:0.
    std::string reply{5, char(up < 0 ? 2 : 0), 0, 1, 0, 0, 0, 0, 0, 0};
    sendAll(fd, reply);
    if (up < 0) return;
    if (!data.empty()) sendAll(up, data);
    pipeBoth(fd, up, stopping_);
    ::close(up);
}

LatencyRelay::LatencyRelay(int upstreamPort, std::chrono::milliseconds roundTrip)
    : upstreamPort_(upstreamPort), roundTrip_(roundTrip) {
    listenFd_ = listenOn(&port_);
    if (listenFd_ < 0) return;
    acceptThread_ = std::thread([this] {
        while (waitReadable(listenFd_, stopping_)) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::lock_guard lock(mutex_);
            workers_.emplace_back([this, fd] { serve(fd); });
        }
    });
}

LatencyRelay::~LatencyRelay() {
    stop();
}

void LatencyRelay::stop() {
    stopServing(stopping_, acceptThread_, mutex_, workers_, listenFd_);
}

namespace {

// The reply without its Connection line: the origin behind the relay closes every
// connection, but the link in front of it keeps the client's.
std::string keptAlive(std::string reply) {
    const std::size_t headEnd = reply.find("\r\n\r\n");
    std::size_t i = reply.find("\r\n");
    while (i != std::string::npos && i < headEnd) {
        const std::size_t end = reply.find("\r\n", i + 2);
        if (lower(reply.substr(i + 2, 11)) == "connection:") {
            reply.erase(i, end - i);
            return reply;
        }
        i = end;
    }
    return reply;
}

}  // namespace

void LatencyRelay::serve(int fd) {
    const auto oneWay = roundTrip_ / 2;
    const auto handshakeDone = Clock::now() + roundTrip_;
    std::string data;
    for (;;) {
        const std::size_t headEnd = readHead(fd, data, stopping_);
        if (headEnd == std::string::npos) break;
        const std::string length = headerIn(data.substr(0, headEnd), "Content-Length");
        const std::size_t need = headEnd + (length.empty() ? 0 : std::stoul(length));
        if (!readAtLeast(fd, data, need, stopping_)) break;
        const std::string request = data.substr(0, need);
        data.erase(0, need);
        // A new connection's request leaves once the handshake is done.
        std::this_thread::sleep_until(std::max(Clock::now(), handshakeDone) + oneWay);
        const int up = connectLoopback(upstreamPort_);
        if (up < 0) break;
        std::string reply;
        char buffer[16384];
        sendAll(up, request);
        while (waitReadable(up, stopping_)) {
            const ssize_t n = ::recv(up, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            reply.append(buffer, std::size_t(n));
        }
        ::close(up);
        std::this_thread::sleep_for(oneWay);
        if (!sendAll(fd, keptAlive(std::move(reply)))) break;
    }
    ::close(fd);
}

}  // namespace testsupport
