#include "vendors/lookup.h"

#include "net/fetch_url.h"
#include "net/url_cookies.h"

FetchReply fetchOverNet(const FetchRequest& request) {
    FetchReply reply;
    reply.body = request.method == 0 ? net::fetchUrl(request.address, 0)
                                     : net::fetchUrl(request.address, request.method, request.body);
    reply.failed = net::lastFetchFailed();
    return reply;
}

FetchReply fetchFor(const LookupContext& ctx, const FetchRequest& request) {
    if (ctx.stopped() || !ctx.fetch) return {{}, true};
    if (ctx.onRequest) ctx.onRequest(request);
    // The scope reaches the real fetch on this thread; a scripted one ignores it.
    const net::FetchAbortScope abort(ctx.stop);
    FetchReply reply = ctx.fetch(request);
    if (ctx.stopped()) return {{}, true};
    return reply;
}

LookupEnd endAfter(const LookupContext& ctx, const FetchReply& reply) {
    if (ctx.stopped()) return LookupEnd::Stopped;
    return reply.failed ? LookupEnd::Failed : LookupEnd::Complete;
}

std::string downloadAddress(std::string_view replyAddress, std::string_view captured) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!captured.empty() && blank(captured.front())) captured.remove_prefix(1);
    while (!captured.empty() && blank(captured.back())) captured.remove_suffix(1);
    if (captured.empty()) return {};
    return net::resolveReference(replyAddress, captured);
}

std::string fetchText(const LookupContext& ctx, const FetchRequest& request, LookupEnd& end) {
    const FetchReply reply = fetchFor(ctx, request);
    end = endAfter(ctx, reply);
    return net::utf8ToText(reply.body);
}
