#pragma once
// Runs a program as a child process with pipes (or a pseudo-terminal) on its streams, for
// tests that check what a program writes and how it ends.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct Launch {
    std::vector<std::string> args;  // args[0] the program
    std::string input = {};         // on standard input, which is then closed
    std::vector<std::pair<std::string, std::string>> env = {};  // added to this process's
    // Standard output and error share one pseudo-terminal, whose bytes arrive in `out`.
    bool terminal = false;
};

struct Ended {
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;     // the signal that ended it, if one did
    std::string out, err;
    // From the last sendSignal() to the end; zero if none was sent.
    std::chrono::steady_clock::duration afterSignal{};
};

class Child {
  public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool start(const Launch& launch);
    // Collects output until `enough(out)` holds or the time is up; false on time-out.
    bool readUntil(const std::function<bool(const std::string&)>& enough,
                   std::chrono::milliseconds timeout);
    void sendSignal(int signal);
    // Collects the rest and waits for the end; kills the child after `timeout`.
    Ended finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  private:
    void pump(int waitMs);
    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    std::chrono::steady_clock::time_point signalledAt_{};
};

// Starts, feeds and waits in one call; a child that does not start ends with exit code -1.
Ended run(const Launch& launch, std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace testsupport
