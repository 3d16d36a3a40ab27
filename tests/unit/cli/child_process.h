#pragma once
// Runs a program as a child process with pipes (or a pseudo-terminal) on its streams, for
// tests that check what a command-line tool writes and how it ends.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace clitest {

struct Ended {
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;     // the signal that ended it, if one did
    std::string out, err;
};

class Child {
  public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts `args` (args[0] the program) with `input` on standard input (then closed) and
    // `env` added to this process's environment. With `terminal`, standard output and
    // error share one pseudo-terminal, whose bytes arrive in `out`.
    bool start(const std::vector<std::string>& args, const std::string& input = {},
               const std::vector<std::pair<std::string, std::string>>& env = {},
               bool terminal = false);
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
};

// Starts, feeds and waits in one call.
Ended run(const std::vector<std::string>& args, const std::string& input = {},
          const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace clitest
