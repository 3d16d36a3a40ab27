#pragma once
// The proxy every request of the process goes through (fetchUrl without a proxy of its
// own). The window's settings set it at start-up and whenever the user changes it; the
// command-line tool leaves it at System. Safe to call from any thread; requests that start
// afterwards take the new setting, the ones in flight finish as they began.
#include <string>

namespace net {

enum class ProxyMode {
    None,    // direct connections, whatever the environment says
    System,  // the environment's http_proxy, https_proxy, all_proxy and no_proxy (either
             // letter case): the default
    Http,    // an HTTP proxy at host:port (secure requests tunnel through it with CONNECT)
    Socks5,  // a SOCKS5 proxy at host:port, which also resolves the host names
};

struct ProxySettings {
    ProxyMode mode = ProxyMode::System;
    std::string host = {};  // Http and Socks5: a host name, an IPv4 address or an IPv6 address
    int port = 0;           // Http and Socks5: 1 to 65535
    // Optional; an empty user means none. Sent as the proxy's basic authentication (HTTP)
    // or the SOCKS5 user name and password.
    std::string user = {};
    std::string password = {};

    bool operator==(const ProxySettings&) const = default;
};

// False, and nothing changes, when a manual proxy (Http, Socks5) has no usable host or port
// or a line break in its user or password. The loopback host (localhost, 127.0.0.1, ::1)
// is reached directly in every mode: a proxy elsewhere cannot reach this machine's loopback.
bool setProxySettings(const ProxySettings& settings);
ProxySettings proxySettings();

}  // namespace net
