#pragma once
// ErrorLog: a ring of the most recent error texts, newest first. The data document writes
// its errors here (from job threads too, hence the lock); nothing in the program reads
// them back, but tests do.
#include <mutex>
#include <string>
#include <vector>

class ErrorLog {
  public:
    explicit ErrorLog(int capacity = 32);
    void push(const std::string& text);
    // Slots are numbered from 1, as `newest` counts them.
    std::string slot(int number) const;
    int newest() const;
    int capacity() const { return capacity_; }
    // The most recent text ("" when nothing was pushed).
    std::string latest() const;
    // Empties every slot and points `newest` back at the last slot, as at creation.
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> slots_;
    int newest_;
    const int capacity_;
};

// The program-wide log. Always usable: before start-up (tests, tools) it is already the
// ring of 32 empty slots that start-up would make.
ErrorLog& errorLog();
