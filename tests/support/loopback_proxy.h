#pragma once
// Small forward proxies and a slow link on 127.0.0.1 for tests and benchmarks.
//
// LoopbackProxy is an HTTP proxy (absolute-form requests, CONNECT tunnels) or a SOCKS5
// proxy (CONNECT; no authentication, or user name and password). Whatever host a client
// names, the proxy connects to `upstreamPort` on loopback, so that a name such as
// vendor.example reaches a loopback server only by way of the proxy. It records what
// clients asked for. Refusing, it answers 407 (HTTP) or "connection not allowed" (SOCKS5).
//
// LatencyRelay stands in front of an HTTP server on loopback as a long link would: a new
// connection's first request waits one round trip (the handshake), and each request and
// reply takes half a round trip. It keeps the client's connection alive even when the
// server behind it closes its own after every reply (it asks the server anew each time and
// drops the reply's Connection line), so that kept connections show on the link as they
// would with a server that keeps them.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class LoopbackProxy {
  public:
    enum class Kind { Http, Socks5 };
    struct Options {
        Kind kind = Kind::Http;
        int upstreamPort = 0;
        bool refuse = false;
        // SOCKS5: when set, the proxy asks for user name and password and takes only these.
        std::string user = {}, password = {};
    };
    explicit LoopbackProxy(Options options);
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" or "socks5h://127.0.0.1:<port>".
    std::string address() const;
    // One entry per request or tunnel, in order: "GET http://host/path" (HTTP), "CONNECT
    // host:443" (HTTP tunnel), "host:port" (SOCKS5).
    std::vector<std::string> asked() const;
    // Proxy-Authorization values (HTTP) or "user:password" (SOCKS5) as received.
    std::vector<std::string> credentials() const;
    std::size_t connectionCount() const { return connections_.load(); }
    void stop();

  private:
    void serve(int fd);
    void serveHttp(int fd);
    void serveSocks(int fd);
    void note(std::vector<std::string>& list, std::string entry);

    Options options_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connections_{0};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::string> asked_, credentials_;
    std::vector<std::thread> workers_;
};

class LatencyRelay {
  public:
    LatencyRelay(int upstreamPort, std::chrono::milliseconds roundTrip);
    ~LatencyRelay();
    LatencyRelay(const LatencyRelay&) = delete;
    LatencyRelay& operator=(const LatencyRelay&) = delete;

    int port() const { return port_; }
    std::size_t connectionCount() const { return connections_.load(); }
    void stop();

  private:
    void serve(int fd);

    int upstreamPort_;
    std::chrono::milliseconds roundTrip_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connections_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
};

}  // namespace testsupport
