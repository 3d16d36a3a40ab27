#include "app/link_check.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

#include "app/window/jobs.h"
#include "app/window/qt_text.h"
#include "base/jobs.h"
#include "base/text_util.h"
#include "net/fetch_url.h"

namespace {

constexpr int kHead = 2;

bool startsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && toLowerAscii(text.substr(0, prefix.size())) == prefix;
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

net::ReplyHead checkLink(std::string_view address) {
    std::string replyHeaders;
    // On a job, closing the window drops the request instead of waiting out its time-out.
    net::FetchAbortScope abortable(jobs::currentStop());
    net::fetchUrl(address, kHead, {}, nullptr, nullptr, nullptr, &replyHeaders);
    return net::readReplyHead(replyHeaders);
}

std::string linkCheckText(std::string_view address, const net::ReplyHead& check) {
    // Made on a job thread: translate() is thread-safe. The address keeps its own bytes.
    std::string text(address);
    text += '\n';
    if (!isCheckableAddress(address))
        return text + fromQt(Romhaul::tr("只有 http 和 https 地址可以检查，这个地址无法检查。"));
    if (!check.status) return text + fromQt(Romhaul::tr("链接不可用：服务器没有回应。"));
    const bool reachable = check.status >= 200 && check.status < 300;
    QString result =
        (reachable ? Romhaul::tr("链接可用（HTTP %1）") : Romhaul::tr("链接不可用（HTTP %1）"))
            .arg(check.status);
    // An error page's length and date say nothing about the file.
    if (reachable && check.contentLength >= 0)
        result +=
            u'\n' + Romhaul::tr("大小：") + QString::fromStdString(sizeText(check.contentLength));
    if (reachable && !check.lastModified.empty())
        result += u'\n' + Romhaul::tr("更新时间：") + QString::fromStdString(check.lastModified);
    return text + fromQt(result);
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
    check.onAnswer(check.address + '\n' + fromQt(Romhaul::tr("链接检查没能开始。")));
}
