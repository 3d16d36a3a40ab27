#include "net/proxy_settings.h"

#include <mutex>

#include "platform/wininet.h"

namespace net {
namespace {

std::mutex settingsMutex;
ProxySettings current;

bool usableHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (unsigned char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == ':';
        if (!ok) return false;
    }
    return true;
}

bool oneLine(const std::string& text) {
    return text.find_first_of("\r\n", 0) == std::string::npos &&
           text.find('\0') == std::string::npos;
}

}  // namespace

bool setProxySettings(const ProxySettings& settings) {
    wininet::ProxyConfig config;
    switch (settings.mode) {
        case ProxyMode::None:
            config.mode = wininet::ProxyConfig::Mode::Direct;
            break;
        case ProxyMode::System:
            config.mode = wininet::ProxyConfig::Mode::Environment;
            break;
        case ProxyMode::Http:
        case ProxyMode::Socks5: {
            std::string host = settings.host;
            if (host.size() > 2 && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
            if (!usableHost(host) || settings.port < 1 || settings.port > 65535 ||
                !oneLine(settings.user) || !oneLine(settings.password))
                return false;
            if (host.find(':') != std::string::npos) host = "[" + host + "]";
            // socks5h: the proxy resolves names, so a shop whose only way out is the proxy
            // needs no DNS of its own.
            config.mode = wininet::ProxyConfig::Mode::Manual;
            config.proxy =
                std::string(settings.mode == ProxyMode::Http ? "http://" : "socks5h://") + host +
                ":" + std::to_string(settings.port);
            config.user = settings.user;
            config.password = settings.user.empty() ? "" : settings.password;
            break;
        }
    }
    std::lock_guard lock(settingsMutex);
    current = settings;
    wininet::setPreconfiguredProxy(config);
    return true;
}

ProxySettings proxySettings() {
    std::lock_guard lock(settingsMutex);
    return current;
}

}  // namespace net
