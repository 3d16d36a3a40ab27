#include "app/link_check.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

#include "app/window/jobs.h"
#include "base/text_util.h"
#include "net/fetch_url.h"

namespace {

constexpr int kHead = 2;
// A date that long is no HTTP date; the note should not carry whatever the server sent.
constexpr std::size_t kMaxDateLength = 64;

bool startsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && toLowerAscii(text.substr(0, prefix.size())) == prefix;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 for anything else.
int statusOf(std::string_view line) {
    if (!startsNoCase(line, "http/")) return 0;
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
    // 18 digits stay far below the int64 limit and past any file a server offers.
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

std::string sizeText(std::int64_t bytes) {
    char out[64];
    const double mb = double(bytes) / (1024.0 * 1024.0);
    // Below 1023.995 MB the two decimals still read less than 1024.00.
    if (mb < 1023.995)
        std::snprintf(out, sizeof out, "%.2f MB", mb);
    else
        std::snprintf(out, sizeof out, "%.2f GB", mb / 1024.0);
    return out;
}

struct PendingCheck {
    std::string address;
    std::function<void(const std::string&)> onAnswer;
};

// A job takes one waiting check. Never destroyed: a job may still run while the program ends.
std::mutex pendingMutex;
std::deque<PendingCheck>& pending() {
    static auto* checks = new std::deque<PendingCheck>;
    return *checks;
}

void runPendingCheck() {
    PendingCheck check;
    {
        std::lock_guard lock(pendingMutex);
        if (pending().empty()) return;
        check = std::move(pending().front());
        pending().pop_front();
    }
    std::string answer = linkCheckText(check.address, checkLink(check.address));
    postToWindow(
        [onAnswer = std::move(check.onAnswer), answer = std::move(answer)] { onAnswer(answer); });
}

}  // namespace

bool isCheckableAddress(std::string_view address) {
    return startsNoCase(address, "http://") || startsNoCase(address, "https://");
}

LinkCheck readLinkReply(std::string_view replyHeaders) {
    LinkCheck check;
    const std::vector<std::string> lines = splitText(replyHeaders, "\r\n");
    if (lines.empty()) return check;
    check.status = statusOf(lines.front());
    if (!check.status) return check;
    bool sized = false, dated = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = toLowerAscii(trimSpaces(line.substr(0, colon)));
        if (name == "content-length" && !sized) {
            sized = true;
            check.size = lengthOf(net::headerValue(line));
        } else if (name == "last-modified" && !dated) {
            dated = true;
            std::string value = net::headerValue(line);
            if (value.size() <= kMaxDateLength && isPrintableAscii(value))
                check.lastModified = std::move(value);
        }
    }
    return check;
}

LinkCheck checkLink(std::string_view address) {
    std::string replyHeaders;
    net::fetchUrl(address, kHead, {}, nullptr, nullptr, nullptr, &replyHeaders);
    return readLinkReply(replyHeaders);
}

std::string linkCheckText(std::string_view address, const LinkCheck& check) {
    std::string text(address);
    text += '\n';
    if (!isCheckableAddress(address)) {
        text += gbk("只有 http 和 https 地址可以检查，这个地址无法检查。");
        return text;
    }
    if (!check.status) {
        text += gbk("链接不可用：服务器没有回应。");
        return text;
    }
    const bool reachable = check.status >= 200 && check.status < 300;
    text += gbk(reachable ? "链接可用（HTTP " : "链接不可用（HTTP ");
    text += std::to_string(check.status);
    text += gbk("）");
    // An error page's length and date say nothing about the file.
    if (!reachable) return text;
    if (check.size >= 0) text += gbk("\n大小：") + sizeText(check.size);
    if (!check.lastModified.empty()) text += gbk("\n更新时间：") + check.lastModified;
    return text;
}

void startLinkCheck(std::string address, std::function<void(const std::string& answer)> onAnswer) {
    if (!isCheckableAddress(address)) {
        onAnswer(linkCheckText(address, {}));
        return;
    }
    {
        std::lock_guard lock(pendingMutex);
        pending().push_back({address, std::move(onAnswer)});
    }
    if (startJob(runPendingCheck)) return;
    // No thread: the check just queued (the last one, as no job took it) is answered here.
    PendingCheck check;
    {
        std::lock_guard lock(pendingMutex);
        if (pending().empty()) return;
        check = std::move(pending().back());
        pending().pop_back();
    }
    check.onAnswer(std::string(check.address) + '\n' + gbk("链接检查没能开始。"));
}
