// Address splitting on arbitrary bytes: the host, port and path routines and the request
// target built from the path must stay in bounds and keep their shapes; resolving the text
// after the first line break against the line before it stays in bounds and never grows
// past the two together (plus the "/", ":", "//", "?" and "#" it may put back).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text_util.h"
#include "net/url_cookies.h"
#include "platform/wininet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const std::string host = net::urlHost(url);
    const std::string hostPort = net::urlHost(url, true);
    // Character-wise: a trail byte of a two-byte character may well be 0x2F or 0x3A.
    if (findText(host, "/") || findText(host, ":")) std::abort();
    if (hostPort.compare(0, host.size(), host) != 0) std::abort();
    const int port = net::urlPort(url);
    if (port < 0) std::abort();
    const std::string path = net::urlPath(url);
    if (path.empty() || path[0] != '/') std::abort();
    if (path != "/" && url.find(path) == std::string::npos) std::abort();
    const std::string target = wininet::requestTarget(path);
    for (unsigned char c : target)
        if (c <= 0x20 || c >= 0x7F || c == '#' || c == '"' || c == '<' || c == '>') std::abort();
    const std::size_t cut = std::min(url.find('\n'), url.size());
    const std::string base = url.substr(0, cut);
    const std::string reference = url.substr(std::min(cut + 1, url.size()));
    if (net::resolveReference(base, reference).size() > base.size() + reference.size() + 7)
        std::abort();
    return 0;
}
