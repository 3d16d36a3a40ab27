#include "base/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/codepage.h"

namespace {

std::mutex presenterMutex;
MessageBoxPresenter& presenter() {
    static MessageBoxPresenter p;
    return p;
}

}  // namespace

MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter p) {
    std::lock_guard lock(presenterMutex);
    MessageBoxPresenter previous = std::move(presenter());
    presenter() = std::move(p);
    return previous;
}

void showMessageBox(const std::string& gbkText) {
    MessageBoxPresenter p;
    {
        // Copied out so that a presenter may block (a modal box) without holding the lock.
        std::lock_guard lock(presenterMutex);
        p = presenter();
    }
    if (p) {
        p(gbkText);
        return;
    }
    const std::string utf8 = codepage::gbkToUtf8(gbkText) + "\n";
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}
