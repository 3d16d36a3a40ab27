#include "app/open_address.h"

#include <string>

#include "base/text_util.h"
#include "platform/shell.h"

bool isOpenableAddress(std::string_view address) {
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() >= scheme.size() &&
            toLowerAscii(address.substr(0, scheme.size())) == scheme)
            return true;
    }
    return false;
}

bool openAddress(std::string_view address) {
    if (!isOpenableAddress(address)) return false;
    constexpr int kShowNormal = 1;
    // The shell has no owner window to find here; the browser opens on its own.
    return win::ShellExecuteA(nullptr, "open", std::string(address).c_str(), nullptr, nullptr,
                              kShowNormal) > 32;
}
