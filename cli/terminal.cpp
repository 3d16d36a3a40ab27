#include "cli/terminal.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <string>

namespace lookup {
namespace {

volatile sig_atomic_t writing = 0;
volatile sig_atomic_t interrupted = 0;
volatile sig_atomic_t progressShown = 0;
volatile sig_atomic_t deferred = 0;
volatile sig_atomic_t stopRequested = 0;

constexpr char kWipe[] = "\r\033[K";

// Only async-signal-safe calls from here on: it runs inside the handler too.
[[noreturn]] void endInterrupted() {
    if (progressShown) {
        ssize_t ignored = ::write(STDERR_FILENO, kWipe, sizeof kWipe - 1);
        (void)ignored;
    }
    ::_exit(130);
}

extern "C" void onInterrupt(int) {
    if (deferred && !stopRequested) {
        stopRequested = 1;
        return;
    }
    // A write under way finishes its piece first; writeWhole ends the process after it.
    if (writing) {
        interrupted = 1;
        return;
    }
    endInterrupted();
}

bool writeRaw(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

bool writeGuarded(int fd, std::string_view bytes) {
    writing = 1;
    bool ok = true;
    if (progressShown) {
        ok = writeRaw(STDERR_FILENO, std::string_view(kWipe, sizeof kWipe - 1));
        progressShown = 0;
    }
    ok = writeRaw(fd, bytes) && ok;
    writing = 0;
    if (interrupted) endInterrupted();
    return ok;
}

}  // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

void deferInterrupts() {
    deferred = 1;
}

bool interruptRequested() {
    return stopRequested != 0;
}

bool writeWhole(int fd, std::string_view bytes) {
    return writeGuarded(fd, bytes);
}

bool isTerminal(int fd) {
    return ::isatty(fd) == 1;
}

void ProgressLine::show(std::string_view text) {
    if (!enabled_) return;
    std::string line(kWipe, sizeof kWipe - 1);
    line += text;
    writing = 1;
    writeRaw(STDERR_FILENO, line);
    progressShown = 1;
    writing = 0;
    if (interrupted) endInterrupted();
}

void ProgressLine::clear() {
    if (!enabled_ || !progressShown) return;
    writeGuarded(STDERR_FILENO, {});
}

}  // namespace lookup
