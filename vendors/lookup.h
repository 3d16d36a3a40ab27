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
#include <cstddef>
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

// Why a request, and so the look-up, failed. The cores name the kind; each front end words
// it for its user.
enum class FailureKind {
    None,
    Network,     // no connection, a time-out, a broken transfer: `detail` says which
    HttpStatus,  // the service answered with an error status (400 and above): `httpStatus`
    TooLarge,    // the reply was longer than its service's cap (serviceReplyCap)
    Unreadable,  // the reply did not have the shape that the look-up reads
};

struct Failure {
    FailureKind kind = FailureKind::None;
    int httpStatus = 0;
    std::string detail = {};  // for Network: libcurl's text

    bool operator==(const Failure&) const = default;
};

// What came back: the reply body as sent (the services send UTF-8), or a failure (no
// connection, a time-out, an error status, the reply cap, a broken or aborted transfer),
// whose body is empty. A failed reply without a kind counts as a network failure.
struct FetchReply {
    std::string body = {};
    bool failed = false;
    Failure failure = {};
};

using Fetch = std::function<FetchReply(const FetchRequest&)>;

// The real fetch: fetchUrl with the address, method and body only, so the request carries
// just fetchUrl's default headers. A reply with an error status (400 and above) fails.
FetchReply fetchOverNet(const FetchRequest& request);

// How a look-up ended. Whatever it had found before a failure or a stop is still given.
enum class LookupEnd {
    Complete,  // every request it needed was answered, possibly with nothing found
    Failed,    // a request failed; the look-up went no further
    Stopped,   // the caller's stop flag was raised; the look-up went no further
};

// How a look-up ended, given with whatever it found. The front ends tell three outcomes
// apart: found (rows, end Complete), nothing found (no rows, end Complete) and failed (end
// Failed, `failure` says why; the rows found before it are kept).
struct LookupStatus {
    LookupEnd end = LookupEnd::Complete;
    Failure failure = {};  // for Failed
    // The look-up stopped short of the end of the list on purpose (a page cap), or read a
    // reply only in part, so the list may be incomplete although nothing failed.
    bool incomplete = false;
    // Of those: a reply was too complex to read whole. The pattern engine gave up on part
    // of it (its step budget ran out, as on a reply crafted to make it backtrack without
    // end); the rows it read stay.
    bool tooComplex = false;

    void readInPart() { incomplete = tooComplex = true; }

    // Ends the look-up as failed for `kind`, unless it has already failed or stopped.
    void fail(FailureKind kind) {
        if (end != LookupEnd::Complete) return;
        end = LookupEnd::Failed;
        failure = {kind};
    }
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

enum class VendorService;

// The most reply text that a service's readers take. Every service answers with a few
// kilobytes (the Coolpad search page, the longest, about a megabyte); a reply past its
// service's cap comes from a broken or hostile server and is refused whole, as a failed
// request, because reading it would cost time and memory out of all proportion:
//  - the JSON services (ZTE model list, iPhone catalogue): the document reader holds about
//    120 bytes per byte read, so 4 MiB stays under half a gigabyte;
//  - the pages cut up with patterns (Huawei, ZTE file pages, Coolpad, LG): the pattern
//    engine's budget grows with the page, so 2 MiB keeps a page of bad records under a
//    second (ZTE shares its cap with its model list; the Coolpad search, matched in
//    pieces with a budget each, gets three pieces' worth).
std::size_t serviceReplyCap(VendorService service);

// One request of a look-up through the context's fetch, under its stop flag. After a stop
// (before or during the request) the reply is failed and empty; the caller tells the two
// apart with ctx.stopped(). A reply longer than `service`'s cap (serviceReplyCap) fails
// as TooLarge: this is the one place that holds the services' readers to their caps.
FetchReply fetchFor(const LookupContext& ctx, VendorService service, const FetchRequest& request);

// The end of a look-up whose last request gave `reply`.
LookupEnd endAfter(const LookupContext& ctx, const FetchReply& reply);
// The same into `status`: the end, and the failure when the reply failed.
void endAfter(const LookupContext& ctx, const FetchReply& reply, LookupStatus& status);

// A download address as a reply gives it, made absolute against the address of the reply
// it came from (RFC 3986 reference resolution), so that "/support/fileDownload?fileId=1"
// on a ZTE page reads "http://support.zte.com.cn/support/fileDownload?fileId=1". Blanks and
// line breaks at both ends are dropped first; an empty address stays empty.
std::string downloadAddress(std::string_view replyAddress, std::string_view captured);

// One request whose reply the look-up reads as program text: the reply body converted
// from UTF-8 (empty after a failure or a stop), and in `status` how the request ended.
std::string fetchText(const LookupContext& ctx, VendorService service, const FetchRequest& request,
                      LookupStatus& status);
