#pragma once
// The vendor simulator: five loopback HTTP servers, one per vendor service, answering the
// requests Romhaul makes with the replies the services give, from the fixture data sets.
// Tests start one in-process on ephemeral ports; the vendor-sim program serves the demo.
//
//   vendorsim::Simulator sim;
//   ASSERT_TRUE(sim.start()) << sim.error();
//   sim.exportEnvironment();            // ROMHAUL_* point at it
//   ... run a look-up ...
//   auto sent = sim.requests(VendorService::Huawei);
//   sim.stop();                         // also done by the destructor
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/vendor-sim/fixtures.h"
#include "tools/vendor-sim/replies.h"
#include "vendors/service_hosts.h"

namespace vendorsim {

const char* serviceName(VendorService service);  // "huawei", "zte", ...

// One request as it reached the server, byte for byte.
struct RecordedRequest {
    VendorService service = VendorService::Huawei;
    std::string raw;          // every byte received: request line, headers, body
    std::string requestLine;  // the first line without its CR LF
    std::string method;
    std::string target;       // as on the wire: not decoded, any "#fragment" kept
    std::string headerBlock;  // the header lines as received, each with its CR LF
    std::vector<std::pair<std::string, std::string>> headers;  // in order; value trimmed
    std::string body;
    int status = 0;  // the status the simulator answered with (0: none written)

    // The first header of that name (any letter case), "" when absent.
    std::string header(const std::string& name) const;
    // The query item `name` of the target, percent-decoded.
    std::string param(const std::string& name) const;
};

// What the ZTE model list answers, for tests of a failing load.
enum class ZteModelList {
    Normal,
    TenBytes,  // the first 10 bytes of the script file
    FewItems,  // a well-formed file with 2 series and 6 models: 8 tree items
    Empty,     // status 200, no body
    NotFound,  // status 404 with an error page
};

// The Huawei keyword that stands for a broken server: its page is kOversizeReplyBytes of
// blanks, past every service's reply cap (and under the request layer's own).
inline constexpr const char* kOversizeKeyword = "oversize";
inline constexpr std::size_t kOversizeReplyBytes = std::size_t(5) << 20;

struct Options {
    std::string fixtureDir;  // "" = the source tree's tests/fixtures/vendor-sim
    std::string address = "127.0.0.1";
    // 0 = an ephemeral port; indexed by VendorService.
    int ports[5] = {0, 0, 0, 0, 0};
    bool echoRequests = false;  // also print each request line on stderr
    // The demo: download addresses point at the simulator's own "/files/" (see
    // pointDownloadsAtSimulator), so that link checks and downloads work offline.
    bool demo = false;
};

class Simulator {
  public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the fixtures, binds the five ports and starts serving; returns once every
    // server accepts connections. False (see error()) when a fixture or a port fails.
    bool start();
    // Stops all servers and waits for their threads; idempotent.
    void stop();
    bool running() const;
    std::string error() const;

    int port(VendorService service) const;
    // The value of the service's environment variable that points Romhaul here:
    // "127.0.0.1:port" for the four hosts, "http://127.0.0.1:port/iphone/" for the iPhone.
    std::string overrideValue(VendorService service) const;
    // The five (variable, value) pairs, and setenv() of them in this process.
    std::vector<std::pair<std::string, std::string>> environment() const;
    void exportEnvironment() const;

    const Fixtures& fixtures() const;

    // The request log, in arrival order. Each request is recorded before its reply is
    // written, so a client that has its reply finds its request here.
    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requests(VendorService service) const;
    std::size_t requestCount(VendorService service) const;
    void clearRequests();
    // Waits until `count` requests of the service are recorded; false on time-out.
    bool waitForRequests(VendorService service, std::size_t count,
                         std::chrono::milliseconds timeout) const;

    // Knobs; each may be turned while serving and holds until turned back, or until
    // resetKnobs() turns all of them back, hooks and delays included.
    void resetKnobs();
    void setHuaweiIgnoresCurPage(bool on);  // every page answers with page 1's records
    void setZteModelList(ZteModelList mode);
    void setCoolpadEmptySearch(bool on);  // the search answers 200 with no body
    void setIphoneBulkRows(int rows);     // > 0: the firmware list holds that many rows
    // Holds each reply of a service back for a while (job-order tests); 0 = none.
    void setReplyDelay(VendorService service, std::chrono::milliseconds delay);
    // Chooses the delay per request; overrides setReplyDelay while set.
    using DelayHook = std::function<std::chrono::milliseconds(const RecordedRequest&)>;
    void setDelayHook(DelayHook hook);
    // Answers a request in place of the fixtures when it returns a reply.
    using ReplyHook = std::function<std::optional<Reply>(const RecordedRequest&)>;
    void setReplyHook(VendorService service, ReplyHook hook);

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace vendorsim
