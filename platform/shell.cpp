#include "platform/shell.h"

#include <mutex>

#include "platform/codepage.h"

namespace win {
namespace {

std::mutex openerMutex;
ShellOpener& currentOpener() {
    static ShellOpener opener;
    return opener;
}

}  // namespace

ShellOpener setShellOpener(ShellOpener opener) {
    std::lock_guard lock(openerMutex);
    ShellOpener previous = std::move(currentOpener());
    currentOpener() = std::move(opener);
    return previous;
}

std::intptr_t ShellExecuteA(void*, const char* verb, const char* file, const char*, const char*,
                            int) {
    constexpr std::intptr_t kOpened = 42, kNotFound = 2;
    if (!file || (verb && std::string_view(verb) != "open")) return kNotFound;
    std::string address = codepage::gbkToUtf8(file);
    ShellOpener opener;
    {
        std::lock_guard lock(openerMutex);
        opener = currentOpener();
    }
    // Without an opener there is no desktop to hand the address to.
    bool ok = opener && opener(address);
    return ok ? kOpened : kNotFound;
}

}  // namespace win
