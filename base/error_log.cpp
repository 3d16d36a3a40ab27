#include "base/error_log.h"

ErrorLog::ErrorLog(int capacity)
    : slots_(std::size_t(capacity > 0 ? capacity : 0)),
      newest_(capacity > 0 ? capacity : 0),
      capacity_(capacity > 0 ? capacity : 0) {}

void ErrorLog::push(const std::string& text) {
    if (capacity_ == 0) return;
    std::lock_guard lock(mutex_);
    if (--newest_ == 0) newest_ = capacity_;
    slots_[std::size_t(newest_ - 1)] = text;
}

std::string ErrorLog::slot(int number) const {
    std::lock_guard lock(mutex_);
    if (number < 1 || number > capacity_) return {};
    return slots_[std::size_t(number - 1)];
}

int ErrorLog::newest() const {
    std::lock_guard lock(mutex_);
    return newest_;
}

std::string ErrorLog::latest() const {
    std::lock_guard lock(mutex_);
    return capacity_ ? slots_[std::size_t(newest_ - 1)] : std::string();
}

void ErrorLog::clear() {
    std::lock_guard lock(mutex_);
    for (auto& s : slots_) s.clear();
    newest_ = capacity_;
}

ErrorLog& errorLog() {
    static ErrorLog log(32);
    return log;
}
