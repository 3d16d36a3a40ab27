#pragma once
// What every vendor look-up is built on: the requests it sends go through one fetch seam,
// a callable that defaults to fetchUrl. Tests script a look-up's request sequence with a
// fetch of their own, without a window or a server; the window and the command-line tool
// run the real one. A look-up can be stopped from another thread, and tells a request that
// failed apart from one that was answered with nothing.
//
// Look-ups block their calling thread until they end; they touch no program-wide state, so
// any thread may run one. Texts are code page 936 (GBK) bytes, as every program text.
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

// One request as a look-up hands it to the fetch: the address as built (neither trimmed
// nor encoded here), the method (0 GET, 1 POST) and, for a POST, the form body as text.
struct FetchRequest {
    std::string address;
    int method = 0;
    std::string body = {};

    bool operator==(const FetchRequest&) const = default;
};

// What came back: the reply body as sent (the services send UTF-8), or a failure (no
// connection, a time-out, the reply cap, a broken or aborted transfer), whose body is empty.
struct FetchReply {
    std::string body = {};
    bool failed = false;
};

using Fetch = std::function<FetchReply(const FetchRequest&)>;

// The real fetch: fetchUrl with the address, method and body only, so the request carries
// just fetchUrl's default headers.
FetchReply fetchOverNet(const FetchRequest& request);

// How a look-up ended. Whatever it had found before a failure or a stop is still given.
enum class LookupEnd {
    Complete,  // every request it needed was answered, possibly with nothing found
    Failed,    // a request failed; the look-up went no further
    Stopped,   // the caller's stop flag was raised; the look-up went no further
};

// What a look-up runs with besides its own input.
struct LookupContext {
    // The fetch every request goes through.
    Fetch fetch = fetchOverNet;
    // Raised from any thread to stop the look-up: it is checked before every request, and
    // the real fetch drops a request in flight when it is raised (within about 100 ms). A
    // stopped request counts as a stop, not as a failure. Null: never stopped.
    const std::atomic<bool>* stop = nullptr;
    // Told of each request just before it goes out (progress for a caller that shows it).
    std::function<void(const FetchRequest&)> onRequest;

    bool stopped() const { return stop && stop->load(std::memory_order_acquire); }
};

// One request of a look-up through the context's fetch, under its stop flag. After a stop
// (before or during the request) the reply is failed and empty; the caller tells the two
// apart with ctx.stopped().
FetchReply fetchFor(const LookupContext& ctx, const FetchRequest& request);

// The end of a look-up whose last request gave `reply`.
LookupEnd endAfter(const LookupContext& ctx, const FetchReply& reply);

// A download address as a reply gives it, made absolute against the address of the reply
// it came from (RFC 3986 reference resolution), so that "/support/fileDownload?fileId=1"
// on a ZTE page reads "http://support.zte.com.cn/support/fileDownload?fileId=1". Blanks and
// line breaks at both ends are dropped first; an empty address stays empty.
std::string downloadAddress(std::string_view replyAddress, std::string_view captured);

// One request whose reply the look-up reads as program text: the reply body converted
// from UTF-8 (empty after a failure or a stop), and in `end` how the request ended.
std::string fetchText(const LookupContext& ctx, const FetchRequest& request, LookupEnd& end);
