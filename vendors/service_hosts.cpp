#include "vendors/service_hosts.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int kLgDefaultPort = 9002;

struct ServiceEntry {
    const char* variable;
    const char* publicHost;
};

// The iPhone catalogue has no vendor of its own and no public host we could name with
// confidence; a reserved name fails fast instead of sending look-ups to a stranger.
constexpr ServiceEntry kServices[] = {
    {"ROMHAUL_HUAWEI_HOST", "consumer.huawei.com"},
    {"ROMHAUL_ZTE_HOST", "support.zte.com.cn"},
    {"ROMHAUL_COOLPAD_HOST", "www.coolpad.com"},
    {"ROMHAUL_LG_HOST", "csmg.lgmobile.com"},
    {"ROMHAUL_IPHONE_BASE", "http://iphone-catalogue.invalid/"},
};

const ServiceEntry& entryOf(VendorService service) {
    return kServices[static_cast<int>(service)];
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool isPort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return false;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool isHostName(std::string_view name) {
    if (name.empty()) return false;
    if (name.front() == '[') {  // an IPv6 literal
        if (name.size() < 3 || name.back() != ']') return false;
        for (char c : name.substr(1, name.size() - 2)) {
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex && c != ':' && c != '.') return false;
        }
        return true;
    }
    for (char c : name) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '-' || c == '.' || c == '_';
        if (!ok) return false;
    }
    return true;
}

// Splits "name[:port]" and checks both halves; an IPv6 literal keeps its brackets.
bool splitHostPort(std::string_view hostPort, std::string_view& name, std::string_view& port) {
    std::size_t colon = std::string_view::npos;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':') return false;
            colon = close + 1;
        }
    } else {
        colon = hostPort.find(':');
    }
    name = hostPort.substr(0, colon);
    port = colon == std::string_view::npos ? std::string_view() : hostPort.substr(colon + 1);
    if (!isHostName(name)) return false;
    return colon == std::string_view::npos || isPort(port);
}

std::string overrideOf(VendorService service) {
    const char* value = std::getenv(entryOf(service).variable);
    return value ? std::string(trimmed(value)) : std::string();
}

// A usable "host[:port]" from an override, or "" to fall back to the public host.
std::string usableHost(std::string_view value) {
    if (startsWithNoCase(value, "http://")) value.remove_prefix(7);
    while (!value.empty() && value.back() == '/') value.remove_suffix(1);
    std::string_view name, port;
    if (!splitHostPort(value, name, port)) return {};
    return std::string(value);
}

// A usable base address, ending in "/", or "" to fall back to the public one. An address
// without a scheme is taken as plain HTTP, as the request routine would take it.
std::string usableBase(std::string_view value) {
    for (char c : value) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '#') return {};
    }
    std::string base;
    if (startsWithNoCase(value, "http://") || startsWithNoCase(value, "https://")) {
        base = std::string(value);
    } else if (value.find("://") != std::string_view::npos) {
        return {};
    } else {
        base = "http://" + std::string(value);
    }
    const std::size_t hostStart = base.find("://") + 3;
    const std::size_t hostEnd = base.find('/', hostStart);
    std::string_view name, port;
    const std::string_view authority = std::string_view(base).substr(
        hostStart, hostEnd == std::string::npos ? std::string::npos : hostEnd - hostStart);
    if (!splitHostPort(authority, name, port)) return {};
    if (base.back() != '/') base += '/';
    return base;
}

std::string iphoneBaseAddress() {
    std::string base = usableBase(overrideOf(VendorService::Iphone));
    return base.empty() ? std::string(entryOf(VendorService::Iphone).publicHost) : base;
}

}  // namespace

bool iphoneBaseConfigured() {
    return !usableBase(overrideOf(VendorService::Iphone)).empty();
}

const char* serviceHostVariable(VendorService service) {
    return entryOf(service).variable;
}

std::string serviceHost(VendorService service) {
    if (service == VendorService::Iphone) {
        const std::string base = iphoneBaseAddress();
        const std::size_t hostStart = base.find("://") + 3;
        return base.substr(hostStart, base.find('/', hostStart) - hostStart);
    }
    std::string host = usableHost(overrideOf(service));
    if (host.empty()) host = entryOf(service).publicHost;
    if (service == VendorService::Lg) {
        std::string_view name, port;
        splitHostPort(host, name, port);
        // Two appends: GCC 12 at -O3 reads ":" + to_string(...) as an overlapping copy
        // (-Wrestrict) and fails the Release build.
        if (port.empty()) {
            host += ':';
            host += std::to_string(kLgDefaultPort);
        }
    }
    return host;
}

std::string serviceBase(VendorService service) {
    if (service == VendorService::Iphone) return iphoneBaseAddress();
    return "http://" + serviceHost(service);
}
