#pragma once
// A small HTTP server on 127.0.0.1 for tests and benchmarks: it records every request's
// raw bytes as they arrived (header lines in their order) and answers with whatever raw
// bytes the handler gives, so a test sees exactly what went on the wire both ways.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

struct RawRequest {
    std::string head;  // request line and header lines, through the blank line
    std::string body;

    std::string requestLine() const;
    std::string target() const;
    // Header lines after the request line, without their line ends.
    std::vector<std::string> headerLines() const;
    // The value of the first header of this name (letter case ignored), or "".
    std::string header(std::string_view name) const;
};

struct RawReply {
    std::string bytes;                        // written as they are
    std::shared_ptr<const std::string> tail;  // then these (large bodies, shared)
    std::chrono::milliseconds delay{0};       // before anything is written
    bool hang = false;  // after writing, keep the connection open until the server stops
    // Non-zero: `bytes` go out one at a time, this long apart (a server that trickles).
    std::chrono::milliseconds trickle{0};
    // After the reply, wait on the same connection for the next request (keep-alive).
    bool keepOpen = false;
    // A body made piece by piece rather than held (files of gigabytes): after `bytes`,
    // sourceLength bytes from sourceOffset, source(offset, out, n) filling each piece.
    std::function<void(std::uint64_t offset, char* out, std::size_t n)> source;
    std::uint64_t sourceOffset = 0;
    std::uint64_t sourceLength = 0;
    std::uint64_t bytesPerSecond = 0;  // non-zero: the source part goes no faster
};

// "HTTP/1.1 200 OK" with Content-Length, Connection: close and the extra header lines
// (each ending in "\r\n").
RawReply okReply(std::string_view body, std::string_view extraHeaders = "");
RawReply rawReply(std::string status, std::string_view extraHeaders, std::string_view body);
// "HTTP/1.1 200 OK" with Content-Length, and the connection kept open for the next request.
RawReply keptReply(std::string_view body);

class RawHttpServer {
  public:
    using Handler = std::function<RawReply(const RawRequest&)>;
    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return port_; }
    std::string base() const;  // "http://127.0.0.1:<port>"
    std::vector<RawRequest> requests() const;
    RawRequest lastRequest() const;
    std::size_t requestCount() const;
    // Connections accepted so far.
    std::size_t connectionCount() const { return connections_.load(); }
    std::uint64_t bytesSent() const { return bytesSent_.load(); }
    void stop();

  private:
    void acceptLoop();
    void serve(int fd);
    bool sendSource(int fd, const RawReply& reply);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connections_{0};
    std::atomic<std::uint64_t> bytesSent_{0};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<RawRequest> requests_;
    std::vector<std::thread> workers_;
};

// A loopback port that nothing listens on (bound once, then released).
int unusedPort();

// Socket pieces the loopback servers share. A listening socket on 127.0.0.1 with a port the
// system picks (-1 on failure); waits until fd is readable or `stopping` is raised (false
// then); writes all of `data` (false when the peer is gone).
int listenOn(int* port);
bool waitReadable(int fd, const std::atomic<bool>& stopping);
bool sendAll(int fd, const char* data, std::size_t size);
// Stops a server once (later calls return at once): raises `stopping`, joins the accepting
// thread and then every worker it started, and closes the listening socket.
void stopServing(std::atomic<bool>& stopping, std::thread& acceptThread, std::mutex& mutex,
                 std::vector<std::thread>& workers, int listenFd);

}  // namespace testsupport
