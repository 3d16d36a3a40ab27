#pragma once
// One address into one file, resumable and verified. The engine runs on a thread of its
// own (libcurl's multi interface: up to N ranges at once into a preallocated NAME.part),
// hashes the file as its contiguous prefix grows, saves what is left to fetch beside the
// .part every second, and renames NAME.part to NAME only once the length, the
// status and the content type have been checked and NAME.sha256 is written.
//
// Hashing while writing: a second thread hashes the file's contiguous prefix as it grows,
// reading each slice back from the page cache right after it was written. Ranges are
// handed out in file order, so the prefix follows close behind them, and the hash runs
// beside the transfers rather than in their way. The finished file is never read again; a
// resumed download reads back once what the earlier run had, since a SHA-256 state is not
// kept on disk. Memory stays a few buffers whatever the size.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace download {

struct Options {
    std::string url;
    std::string folder = ".";
    int connections = 4;  // 1..16: at most; more than one only while they add speed
    // The size the vendor lists, and how far it may be off through its rounding (0: not
    // listed).
    std::uint64_t listedSize = 0;
    std::uint64_t listedSizeSlack = 0;
    // Fault handling; tests shorten them.
    std::chrono::milliseconds stallTimeout{30000};
    std::vector<std::chrono::milliseconds> retryWaits{
        std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(4),
        std::chrono::seconds(8), std::chrono::seconds(16)};
    std::chrono::milliseconds longestRetryAfter{std::chrono::minutes(5)};
    std::chrono::milliseconds saveInterval{1000};
    std::uint64_t smallestSplit = 1 << 20;  // a range taken over is never smaller
    // Ranges are handed out in file order, at most this long, so that the hashed prefix
    // follows close behind the transfers; the last ones are split by take-overs.
    std::uint64_t largestRange = 64 << 20;
    // One connection runs alone this long, then all of them as long; they stay when
    // together they were at least half as fast again.
    std::chrono::milliseconds widenWindow{300};
};

enum class State { Idle, Running, Paused, Complete, Failed, Cancelled };

// Why a download failed: the network or the service (status 3 of the tool) or this
// machine (no space, cannot write: status 4).
enum class Failure { None, Network, Service, Local };

struct Progress {
    State state = State::Idle;
    Failure failure = Failure::None;
    std::string reason;         // why it failed, one line
    std::string path;           // the file (NAME.part's final name), once known
    std::uint64_t total = 0;    // 0 while unknown
    std::uint64_t done = 0;     // bytes on disk
    double bytesPerSecond = 0;  // recent speed
    int connections = 0;        // transfers running now
    std::string sha256;         // lower-case hex, once complete
};

class Download {
  public:
    explicit Download(Options options);
    ~Download();  // pauses (state saved) and waits for the engine
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // start() and resume() run the engine (from the saved state when there is one);
    // pause() stops it with the state saved; cancel() stops it and removes NAME.part and
    // its state. None of them waits; wait() does.
    void start();
    void resume() { start(); }
    void pause();
    void cancel();
    // Blocks until the engine stops (complete, failed, paused or cancelled).
    Progress wait();
    // Waits at most `timeout`; true once the engine has stopped.
    bool waitFor(std::chrono::milliseconds timeout);
    // A consistent copy, safe from any thread.
    Progress progress() const;

    struct Engine;

  private:
    std::shared_ptr<Engine> engine_;
};

}  // namespace download
