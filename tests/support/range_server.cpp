#include "tests/support/range_server.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

// One budget that the connections' bytes are paced against, whichever sends them.
struct RangeServer::SharedPace {
    std::mutex mutex;
    std::chrono::steady_clock::time_point next = std::chrono::steady_clock::now();
    std::uint64_t bytesPerSecond = 0;

    void take(std::size_t n) {
        std::chrono::steady_clock::time_point due;
        {
            std::lock_guard lock(mutex);
            due = std::max(next, std::chrono::steady_clock::now());
            next = due + std::chrono::microseconds(n * 1000000 / bytesPerSecond);
        }
        std::this_thread::sleep_until(due);
    }
};

FileBytes patternFile(std::uint32_t seed) {
    // A pseudo-random table whose length is no power of two, repeated: copying it keeps
    // the server far faster than any client, and a byte moved by a range's length shows.
    constexpr std::size_t kPeriod = (1 << 20) + 13;
    auto table = std::make_shared<std::string>(kPeriod, '\0');
    std::uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
    for (char& c : *table) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = char(x >> 24);
    }
    return [table](std::uint64_t offset, char* out, std::size_t n) {
        while (n > 0) {
            const std::size_t at = std::size_t(offset % kPeriod);
            const std::size_t take = std::min(n, kPeriod - at);
            std::memcpy(out, table->data() + at, take);
            out += take;
            offset += take;
            n -= take;
        }
    };
}

std::string patternBytes(std::uint32_t seed, std::uint64_t offset, std::size_t n) {
    std::string s(n, '\0');
    patternFile(seed)(offset, s.data(), n);
    return s;
}

RangeServer::RangeServer(std::uint64_t length, FileBytes file, std::string etag)
    : length_(length),
      file_(std::move(file)),
      etag_(std::move(etag)),
      server_([this](const RawRequest& r) { return answer(r); }) {}

void RangeServer::setFaults(const RangeFaults& f) {
    std::lock_guard lock(mutex_);
    faults_ = f;
    shared_.reset();
    if (f.sharedBytesPerSecond > 0) {
        shared_ = std::make_shared<SharedPace>();
        shared_->bytesPerSecond = f.sharedBytesPerSecond;
    }
    requests_ = 0;
    bodies_ = 0;
}

void RangeServer::setFile(std::uint64_t length, FileBytes file, std::string etag) {
    std::lock_guard lock(mutex_);
    length_ = length;
    file_ = std::move(file);
    etag_ = std::move(etag);
}

RawReply RangeServer::answer(const RawRequest& request) {
    std::lock_guard lock(mutex_);
    const RangeFaults& f = faults_;
    ++requests_;
    if (requests_ <= f.busyFirst)
        return rawReply("503 Service Unavailable", "Retry-After: " + f.retryAfter + "\r\n", "");
    if (f.forbiddenHtml)
        return rawReply("403 Forbidden", "Content-Type: text/html; charset=utf-8\r\n",
                        "<html><body>Access denied</body></html>");
    if (f.htmlBody)
        return rawReply("200 OK", "Content-Type: application/octet-stream\r\n",
                        "\r\n<!DOCTYPE html><html><body>Session expired</body></html>");

    const std::uint64_t claimed = f.claimedLength ? f.claimedLength : length_;
    std::string headers = "Accept-Ranges: bytes\r\n";
    headers += f.htmlType ? "Content-Type: text/html\r\n" : "Content-Type: application/zip\r\n";
    if (!f.noValidator) headers += "ETag: " + etag_ + "\r\n";
    if (!f.disposition.empty()) headers += "Content-Disposition: " + f.disposition + "\r\n";

    std::uint64_t first = 0, last = claimed ? claimed - 1 : 0;
    bool partial = false;
    const std::string range = request.header("Range");
    if (!f.ignoreRanges && range.rfind("bytes=", 0) == 0) {
        const std::string bounds = range.substr(6);
        const std::size_t dash = bounds.find('-');
        first = std::stoull(bounds.substr(0, dash));
        if (dash + 1 < bounds.size())
            last = std::min<std::uint64_t>(last, std::stoull(bounds.substr(dash + 1)));
        if (first >= claimed)
            return rawReply("416 Range Not Satisfiable",
                            "Content-Range: bytes */" + std::to_string(claimed) + "\r\n", "");
        partial = true;
    }
    const std::uint64_t count = claimed ? last - first + 1 : 0;
    RawReply r;
    r.bytes = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    r.bytes += headers + "Content-Length: " + std::to_string(count) + "\r\n";
    if (partial)
        r.bytes += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) +
                   "/" + std::to_string(claimed) + "\r\n";
    r.bytes += "Connection: close\r\n\r\n";
    if (request.requestLine().rfind("HEAD ", 0) == 0) return r;
    // A lying length: what there is, then the connection closes.
    r.sourceOffset = first;
    r.sourceLength = first >= length_ ? 0 : std::min(count, length_ - first);
    r.source = file_;
    if (shared_)
        r.source = [file = file_, pace = shared_](std::uint64_t at, char* out, std::size_t n) {
            pace->take(n);
            file(at, out, n);
        };
    r.bytesPerSecond = f.bytesPerSecond;
    if (++bodies_ <= f.dropFirst) {
        r.sourceLength = std::min(r.sourceLength, f.dropAfter);
        r.hang = f.stallInsteadOfDrop;
    }
    return r;
}

TempDir::TempDir() {
    char name[] = "/tmp/romhaul-dl-XXXXXX";
    if (::mkdtemp(name)) path = name;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
