// Cookie merging on arbitrary jars and reply cookies (the reply side is network text):
// the merged jar is stored back, holds no item twice and no deleted cookie.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "base/text_util.h"
#include "net/fetch_url.h"
#include "net/url_cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    std::string jar = input.substr(0, cut);
    std::string fresh = cut == std::string::npos ? "" : input.substr(cut + 1);

    const std::string merged = net::mergeCookies(jar, fresh);
    if (merged != jar) std::abort();
    std::unordered_set<std::string> seen;
    for (const std::string& item : splitText(merged, "; ")) {
        if (item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0) std::abort();
        if (!seen.insert(item).second) std::abort();
    }
    // The helpers that read reply header lines.
    net::cookieName(input);
    net::headerValue(input);
    net::textBetween(input, "Set-Cookie:", ";");
    net::textBetween(jar, "=", ";", int(size % 7), size % 2 == 0);
    net::dedupeItems(input, cut == std::string::npos ? "; " : input.substr(0, cut % 3));
    return 0;
}
