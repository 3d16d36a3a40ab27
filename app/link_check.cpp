#include "app/link_check.h"

#include <cstdio>
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

jobs::StopFlag startLinkCheck(std::string address,
                              std::function<void(const std::string& answer)> onAnswer) {
    if (!isCheckableAddress(address)) {
        onAnswer(linkCheckText(address, {}));
        return nullptr;
    }
    auto answered = std::make_shared<std::function<void(const std::string&)>>(std::move(onAnswer));
    jobs::StopFlag flag = jobs::start(
        [address, answered] {
            // Stopped while it waited for a thread: its row is gone, it asks nothing.
            if (jobs::stopRequested()) return;
            std::string answer = linkCheckText(address, checkLink(address));
            // A stopped check's list has been refilled, or the window is going.
            if (jobs::stopRequested()) return;
            postToWindow([answered, answer = std::move(answer)] { (*answered)(answer); });
        },
        "link check");
    if (!flag) (*answered)(address + '\n' + fromQt(Romhaul::tr("链接检查没能开始。")));
    return flag;
}

void LinkChecks::start(std::string address,
                       std::function<void(const std::string& answer)> onAnswer) {
    std::erase_if(running_, [](const auto& f) { return f.expired(); });
    if (jobs::StopFlag flag = startLinkCheck(std::move(address), std::move(onAnswer)))
        running_.push_back(flag);
}

void LinkChecks::stop() {
    for (const auto& f : running_)
        if (jobs::StopFlag flag = f.lock()) flag->store(true, std::memory_order_release);
    running_.clear();
}
