// A Huawei file-list reply as it comes off the wire: UTF-8 bytes to text, the file records
// cut out, and every captured release stamp, whatever it holds, turned into a local date.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/fetch_url.h"
#include "vendors/huawei.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = net::utf8ToText(bytes);
    for (const HuaweiFile& f : huaweiFiles(text)) {
        // Every capture is a piece of the reply, and a date is never longer than "9999-12-31".
        if (f.name.size() + f.size.size() + f.address.size() > text.size()) __builtin_trap();
        if (f.date.size() > 10) __builtin_trap();
    }
    return 0;
}
