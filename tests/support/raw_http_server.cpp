#include "tests/support/raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace testsupport {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

int listenOn(int* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 512) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

// Waits until fd is readable or the server stops; false when stopping.
void stopServing(std::atomic<bool>& stopping, std::thread& acceptThread, std::mutex& mutex,
                 std::vector<std::thread>& workers, int listenFd) {
    if (stopping.exchange(true)) return;
    if (acceptThread.joinable()) acceptThread.join();
    std::vector<std::thread> running;
    {
        std::lock_guard lock(mutex);
        running.swap(workers);
    }
    for (auto& t : running) t.join();
    if (listenFd >= 0) ::close(listenFd);
}

bool waitReadable(int fd, const std::atomic<bool>& stopping) {
    while (!stopping.load()) {
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, 50);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

std::string RawRequest::requestLine() const {
    return head.substr(0, head.find("\r\n"));
}

std::string RawRequest::target() const {
    std::string line = requestLine();
    std::size_t a = line.find(' ');
    std::size_t b = line.rfind(' ');
    return a == std::string::npos || b <= a ? "" : line.substr(a + 1, b - a - 1);
}

std::vector<std::string> RawRequest::headerLines() const {
    std::vector<std::string> lines;
    std::size_t i = head.find("\r\n");
    while (i != std::string::npos) {
        i += 2;
        std::size_t end = head.find("\r\n", i);
        if (end == std::string::npos || end == i) break;
        lines.push_back(head.substr(i, end - i));
        i = end;
    }
    return lines;
}

std::string RawRequest::header(std::string_view name) const {
    for (const std::string& line : headerLines()) {
        std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            equalNoCase(std::string_view(line).substr(0, colon), name))
            return std::string(trim(std::string_view(line).substr(colon + 1)));
    }
    return "";
}

RawReply rawReply(std::string status, std::string_view extraHeaders, std::string_view body) {
    RawReply r;
    r.bytes = "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\nConnection: close\r\n" + std::string(extraHeaders) + "\r\n" + std::string(body);
    return r;
}

RawReply keptReply(std::string_view body) {
    RawReply r;
    r.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
              std::string(body);
    r.keepOpen = true;
    return r;
}

RawReply okReply(std::string_view body, std::string_view extraHeaders) {
    return rawReply("200 OK", extraHeaders, body);
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = listenOn(&port_);
    if (listenFd_ >= 0) acceptThread_ = std::thread([this] { acceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
    stop();
}

std::string RawHttpServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<RawRequest> RawHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

RawRequest RawHttpServer::lastRequest() const {
    std::lock_guard lock(mutex_);
    return requests_.empty() ? RawRequest{} : requests_.back();
}

std::size_t RawHttpServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void RawHttpServer::stop() {
    stopServing(stopping_, acceptThread_, mutex_, workers_, listenFd_);
}

void RawHttpServer::acceptLoop() {
    while (waitReadable(listenFd_, stopping_)) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void RawHttpServer::serve(int fd) {
    std::string data;
    char buffer[16384];
    for (;;) {
        std::size_t headEnd = std::string::npos;
        std::size_t need = 0;
        for (;;) {
            if (headEnd == std::string::npos) {
                headEnd = data.find("\r\n\r\n");
                if (headEnd != std::string::npos) {
                    headEnd += 4;
                    RawRequest probe{data.substr(0, headEnd), {}};
                    std::string length = probe.header("Content-Length");
                    need = headEnd + (length.empty() ? 0 : std::stoul(length));
                }
            }
            if (headEnd != std::string::npos && data.size() >= need) break;
            if (!waitReadable(fd, stopping_)) {
                ::close(fd);
                return;
            }
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(fd);
                return;
            }
            data.append(buffer, std::size_t(n));
        }
        RawRequest request{data.substr(0, headEnd), data.substr(headEnd, need - headEnd)};
        data.erase(0, need);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        RawReply reply = handler_(request);
        auto until = std::chrono::steady_clock::now() + reply.delay;
        while (!stopping_.load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        bool sent = true;
        if (reply.trickle.count() > 0) {
            for (std::size_t i = 0; sent && i < reply.bytes.size() && !stopping_.load(); ++i) {
                sent = sendAll(fd, reply.bytes.data() + i, 1);
                std::this_thread::sleep_for(reply.trickle);
            }
        } else {
            sent = sendAll(fd, reply.bytes.data(), reply.bytes.size());
        }
        if (sent && reply.tail) sent = sendAll(fd, reply.tail->data(), reply.tail->size());
        if (sent && reply.source) sent = sendSource(fd, reply);
        if (sent && reply.keepOpen && !reply.hang) continue;
        if (reply.hang) {
            // Hold the connection until the client gives up or the server stops.
            while (waitReadable(fd, stopping_))
                if (::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
        return;
    }
}

bool RawHttpServer::sendSource(int fd, const RawReply& reply) {
    std::vector<char> piece(64 << 10);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t sent = 0;
    while (sent < reply.sourceLength && !stopping_.load()) {
        const std::size_t n =
            std::size_t(std::min<std::uint64_t>(piece.size(), reply.sourceLength - sent));
        reply.source(reply.sourceOffset + sent, piece.data(), n);
        if (!sendAll(fd, piece.data(), n)) return false;
        sent += n;
        bytesSent_ += n;
        if (reply.bytesPerSecond > 0) {
            const auto due =
                start + std::chrono::microseconds(sent * 1000000 / reply.bytesPerSecond);
            while (!stopping_.load() && std::chrono::steady_clock::now() < due)
                std::this_thread::sleep_until(std::min(
                    due, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
        }
    }
    return sent == reply.sourceLength;
}

int unusedPort() {
    int port = 0;
    int fd = listenOn(&port);
    if (fd >= 0) ::close(fd);
    return port;
}

}  // namespace testsupport
