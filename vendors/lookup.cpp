#include "vendors/lookup.h"

#include "net/fetch_url.h"
#include "net/url_cookies.h"
#include "vendors/service_hosts.h"

namespace {

// The status code of the final response's header block ("HTTP/1.1 404 Not Found"); 0
// when there is none.
int statusOf(std::string_view headers) {
    if (headers.substr(0, 5) != "HTTP/") return 0;
    const std::size_t space = headers.find(' ');
    if (space == std::string_view::npos || space + 4 > headers.size()) return 0;
    int status = 0;
    for (char c : headers.substr(space + 1, 3)) {
        if (c < '0' || c > '9') return 0;
        status = status * 10 + (c - '0');
    }
    return status;
}

}  // namespace

std::size_t serviceReplyCap(VendorService service) {
    switch (service) {
        case VendorService::Zte:
        case VendorService::Iphone:
            return std::size_t(4) << 20;
        case VendorService::Coolpad:
            // Three of the search reader's 500,000-byte pieces, each matched on its own.
            return 1'500'000;
        case VendorService::Huawei:
        case VendorService::Lg:
            break;
    }
    return std::size_t(2) << 20;
}

FetchReply fetchOverNet(const FetchRequest& request) {
    FetchReply reply;
    std::string headers;
    reply.body = net::fetchUrl(request.address, request.method,
                               request.method == 0 ? std::optional<std::string_view>()
                                                   : std::optional<std::string_view>(request.body),
                               nullptr, nullptr, nullptr, &headers);
    if (net::lastFetchFailed()) {
        reply.failed = true;
        reply.failure = {net::lastFetchTooLarge() ? FailureKind::TooLarge : FailureKind::Network, 0,
                         net::lastFetchError()};
    } else if (const int status = statusOf(headers); status >= 400) {
        reply.failed = true;
        reply.failure = {FailureKind::HttpStatus, status};
    }
    if (reply.failed) reply.body.clear();
    return reply;
}

FetchReply fetchFor(const LookupContext& ctx, VendorService service, const FetchRequest& request) {
    if (ctx.stopped() || !ctx.fetch) return {{}, true};
    if (ctx.onRequest) ctx.onRequest(request);
    // The scope reaches the real fetch on this thread; a scripted one ignores it.
    const net::FetchAbortScope abort(ctx.stop);
    FetchReply reply = ctx.fetch(request);
    if (ctx.stopped()) return {{}, true};
    if (reply.failed && reply.failure.kind == FailureKind::None)
        reply.failure.kind = FailureKind::Network;
    // The readers' time and memory grow with the reply; past its cap it is not read at all.
    if (!reply.failed && reply.body.size() > serviceReplyCap(service)) {
        reply = {{}, true, {FailureKind::TooLarge}};
    }
    return reply;
}

LookupEnd endAfter(const LookupContext& ctx, const FetchReply& reply) {
    if (ctx.stopped()) return LookupEnd::Stopped;
    return reply.failed ? LookupEnd::Failed : LookupEnd::Complete;
}

void endAfter(const LookupContext& ctx, const FetchReply& reply, LookupStatus& status) {
    status.end = endAfter(ctx, reply);
    status.failure = status.end == LookupEnd::Failed ? reply.failure : Failure{};
}

std::string downloadAddress(std::string_view replyAddress, std::string_view captured) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!captured.empty() && blank(captured.front())) captured.remove_prefix(1);
    while (!captured.empty() && blank(captured.back())) captured.remove_suffix(1);
    if (captured.empty()) return {};
    return net::resolveReference(replyAddress, captured);
}

std::string fetchText(const LookupContext& ctx, VendorService service, const FetchRequest& request,
                      LookupStatus& status) {
    const FetchReply reply = fetchFor(ctx, service, request);
    endAfter(ctx, reply, status);
    return net::utf8ToText(reply.body);
}
