#include "net/reply_head.h"

#include <vector>

#include "base/text_util.h"
#include "net/fetch_url.h"

namespace net {
namespace {

// An HTTP date is 29 characters; anything much longer is not one.
constexpr std::size_t kMaxDateLength = 64;

// "HTTP/1.1 404 Not Found" -> 404; 0 for anything else.
int statusOf(std::string_view line) {
    if (line.size() < 5 || toLowerAscii(line.substr(0, 5)) != "http/") return 0;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) return 0;
    int status = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        status = status * 10 + (line[i] - '0');
    }
    if (line.size() > space + 4 && line[space + 4] != ' ') return 0;
    return status >= 100 && status <= 599 ? status : 0;
}

std::int64_t lengthOf(std::string_view value) {
    // 18 digits stay below the int64 limit and beyond any file a server offers.
    if (value.empty() || value.size() > 18) return -1;
    std::int64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool isPrintableAscii(std::string_view text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

}  // namespace

ReplyHead readReplyHead(std::string_view replyHeaders) {
    ReplyHead head;
    const std::vector<std::string> lines = splitText(replyHeaders, "\r\n");
    if (lines.empty()) return head;
    head.status = statusOf(lines.front());
    if (!head.status) return head;
    bool sized = false, dated = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = toLowerAscii(trimSpaces(line.substr(0, colon)));
        if (name == "content-length" && !sized) {
            sized = true;
            head.contentLength = lengthOf(headerValue(line));
        } else if (name == "last-modified" && !dated) {
            dated = true;
            std::string value = headerValue(line);
            if (value.size() <= kMaxDateLength && isPrintableAscii(value))
                head.lastModified = std::move(value);
        }
    }
    return head;
}

}  // namespace net
