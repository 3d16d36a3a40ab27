#pragma once
// A file server on loopback that answers byte ranges, with the faults of real download
// hosts to switch on: dropped or stalled connections, ignored ranges, a changed file, an
// HTML error page, 503 with Retry-After, a lying length, a hostile file name, a
// per-connection speed limit. The file is made by a function of the offset, so it can be
// gigabytes without being held anywhere.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "tests/support/raw_http_server.h"

namespace testsupport {

struct RangeFaults {
    int dropFirst = 0;                // the first N replies with a body end early:
    std::uint64_t dropAfter = 0;      //   after this many body bytes
    bool stallInsteadOfDrop = false;  //   and then the connection stays open and silent
    bool ignoreRanges = false;        // 200 and the whole file, whatever was asked
    bool noValidator = false;         // neither ETag nor Last-Modified
    int busyFirst = 0;                // the first N requests get 503 with Retry-After
    std::string retryAfter = "0";
    bool forbiddenHtml = false;        // every request gets a 403 HTML page
    bool htmlType = false;             // the file goes out as text/html
    bool htmlBody = false;             // an HTML page goes out under another type
    std::uint64_t claimedLength = 0;   // non-zero: the length announced instead of the real one
    std::string disposition;           // a Content-Disposition value to send
    std::uint64_t bytesPerSecond = 0;  // per connection
    std::uint64_t sharedBytesPerSecond = 0;  // all connections together: a full link
};

using FileBytes = std::function<void(std::uint64_t offset, char* out, std::size_t n)>;

// Byte i of a reproducible pseudo-random file (seeded).
FileBytes patternFile(std::uint32_t seed);
// The same bytes into a string, for comparing.
std::string patternBytes(std::uint32_t seed, std::uint64_t offset, std::size_t n);

// A folder of its own under /tmp for one download, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A file's bytes ("" when it cannot be read).
std::string readAll(const std::string& path);

class RangeServer {
  public:
    RangeServer(std::uint64_t length, FileBytes file, std::string etag = "\"v1\"");
    std::string url(const std::string& path = "/files/firmware.zip") const {
        return server_.base() + path;
    }
    void setFaults(const RangeFaults& f);
    // Another version of the file under a new validator.
    void setFile(std::uint64_t length, FileBytes file, std::string etag);
    RawHttpServer& raw() { return server_; }

  private:
    RawReply answer(const RawRequest& request);

    mutable std::mutex mutex_;
    std::uint64_t length_;
    FileBytes file_;
    std::string etag_;
    RangeFaults faults_;
    int requests_ = 0;
    int bodies_ = 0;
    struct SharedPace;
    std::shared_ptr<SharedPace> shared_;
    RawHttpServer server_;  // last: it calls answer() until it stops
};

}  // namespace testsupport
