#pragma once
// The look-up tool's two streams. Everything it writes goes through writeWhole, so that an
// interrupt (Ctrl-C) ends the process between lines, never inside one; the progress line
// lives on standard error and is wiped before anything else is written there or the
// process ends.
#include <string_view>

namespace lookup {

// Ctrl-C ends the process at once with status 130, after the write in progress (if any)
// has gone out whole.
void installInterruptHandler();

// From now on Ctrl-C only asks to stop (interruptRequested() turns true), so that work
// under way can save its state and end with 130 itself; a second Ctrl-C ends at once.
void deferInterrupts();
bool interruptRequested();

// Writes all of `bytes` to `fd` as one piece that an interrupt does not split; false when
// the stream refuses them (a closed pipe, a full disk).
bool writeWhole(int fd, std::string_view bytes);

bool isTerminal(int fd);

// One line on standard error that each show() rewrites in place; shown only when standard
// error is a terminal, and wiped by clear(), by writeWhole on either stream, and when an
// interrupt ends the process.
class ProgressLine {
  public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }
    // `text` in the locale's encoding, without line end.
    void show(std::string_view text);
    void clear();

  private:
    bool enabled_;
};

}  // namespace lookup
