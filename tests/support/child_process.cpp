#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

[[noreturn]] void execChild(const std::vector<std::string>& args,
                            const std::vector<std::pair<std::string, std::string>>& env) {
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

}  // namespace

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeFd(outFd_);
    closeFd(errFd_);
}

bool Child::start(const Launch& launch) {
    int in[2], out[2] = {-1, -1}, err[2] = {-1, -1}, terminal = -1;
    if (::pipe(in) != 0) return false;
    if (launch.terminal) {
        winsize size{};
        size.ws_row = 40;
        size.ws_col = 200;
        pid_ = ::forkpty(&terminal, nullptr, nullptr, &size);
    } else if (::pipe(out) == 0 && ::pipe(err) == 0) {
        pid_ = ::fork();
    }
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        if (!launch.terminal) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
        }
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (fd >= 0) ::close(fd);
        execChild(launch.args, launch.env);
    }
    for (int fd : {in[0], out[1], err[1]})
        if (fd >= 0) ::close(fd);
    // The destructor closes these whether or not the child started.
    outFd_ = launch.terminal ? terminal : out[0];
    errFd_ = err[0];
    if (pid_ < 0) {
        ::close(in[1]);
        return false;
    }
    // Small inputs fit the pipe; the tests' largest is a few kilobytes. A child that ends
    // without reading its input must fail its own case, not kill the test binary.
    ::signal(SIGPIPE, SIG_IGN);
    std::size_t done = 0;
    while (done < launch.input.size()) {
        const ssize_t n = ::write(in[1], launch.input.data() + done, launch.input.size() - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    ::close(in[1]);
    return true;
}

void Child::pump(int waitMs) {
    // poll() passes over the -1 of a closed stream, and with both closed it only waits.
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    int* const fdOf[2] = {&outFd_, &errFd_};
    std::string* const sinkOf[2] = {&out_, &err_};
    if (::poll(fds, 2, waitMs) <= 0) return;
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[8192];
        const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            sinkOf[i]->append(buffer, std::size_t(got));
        } else if (got == 0 || errno != EINTR) {
            // The end of a pipe, or EIO from a pseudo-terminal whose child is gone.
            closeFd(*fdOf[i]);
        }
    }
}

bool Child::readUntil(const std::function<bool(const std::string&)>& enough,
                      std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!enough(out_)) {
        if (Clock::now() >= end || (outFd_ < 0 && errFd_ < 0)) return enough(out_);
        pump(20);
    }
    return true;
}

void Child::sendSignal(int signal) {
    signalledAt_ = Clock::now();
    if (pid_ > 0) ::kill(pid_, signal);
}

Ended Child::finish(std::chrono::milliseconds timeout) {
    Ended e;
    const auto end = Clock::now() + timeout;
    int status = 0;
    bool exited = false;
    while (!exited) {
        pump(20);
        const pid_t w = ::waitpid(pid_, &status, WNOHANG);
        if (w == pid_) {
            exited = true;
        } else if (Clock::now() >= end) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            exited = true;
        }
    }
    pid_ = -1;
    // What is still in the pipes after the end.
    while (outFd_ >= 0 || errFd_ >= 0) pump(50);
    if (WIFEXITED(status)) e.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) e.signal = WTERMSIG(status);
    e.out = std::move(out_);
    e.err = std::move(err_);
    if (signalledAt_ != Clock::time_point{}) e.afterSignal = Clock::now() - signalledAt_;
    return e;
}

Ended run(const Launch& launch, std::chrono::milliseconds timeout) {
    Child child;
    if (!child.start(launch)) return {};
    return child.finish(timeout);
}

}  // namespace testsupport
